// integer! and float! add, multiply and compare through the action slots,
// on an argument frame laid out as the evaluator lays it (the slot looked up
// by the first cell's type, the result left in the first cell), against the
// same operations on int32/double through a non-inlined C++ function, in the
// same run. Prints the time of each and operations per second, and their
// ratio (target: within 10x).
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/float.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"

namespace {

using namespace kel;

// The references: what the slots do, minus dispatch and cells.
__attribute__((noinline)) int64_t add_int(int32_t a, int32_t b) {
    int32_t r;
    return __builtin_add_overflow(a, b, &r) ? int64_t(a) + b : r;
}
__attribute__((noinline)) int64_t multiply_int(int32_t a, int32_t b) {
    int32_t r;
    return __builtin_mul_overflow(a, b, &r) ? int64_t(a) * b : r;
}
__attribute__((noinline)) bool lesser_int(int32_t a, int32_t b) { return a < b; }
__attribute__((noinline)) double add_double(double a, double b) { return a + b; }
__attribute__((noinline)) double multiply_double(double a, double b) { return a * b; }
__attribute__((noinline)) bool lesser_double(double a, double b) { return a < b; }

constexpr size_t COUNT = 1 << 16;
constexpr int ROUNDS = 5;

// Runs the plain action A of the first operand's type on a frame [a, b],
// opened by hand as the evaluator opens one.
template <int A>
double slot_rate(const std::vector<Cell>& left, const std::vector<Cell>& right, uint64_t& sink) {
    Cell* frame = stack::state.top;
    stack::state.arguments = frame;
    stack::state.top = frame + 2;
    double seconds = bench::best_of(ROUNDS, [&] {
        for (size_t i = 0; i < COUNT; ++i) {
            frame[0] = left[i];
            frame[1] = right[i];
            actions::slot_for<A>(type_of(frame[0]))();
            sink += frame[0].data2;
        }
    });
    stack::state.top = frame;
    return seconds;
}

double compare_rate(const std::vector<Cell>& left, const std::vector<Cell>& right, uint64_t& sink) {
    return bench::best_of(ROUNDS, [&] {
        for (size_t i = 0; i < COUNT; ++i) sink += actions::compare(left[i], right[i], COMP_LESSER);
    });
}

template <class T, class Fn>
double reference_rate(const std::vector<T>& a, const std::vector<T>& b, uint64_t& sink, Fn fn) {
    return bench::best_of(ROUNDS, [&] {
        for (size_t i = 0; i < COUNT; ++i) sink += uint64_t(fn(a[i], b[i]));
    });
}

void report(const char* what, double ours, double reference, const char* reference_name) {
    bench::report(what, ours, reference, reference_name);
    std::printf("    %.1f million per second, reference %.1f million per second\n", COUNT / ours / 1e6,
                COUNT / reference / 1e6);
}

}  // namespace

int main() {
    start_runtime();
    std::mt19937_64 rng(7);
    std::vector<int32_t> ia(COUNT), ib(COUNT);
    std::vector<double> da(COUNT), db(COUNT);
    std::vector<Cell> ca(COUNT), cb(COUNT), fa(COUNT), fb(COUNT);
    for (size_t i = 0; i < COUNT; ++i) {
        // Mostly small numbers, some near the limits so that results overflow.
        ia[i] = i % 16 == 0 ? int32_t(uint32_t(rng())) : int32_t(rng() % 20001) - 10000;
        ib[i] = i % 16 == 1 ? int32_t(uint32_t(rng())) : int32_t(rng() % 20001) - 10000;
        da[i] = double(ia[i]) / 7.0;
        db[i] = double(ib[i]) / 3.0;
        ca[i] = make_integer(ia[i]);
        cb[i] = make_integer(ib[i]);
        fa[i] = float_::make_cell(da[i]);
        fb[i] = float_::make_cell(db[i]);
    }
    uint64_t sink = 0;
    std::printf("%zu operations per measurement, best of %d\n", COUNT, ROUNDS);
    report("integer! add (slot)", slot_rate<ACTION_ADD>(ca, cb, sink), reference_rate(ia, ib, sink, add_int),
           "int32 add");
    report("integer! multiply (slot)", slot_rate<ACTION_MULTIPLY>(ca, cb, sink),
           reference_rate(ia, ib, sink, multiply_int), "int32 multiply");
    report("integer! lesser? (compare)", compare_rate(ca, cb, sink), reference_rate(ia, ib, sink, lesser_int),
           "int32 <");
    report("float! add (slot)", slot_rate<ACTION_ADD>(fa, fb, sink), reference_rate(da, db, sink, add_double),
           "double add");
    report("float! multiply (slot)", slot_rate<ACTION_MULTIPLY>(fa, fb, sink),
           reference_rate(da, db, sink, multiply_double), "double multiply");
    report("float! lesser? (compare)", compare_rate(fa, fb, sink), reference_rate(da, db, sink, lesser_double),
           "double <");
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return 0;
}
