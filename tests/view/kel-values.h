// Kel values for the view backend's tests: text evaluated into a cell that
// stays on the argument stack (so the collector keeps it) until the test's
// guard pops it.
#pragma once
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "tests/support.h"

namespace kel::test {

// Pops what was pushed on the argument stack while it lived.
class StackMark {
public:
    StackMark() : top_(stack::state.top) {}
    ~StackMark() { stack::state.top = top_; }
    StackMark(const StackMark&) = delete;
    StackMark& operator=(const StackMark&) = delete;

private:
    Cell* top_;
};

// The value of the Kel text in a new cell on the stack; none, with a test
// failure, when the text raised an error.
inline Cell* kel_value(const std::string& code) {
    Cell* slot = stack::push(make_none());
    Cell* block = stack::push(make_none());
    lexer::scan(block, reinterpret_cast<const uint8_t*>(code.data()), int64_t(code.size()), lexer::Options{});
    int error = error_of([&] {
        if (!interpreter::eval(*block, false)) *slot = stack::state.top[-1];
    });
    EXPECT_EQ(error, -1) << code;
    stack::state.top = slot + 1;
    return slot;
}

}  // namespace kel::test
