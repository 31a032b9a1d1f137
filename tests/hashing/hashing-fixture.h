// Shared by the hash table tests: a started runtime, and helpers that build
// blocks on the argument stack so that every collection sees them.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/memory/roots.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

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
    static void SetUpTestSuite() { test::boot(); }
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
    static int32_t position(const Cell& blk, const Cell* found) { return found ? int32_t(found - cells(blk)) : -1; }
};

}  // namespace kel::test
