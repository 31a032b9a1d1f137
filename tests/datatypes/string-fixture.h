// Shared by the string buffer tests: a started runtime, strings made from
// code points in a chosen unit, and their contents read back.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

using Points = std::vector<uint32_t>;

struct Strings : ::testing::Test {
    void SetUp() override { test::boot(); }
};

// A string! of the given unit holding the code points (written raw, so no
// widening rule is involved).
inline Cell make_text(const Points& cps, uint32_t unit) {
    Cell s = make_unset();
    string::make_at(s, int32_t(cps.size()), unit);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    uint8_t* at = alloc_tail_bytes(b, cps.size() * unit);
    for (size_t i = 0; i < cps.size(); ++i) {
        uint32_t cp = cps[i];
        std::memcpy(at + i * unit, &cp, unit);  // little-endian: the low bytes
    }
    return s;
}

inline Points ascii(const char* text) {
    Points p;
    for (const char* c = text; *c; ++c) p.push_back(static_cast<unsigned char>(*c));
    return p;
}

// The code points from the buffer's offset to its tail (the head ignored).
inline Points all_points(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    Points p;
    for (uint64_t i = 0; i < b->used() / b->unit(); ++i) p.push_back(unicode::get_unit(b->head_ptr(), b->unit(), i));
    return p;
}

inline uint32_t unit_of(const Cell& s) { return memory::buffer_of(cell_node(s))->unit(); }

}  // namespace kel::test
