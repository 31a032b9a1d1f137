// Shared by the series and block tests: a started runtime, series values
// built on the argument stack so that every collection sees them
// (tests/support.h has the argument frame and errors caught as ids).
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/text/case-folding.h"
#include "tests/support.h"

namespace kel::test {

inline Cell integer(int32_t v) { return make_integer(v); }
inline Cell char_of(uint32_t cp) { return Cell{TYPE_CHAR, 0, cp, 0}; }

struct SeriesTest : ::testing::Test {
    Cell* saved_top = nullptr;
    static void SetUpTestSuite() { test::boot(); }
    void SetUp() override { saved_top = stack::state.top; }
    void TearDown() override { stack::state.top = saved_top; }

    // A block of the given type holding the integers, on the argument stack.
    static Cell* ints(std::initializer_list<int32_t> values, uint32_t type = TYPE_BLOCK) {
        Cell* b = block::push_only(int32_t(values.size()));
        set_type(*b, type);
        for (int32_t v : values) block::append_cell(*b, integer(v));
        return b;
    }
    // A string! of the given unit holding the code points, on the stack.
    static Cell* text(std::initializer_list<uint32_t> cps, uint32_t unit = 1) {
        Cell* s = stack::push(make_unset());
        string::make_at(*s, int32_t(cps.size()), unit);
        for (uint32_t cp : cps) string::overwrite_char(string::buffer(*s), string::ks_abs_length(*s), cp);
        return s;
    }
    // A binary! holding the bytes, on the stack.
    static Cell* bytes(std::initializer_list<uint8_t> values) {
        Cell* s = text({});
        set_type(*s, TYPE_BINARY);
        for (uint8_t v : values) *alloc_tail_bytes(string::buffer(*s), 1) = v;
        return s;
    }
    static Cell* cells(const Cell& blk) { return block::buffer(blk)->cells(); }
    static std::vector<int32_t> ints_of(const Cell& blk) {
        std::vector<int32_t> v;
        SeriesBuffer* b = block::buffer(blk);
        for (uint64_t i = 0; i < b->cell_count(); ++i) v.push_back(cell_integer(b->cells()[i]));
        return v;
    }
    static std::vector<uint32_t> points_of(const Cell& s) {
        std::vector<uint32_t> v;
        for (int32_t i = 0; i < string::ks_abs_length(s); ++i) v.push_back(string::get_char_at(s, i));
        return v;
    }
};

}  // namespace kel::test
