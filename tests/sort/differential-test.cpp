// Both sorts against std::stable_sort over record widths, sizes and key
// patterns: the merge sort must give exactly the stable order, the quicksort
// the same keys in order and the same records.
#include "tests/sort/sort-fixture.h"

namespace kel::test {
namespace {

const Pattern kPatterns[] = {Pattern::random,
                             Pattern::few_values,
                             Pattern::sorted,
                             Pattern::reversed,
                             Pattern::reversed_with_equals,
                             Pattern::organ_pipe,
                             Pattern::sawtooth,
                             Pattern::nearly_sorted,
                             Pattern::all_equal,
                             Pattern::ascending_then_descending,
                             Pattern::descending_then_ascending};
const size_t kWidths[] = {1, 2, 4, 6, 8, 12, 16, 32, 48};
const size_t kSizes[] = {0, 1, 2, 3, 7, 8, 9, 23, 24, 25, 49, 100, 511, 512, 513, 1000, 3000};

TEST(SortDifferential, MatchesStableSortOverWidthsSizesAndPatterns) {
    for (size_t w : kWidths)
        for (size_t n : kSizes)
            for (Pattern p : kPatterns)
                for (Algo algo : {Algo::merge, Algo::merge_with_buffer, Algo::quick}) {
                    Table t(w, make_keys(p, n, uint32_t(n * 31 + w)));
                    const std::vector<uint8_t> original = t.bytes;
                    const std::vector<uint8_t> expected = stable_expected(t);
                    Checker c;
                    run_sort(algo, t, c);
                    SCOPED_TRACE(std::string(algo_name(algo)) + " width " + std::to_string(w) + " n " +
                                 std::to_string(n) + " " + pattern_name(p));
                    ASSERT_EQ(c.bad_addresses, 0);
                    if (algo == Algo::quick) {
                        ASSERT_TRUE(keys_sorted(t));
                        ASSERT_TRUE(is_permutation_of(t.bytes, original, w));
                    } else {
                        ASSERT_EQ(t.bytes, expected);
                    }
                    if (n < 2) {
                        EXPECT_EQ(c.calls, 0);
                    }
                }
}

// Large inputs reach the quicksort's gathered samples (16h - 1 records taken
// over the range) and the merge sort's deep run stacks.
TEST(SortDifferential, LargeInputs) {
    struct Case {
        size_t width, n;
        Pattern pattern;
    };
    const Case cases[] = {
        {4, 20000, Pattern::random},
        {16, 20000, Pattern::few_values},
        {4, 300000, Pattern::random},
        {8, 300000, Pattern::sawtooth},
        {16, 100000, Pattern::nearly_sorted},
        {6, 50000, Pattern::organ_pipe},
        {4, 100000, Pattern::descending_then_ascending},
    };
    for (const Case& k : cases)
        for (Algo algo : {Algo::merge, Algo::quick}) {
            Table t(k.width, make_keys(k.pattern, k.n, 99));
            const std::vector<uint8_t> original = t.bytes;
            Checker c;
            run_sort(algo, t, c);
            SCOPED_TRACE(std::string(algo_name(algo)) + " width " + std::to_string(k.width) + " n " +
                         std::to_string(k.n) + " " + pattern_name(k.pattern));
            ASSERT_EQ(c.bad_addresses, 0);
            if (algo == Algo::quick) {
                ASSERT_TRUE(keys_sorted(t));
                ASSERT_TRUE(is_permutation_of(t.bytes, original, k.width));
            } else {
                ASSERT_EQ(t.bytes, stable_expected(Table(k.width, make_keys(k.pattern, k.n, 99))));
            }
        }
}

// The inlined comparator form sorts like the callback form.
TEST(SortDifferential, ComparatorObjectForm) {
    std::mt19937 rng(7);
    for (size_t n : {0, 1, 5, 100, 5000}) {
        std::vector<int32_t> v(n);
        for (auto& x : v) x = int32_t(rng() % 1000) - 500;
        std::vector<int32_t> a = v, b = v, expected = v;
        std::sort(expected.begin(), expected.end());
        auto cmp = [](const uint8_t* p, const uint8_t* q) {
            int32_t x, y;
            std::memcpy(&x, p, 4);
            std::memcpy(&y, q, 4);
            return (x > y) - (x < y);
        };
        sort::merge_sort_by(a.data(), n, 4, cmp);
        sort::quicksort_by(b.data(), n, 4, cmp);
        EXPECT_EQ(a, expected);
        EXPECT_EQ(b, expected);
    }
}

}  // namespace
}  // namespace kel::test
