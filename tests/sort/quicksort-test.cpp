// The quicksort on ordered and nearly ordered input, where the ordered prefix
// and the runs joined to it spare the partitioning.
#include "tests/sort/sort-fixture.h"

namespace kel::test {
namespace {

TEST(Quicksort, OrderedInputOf100000RecordsTakesOneScan) {
    struct Case {
        Pattern pattern;
        size_t width;
    };
    const Case cases[] = {
        {Pattern::sorted, 16},
        {Pattern::reversed, 16},
        {Pattern::all_equal, 16},
        {Pattern::sorted, 8},
        {Pattern::reversed_with_equals, 8},
    };
    for (const Case& c : cases) {
        Table t(c.width, make_keys(c.pattern, 100000, 1));
        Checker check;
        run_sort(Algo::quick, t, check);
        EXPECT_EQ(check.calls, 99999) << pattern_name(c.pattern);
        EXPECT_TRUE(keys_sorted(t)) << pattern_name(c.pattern);
    }
}

// A few records out of place behind a long ordered prefix: the runs between
// them are joined to the prefix and only the displaced records are
// partitioned, so the comparisons stay close to one per record.
TEST(Quicksort, NearlySortedInputStaysCloseToLinear) {
    for (int swaps : {1, 10, 100}) {
        std::vector<uint32_t> keys(100000);
        for (size_t i = 0; i < keys.size(); ++i) keys[i] = uint32_t(i);
        std::mt19937 rng(1);
        for (int s = 0; s < swaps; ++s) std::swap(keys[1000 + rng() % 99000], keys[1000 + rng() % 99000]);
        Table t(16, keys);
        const std::vector<uint8_t> original = t.bytes;
        Checker check;
        run_sort(Algo::quick, t, check);
        EXPECT_TRUE(keys_sorted(t)) << swaps;
        EXPECT_TRUE(is_permutation_of(t.bytes, original, 16));
        EXPECT_LT(check.calls, 150000) << swaps;
    }
}

// An input whose short ascending start hides a long descending body: the
// prefix falls back to its first record, which does not belong before the
// descending run found next. That record is set aside rather than kept in
// front of the run, so the ordered prefix really is ordered.
TEST(Quicksort, SingleRecordPrefixIsSetAsideWhenOutOfOrderWithTheRun) {
    for (size_t n : {40, 1000, 100000}) {
        std::vector<uint32_t> keys;
        for (uint32_t i = 0; i < 10; ++i) keys.push_back(i);  // 0 .. 9
        for (size_t i = 10; i < n; ++i) keys.push_back(uint32_t(3 * n - i));  // descending, all above 9
        Table t(8, keys);
        const std::vector<uint8_t> original = t.bytes;
        Checker check;
        run_sort(Algo::quick, t, check);
        EXPECT_TRUE(keys_sorted(t)) << n;
        EXPECT_TRUE(is_permutation_of(t.bytes, original, 8)) << n;
        EXPECT_LT(check.calls, long(3 * n)) << n;
    }
}

}  // namespace
}  // namespace kel::test
