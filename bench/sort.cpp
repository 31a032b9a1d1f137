// Merge sort and quicksort of 1,000,000 records against std::stable_sort and
// std::sort on the same data in the same run. Prints time ratios (ours /
// standard library; below 1 is faster). Three comparisons are measured:
//   - inlined: the comparator-object form against the standard algorithms
//     with the same comparison inlined;
//   - callback: the callback form against the standard algorithms calling
//     the same callback through a pointer;
//   - cells: 16-byte records (as a block of integer! values) keyed by the
//     payload word, through the callback.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "runtime/sort/sort.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t N = 1000000;
constexpr int REPEATS = 5;

struct Cell16 {
    uint32_t header, value, w2, w3;
};

int32_t compare_int(const void* a, const void* b, uintptr_t, uintptr_t) {
    int32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return (x > y) - (x < y);
}

int32_t compare_cell(const void* a, const void* b, uintptr_t, uintptr_t) {
    int32_t x, y;
    std::memcpy(&x, static_cast<const uint8_t*>(a) + 4, 4);
    std::memcpy(&y, static_cast<const uint8_t*>(b) + 4, 4);
    return (x > y) - (x < y);
}

// Keeps the compiler from seeing through the callback in the reference runs.
kel::sort::Compare volatile int_callback = compare_int;
kel::sort::Compare volatile cell_callback = compare_cell;

// Best of REPEATS runs of f on a fresh copy of data, in seconds.
template <class T, class F>
double best(const std::vector<T>& data, F f) {
    double best_time = 1e30;
    for (int r = 0; r < REPEATS; ++r) {
        std::vector<T> v = data;
        auto t0 = Clock::now();
        f(v);
        double t = std::chrono::duration<double>(Clock::now() - t0).count();
        if (!std::is_sorted(v.begin(), v.end(), [](const T& a, const T& b) {
                if constexpr (sizeof(T) == 4)
                    return a < b;
                else
                    return int32_t(a.value) < int32_t(b.value);
            })) {
            std::printf("result not sorted\n");
            std::exit(1);
        }
        best_time = std::min(best_time, t);
    }
    return best_time;
}

// Times our sort and the reference on the same data and prints the ratio.
template <class T, class Ours, class Reference>
void race(const char* what, const std::vector<T>& data, Ours ours, const char* reference_name, Reference reference) {
    double mine = best(data, ours);
    double theirs = best(data, reference);
    kel::bench::report(what, mine, theirs, reference_name);
}

}  // namespace

int main() {
    using namespace kel;
    std::mt19937 rng(2024);
    std::vector<int32_t> ints(N);
    for (auto& x : ints) x = int32_t(rng());
    std::vector<Cell16> cells(N);
    for (size_t i = 0; i < N; ++i) cells[i] = Cell16{5, uint32_t(ints[i]), 0, 0};

    auto inline_cmp = [](const uint8_t* a, const uint8_t* b) {
        int32_t x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return (x > y) - (x < y);
    };
    auto less = [](int32_t a, int32_t b) { return a < b; };

    std::printf("1,000,000 random records, best of %d; ratio = ours / standard library\n", REPEATS);

    race(
        "merge sort, int32, inlined", ints, [&](auto& v) { sort::merge_sort_by(v.data(), v.size(), 4, inline_cmp); },
        "std::stable_sort", [&](auto& v) { std::stable_sort(v.begin(), v.end(), less); });
    race(
        "quicksort, int32, inlined", ints, [&](auto& v) { sort::quicksort_by(v.data(), v.size(), 4, inline_cmp); },
        "std::sort", [&](auto& v) { std::sort(v.begin(), v.end(), less); });

    sort::Compare ic = int_callback;
    auto less_cb = [ic](const int32_t& a, const int32_t& b) { return ic(&a, &b, 0, 0) < 0; };
    race(
        "merge sort, int32, callback", ints, [&](auto& v) { sort::merge_sort(v.data(), v.size(), 4, 0, 0, ic); },
        "std::stable_sort", [&](auto& v) { std::stable_sort(v.begin(), v.end(), less_cb); });
    race(
        "quicksort, int32, callback", ints, [&](auto& v) { sort::quicksort(v.data(), v.size(), 4, 0, 0, ic); },
        "std::sort", [&](auto& v) { std::sort(v.begin(), v.end(), less_cb); });

    sort::Compare cc = cell_callback;
    auto less_cell = [cc](const Cell16& a, const Cell16& b) { return cc(&a, &b, 0, 0) < 0; };
    race(
        "merge sort, 16-byte cells, callback", cells,
        [&](auto& v) { sort::merge_sort(v.data(), v.size(), 16, 0, 0, cc); }, "std::stable_sort",
        [&](auto& v) { std::stable_sort(v.begin(), v.end(), less_cell); });
    race(
        "quicksort, 16-byte cells, callback", cells,
        [&](auto& v) { sort::quicksort(v.data(), v.size(), 16, 0, 0, cc); }, "std::sort",
        [&](auto& v) { std::sort(v.begin(), v.end(), less_cell); });
    return 0;
}
