// Block helpers on positions and cells: head and tail, appending and
// inserting cells, and the look-ups by key and by word.
#include <cstring>

#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

constexpr int64_t CELL = sizeof(Cell);

int64_t head_of(const Cell& blk) { return int32_t(blk.data1); }

// Cells from the buffer's offset to its tail.
int64_t total_cells(const SeriesBuffer* b) { return int64_t(b->used() / sizeof(Cell)); }

// The head as a cell index inside the series (a negative head reads from the
// first cell, a head past the tail from the tail); the cell is not changed.
int64_t inside_head(const Cell& blk, const SeriesBuffer* b) { return series::head_inside(blk, total_cells(b)); }

// The compare function of the key's type (compare functions never allocate).
ActionSlot<ACTION_COMPARE>::type compare_of(const Cell& key) {
    return reinterpret_cast<ActionSlot<ACTION_COMPARE>::type>(datatype::slot(type_of(key), ACTION_COMPARE));
}

// The hash table of a hash! value, or 0.
NodeId table_of(const Cell& blk) { return type_of(blk) == TYPE_HASH ? blk.data3 : 0; }

// Puts a cell of a hash! block into its table.
void enter_in_table(const Cell& blk, int64_t position) {
    if (NodeId table = table_of(blk))
        hashtable::put(table, reinterpret_cast<Cell*>(buffer(blk)->head_ptr()) + position);
}

// A map!'s block holds key/value pairs whose table only the map! actions
// keep: handing one to the helpers that add or drop cells is a fault of the
// caller (status 98).
void refuse_map(const Cell& blk) {
    if (type_of(blk) == TYPE_MAP) [[unlikely]]
        internal_fault();
}

bool is_word_kind(uint32_t type) {
    return type == TYPE_WORD || type == TYPE_SET_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD;
}

}  // namespace

int32_t ks_length(const Cell& blk) {
    SeriesBuffer* b = buffer(blk);
    return int32_t(total_cells(b) - head_of(blk));
}

Cell* ks_head(Cell& blk) {
    SeriesBuffer* b = buffer(blk);
    int64_t total = total_cells(b);
    if (head_of(blk) > total) blk.data1 = uint32_t(int32_t(total));
    return b->cells() + inside_head(blk, b);
}

Cell* ks_tail(const Cell& blk) { return buffer(blk)->cells_tail(); }

bool ks_tail_q(const Cell& blk) { return head_of(blk) == total_cells(buffer(blk)); }

Cell* ks_abs_at(const Cell& blk, int32_t index) { return buffer(blk)->cells() + index; }

bool ks_next(Cell& blk) {
    int64_t total = total_cells(buffer(blk));
    int64_t head = head_of(blk) + 1;
    if (head <= total) blk.data1 = uint32_t(int32_t(head));
    return head_of(blk) == total;
}

void ks_clear(const Cell& blk) {
    refuse_map(blk);
    SeriesBuffer* b = buffer(blk);
    // A head past the tail leaves the tail where it is: moving it up would
    // bring back cells that hold no values.
    int64_t head = inside_head(blk, b);
    if (NodeId table = table_of(blk)) hashtable::delete_range(table, int32_t(head), int32_t(total_cells(b) - head));
    b->tail = b->offset + uint64_t(head * CELL);
}

void truncate_at(const Cell& blk, int32_t n) {
    refuse_map(blk);
    SeriesBuffer* b = buffer(blk);
    if (n < 0 || int64_t(n) >= total_cells(b)) return;
    if (NodeId table = table_of(blk)) hashtable::delete_range(table, n, int32_t(total_cells(b) - n));
    b->tail = b->offset + uint64_t(int64_t(n) * CELL);
}

Cell* append_cell(const Cell& blk, const Cell& value) {
    refuse_map(blk);
    Cell v = value;  // value may lie in the buffer that grows
    Rooted keep_value(v);
    NodeId node = cell_node(blk);
    Rooted keep_block(node);
    NodeId table = table_of(blk);  // read before blk's buffer may move
    Cell* c = alloc_tail(memory::buffer_of(node));
    *c = v;
    // Putting may rebuild the table and so move the block: it answers the
    // cell's address anew.
    return table ? hashtable::put(table, c) : c;
}

const Cell& append_block(const Cell& target, const Cell& source) {
    refuse_map(target);
    NodeId tn = cell_node(target);
    NodeId sn = cell_node(source);
    Rooted keep_target(tn);
    Rooted keep_source(sn);
    SeriesBuffer* sb = memory::buffer_of(sn);
    int64_t from = inside_head(source, sb);
    int64_t count = total_cells(sb) - from;
    if (count <= 0) return target;
    uint64_t bytes = uint64_t(count * CELL);
    SeriesBuffer* tb = memory::buffer_of(tn);
    tb = memory::grow_series(tb, tb->tail + bytes, 2 * tb->size);
    sb = memory::buffer_of(sn);
    // memmove: the source may be the target itself.
    std::memmove(tb->tail_ptr(), sb->cells() + from, bytes);
    int64_t first_new = total_cells(tb);
    tb->tail += bytes;
    if (NodeId table = table_of(target)) hashtable::put_all(table, uint32_t(first_new), 1);
    return target;
}

