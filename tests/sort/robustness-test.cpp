// Comparators that raise errors or answer inconsistently: the sorts stay
// inside the range (and the work buffer), leave a permutation of the input and
// free their work buffer.
#include <cmath>
#include <limits>

#include "runtime/core/error-ids.h"
#include "runtime/core/fire.h"
#include "runtime/platform/heap.h"
#include "tests/sort/sort-fixture.h"

namespace kel::test {
namespace {

TEST(SortRobustness, ThrowingComparatorLeavesAPermutationAndNoBuffer) {
    for (size_t w : {4, 16, 6})
        for (size_t n : {30, 200, 3000})
            for (Algo algo : {Algo::merge, Algo::merge_with_buffer, Algo::quick}) {
                Table probe(w, make_keys(Pattern::random, n, 11));
                Checker counting;
                run_sort(algo, probe, counting);
                const long total = counting.calls;
                // Throw points spread over the whole sort, the first and the last call included.
                for (long at = 1; at <= total; at += std::max<long>(1, total / 37)) {
                    for (long point : {at, total}) {
                        Table t(w, make_keys(Pattern::random, n, 11));
                        const std::vector<uint8_t> original = t.bytes;
                        const size_t blocks = heap::live_blocks();
                        Checker c;
                        c.throw_at = point;
                        bool thrown = false;
                        try {
                            run_sort(algo, t, c);
                        } catch (const Thrown& e) {
                            thrown = e.code == thrown::ERROR;
                        }
                        SCOPED_TRACE(std::string(algo_name(algo)) + " width " + std::to_string(w) + " n " +
                                     std::to_string(n) + " throw at " + std::to_string(point));
                        ASSERT_TRUE(thrown);
                        ASSERT_EQ(c.bad_addresses, 0);
                        ASSERT_TRUE(is_permutation_of(t.bytes, original, w));
                        ASSERT_EQ(heap::live_blocks(), blocks);
                    }
                }
            }
}

// A comparator that raises a language error through fire: the error reaches
// the catcher around the sort with its identity intact.
TEST(SortRobustness, LanguageErrorFromComparatorReachesTheCatcher) {
    struct Raising {
        static int32_t compare(const void* a, const void* b, uintptr_t calls, uintptr_t limit) {
            if (++*reinterpret_cast<long*>(calls) == long(limit)) fire(ErrorId::script_too_long);
            int32_t x, y;
            std::memcpy(&x, a, 4);
            std::memcpy(&y, b, 4);
            return (x > y) - (x < y);
        }
    };
    for (bool stable : {true, false}) {
        std::mt19937 rng(5);
        std::vector<int32_t> v(500);
        for (auto& x : v) x = int32_t(rng() % 100);
        std::vector<int32_t> original = v;
        long calls = 0;
        const size_t blocks = heap::live_blocks();
        uint32_t code = protect(catch_level::ERRORS, [&] {
            if (stable)
                sort::merge_sort(v.data(), v.size(), 4, reinterpret_cast<uintptr_t>(&calls), 1000, Raising::compare);
            else
                sort::quicksort(v.data(), v.size(), 4, reinterpret_cast<uintptr_t>(&calls), 1000, Raising::compare);
        });
        handled();
        EXPECT_EQ(code, thrown::ERROR);
        EXPECT_EQ(error_in_flight().id, ErrorId::script_too_long);
        EXPECT_EQ(calls, 1000);
        EXPECT_TRUE(std::is_permutation(v.begin(), v.end(), original.begin()));
        EXPECT_EQ(heap::live_blocks(), blocks);
    }
}

TEST(SortRobustness, InconsistentComparatorsStayInRangeAndPermute) {
    const Answer answers[] = {Answer::random,       Answer::always_after, Answer::always_before,
                              Answer::always_equal, Answer::by_address,   Answer::flip_after_calls};
    for (Answer answer : answers)
        for (size_t w : {1, 4, 6, 16, 48})
            for (size_t n : {2, 7, 8, 30, 600, 20000})
                for (Pattern p : {Pattern::random, Pattern::sorted, Pattern::reversed})
                    for (Algo algo : {Algo::merge, Algo::merge_with_buffer, Algo::quick}) {
                        if (n == 20000 && w != 4) continue;
                        Table t(w, make_keys(p, n, 3));
                        const std::vector<uint8_t> original = t.bytes;
                        Checker c;
                        c.answer = answer;
                        run_sort(algo, t, c);
                        SCOPED_TRACE(std::string(algo_name(algo)) + " answer " + std::to_string(int(answer)) +
                                     " width " + std::to_string(w) + " n " + std::to_string(n) + " " + pattern_name(p));
                        ASSERT_EQ(c.bad_addresses, 0);
                        ASSERT_TRUE(is_permutation_of(t.bytes, original, w));
                    }
}

// Floats with NaN: every comparison with a NaN answers "equal", which makes
// equality intransitive. The sorts stay sound, and the numbers between two
// NaNs of the result are still in order.
TEST(SortRobustness, NaNKeysLeaveAPermutation) {
    auto compare = [](const void* a, const void* b, uintptr_t, uintptr_t) -> int32_t {
        double x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        return x < y ? -1 : (x > y ? 1 : 0);
    };
    std::mt19937 rng(9);
    for (size_t n : {10, 100, 5000})
        for (int nan_every : {2, 7, 50}) {
            std::vector<double> v(n);
            for (size_t i = 0; i < n; ++i)
                v[i] = i % nan_every == 0 ? std::numeric_limits<double>::quiet_NaN() : double(rng() % 1000);
            for (bool stable : {true, false}) {
                std::vector<double> s = v;
                if (stable)
                    sort::merge_sort(s.data(), n, 8, 0, 0, compare);
                else
                    sort::quicksort(s.data(), n, 8, 0, 0, compare);
                auto bits = [](const std::vector<double>& d) {
                    std::vector<uint64_t> out(d.size());
                    std::memcpy(out.data(), d.data(), d.size() * 8);
                    std::sort(out.begin(), out.end());
                    return out;
                };
                EXPECT_EQ(bits(s), bits(v)) << n << " " << nan_every << " " << stable;
            }
        }
}

TEST(SortRobustness, SwapExchangesWholeRecordsOfAnySize) {
    for (size_t size = 1; size <= 40; ++size)
        for (bool bytewise : {false, true}) {
            if (!bytewise && size % 4 != 0) continue;
            std::vector<uint8_t> a(size + 2, 0xEE), b(size + 2, 0xDD);
            for (size_t i = 0; i < size; ++i) {
                a[i + 1] = uint8_t(i);
                b[i + 1] = uint8_t(100 + i);
            }
            sort::swap(a.data() + 1, b.data() + 1, size, bytewise);
            for (size_t i = 0; i < size; ++i) {
                ASSERT_EQ(a[i + 1], uint8_t(100 + i));
                ASSERT_EQ(b[i + 1], uint8_t(i));
            }
            // The bytes around the records are untouched.
            EXPECT_EQ(a[0], 0xEE);
            EXPECT_EQ(a[size + 1], 0xEE);
            EXPECT_EQ(b[0], 0xDD);
            EXPECT_EQ(b[size + 1], 0xDD);
        }
}

}  // namespace
}  // namespace kel::test
