// Unbounded recursion raises internal/stack-overflow from either stack,
// never a machine-stack fault; try catches it and both stacks work after.
#include "runtime/platform/process.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Stacks = Evaluator;

// Kel code runs on a thread with the runtime's large machine stack, as in
// the executable.
template <class Body>
void on_kel_stack(Body&& body) {
    platform::run_on_large_stack([](void* b) { (*static_cast<Body*>(b))(); }, &body);
}

TEST_F(Stacks, DeepRecursionRaisesOverflowAndTryCatchesIt) {
    on_kel_stack([] {
        uint32_t frames = stack::calls.top;
        Cell* top = stack::state.top;
        Cell e = run("f: func [n] [f n + 1] try [f 1]");
        EXPECT_EQ(type_of(e), TYPE_ERROR);
        EXPECT_EQ(error::id_of(e), ErrorId::internal_stack_overflow);
        EXPECT_EQ(stack::calls.top, frames);
        EXPECT_EQ(stack::calls.limit, stack::FRAME_COUNT - stack::FRAME_RESERVE);
        EXPECT_EQ(integer_of(run("g: func [n] [n + 1] g 1")), 2);
        stack::state.top = top;
    });
}

TEST_F(Stacks, ArgumentStackOverflowIsCaughtTheSameWay) {
    on_kel_stack([] {
        // Each call holds 40 locals: the argument stack runs out long
        // before the call stack.
        std::string locals;
        for (int i = 0; i < 40; ++i) locals += " l" + std::to_string(i);
        std::string code = "h: func [n /local" + locals + "] [h n + 1] try [h 1]";
        uint32_t frames = stack::calls.top;
        Cell e = run(code.c_str());
        EXPECT_EQ(type_of(e), TYPE_ERROR);
        EXPECT_EQ(error::id_of(e), ErrorId::internal_stack_overflow);
        EXPECT_LT(stack::calls.top, stack::FRAME_COUNT / 2);
        EXPECT_EQ(stack::calls.top, frames);
        EXPECT_EQ(stack::state.limit, stack::state.end - stack::CELL_RESERVE);
        EXPECT_EQ(integer_of(run("k: func [a b] [a * b] k 6 7")), 42);
    });
}

// Uncaught by any try, the overflow still reaches the caller as a language
// error.
TEST_F(Stacks, AnOverflowWithoutTryIsALanguageError) {
    on_kel_stack([] { EXPECT_EQ(fails("f: func [] [f] f"), id(ErrorId::internal_stack_overflow)); });
}

}  // namespace
}  // namespace kel::test
