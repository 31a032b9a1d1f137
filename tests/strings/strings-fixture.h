// Shared by the string! action tests: a started runtime, strings written from
// UTF-32 literals in a chosen unit, cells held for the collector for the
// whole test, and the text of a string read back from its head.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

struct StringActions : ::testing::Test {
    void SetUp() override { test::boot(); }
    void TearDown() override {
        while (!guards_.empty()) guards_.pop_back();  // newest first, as the guards chain
    }

    // A cell that stays put and is marked by every collection until the test ends.
    Cell& hold(const Cell& c) {
        cells_.push_back(c);
        guards_.push_back(std::make_unique<Rooted>(cells_.back()));
        return cells_.back();
    }

    // A string of the given type holding the code points in the given unit (0:
    // the narrowest that holds them), written raw.
    Cell& text(std::u32string_view cps, uint32_t unit = 0, uint32_t type = TYPE_STRING) {
        if (unit == 0) {
            unit = 1;
            for (char32_t c : cps) unit = std::max(unit, c > 0xFFFF ? 4u : c > 0xFF ? 2u : 1u);
        }
        Cell& s = hold(make_unset());
        string::make_at(s, int32_t(cps.size()), unit);
        SeriesBuffer* b = memory::buffer_of(cell_node(s));
        uint8_t* at = alloc_tail_bytes(b, cps.size() * unit);
        for (size_t i = 0; i < cps.size(); ++i) {
            uint32_t cp = cps[i];
            std::memcpy(at + i * unit, &cp, unit);
        }
        set_type(s, type);
        return s;
    }

    // A block! holding the values.
    Cell& block_of(std::initializer_list<Cell> values) {
        Cell& blk = hold(make_unset());
        block::make_at(blk, int32_t(values.size()));
        for (const Cell& v : values) block::append_cell(blk, v);
        return blk;
    }

    std::deque<Cell> cells_;
    std::vector<std::unique_ptr<Rooted>> guards_;
};

inline Cell ch(uint32_t cp) { return Cell{TYPE_CHAR, 0, cp, 0}; }
inline Cell integer(int32_t v) { return make_integer(v); }
inline Cell at(const Cell& s, int32_t head) {
    Cell c = s;
    c.data1 = uint32_t(head);
    return c;
}

// The code points from the head to the tail.
inline std::u32string read(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    uint32_t unit = b->unit();
    int64_t units = int64_t(b->used() / unit);
    int64_t head = int32_t(s.data1);
    if (head < 0) head = 0;
    std::u32string out;
    for (int64_t i = head; i < units; ++i) out.push_back(char32_t(unicode::get_unit(b->head_ptr(), unit, uint64_t(i))));
    return out;
}
// The whole series, whatever the head.
inline std::u32string whole(const Cell& s) { return read(at(s, 0)); }
inline uint32_t unit_of(const Cell& s) { return memory::buffer_of(cell_node(s))->unit(); }

}  // namespace kel::test
