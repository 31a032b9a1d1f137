// Shared by the evaluator tests: a started runtime whose argument stack and
// call stack are given back after each test, with the word helpers of the
// word tests.
#pragma once
#include "runtime/evaluator/call-stack.h"
#include "tests/words/words-fixture.h"

namespace kel::test {

struct Evaluator : Words {
    uint32_t saved_frames = 0;
    Cell* saved_arguments = nullptr;
    void SetUp() override {
        Words::SetUp();
        saved_frames = stack::calls.top;
        saved_arguments = stack::state.arguments;
    }
    void TearDown() override {
        stack::calls.top = saved_frames;
        stack::state.arguments = saved_arguments;
        Words::TearDown();
    }
};

}  // namespace kel::test
