// Events made by the terminal backend: the fields an actor reads, and that an
// event kept by Kel code keeps its record after its widget's face is gone and
// after collections.
#include <gtest/gtest.h>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/event.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "tests/boot-library.h"
#include "tests/kel-eval.h"

namespace kel::test {
namespace {

class BackendEvent : public ::testing::Test {
protected:
    void SetUp() override { boot_library(); }
    void TearDown() override { evaluate("unset [kept face]"); }

    // Makes a backend event into the global `kept` block.
    void keep(uint32_t type, float x, float y, int32_t key, float wheel, uint32_t flags) {
        Cell face = global_value("face");
        event::BackendRecord r;
        r.face = face;
        r.x = x;
        r.y = y;
        r.key_or_picked = key;
        r.wheel = wheel;
        Cell e = make_none();
        Rooted keep_event(e);
        event::make_backend(&e, type, r, flags);
        Cell block = global_value("kept");
        *alloc_block_tail(block) = e;
    }
};

TEST_F(BackendEvent, FieldsReadFromTheRecord) {
    struct Case {
        uint32_t type;
        float x, y;
        int32_t key;
        float wheel;
        uint32_t flags;
        const char* code;  // read from the event as `e`
        const char* want;
    };
    const Case cases[] = {
        {event::KEY, 0, 0, -20, 0, event::FLAG_SPECIAL_KEY, "e/key", "up"},
        {event::KEY, 0, 0, -26, 0, event::FLAG_SPECIAL_KEY, "e/key", "insert"},
        {event::KEY, 0, 0, -42, 0, event::FLAG_SPECIAL_KEY, "e/key", "F12"},
        {event::KEY, 0, 0, -30, 0, event::FLAG_SPECIAL_KEY, "e/key", "none"},
        {event::KEY, 0, 0, 'a', 0, 0, "e/key", "#\"a\""},
        {event::KEY, 0, 0, 0x4E2D, 0, event::FLAG_CONTROL, "reduce [e/key e/ctrl? e/flags]",
         "[#\"中\" true [control]]"},
        {event::WHEEL, 3, 4, 0, -1, 0, "reduce [type? e/picked e/picked e/type]", "[float! -1.0 wheel]"},
        {event::DOWN, 4.9f, -1.7f, 2, 0, event::FLAG_DOWN, "reduce [e/offset e/picked e/down? e/type]",
         "[4x-1 2 true down]"},
        {event::OVER, 1, 1, 0, 0, 0, "reduce [e/window e/orientation e/face/a]", "[none none 42]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_EQ(evaluate("kept: copy [] face: object [a: 42]").error, -1);
        keep(c.type, c.x, c.y, c.key, c.wheel, c.flags);
        Evaluated got = evaluate(std::string("e: kept/1 ") + c.code);
        EXPECT_EQ(got.error, -1);
        EXPECT_EQ(got.text, c.want);
    }
}

// The record belongs to the event: dropping the face everywhere else and
// collecting (at every allocation under KEL_GC_STRESS) leaves every field.
TEST_F(BackendEvent, KeptEventOutlivesItsFace) {
    ASSERT_EQ(evaluate("kept: copy [] face: object [a: 7 b: \"text\"]").error, -1);
    keep(event::WHEEL, 2.5f, 3.5f, 0, 1, event::FLAG_SHIFT);
    keep(event::KEY, 0, 0, -27, 0, event::FLAG_SPECIAL_KEY);
    ASSERT_EQ(evaluate("face: none recycle loop 50 [append/dup copy [] \"x\" 100] recycle").error, -1);
    Evaluated got = evaluate("e: kept/1 reduce [e/face/b e/offset e/picked e/shift? e/type kept/2/key]");
    EXPECT_EQ(got.error, -1);
    EXPECT_EQ(got.text, "[\"text\" 2x3 1.0 true wheel delete]");
}

}  // namespace
}  // namespace kel::test
