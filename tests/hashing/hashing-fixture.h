// Shared by the hash table tests: a started runtime with the symbol table,
// compare functions for the value types the tests put into tables (integer!,
// string!, the word family; their own modules are not registered here), and helpers that
// build blocks on the argument stack so that every collection sees them.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text/case-folding.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/core/fire.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/core/system.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

inline int32_t three_way(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

inline int32_t compare_integers(const Cell& a, const Cell& b, int32_t) {
    if (type_of(b) != TYPE_INTEGER) return COMP_NOT_COMPARABLE;
    return three_way(cell_integer(a), cell_integer(b));
}

inline bool is_word_type(uint32_t t) { return t >= TYPE_WORD && t <= TYPE_GET_WORD; }

// Words compare by canonical symbol, strictly by symbol id and type.
inline int32_t compare_words(const Cell& a, const Cell& b, int32_t op) {
    if (!is_word_type(type_of(b))) return COMP_NOT_COMPARABLE;
    int32_t x = int32_t(a.data2), y = int32_t(b.data2);
    if (op == COMP_STRICT_EQUAL) {
        if (type_of(a) != type_of(b)) return 1;
    } else {
        x = symbol::resolve(x);
        y = symbol::resolve(y);
    }
    return three_way(x, y);
}

// Strings compare by code points from their heads, folded to upper case
// except under strict equality.
inline int32_t compare_strings(const Cell& a, const Cell& b, int32_t op) {
    if (type_of(b) != TYPE_STRING) return COMP_NOT_COMPARABLE;
    SeriesBuffer* x = memory::buffer_of(cell_node(a));
    SeriesBuffer* y = memory::buffer_of(cell_node(b));
    uint64_t nx = x->used() / x->unit() - cell_head(a), ny = y->used() / y->unit() - cell_head(b);
    if (nx != ny) return 1;
    for (uint64_t i = 0; i < nx; ++i) {
        uint32_t cx = unicode::get_unit(x->head_ptr(), x->unit(), cell_head(a) + i);
        uint32_t cy = unicode::get_unit(y->head_ptr(), y->unit(), cell_head(b) + i);
        if (op != COMP_STRICT_EQUAL) {
            cx = unicode::upper_char(cx);
            cy = unicode::upper_char(cy);
        }
        if (cx != cy) return three_way(cx, cy);
    }
    return 0;
}

inline void boot_hashing() {
    static bool done = false;
    if (done) return;
    done = true;
    boot();
    hashtable::init();
    symbol::init();
    symbol_table::init();
    using datatype::Record;
    datatype::register_type(Record(TYPE_INTEGER, 0, "integer!").own<ACTION_COMPARE>(compare_integers));
    datatype::register_type(Record(TYPE_STRING, 0, "string!").own<ACTION_COMPARE>(compare_strings));
    for (uint32_t t : {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD})
        datatype::register_type(Record(t, 0, "word!").own<ACTION_COMPARE>(compare_words));
}

inline Cell word(const char* name, uint32_t type = TYPE_WORD) {
    return Cell{type, 0, uint32_t(symbol::make(name)), 0xFFFFFFFFu};
}

// A string! on the argument stack holding the UTF-8 text, in the narrowest
// unit that holds its code points.
inline Cell text(const std::string& s) {
    std::vector<uint32_t> cps;
    auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const uint8_t* end = p + s.size();
    uint32_t widest = 0;
    while (p < end) {
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, end, cp);
        cps.push_back(uint32_t(cp));
        if (uint32_t(cp) > widest) widest = uint32_t(cp);
    }
    Cell* c = stack::push(make_none());
    string::make_at(*c, int32_t(cps.size()), widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1);
    SeriesBuffer* b = string::buffer(*c);
    for (uint32_t cp : cps) b = string::append_char(b, cp);
    return *c;
}

// Each test leaves the argument stack as it found it.
struct HashingTest : ::testing::Test {
    Cell* saved_top = nullptr;
    static void SetUpTestSuite() { boot_hashing(); }
    void SetUp() override { saved_top = stack::state.top; }
    void TearDown() override { stack::state.top = saved_top; }

    // An empty block of the given type on the argument stack.
    static Cell* new_block(uint32_t type = TYPE_BLOCK) {
        Cell* b = block::push_only(4);
        set_type(*b, type);
        return b;
    }
    static Cell* cells(const Cell& blk) { return memory::buffer_of(cell_node(blk))->cells(); }
    static int32_t length(const Cell& blk) { return int32_t(memory::buffer_of(cell_node(blk))->cell_count()); }
    // Position of a found cell in the block, -1 for null.
    static int32_t position(const Cell& blk, const Cell* found) {
        return found ? int32_t(found - cells(blk)) : -1;
    }
};

}  // namespace kel::test
