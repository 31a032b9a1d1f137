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

namespace kel::test {
namespace {

using gui::COLOUR_BASIC, gui::COLOUR_PALETTE;

TEST(TextLayout, EscapeSequences) {
    constexpr uint32_t BOLD = gui::ATTR_BOLD, DIM = gui::ATTR_DIM, ITALIC = gui::ATTR_ITALIC,
                       REVERSE = gui::ATTR_REVERSE, PASSWORD = gui::ATTR_PASSWORD, ESCAPES = gui::ATTR_ESCAPES;
    struct Case {
        const char32_t* text;
        gui::EscapeState start;
        int32_t used;
        gui::EscapeState want;
    };
    const Case cases[] = {
        {U"\x1b[1m", {}, 4, {0, 0, BOLD}},
        {U"\x1b[1;2;3m", {}, 8, {0, 0, BOLD | DIM | ITALIC}},
        {U"\x1b[22;23m", {0, 0, BOLD | ITALIC}, 8, {0, 0, 0}},
        {U"\x1b[22m", {0, 0, BOLD | DIM}, 5, {0, 0, 0}},
        {U"\x1b[21m", {0, 0, BOLD | DIM}, 5, {0, 0, DIM}},
        {U"\x1b[31;42m", {}, 8, {COLOUR_BASIC | 1, COLOUR_BASIC | 2, 0}},
        {U"\x1b[97;107m", {}, 9, {COLOUR_BASIC | 17, COLOUR_BASIC | 17, 0}},
        {U"\x1b[39;49m", {5, 6, 0}, 8, {COLOUR_BASIC | 9, COLOUR_BASIC | 9, 0}},
        {U"\x1b[38;5;196m", {}, 11, {COLOUR_PALETTE | 196, 0, 0}},
        {U"\x1b[48;5;21m", {}, 10, {0, COLOUR_PALETTE | 21, 0}},
        {U"\x1b[1;38;5;196m", {}, 13, {0, 0, 0}},  // only the last group of three: 196 alone is no code
        {U"\x1b[1;2;3;7m", {}, 10, {0, 0, REVERSE}},
        {U"\x1b[0m", {5, 6, BOLD | PASSWORD | ESCAPES}, 4, {0, 0, PASSWORD | ESCAPES}},
        {U"\x1b[m", {5, 6, BOLD}, 3, {5, 6, BOLD}},
        {U"\x1b[38m", {5, 6, 0}, 5, {5, 6, 0}},
        {U"\x1b[2J", {5, 6, BOLD}, 4, {5, 6, BOLD}},
        {U"\x1b[10;20H", {}, 8, {}},
        {U"\x1b[1", {}, 0, {}},
        {U"\x1bx", {}, 0, {}},
        {U"\x1b[99999999999999m", {}, 17, {}},
    };
    for (const Case& c : cases) {
        gui::EscapeState s = c.start;
        std::u32string_view text(c.text);
        EXPECT_EQ(gui::text_escape(text, 0, s), c.used) << text.size();
        EXPECT_EQ(std::tie(s.foreground, s.background, s.attributes),
                  std::tie(c.want.foreground, c.want.background, c.want.attributes))
            << "case of " << c.used << " characters";
    }
}

TEST(TextLayout, Measures) {
    struct Case {
        const char32_t* text;
        int32_t limit;
        gui::TextMeasure measure;
        gui::TextSize size;  // wrapped at the limit
    };
    const Case cases[] = {
        {U"abcd", 3, {3, 3, 1}, {3, 2}},      {U"abcd", 10, {4, 4, 1}, {4, 1}},
        {U"ab\u754Cd", 3, {2, 2, 1}, {3, 2}},  // the wide character is taken back, or wraps
        {U"ab\ncde", 10, {3, 5, 2}, {3, 2}},  {U"", 5, {0, 0, 1}, {0, 1}},
        {U"\u754C", 1, {0, 0, 1}, {0, 1}},  // wider than the limit
    };
    for (const Case& c : cases) {
        gui::TextMeasure m = gui::measure_text(c.text, c.limit);
        EXPECT_EQ(std::tie(m.width, m.count, m.lines), std::tie(c.measure.width, c.measure.count, c.measure.lines))
            << c.limit;
        gui::TextSize s = gui::text_size(c.text, c.limit);
        EXPECT_EQ(std::tie(s.width, s.lines), std::tie(c.size.width, c.size.lines)) << c.limit;
    }
    gui::TextSize unlimited = gui::text_size(U"abc\nde\n", 0);
    EXPECT_EQ(std::tie(unlimited.width, unlimited.lines), std::make_tuple(3, 3));
}

TEST(TextLayout, Utf16Length) {
    boot_library();
    StackMark mark;
    Cell* wide = kel_value(R"(next "x^(1F600)a^(1F601)b")");
    struct Case {
        int32_t start, length, step, want;
    };
    const Case cases[] = {{0, 4, 1, 6}, {1, 3, 1, 4}, {0, 6, -1, 4}, {0, 0, 1, 0}, {2, 9, 1, 10}};
    for (const Case& c : cases)
        EXPECT_EQ(gui::utf16_length(*wide, c.start, c.length, c.step), c.want) << c.start << " " << c.length;
    Cell* narrow = kel_value(R"("abc")");
    EXPECT_EQ(gui::utf16_length(*narrow, 0, 3, 1), 3);
}

TEST_F(WidgetScreen, PasswordsStayHiddenThroughEscapes) {
    use_terminal(1, 8);
    show(window_of(R"(make face! [type: 'field offset: 0x0 size: 8x1 text: "a^[[0mbc" flags: [password]])"));
    EXPECT_EQ(frame(), "|***     |\n");
}

TEST_F(WidgetScreen, FacesOutsideTheBuffer) {
    use_terminal(2, 4);
    show(window_of(R"(make face! [type: 'text offset: 0x0 size: 4x2 text: "abcd"]
                      make face! [type: 'text offset: -2x1 size: 4x1 text: "wxyz"]
                      make face! [type: 'group-box offset: 3x0 size: 1x1]
                      make face! [type: 'text offset: 1x0 size: 0x0 text: "gone"])"));
    EXPECT_EQ(frame(), "|abc┘|\n|yz  |\n");
}

}  // namespace
}  // namespace kel::test
