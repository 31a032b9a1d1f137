// Making blocks: empty blocks in a cell, fixed blocks, blocks on the argument
// stack, and copies of blocks (shallow, deep, and of selected types).
#include <cstring>
#include <unordered_set>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

constexpr int64_t CELL = sizeof(Cell);

uint64_t capacity_of(int32_t n) { return n < 1 ? 1 : uint64_t(n); }

void mark_root_cell() { collector::mark_value(root_cell()); }

CopyAction copy_action = nullptr;

// The nested values a deep copy copies too.
bool copied_deep(uint32_t type, bool paths) {
    if (type == TYPE_BLOCK) return true;
    if (!paths) return false;
    switch (type) {
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_LIT_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH:
        return true;
    default:
        return false;
    }
}

// The series and container types whose values copy_nested replaces.
bool is_container(uint32_t type) {
    if (series::is_block_type(type) || series::is_string_type(type)) return true;
    switch (type) {
    case TYPE_VECTOR:
    case TYPE_BINARY:
    case TYPE_IMAGE:
    case TYPE_BITSET:
    case TYPE_OBJECT:
    case TYPE_ERROR:
    case TYPE_MAP:
        return true;
    default:
        return false;
    }
}

// The type is in kind: a typeset! (bit t in payload byte 4 + t / 8, mask
// 0x80 >> t mod 8) or a datatype! naming it.
bool matches_kind(uint32_t type, const Cell& kind) {
    if (type_of(kind) == TYPE_DATATYPE) return kind.data1 == type;
    if (type_of(kind) == TYPE_TYPESET) {
        if (type >= 96) return false;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&kind);
        return (bytes[4 + (type >> 3)] & (0x80u >> (type & 7))) != 0;
    }
    return false;
}

// A new block buffer holding the cells of the block value from its (clamped)
// head to its tail. The value's series must stay reachable: this allocates.
NodeId copy_cells(const Cell& value) {
    SeriesBuffer* sb = buffer(value);
    int64_t total = int64_t(sb->cell_count());
    int64_t head = series::head_inside(value, total);
    int64_t count = total - head;
    NodeId node = memory::alloc_cells(count > 0 ? uint64_t(count) : 1);
    sb = buffer(value);
    SeriesBuffer* rb = memory::buffer_of(node);
    if (count > 0) std::memcpy(rb->cells(), sb->cells() + head, size_t(count * CELL));
    rb->tail = rb->offset + uint64_t(count * CELL);
    return node;
}

// Replaces every nested value of the copy `copy` (made from the series
// `source`) that a deep copy copies by a copy of its own, depth first. The
// open levels are kept in a work list, so the depth costs heap memory, never
// machine stack. Each new copy is stored into its parent copy as soon as it
// is made: the collector reaches it through the result, and the nested
// sources through the source, which the caller keeps.
void copy_levels(NodeId source, NodeId copy, bool paths) {
    struct Level {
        NodeId source;
        NodeId copy;
        uint64_t next;  // the next cell of the copy to look at
    };
    std::vector<Level> levels{{source, copy, 0}};
    std::unordered_set<NodeId> open{source};  // the sources of the open levels
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next >= memory::buffer_of(level.copy)->cell_count()) {
            open.erase(level.source);
            levels.pop_back();
            continue;
        }
        NodeId parent = level.copy;
        uint64_t at = level.next++;
        Cell nested = memory::buffer_of(parent)->cells()[at];
        if (!copied_deep(type_of(nested), paths)) continue;
        NodeId from = cell_node(nested);
        if (open.count(from)) fire(ErrorId::internal_no_cycle);
        if (levels.size() > uint64_t(DEEP_COPY_LEVELS)) fire(ErrorId::internal_too_deep);
        NodeId nested_copy = copy_cells(nested);
        // The nested copy keeps the nested value's whole header.
        memory::buffer_of(parent)->cells()[at] = Cell{nested.header, 0, nested_copy, 0};
        levels.push_back({from, nested_copy, 0});
        open.insert(from);
    }
}

}  // namespace

