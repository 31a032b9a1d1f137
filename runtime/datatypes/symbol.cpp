// symbol!: interning through the symbol table, spellings, canonical ids and
// the compare action.
#include "runtime/datatypes/symbol.h"

#include <cstring>
#include <vector>

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/memory/memory.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::symbol {

namespace {

// The symbol cell of an id, or null for an id that names no symbol.
Cell* cell_of(int32_t id) {
    NodeId block = symbol_table::block();
    if (!block || id < 1) return nullptr;
    SeriesBuffer* b = memory::buffer_of(block);
    if (uint64_t(id) > b->cell_count()) return nullptr;
    return b->cells() + (id - 1);
}

}  // namespace

int32_t make_with_length(const uint8_t* spelling, uint32_t n) {
    symbol_table::init();
    return hashtable::find_or_add_symbol(symbol_table::table(), spelling, n, false);
}

int32_t make(const char* spelling) {
    return make_with_length(reinterpret_cast<const uint8_t*>(spelling), uint32_t(std::strlen(spelling)));
}

int32_t make_any_case(const char* spelling) {
    symbol_table::init();
    return hashtable::find_or_add_symbol(symbol_table::table(), reinterpret_cast<const uint8_t*>(spelling),
                                         uint32_t(std::strlen(spelling)), true);
}

int32_t make_from_string(const Cell& str, int32_t limit) {
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    uint32_t shift = unicode::unit_shift(b->unit());
    int64_t head = int32_t(str.data1);
    if (head < 0) head = 0;
    uint64_t start = b->offset + (uint64_t(head) << shift);
    int64_t units = start < b->tail ? int64_t((b->tail - start) >> shift) : 0;
    if (limit >= 0 && limit < units) units = limit;
    if (units > INT32_MAX / 4) units = INT32_MAX / 4;
    // UTF-8 into a heap buffer: nothing below may move it.
    std::vector<uint8_t> text(size_t(units) * 4 + 1);
    int64_t n = unicode::to_utf8_buffer(str, text.data(), int32_t(units), false);
    return make_with_length(text.data(), uint32_t(n));
}

Cell peek(int32_t id) {
    const Cell* c = cell_of(id);
    return c ? *c : Cell{TYPE_NONE, 0, 0, 0};
}

void cache_string(int32_t id) {
    Cell* c = cell_of(id);
    if (!c || c->data2) return;
    SeriesBuffer* name = memory::buffer_of(c->data3);
    NodeId text = unicode::load_utf8(c->data3, name->offset, int32_t(name->used()), 0, nullptr, false);
    cell_of(id)->data2 = text;  // re-read: loading may have moved the block
}

NodeId string_of(const Cell& sym) {
    if (sym.data2) return sym.data2;
    // Its id: the exact spelling is interned already, so this only finds it.
    uint32_t n = uint32_t(memory::buffer_of(sym.data3)->used());
    int32_t id = make_with_length(memory::buffer_of(sym.data3)->head_ptr(), n);
    cache_string(id);
    return cell_of(id)->data2;
}

Cell* get(int32_t id) {
    cache_string(id);
    return cell_of(id);
}

int32_t resolve(int32_t id) {
    const Cell* c = cell_of(id);
    if (!c) return id;
    int32_t alias = int32_t(c->data1);
    return alias > 0 ? alias : id;
}

int32_t alias_of(int32_t id) {
    const Cell* c = cell_of(id);
    return c ? int32_t(c->data1) : -1;
}

int32_t count() {
    NodeId block = symbol_table::block();
    return block ? int32_t(memory::buffer_of(block)->cell_count()) : 0;
}

const uint8_t* spelling(int32_t id, uint32_t* length) {
    const Cell* c = cell_of(id);
    if (!c) {
        *length = 0;
        return reinterpret_cast<const uint8_t*>("");
    }
    SeriesBuffer* b = memory::buffer_of(c->data3);
    *length = uint32_t(b->used());
    return b->head_ptr();
}

// The spellings compared as text by the one comparison of text.
int32_t compare(const Cell& a, const Cell& b, int op) {
    if (type_of(b) != TYPE_SYMBOL) return COMP_NOT_COMPARABLE;
    return string::compare_strings(a, b, op, false);
}

void init() { datatype::register_type(datatype::Record(TYPE_SYMBOL, 0, "symbol!").own<ACTION_COMPARE>(compare)); }

}  // namespace kel::symbol
