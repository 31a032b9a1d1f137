// float! form: the friendly text of the float text formatter (and the form
// slot appending it to a string) against snprintf("%.16g") of the same
// values, in the same run. Prints the times and their ratio (target: within
// 2x).
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace {

using namespace kel;

std::vector<double> make_values(size_t n) {
    std::mt19937_64 rng(99);
    std::vector<double> values;
    values.reserve(n);
    while (values.size() < n) {
        switch (values.size() % 3) {
        case 0:
            values.push_back(double(rng() % 1000000) / std::pow(10.0, double(rng() % 7)));
            break;
        case 1:
            values.push_back(double(rng() % 1000) / double(1 + rng() % 1000));
            break;  // 16 digits of noise
        default:
            values.push_back(std::ldexp(double(rng() % 1000000 + 1), int(rng() % 200) - 100));
            break;
        }
    }
    return values;
}

}  // namespace

int main() {
    start_runtime();
    const std::vector<double> values = make_values(1 << 15);
    const int rounds = 5;
    uint64_t sink = 0;
    double reference = bench::best_of(rounds, [&] {
        char buffer[40];
        for (double v : values) sink += uint64_t(std::snprintf(buffer, sizeof buffer, "%.16g", v));
    });
    double text = bench::best_of(rounds, [&] {
        for (double v : values) sink += float_::to_text(v, float_::TEXT_FLOAT).length;
    });
    Cell buffer{TYPE_STRING, 0, memory::alloc_codepoints(64, 1), 0};
    Rooted keep(buffer);
    double slot = bench::best_of(rounds, [&] {
        for (double v : values) {
            string::ks_reset(buffer);
            sink += uint64_t(1000 - actions::form(float_::make_cell(v), buffer, false, 1000));
        }
    });
    std::printf("%zu values, best of %d\n", values.size(), rounds);
    bench::report("float! text (formatter)", text, reference, "snprintf %.16g");
    bench::report("float! form (slot into a string)", slot, reference, "snprintf %.16g");
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
