// Making strings and importing external text into them.
#include <cstring>

#include "runtime/core/print.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::string {

namespace {

uint64_t capacity_of(int32_t capacity) { return capacity < 1 ? 1 : uint64_t(capacity); }

// Decodes the text into a new string buffer and returns its node.
NodeId load(const uint8_t* text, int32_t length, int32_t encoding) {
    switch (encoding) {
    case ENCODING_UTF8:
        return unicode::load_utf8(text, length < 0 ? 0 : length);
    case ENCODING_UTF16LE:
        return unicode::load_utf16(text, length < 0 ? 0 : length, nullptr, false);
    default:
        // Only the runtime passes encodings: an unknown one is its own fault,
        // and the process must not end as if it had succeeded.
        system_print({PrintItem::text("*** Loading Error: input encoding unsupported")});
        internal_fault();
    }
}

Cell string_cell(NodeId node) { return Cell{TYPE_STRING, 0, node, 0}; }

}  // namespace

Cell* ks_make_at(Cell& cell, int32_t capacity) {
    // Unset while the buffer is allocated, so a collection meanwhile does not
    // follow what the cell held before.
    cell = make_unset();
    NodeId node = memory::alloc_codepoints(capacity_of(capacity), 1);
    cell = string_cell(node);
    return &cell;
}

Cell* make_at(Cell& cell, int32_t capacity, uint32_t unit) {
    uint32_t flags = cell.header & ~CELL_TYPE_MASK;
    cell = make_unset();
    NodeId node = memory::alloc_codepoints(capacity < 0 ? 0 : uint64_t(capacity), unit);
    cell = Cell{flags | TYPE_STRING, 0, node, 0};
    return &cell;
}

Cell* push(const Cell& str) { return stack::push(str); }

Cell* import_at(const uint8_t* text, int32_t length, Cell* cell, int32_t encoding) {
    if (!cell)
        cell = stack::push(make_unset());
    else
        *cell = make_unset();
    NodeId node = load(text, length, encoding);
    *cell = string_cell(node);
    return cell;
}

Cell* import_in(const uint8_t* text, int32_t length, const Cell& block, int32_t encoding) {
    NodeId blk = cell_node(block);
    // The cell is placed first so that nothing allocates between the load and
    // the cell that keeps the new string.
    // Two statements: alloc_tail may move the buffer, and the operands of
    // one subtraction may be evaluated in either order.
    auto* placed = reinterpret_cast<uint8_t*>(alloc_tail(memory::buffer_of(blk)));
    uint64_t at = uint64_t(placed - memory::buffer_of(blk)->data());
    NodeId node = load(text, length, encoding);
    auto* cell = reinterpret_cast<Cell*>(memory::buffer_of(blk)->data() + at);
    *cell = string_cell(node);
    return cell;
}

Cell* import(const uint8_t* text, int32_t length, int32_t encoding) {
    return import_at(text, length, nullptr, encoding);
}

Cell* import_root(const uint8_t* text, int32_t length, int32_t encoding) {
    Cell* cell = roots::append(make_unset());
    NodeId node = load(text, length, encoding);
    *cell = string_cell(node);
    return cell;
}

}  // namespace kel::string
