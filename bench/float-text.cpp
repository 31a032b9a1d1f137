// Shortest decimal text of doubles: float_to_string (digits, notation, zero
// point) against std::to_chars' shortest form alone, on the same values in
// the same run. Prints conversions per second of both and their ratio.
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "runtime/numbers/float-text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> make_values(size_t n) {
    std::mt19937_64 rng(12345);
    std::vector<double> values;
    values.reserve(n);
    while (values.size() < n) {
        if (values.size() % 2 == 0) {
            // any finite double, uniform over the bit patterns
            const double v = std::bit_cast<double>(rng());
            if (std::isfinite(v)) values.push_back(v);
        } else {
            // short decimals such as scripts hold: 47.11, 0.003, 1250.0
            const double m = static_cast<double>(rng() % 1000000);
            values.push_back(m / std::pow(10.0, static_cast<double>(rng() % 7)));
        }
    }
    return values;
}

template <class Convert>
double rate(const std::vector<double>& values, int rounds, uint64_t& sink, Convert convert) {
    const auto start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (double v : values) sink += convert(v);
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    return static_cast<double>(values.size()) * rounds / elapsed.count();
}

}  // namespace

int main() {
    const std::vector<double> values = make_values(1 << 16);
    const int rounds = 40;
    uint64_t sink = 0;

    auto ours = [](double v) -> uint64_t {
        const char* t = kel::dtoa::float_to_string(v, 0, true);
        return static_cast<unsigned char>(t[0]) + std::strlen(t);
    };
    auto reference = [](double v) -> uint64_t {
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
        return static_cast<unsigned char>(buffer[0]) + static_cast<uint64_t>(r.ptr - buffer);
    };

    // Warm up both, then alternate to even out frequency changes.
    rate(values, 2, sink, ours);
    rate(values, 2, sink, reference);
    double ours_best = 0;
    double reference_best = 0;
    for (int trial = 0; trial < 5; ++trial) {
        ours_best = std::max(ours_best, rate(values, rounds, sink, ours));
        reference_best = std::max(reference_best, rate(values, rounds, sink, reference));
    }

    std::printf("float_to_string shortest: %.1f M/s\n", ours_best / 1e6);
    std::printf("std::to_chars shortest:   %.1f M/s\n", reference_best / 1e6);
    std::printf("ratio (float_to_string / std::to_chars): %.2f\n", ours_best / reference_best);
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
