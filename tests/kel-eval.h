// Evaluating Kel text in a test program that has built the boot library:
// the result molded flat, or the id of the language error it raised.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/datatypes/binary.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/io/lexer.h"
#include "tests/support.h"

namespace kel::test {

struct Evaluated {
    int error = -1;  // the language error's id, or -1
    std::string text;  // the result molded flat
};

inline Evaluated evaluate(const std::string& code) {
    std::string source = "mold/flat (" + code + "\n)";
    Cell* saved = stack::state.top;
    Cell* block = stack::push(make_none());
    lexer::scan(block, reinterpret_cast<const uint8_t*>(source.data()), int64_t(source.size()), lexer::Options{});
    Evaluated outcome;
    outcome.error = error_of([&] {
        if (interpreter::eval(*block, false)) return;
        const Cell& text = stack::state.top[-1];
        int64_t n = binary::measure(text, -1, false);
        outcome.text.resize(size_t(n));
        binary::write(reinterpret_cast<uint8_t*>(outcome.text.data()), text, -1, false);
    });
    stack::state.top = saved;
    return outcome;
}

}  // namespace kel::test
