// Selection of catchers by thrown code and the clearing convention.
#include <gtest/gtest.h>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"

namespace kel {
namespace {

int steps_after_throw = 0;

[[gnu::noinline]] void nested(int depth, uint32_t code) {
    if (depth == 0) {
        system_throw(code);
        return;
    }
    nested(depth - 1, code);
    ++steps_after_throw;  // never reached when the throw passes this frame
}

TEST(Catch, BreakThroughNestedFramesStopsAtTheLoopFrame) {
    steps_after_throw = 0;
    uint32_t outer = protect(catch_level::ERRORS, [] {
        uint32_t loop = protect(catch_level::LOOP, [] { nested(3, thrown::BREAK); });
        EXPECT_EQ(loop, thrown::BREAK);
        EXPECT_EQ(sys.thrown, thrown::BREAK);
        handled();
    });
    EXPECT_EQ(outer, 0u);
    EXPECT_EQ(steps_after_throw, 0);
    EXPECT_EQ(sys.thrown, 0u);
}

TEST(Catch, ErrorPassesALoopFrameToTheTryFrame) {
    bool loop_took_it = false;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        protect(catch_level::LOOP, [] { fire(ErrorId::script_invalid_arg, {make_integer(7)}); });
        loop_took_it = true;
    });
    EXPECT_FALSE(loop_took_it);
    EXPECT_EQ(code, thrown::ERROR);
    EXPECT_EQ(error_in_flight().id, ErrorId::script_invalid_arg);
    ASSERT_EQ(error_in_flight().argc, 1);
    EXPECT_EQ(cell_integer(error_in_flight().args[0]), 7);
    handled();
}

TEST(Catch, LevelsCompareUnsigned) {
    // The quit request is below every language code; the root level admits all.
    EXPECT_EQ(protect(catch_level::THROW, [] { system_throw(thrown::QUIT); }), thrown::QUIT);
    EXPECT_THROW(protect(catch_level::THROW, [] { system_throw(thrown::RETURN); }), Thrown);
    EXPECT_EQ(protect(catch_level::ROOT, [] { system_throw(0xFFFFFFFFu); }), 0xFFFFFFFFu);
    handled();
}

TEST(Catch, ACatcherRethrowsWhatItDoesNotHandle) {
    uint32_t outer = protect(catch_level::ERRORS, [] {
        uint32_t code = protect(catch_level::LOOP, [] { system_throw(thrown::CONTINUE); });
        if (code != thrown::BREAK) system_throw(sys.thrown);  // not ours: travel on unchanged
    });
    EXPECT_EQ(outer, thrown::CONTINUE);
    handled();
}

TEST(Catch, ThrowOfZeroReturns) {
    EXPECT_EQ(protect(catch_level::ERRORS, [] { system_throw(0); }), 0u);
}

TEST(Catch, FireKeepsAtMostThreeArguments) {
    protect(catch_level::ERRORS, [] {
        fire(ErrorId::script_expect_arg, {make_integer(1), make_integer(2), make_integer(3), make_integer(4)});
    });
    EXPECT_EQ(error_in_flight().argc, 3);
    EXPECT_EQ(category_of(error_in_flight().id), ErrorCategory::script);
    EXPECT_STREQ(error_id_word(error_in_flight().id), "expect-arg");
    handled();
}

}  // namespace
}  // namespace kel
