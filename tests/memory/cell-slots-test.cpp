// The reusable cell slots: growth by doubling, reuse of freed slots, and
// their values kept through collections.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/memory/cell-slots.h"
#include "runtime/memory/collector.h"
#include "tests/support.h"

namespace kel {
namespace {

TEST(CellSlots, GrowByDoublingAndReuseFreedSlots) {
    test::boot();
    uint32_t start = cell_slots::capacity();
    std::vector<int32_t> got;
    for (uint32_t i = 0; i <= start; ++i) got.push_back(cell_slots::alloc(make_integer(int32_t(1000 + i))));
    EXPECT_EQ(cell_slots::capacity(), start * 2);
    collector::do_cycle();
    for (uint32_t i = 0; i <= start; ++i) EXPECT_EQ(cell_integer(*cell_slots::get(got[i])), int32_t(1000 + i));
    cell_slots::free(5);
    EXPECT_EQ(cell_slots::alloc(make_integer(1)), 5);
    cell_slots::free(0);  // ignored
    for (int32_t n : got) cell_slots::free(n);
}

}  // namespace
}  // namespace kel
