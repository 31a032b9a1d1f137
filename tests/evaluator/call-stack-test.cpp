// The call stack: frames opened and dropped by their guards, function
// contexts written back on every exit path, the searches of non-local exits,
// the call lists of error reports, overflow with its reserve, and the
// collector's root step.
#include "tests/evaluator/evaluator-fixture.h"

#include <algorithm>

#include "runtime/datatypes/runtime-words.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/memory/collector.h"

namespace kel::test {
namespace {

using CallStackTest = Evaluator;

Cell name(const char* spelling) { return word::make(symbol::make(spelling)); }

TEST_F(CallStackTest, AGuardPutsBothStacksBackOnEveryExit) {
    Cell* arguments = stack::state.arguments;
    Cell* top = stack::state.top;
    uint32_t frames = stack::calls.top;
    EXPECT_EQ(raised([] {
                  stack::OpenFrame outer(name("f"), stack::KIND_FUNCTION);
                  stack::push(make_integer(1));
                  stack::OpenFrame inner(name("g"), stack::KIND_NATIVE);
                  stack::push(make_integer(2));
                  fire(ErrorId::math_zero_divide);
              }),
              id(ErrorId::math_zero_divide));
    EXPECT_EQ(stack::calls.top, frames);
    EXPECT_EQ(stack::state.arguments, arguments);
    EXPECT_EQ(stack::state.top, top);
    {
        stack::OpenFrame f(name("f"), stack::KIND_NATIVE);
        stack::push(make_integer(7));
        f.keep();
    }
    EXPECT_EQ(stack::state.top, top + 1);
    EXPECT_EQ(cell_integer(*(stack::state.top - 1)), 7);
}

// Frames passed over by a non-local exit write their saved values index
// back: the outer call sees its own arguments again.
TEST_F(CallStackTest, DroppedFunctionFramesWriteTheirContextsBack) {
    NodeId ctx = context::make(2, true, false, 0, context::KIND_FUNCTION);
    Rooted keep(ctx);
    context::cell_of(ctx)->data2 = 11;
    EXPECT_EQ(raised([ctx] {
                  stack::OpenFrame outer(name("f"), stack::KIND_FUNCTION, ctx);
                  context::cell_of(ctx)->data2 = 22;
                  stack::OpenFrame inner(name("f"), stack::KIND_FUNCTION, ctx);
                  context::cell_of(ctx)->data2 = 33;
                  stack::OpenFrame loop(name("loop"), stack::KIND_LOOP);
                  fire(ErrorId::math_zero_divide);
              }),
              id(ErrorId::math_zero_divide));
    EXPECT_EQ(context::cell_of(ctx)->data2, 11u);
    {
        stack::OpenFrame outer(name("f"), stack::KIND_FUNCTION, ctx);
        context::cell_of(ctx)->data2 = 22;
        {
            stack::OpenFrame inner(name("f"), stack::KIND_FUNCTION, ctx);
            context::cell_of(ctx)->data2 = 33;
            inner.set_last();
        }
        EXPECT_EQ(context::cell_of(ctx)->data2, 22u);
    }
    EXPECT_EQ(context::cell_of(ctx)->data2, 11u);
}

// A search that finds no target raises from where it stands: nothing is
// popped, so the error's where and stack describe the place of the exit.
TEST_F(CallStackTest, SearchesStopAtTryAllAndLeaveTheStacksAlone) {
    stack::OpenFrame loop(name("loop"), stack::KIND_LOOP);
    stack::OpenFrame body(name("f"), stack::KIND_FUNCTION | stack::FRAME_RETURN_TARGET);
    stack::OpenFrame catcher(name("catch"), stack::KIND_CATCH);
    stack::OpenFrame all(name("try"), stack::KIND_TRY_ALL);
    stack::push(make_integer(1));
    struct Case {
        ErrorId error;
        uint32_t (*search)();
    };
    const Case cases[] = {
        {ErrorId::throw_break, [] { return stack::find_loop(false); }},
        {ErrorId::throw_continue, [] { return stack::find_loop(true); }},
        {ErrorId::throw_return, [] { return stack::find_return_target(); }},
        {ErrorId::throw_throw, [] { return stack::find_catch(make_integer(5)); }},
    };
    for (const Case& c : cases) {
        stack::OpenFrame native(name("break"), stack::KIND_NATIVE);
        uint32_t frames = stack::calls.top;
        Cell* top = stack::state.top;
        Cell* arguments = stack::state.arguments;
        EXPECT_EQ(error_of([&c] { c.search(); }), id(c.error));
        EXPECT_EQ(stack::calls.top, frames);
        // Nothing popped: the error value was made above the cells.
        EXPECT_GE(stack::state.top, top);
        EXPECT_EQ(stack::state.arguments, arguments);
        stack::state.top = top;
    }
    all.keep();
    stack::OpenFrame native(name("break"), stack::KIND_NATIVE);
    EXPECT_EQ(stack::find_loop(false), loop.index());
    EXPECT_EQ(stack::find_return_target(), body.index());
    EXPECT_EQ(stack::find_catch(make_none()), catcher.index());
}

TEST_F(CallStackTest, CallListsSkipUnnamedFramesAndTheBottomFrame) {
    // The fixture's stacks may hold frames of their own: list from a fresh
    // bottom.
    Restore<uint32_t> top(stack::calls.top);
    stack::calls.top = 0;
    Cell* list = block_of({});
    stack::OpenFrame bottom(name("bottom"), stack::KIND_EVAL);
    stack::OpenFrame f(name("f"), stack::KIND_FUNCTION);
    stack::OpenFrame b(words::word(words::Word::body), stack::KIND_NATIVE);
    stack::OpenFrame g(name("g"), stack::KIND_NATIVE);
    stack::OpenFrame a(make_integer(3), stack::KIND_NATIVE);  // not a word: <anon>
    stack::collect_calls(*list);
    ASSERT_EQ(block::ks_length(*list), 4);
    Cell listed[4];
    std::copy_n(block::ks_abs_at(*list, 0), 4, listed);  // forming allocates
    EXPECT_EQ(formed(listed[0]), "g");
    EXPECT_EQ(cell_integer(listed[1]), int32_t(stack::calls.frames[g.index()].saved_arguments));
    EXPECT_EQ(formed(listed[2]), "f");
    EXPECT_EQ(cell_integer(listed[3]), int32_t(stack::calls.frames[f.index()].saved_arguments));
    Cell* text = new_buffer();
    int64_t left = stack::form_calls(2, stack::calls.top, *text, 100);
    EXPECT_EQ(text_of(*text), "bottom f g ");
    EXPECT_EQ(left, 100 - 11);
    EXPECT_EQ(formed(stack::current_call_word()), "g");
}

TEST_F(CallStackTest, OverflowRaisesBeforeCapacityAndBothStacksWorkAfterwards) {
    uint32_t frames = stack::calls.top;
    auto deep = [] {
        for (;;) {
            stack::open_frame(name("f"), stack::KIND_NATIVE);
            stack::push(make_integer(1));
        }
    };
    struct Dropped {
        uint32_t frames;
        ~Dropped() { stack::drop_frames(frames); }
    };
    EXPECT_EQ(raised([&] {
                  Dropped d{frames};
                  deep();
              }),
              id(ErrorId::internal_stack_overflow));
    EXPECT_EQ(stack::calls.top, frames);
    EXPECT_EQ(stack::calls.limit, stack::FRAME_COUNT - stack::FRAME_RESERVE);
    // The argument stack the same way: cells pushed in one frame.
    EXPECT_EQ(raised([] {
                  for (;;) stack::push(make_integer(2));
              }),
              id(ErrorId::internal_stack_overflow));
    EXPECT_EQ(stack::state.limit, stack::state.end - stack::CELL_RESERVE);
    stack::OpenFrame again(name("f"), stack::KIND_NATIVE);
    stack::push(make_integer(3));
    again.keep();
    EXPECT_EQ(cell_integer(*stack::top_value()), 3);
}

// The error path may push and open frames itself: the reserve is open while
// the overflow error is made.
TEST_F(CallStackTest, TheReserveIsOpenOnlyWhileTheOverflowErrorIsMade) {
    static uint32_t frame_limit_seen = 0;
    frame_limit_seen = 0;
    Restore<uint32_t> limit(stack::calls.limit);
    stack::calls.limit = stack::calls.top;
    struct Spy {
        static void on_raise() { frame_limit_seen = stack::calls.limit; }
    };
    Installed<RaiseHook> hook(install_raise_hook, Spy::on_raise);
    EXPECT_EQ(raised([] { stack::open_frame(name("f"), stack::KIND_NATIVE); }), id(ErrorId::internal_stack_overflow));
    EXPECT_EQ(frame_limit_seen, stack::FRAME_COUNT);
}

TEST_F(CallStackTest, ContextsNamedByFramesSurviveCollection) {
    Cell w = word::make(symbol::make("field"));
    {
        NodeId ctx = context::make(1, false, false, 0, context::KIND_OBJECT);
        context::add_word(ctx, int32_t(w.data2));
        w.data1 = ctx;
        w.data3 = 0;
    }
    stack::OpenFrame f(w, stack::KIND_NATIVE);
    {
        Cell text = make_none();
        Rooted keep(text);
        string::ks_make_at(text, 4);
        string::append_c_string(text, "kept");
        *context::get(w) = text;
    }
    collector::do_cycle();
    for (int i = 0; i < 50; ++i) block_of({make_integer(i)});  // reuse what was freed
    collector::do_cycle();
    EXPECT_EQ(context::word_count(w.data1), 1u);
    EXPECT_EQ(text_of(*context::get(w)), "kept");
    EXPECT_EQ(formed(stack::frame_word(f.index())), "field");
}

}  // namespace
}  // namespace kel::test
