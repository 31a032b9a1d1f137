// Faces with a `draw` block and rich-text faces with styles, drawn by the
// face render into the fake terminal: the block at the face's offset and
// cut to its box, an error in it printed once, the styles of a rich-text
// widget by character positions and their errors raised to the code that
// made the view.
#include <gtest/gtest.h>

#include "tests/view/widget-screen.h"
#include "view/terminal/draw.h"

namespace kel::test {
namespace {

TEST_F(WidgetScreen, DrawBlocksAtTheFaceOffset) {
    struct Case {
        const char* name;
        const char* faces;
        const char* screen;
    };
    const Case cases[] = {
        {"a box and a line of the pen kel",
         "make face! [type: 'base offset: 2x1 size: 10x4 draw: [pen kel box 0x0 9x3 line 1x1 8x1]]",
         "|                |\n"
         "|  ┌────────┐    |\n"
         "   aaaaaaaaaa\n"
         "|  │████████│    |\n"
         "   aaaaaaaaaa\n"
         "|  │        │    |\n"
         "   a        a\n"
         "|  └────────┘    |\n"
         "   aaaaaaaaaa\n"
         "a: fg 196\n"},
        {"cut to the face's box",
         "make face! [type: 'base offset: 4x1 size: 5x2 draw: [line -3x0 20x0 circle 2x1 6 text 1x1 \"wxyz0\"]]",
         "|                |\n"
         "|    █████       |\n"
         "|     wxyz       |\n"
         "|                |\n"
         "|                |\n"},
        {"faces drawn later cover the drawing",
         "make face! [type: 'base offset: 0x0 size: 8x3 draw: [fill-pen 0.0.255 box 0x0 7x2]] "
         "make face! [type: 'text offset: 2x1 size: 3x1 text: \"abc\"]",
         "|┌──────┐        |\n"
         " aaaaaaaa\n"
         "|│ abc  │        |\n"
         " aa   aaa\n"
         "|└──────┘        |\n"
         " aaaaaaaa\n"
         "|                |\n"
         "|                |\n"
         "a: bg 21\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StackMark mark;
        show(window_of(c.faces));
        EXPECT_EQ(frame(), c.screen);
        gui::release_all_widgets();
    }
}

// An error in a face's draw block is printed at the first frame only; again
// once the face's draw is changed (another block, or the same block changed
// in place and shown) or its window is shown again (its widgets made anew).
TEST_F(WidgetScreen, DrawErrorPrintedOnce) {
    StackMark mark;
    show("drawn-window: " + window_of("make face! [type: 'base offset: 1x1 size: 6x2 draw: [push [rotate 3 [foo]]]]"));
    auto printed = [&] {
        testing::internal::CaptureStdout();
        frame();
        return testing::internal::GetCapturedStdout();
    };
    std::string first = printed();
    EXPECT_NE(first.find("DRAW - invalid input at: [foo]"), std::string::npos) << first;
    EXPECT_EQ(printed(), "") << "the next frame";
    EXPECT_EQ(printed(), "");
    kel_value("drawn-window/pane/1/draw: copy [line 0x0 2x0 box]");
    EXPECT_NE(printed().find("DRAW - invalid input at: []"), std::string::npos) << "another block";
    EXPECT_EQ(printed(), "");
    kel_value("append drawn-window/pane/1/draw [0x0]");
    EXPECT_NE(printed().find("DRAW - invalid input at: []"), std::string::npos) << "the block changed in place";
    EXPECT_EQ(printed(), "");
    kel_value("system/view/auto-sync?: false append drawn-window/pane/1/draw [foo] system/view/auto-sync?: true");
    EXPECT_EQ(printed(), "") << "a change not yet shown";
    kel_value("show drawn-window/pane/1");
    EXPECT_NE(printed().find("DRAW - invalid input at: [foo]"), std::string::npos) << "shown after the change";
    gui::release_all_widgets();
    show("drawn-window");
    EXPECT_NE(printed().find("DRAW - invalid input at: [foo]"), std::string::npos) << "shown again";
    EXPECT_EQ(printed(), "");
    kel_value("unset 'drawn-window");
}

// A rich-text widget's styles: ranges count characters, so a range after a
// character above U+FFFF styles the cells it names; a malformed style block
// raises to the code that made the view.
TEST_F(WidgetScreen, RichTextStyles) {
    StackMark mark;
    show(
        window_of("make face! [type: 'rich-text offset: 0x0 size: 8x1 text: \"a^(1D400)bcdef\" "
                  "data: [1x1 0.0.255 3x2 bold 5x10 italic backdrop 255.0.0]]"));
    EXPECT_EQ(frame(),
              "|a𝐀bcdef         |\n"
              " a bbccc\n"
              "|                |\n"
              "|                |\n"
              "|                |\n"
              "|                |\n"
              "a: fg 21\n"
              "b: bold\n"
              "c: italic bg 196\n");
    gui::release_all_widgets();
    Cell* face = kel_value("make face! [type: 'rich-text offset: 0x0 size: 8x1 text: \"abc\" data: [1x2 bold foo]]");
    Cell arg;
    EXPECT_EQ(error_of([&] { realize(*face, 0); }, &arg), id(ErrorId::script_draw_invalid));
}

}  // namespace
}  // namespace kel::test
