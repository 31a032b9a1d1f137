// Small timing helpers shared by the benchmarks: each benchmark measures the
// system's operation and a reference in the same run and prints the ratio.
#pragma once
#include <chrono>
#include <cstdio>

namespace kel::bench {

// Best of `rounds` runs of fn, in seconds.
template <class Fn>
double best_of(int rounds, Fn&& fn) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        fn();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (s < best) best = s;
    }
    return best;
}

inline void report(const char* what, double ours, double reference, const char* reference_name) {
    std::printf("%-44s %10.3f ms   %-22s %10.3f ms   ratio %.2f\n", what, ours * 1e3, reference_name, reference * 1e3,
                ours / reference);
}

}  // namespace kel::bench