Cell& insert_cell(Cell& blk, const Cell& value, bool advance, bool at_head) {
    refuse_map(blk);
    Cell v = value;
    Rooted keep_value(v);
    NodeId node = cell_node(blk);
    Rooted keep_block(node);
    SeriesBuffer* b = memory::buffer_of(node);
    uint64_t need = b->tail + CELL - b->offset;
    b = memory::grow_series(b, b->tail + CELL, b->offset + 2 * need);
    int64_t position = at_head ? 0 : inside_head(blk, b);
    int64_t moved = total_cells(b) - position;
    bool rebuild = false;
    if (moved > 0) {
        Cell* at = b->cells() + position;
        std::memmove(at + 1, at, size_t(moved * CELL));
        if (type_of(blk) == TYPE_HASH && blk.data3)
            rebuild = hashtable::shift_positions(blk.data3, 1, int32_t(position), int32_t(moved), true) != 0;
    }
    // Shifting the table's positions may allocate and so move the buffer.
    b = memory::buffer_of(node);
    b->tail += CELL;
    b->cells()[position] = v;
    if (type_of(blk) == TYPE_HASH && blk.data3) {
        // A table that gave up shifting is built again from the block, which
        // already holds the new cell.
        if (rebuild)
            hashtable::rebuild(blk.data3, uint32_t(total_cells(memory::buffer_of(node))));
        else
            enter_in_table(blk, position);
    }
    if (advance) blk.data1 = uint32_t(int32_t(head_of(blk) + 1));
    return blk;
}

Cell& insert_block(Cell& target, const Cell& source) {
    Cell src = source;
    Rooted keep(src);
    // Inserting a block into itself would move the cells still to be read:
    // insert from a copy of them instead.
    bool same = cell_node(src) == cell_node(target);
    if (same) src = *push_copy(src, false, false);
    SeriesBuffer* sb = buffer(src);
    int64_t from = inside_head(src, sb);
    int64_t end = total_cells(sb);
    for (int64_t i = from; i < end; ++i) {
        Cell v = buffer(src)->cells()[i];
        insert_cell(target, v, true, false);
    }
    if (same) stack::pop(1);
    return target;
}

void insert_last() {
    Cell* value = stack::arguments();
    insert_cell(value[-1], value[0], true, false);
}

Cell* append_to_last() {
    Cell* blk = stack::arguments();
    append_cell(*blk, blk[1]);
    return blk;
}

void append_last() {
    Cell* value = stack::arguments();
    append_cell(value[-1], value[0]);
}

const Cell* value_after_key(Cell& blk, const Cell& key) {
    auto compare = compare_of(key);
    if (!compare) return &none_value;
    SeriesBuffer* b = buffer(blk);
    Cell* c = ks_head(blk);
    Cell* tail = b->cells_tail();
    for (; c < tail; ++c) {
        if (compare(key, *c, COMP_FIND) == 0) return c + 1 < tail ? c + 1 : &none_value;
    }
    return &none_value;
}

const Cell* value_after_word(Cell& blk, const Cell& word, bool case_sensitive) {
    int32_t wanted = int32_t(word.data2);
    if (!case_sensitive) wanted = symbol::resolve(wanted);
    SeriesBuffer* b = buffer(blk);
    Cell* c = ks_head(blk);
    Cell* tail = b->cells_tail();
    for (; c < tail; ++c) {
        if (!is_word_kind(type_of(*c))) continue;
        int32_t sym = int32_t(c->data2);
        if (!case_sensitive) sym = symbol::resolve(sym);
        if (sym == wanted) return c + 1 < tail ? c + 1 : &none_value;
    }
    return &none_value;
}

bool remove_equal(const Cell& blk, const Cell& key, bool from_head) {
    refuse_map(blk);
    auto compare = compare_of(key);
    if (!compare) return false;
    SeriesBuffer* b = buffer(blk);
    int64_t total = total_cells(b);
    for (int64_t i = from_head ? 0 : inside_head(blk, b); i < total; ++i) {
        Cell* c = b->cells() + i;
        if (compare(key, *c, COMP_FIND) != 0) continue;
        NodeId table = table_of(blk);
        if (table) hashtable::delete_at(table, c);
        std::memmove(c, c + 1, size_t((total - i - 1) * CELL));
        b->tail -= CELL;
        // The cells after it moved down by one: so do their positions.
        if (table && hashtable::shift_positions(table, -1, int32_t(i + 1), int32_t(total - i - 1), true))
            hashtable::rebuild(table, uint32_t(total - 1));
        return i <= head_of(blk);
    }
    return false;
}

}  // namespace kel::block
