// Reading and writing bound words through the context functions: 64 global
// words (values in the global context's block) and 8 words of a function
// context whose values are argument cells, each read and written 10,000,000
// times in turn, against reading and writing a plain array of cells by index
// in the same run. The aim is a ratio within 4.
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"

using namespace kel;

namespace {

volatile int64_t sink;
constexpr int64_t ACCESSES = 10'000'000;

// Adds one to every value in turn: each step reads a slot and writes it.
template <class Read, class Write>
int64_t run(int n, Read&& read, Write&& write) {
    int64_t total = 0;
    for (int64_t i = 0; i < ACCESSES; ++i) {
        int k = int(i % n);
        Cell v = read(k);
        v.data2 += 1;
        total += int32_t(v.data2);
        write(k, v);
    }
    return total;
}

}  // namespace

int main() {
    start_runtime();

    // Global words.
    constexpr int GLOBALS = 64;
    std::vector<Cell> globals;
    for (int i = 0; i < GLOBALS; ++i) {
        std::string name = "bench-global-" + std::to_string(i);
        Cell w = word::make(symbol::make(name.c_str()));
        context::set(w, make_integer(0));
        globals.push_back(w);
    }
    std::vector<Cell> array(GLOBALS, make_integer(0));

    double ours = bench::best_of(5, [&] {
        sink = run(
            GLOBALS, [&](int k) { return *context::get(globals[size_t(k)]); },
            [&](int k, const Cell& v) { context::set(globals[size_t(k)], v); });
    });
    double reference = bench::best_of(5, [&] {
        sink = run(
            GLOBALS, [&](int k) { return array[size_t(k)]; }, [&](int k, const Cell& v) { array[size_t(k)] = v; });
    });
    bench::report("global words: get and set", ours, reference, "cell array by index");

    // A function context whose values are argument cells.
    constexpr int LOCALS = 8;
    Cell* spec = stack::push(make_none());
    block::make_at(*spec, LOCALS);
    spec->header = TYPE_BLOCK;
    for (int i = 0; i < LOCALS; ++i) {
        std::string name = "bench-arg-" + std::to_string(i);
        block::append_cell(*spec, word::make(symbol::make(name.c_str())));
    }
    NodeId ctx = context::make_from_block(*spec, true, false, context::KIND_FUNCTION);
    Cell holder{TYPE_WORD, ctx, 0, context::NO_INDEX};
    stack::push(holder);
    Cell* frame = stack::top();
    for (int i = 0; i < LOCALS; ++i) stack::push(make_integer(0));
    context::cell_of(ctx)->data2 = uint32_t(frame - stack::state.bottom) + 1;
    std::vector<Cell> locals;
    for (int i = 0; i < LOCALS; ++i) locals.push_back(*context::word_at(ctx, i));

    double ours_stack = bench::best_of(5, [&] {
        sink = run(
            LOCALS, [&](int k) { return *context::get(locals[size_t(k)]); },
            [&](int k, const Cell& v) { context::set(locals[size_t(k)], v); });
    });
    double reference_stack = bench::best_of(5, [&] {
        sink = run(
            LOCALS, [&](int k) { return array[size_t(k)]; }, [&](int k, const Cell& v) { array[size_t(k)] = v; });
    });
    bench::report("function words on the stack: get and set", ours_stack, reference_stack, "cell array by index");
    return 0;
}
