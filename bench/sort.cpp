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
#include <cstring>
#include <random>
#include <vector>

#include "runtime/sort.h"

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
                if constexpr (sizeof(T) == 4) return a < b;
                else return int32_t(a.value) < int32_t(b.value);
            })) {
            std::printf("result not sorted\n");
            std::exit(1);
        }
        best_time = std::min(best_time, t);
    }
    return best_time;
}

void report(const char* what, double ours, double reference) {
    std::printf("%-34s %8.1f ms  reference %8.1f ms  ratio %.2f\n", what, ours * 1e3, reference * 1e3,
                ours / reference);
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

    double ms = best(ints, [&](auto& v) { sort::merge_sort_by(v.data(), v.size(), 4, inline_cmp); });
    double ss = best(ints, [&](auto& v) { std::stable_sort(v.begin(), v.end(), less); });
    report("merge sort, int32, inlined", ms, ss);
    double qs = best(ints, [&](auto& v) { sort::quicksort_by(v.data(), v.size(), 4, inline_cmp); });
    double st = best(ints, [&](auto& v) { std::sort(v.begin(), v.end(), less); });
    report("quicksort, int32, inlined", qs, st);

    sort::Compare ic = int_callback;
    auto less_cb = [ic](const int32_t& a, const int32_t& b) { return ic(&a, &b, 0, 0) < 0; };
    ms = best(ints, [&](auto& v) { sort::merge_sort(v.data(), v.size(), 4, 0, 0, ic); });
    ss = best(ints, [&](auto& v) { std::stable_sort(v.begin(), v.end(), less_cb); });
    report("merge sort, int32, callback", ms, ss);
    qs = best(ints, [&](auto& v) { sort::quicksort(v.data(), v.size(), 4, 0, 0, ic); });
    st = best(ints, [&](auto& v) { std::sort(v.begin(), v.end(), less_cb); });
    report("quicksort, int32, callback", qs, st);

    sort::Compare cc = cell_callback;
    auto less_cell = [cc](const Cell16& a, const Cell16& b) { return cc(&a, &b, 0, 0) < 0; };
    ms = best(cells, [&](auto& v) { sort::merge_sort(v.data(), v.size(), 16, 0, 0, cc); });
    ss = best(cells, [&](auto& v) { std::stable_sort(v.begin(), v.end(), less_cell); });
    report("merge sort, 16-byte cells, callback", ms, ss);
    qs = best(cells, [&](auto& v) { sort::quicksort(v.data(), v.size(), 16, 0, 0, cc); });
    st = best(cells, [&](auto& v) { std::sort(v.begin(), v.end(), less_cell); });
    report("quicksort, 16-byte cells, callback", qs, st);
    return 0;
}
