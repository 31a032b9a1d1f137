// Shared by the parse tests: the evaluator's fixture on the boot library,
// code loaded by the lexer (chars, binaries and wide strings included) and
// evaluated, and tables of cases: code whose value must be true, code that
// must raise an error.
#pragma once
#include <cstring>

#include "runtime/io/lexer.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {

using Parse = Evaluator;

// The text loaded by the lexer into a block on the argument stack.
inline Cell* lex(const char* text) {
    Cell* b = stack::push(make_none());
    lexer::scan(b, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    return b;
}

// Evaluates the text; an error fails the test and gives unset.
inline Cell eval_text(const char* text) {
    Cell* top = stack::state.top;
    Cell result = make_unset();
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* code_block = lex(text);
        if (!interpreter::eval(*code_block, false)) result = *(stack::state.top - 1);
    });
    if (code) {
        handled();
        ADD_FAILURE() << text << ": error " << int(error_in_flight().id);
    }
    stack::state.top = top;
    return result;
}

// The id of the error the text raises (-1 for none); with arg, its first
// argument.
inline int error_in(const char* text, Cell* arg = nullptr) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    return error_of(
        [text] {
            Cell* code_block = lex(text);
            (void)interpreter::eval(*code_block, false);
        },
        arg);
}

struct TrueCase {
    const char* code;
    bool expected;
};
struct ErrorCase {
    const char* code;
    ErrorId error;
};

inline void expect_truths(std::initializer_list<TrueCase> cases) {
    for (const TrueCase& c : cases) {
        Cell v = eval_text(c.code);
        EXPECT_EQ(type_of(v), TYPE_LOGIC) << c.code;
        EXPECT_EQ(v.data1 != 0, c.expected) << c.code;
    }
}

inline void expect_errors(std::initializer_list<ErrorCase> cases) {
    for (const ErrorCase& c : cases) EXPECT_EQ(error_in(c.code), id(c.error)) << c.code;
}

}  // namespace kel::test
