// Running timed Kel code inside a benchmark that has built the boot library:
// the code's value as a float (a time! from `dt`, in seconds), and the
// median of several runs.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"

namespace kel::bench {

// Evaluates the code; answers its value as a float.
inline double run_seconds(const std::string& code) {
    Cell* top = stack::state.top;
    Cell* block = stack::push(make_none());
    lexer::scan(block, reinterpret_cast<const uint8_t*>(code.data()), int64_t(code.size()), lexer::Options{});
    if (interpreter::eval(*block, false)) std::abort();
    double v = cell_double(*(stack::state.top - 1));
    stack::state.top = top;
    return v;
}

inline double median(std::vector<double> t) {
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// The median of `rounds` runs of the timed code.
inline double median_of(const std::string& code, int rounds) {
    std::vector<double> t;
    for (int i = 0; i < rounds; ++i) t.push_back(run_seconds(code));
    return median(t);
}

}  // namespace kel::bench