Cell& root_cell() {
    static Cell cell = make_unset();
    static bool marked = [] {
        collector::add_root_marker(mark_root_cell);
        return true;
    }();
    (void)marked;
    return cell;
}

Cell* make_at(Cell& cell, int32_t n) {
    uint32_t flags = cell.header & ~CELL_TYPE_MASK;
    // Unset while the buffer is allocated: a collection meanwhile must not
    // follow a half-made value.
    cell.header = flags | TYPE_UNSET;
    NodeId node = memory::alloc_cells(capacity_of(n));
    cell = Cell{flags | TYPE_BLOCK, 0, node, 0};
    return &cell;
}

Cell* make_fixed_at(Cell& cell, int32_t n, bool fixed) {
    cell = make_unset();
    NodeId node =
        fixed ? memory::alloc_fixed_series(capacity_of(n), sizeof(Cell), 0) : memory::alloc_unset_cells(capacity_of(n));
    cell = Cell{TYPE_BLOCK, 0, node, 0};
    return &cell;
}

Cell* make_fixed_in(Cell* parent, int32_t n) {
    // A fixed buffer comes from the heap and never collects, so the new cell
    // stays where it is.
    Cell* cell = parent ? alloc_block_tail(*parent) : &root_cell();
    return make_fixed_at(*cell, n, true);
}

Cell* make_in(Cell* parent, int32_t n) {
    if (!parent) return make_at(root_cell(), n);
    NodeId pn = cell_node(*parent);
    Rooted keep(pn);
    Cell* cell = alloc_block_tail(*parent);
    cell->header = TYPE_UNSET;
    uint64_t at = uint64_t(reinterpret_cast<uint8_t*>(cell) - memory::buffer_of(pn)->data());
    NodeId node = memory::alloc_cells(capacity_of(n));
    // The allocation may have moved the parent's buffer.
    cell = reinterpret_cast<Cell*>(memory::buffer_of(pn)->data() + at);
    *cell = Cell{TYPE_BLOCK, 0, node, 0};
    return cell;
}

Cell* push(const Cell& value) { return stack::push(value); }

Cell* push_only(int32_t n) {
    Cell* cell = stack::push(make_unset());
    return make_at(*cell, n);
}

Cell* push_copy(const Cell& blk, bool deep, bool paths) {
    Cell source = blk;
    Rooted keep(source);
    Cell* result = stack::push(make_unset());
    NodeId node = copy_cells(source);
    // The copy gets the source's type alone: its flags, the new-line marker
    // included, stay with the source.
    *result = Cell{type_of(source), 0, node, 0};
    if (deep) copy_levels(cell_node(source), node, paths);
    return result;
}

CopyAction set_copy_action(CopyAction copy) {
    CopyAction previous = copy_action;
    copy_action = copy;
    return previous;
}

void copy_nested(NodeId node, int32_t start, int32_t end, int32_t step, bool deep, const Cell& kind_cell) {
    if (!copy_action) fire(ErrorId::internal_not_done);
    Cell kind = kind_cell;
    Rooted keep_kind(kind);
    Rooted keep_block(node);
    int64_t stride = step < 1 ? 1 : step;
    for (int64_t i = start < 0 ? 0 : start; i < end; i += stride) {
        SeriesBuffer* b = memory::buffer_of(node);
        if (i >= int64_t(b->used() / sizeof(Cell))) break;
        Cell value = b->cells()[i];
        uint32_t type = type_of(value);
        if (!is_container(type) || !matches_kind(type, kind)) continue;
        Cell* copy = stack::push(value);
        copy_action(copy, deep, kind);
        memory::buffer_of(node)->cells()[i] = *copy;
        stack::pop(1);
    }
}

}  // namespace kel::block
