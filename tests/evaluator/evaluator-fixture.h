// Shared by the evaluator tests: a started runtime with the boot library
// (tests/boot-library.h) whose argument stack and call stack are given back
// after each test, code loaded from text by the lexer, and its result or
// error.
#pragma once
#include "runtime/datatypes/error.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "tests/boot-library.h"
#include "tests/words/words-fixture.h"

namespace kel::test {

struct Evaluator : Words {
    uint32_t saved_frames = 0;
    Cell* saved_arguments = nullptr;
    void SetUp() override {
        Words::SetUp();
        boot_library();
        saved_frames = stack::calls.top;
        saved_arguments = stack::state.arguments;
    }
    void TearDown() override {
        stack::calls.top = saved_frames;
        stack::state.arguments = saved_arguments;
        Words::TearDown();
    }
};

// Evaluates the text as a block and answers its value; a status that
// reaches the top (break, return ...) is stored in *status when given. An
// error fails the test and gives unset.
inline Cell run(const char* text, uint32_t* status = nullptr) {
    Cell* code = load(text);
    uint32_t s = 0;
    Cell result = make_unset();
    Cell* top = stack::state.top;
    uint32_t code_thrown = protect(catch_level::ERRORS, [&] {
        s = interpreter::eval(*code, false);
        if (!s) result = *(stack::state.top - 1);
    });
    if (code_thrown) {
        handled();
        ADD_FAILURE() << text << ": error " << int(error_in_flight().id) << " (code " << code_thrown << ")";
        stack::state.top = top;
    }
    if (status) *status = s;
    return result;
}

// The id of the error evaluating the text raises (-1 for none), with both
// stacks given back.
inline int fails(const char* text) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    return error_of([text] {
        Cell* code = load(text);
        (void)interpreter::eval(*code, false);
    });
}

inline int32_t integer_of(const Cell& c) {
    EXPECT_EQ(type_of(c), TYPE_INTEGER);
    return cell_integer(c);
}

}  // namespace kel::test
