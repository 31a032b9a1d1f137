// Faces drawn into the fake terminal: text alignment, wrapping, wide
// characters, escape sequences, hints, image cells and font colours, and
// the text measurements.
#include <gtest/gtest.h>

#include "runtime/datatypes/point.h"
#include "tests/kel-eval.h"
#include "tests/view/widget-screen.h"
#include "view/terminal/text-layout.h"

namespace kel::test {
namespace {

std::string window_of(const std::string& faces) {
    return "make face! [type: 'window size: 16x5 pane: reduce [" + faces + "]]";
}

TEST_F(WidgetScreen, RendersFaces) {
    struct Case {
        const char* name;
        int rows, columns;  // the window's extent: the terminal is made this size
        const char* faces;
        const char* screen;
    };
    const Case cases[] = {
        {"centred text", 1, 10,
         R"(make face! [type: 'button offset: 0x0 size: 10x1 text: "OK" para: make para! [align: 'center]])",
         "|    OK    |\n"},
        {"wrapped at the edge, not at spaces", 3, 5,
         R"(make face! [type: 'text offset: 0x0 size: 5x3 text: "Hello world" para: make para! [wrap?: true]])",
         "|Hello|\n| worl|\n|d    |\n"},
        {"cut without wrapping", 3, 5, R"(make face! [type: 'text offset: 0x0 size: 5x3 text: "Hello world"])",
         "|Hello|\n|     |\n|     |\n"},
        {"a wide character that does not fit wraps", 2, 5,
         R"(make face! [type: 'text offset: 0x0 size: 5x2 text: "abcd^(754C)e" para: make para! [wrap?: true]])",
         "|abcd |\n|界e  |\n"},
        {"a wide character that does not fit is cut", 2, 5,
         R"(make face! [type: 'text offset: 0x0 size: 5x2 text: "abcd^(754C)e^/xy"])", "|abcd |\n|xy   |\n"},
        {"an escape sequence takes no cells", 1, 4, R"(make face! [type: 'text offset: 0x0 size: 4x1 text: "a^[[1mb"])",
         "|ab  |\n"
         "  a\n"
         "a: bold\n"},
        {"a hint is dim", 1, 6, R"(make face! [type: 'field offset: 0x0 size: 6x1 text: "" options: [hint "name"]])",
         "|name  |\n"
         " aaaa\n"
         "a: dim\n"},
        {"a font without a colour draws in the default foreground", 1, 3,
         R"(make face! [type: 'text offset: 0x0 size: 3x1 text: "H1" font: make font! [size: 32 style: 'bold]])",
         "|H1 |\n"},
        {"a font colour and a background", 1, 3,
         R"(make face! [type: 'text offset: 0x0 size: 3x1 text: "ab" color: 0.0.255 font: make font! [color: 255.0.0]])",
         "|ab |\n"
         " aab\n"
         "a: fg 196 bg 21\n"
         "b: bg 21\n"},
        {"a later face draws over an earlier one", 1, 4,
         R"(make face! [type: 'text offset: 0x0 size: 4x1 text: "abcd"]
            make face! [type: 'text offset: 2x0 size: 1x1 text: "X"])",
         "|abXd|\n"},
        {"a hidden face is not drawn", 1, 4,
         R"(make face! [type: 'text offset: 0x0 size: 4x1 text: "abcd" visible?: false])", "|    |\n"},
        {"a child is cut at its panel", 1, 3,
         R"(make face! [type: 'panel offset: 0x0 size: 3x1 pane: reduce [
                make face! [type: 'text offset: 1x0 size: 5x1 text: "xyzw"]]])",
         "| xy|\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        use_terminal(c.rows, c.columns);
        show(window_of(c.faces));
        EXPECT_EQ(frame(), c.screen);
        gui::release_all_widgets();
    }
}

TEST_F(WidgetScreen, ImageCellsAreHalfBlocks) {
    // Two rows of pixels, red over blue, in a face of 4x1 cells.
    show(window_of(R"(make face! [type: 'base offset: 0x0 size: 4x1
        image: make image! [4x2 #{FF0000FF0000FF0000FF00000000FF0000FF0000FF0000FF}]])"));
    use_terminal(1, 4);
    EXPECT_EQ(frame(),
              "|▄▄▄▄|\n"
              " aaaa\n"
              "a: fg #0000FF bg #FF0000\n");
}

TEST_F(WidgetScreen, ImageCellsOnThePalette) {
    use_terminal(1, 2);
    gui::state().colour_depth = 2;
    show(window_of(R"(make face! [type: 'base offset: 0x0 size: 2x1
        image: make image! [2x2 #{FF0000FF00000000FF0000FF}]])"));
    EXPECT_EQ(frame(),
              "|▄▄|\n"
              " aa\n"
              "a: fg 21 bg 196\n");
}

TEST(TextLayout, TextBoxMetrics) {
    boot_library();
    StackMark mark;
    Cell* face = kel_value(R"(make face! [type: 'rich-text size: 10x5 text: "ab^/cde"])");
    struct Case {
        const char* arg;
        int32_t type;
        const char* want;
    };
    const Case cases[] = {
        {"2", 2, "1.0"},    {"none", 3, "(3, 2)"}, {"none", 4, "2"}, {"1", 0, "(0, 0)"}, {"4", 0, "(0, 1)"},
        {"4", 6, "(1, 2)"}, {"1x1", 1, "5"},       {"9x0", 1, "3"},  {"9x9", 1, "7"},    {"9x9", 5, "6"},
    };
    for (const Case& c : cases) {
        set_global("metrics-got", gui::text_box_metrics(*face, *kel_value(c.arg), c.type));
        EXPECT_EQ(evaluate("metrics-got").text, c.want) << c.arg << " type " << c.type;
    }
    Cell* narrow = kel_value(R"(make face! [type: 'rich-text size: 2x5 text: "abcde"])");
    set_global("metrics-got", gui::text_box_metrics(*narrow, make_none(), 3));
    EXPECT_EQ(evaluate("metrics-got").text, "(2, 3)") << "wrapped at the face's width";
}

}  // namespace
}  // namespace kel::test
