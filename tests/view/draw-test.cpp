// The draw dialect on the character grid: draw blocks rendered into the
// screen buffer of a widget (an origin and a clip rectangle), shown through
// the fake terminal as a screenshot of text and looks; the line walk
// against the plain error-term walk; the rich-text style runs; the walk
// guard after an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/datatypes/string.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory/cycle-guard.h"
#include "tests/boot-library.h"
#include "tests/support.h"
#include "tests/view/fake-terminal.h"
#include "tests/view/kel-values.h"
#include "view/terminal/colour.h"
#include "view/terminal/draw-grid.h"
#include "view/terminal/draw.h"

namespace kel::test {
namespace {

constexpr int32_t WIDTH = 20, HEIGHT = 8;

// A screen of WIDTH x HEIGHT cells, drawn full screen so that its rows are
// the terminal's.
class DrawGrid : public ::testing::Test {
protected:
    FakeTerminal terminal{HEIGHT, WIDTH};
    Cell* saved_top = nullptr;

    void SetUp() override {
        boot_library();
        saved_top = stack::state.top;
        gui::state().active = true;
        gui::state().full_screen = true;
        gui::state().width = WIDTH;
        gui::state().height = HEIGHT;
        gui::size_buffer(0, 0, float(WIDTH), float(HEIGHT));
        gui::clear_buffer();
    }
    void TearDown() override { stack::state.top = saved_top; }

    // A widget at (x, y) of w x h cells, its clip the box cut to the screen.
    static gui::DrawContext widget(int32_t x, int32_t y, int32_t w, int32_t h) {
        gui::DrawContext ctx;
        ctx.target = &gui::screen();
        ctx.widget = 1;
        ctx.origin_x = x;
        ctx.origin_y = y;
        ctx.clip_left = std::max(x, 0);
        ctx.clip_top = std::max(y, 0);
        ctx.clip_right = std::min(x + w, WIDTH);
        ctx.clip_bottom = std::min(y + h, HEIGHT);
        ctx.render_flags = gui::ATTR_ESCAPES;
        return ctx;
    }

    // The block Kel code gives, drawn as a face's draw block.
    uint32_t draw(gui::DrawContext ctx, const std::string& code) {
        Cell* top = stack::state.top;
        Cell commands = *kel_value(code);
        uint32_t thrown_code = gui::draw::render_block(ctx, commands);
        stack::state.top = top;
        return thrown_code;
    }

    std::string shot() {
        gui::write_frame();
        return terminal.screen.screenshot();
    }
};

// The screenshot of rows given as lines, "" for a blank row.
std::string screenshot(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += (l.empty() ? "|" + std::string(WIDTH, ' ') + "|" : l) + "\n";
    return out;
}

TEST_F(DrawGrid, ShapesRelativeToTheWidget) {
    struct Case {
        const char* name;
        int32_t x, y, w, h;
        const char* block;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"a pen and a line away from 0x0",
         5,
         2,
         10,
         4,
         "[pen 255.0.0 line 0x0 3x0]",
         {"", "", "|     ████           |", "      aaaa", "", "", "", "", "", "a: fg 196"}},
        {"a diagonal",
         1,
         1,
         10,
         5,
         "[line 0x0 3x3]",
         {"", "| █                  |", "|  █                 |", "|   █                |", "|    █               |",
          "", "", ""}},
        {"a box with a fill at 10x5",
         10,
         5,
         10,
         3,
         "[fill-pen 0.0.255 box 0x0 4x2]",
         {"", "", "", "", "", "|          ┌───┐     |", "           aaaaa", "|          │   │     |",
          "           aaaaa", "|          └───┘     |", "           aaaaa", "a: bg 21"}},
        {"a box of reversed corners",
         0,
         0,
         20,
         8,
         "[box 4x2 0x0]",
         {"|┌───┐               |", "|│   │               |", "|└───┘               |", "", "", "", "", ""}},
        {"a box before the widget", 3, 3, 5, 3, "[box -5x-5 -1x-1]", {"", "", "", "", "", "", "", ""}},
        {"pen off: a box without fill", 0, 0, 20, 8, "[pen off box 0x0 4x2]", {"", "", "", "", "", "", "", ""}},
        {"pen off: a line", 0, 0, 20, 8, "[pen off line 0x0 5x0 line 0x1 2x1]", {"", "", "", "", "", "", "", ""}},
        {"pen off: the fill alone",
         0,
         0,
         20,
         8,
         "[pen off fill-pen 0.0.255 box 0x0 2x1]",
         {"", " aaa", "", " aaa", "", "", "", "", "", "", "a: bg 21"}},
        {"a filled triangle",
         2,
         1,
         10,
         6,
         "[fill-pen 0.255.0 triangle 0x0 4x0 0x4]",
         {"", "|  █████             |", "   aaaaa", "|  █  █              |", "   aaaa", "|  █ █               |",
          "   aaa", "|  ██                |", "   aa", "|  █                 |", "", "", "a: bg 46"}},
        {"a circle: a = 4, b = 2",
         0,
         0,
         20,
         8,
         "[circle 10x5 2]",
         {"", "", "", "|        █████       |", "|       █     █      |", "|      █       █     |",
          "|       █     █      |", "|        █████       |"}},
        {"an ellipse in 9x5",
         0,
         0,
         20,
         8,
         "[ellipse 0x0 9x5]",
         {"|  █████             |", "| █     █            |", "|█       █           |", "| █     █            |",
          "|  █████             |", "", "", ""}},
        {"a line from -5x0 to 3x0",
         0,
         0,
         20,
         8,
         "[line -5x0 3x0]",
         {"|████                |", "", "", "", "", "", "", ""}},
        {"lines and boxes cut to the widget",
         2,
         1,
         4,
         2,
         "[line 0x0 10x0 box 1x1 8x8 line -3x1 0x1]",
         {"", "|  ████              |", "|  █┌──              |", "", "", "", "", ""}},
        {"a line far off the screen",
         0,
         0,
         20,
         8,
         "[line 0x0 2000000000x1]",
         {"|████████████████████|", "", "", "", "", "", "", ""}},
        {"a huge circle",
         0,
         0,
         20,
         8,
         "[fill-pen 1.2.3 circle 10x5 1000000000]",
         {"", " aaaaaaaaaaaaaaaaaaaa", "", " aaaaaaaaaaaaaaaaaaaa", "", " aaaaaaaaaaaaaaaaaaaa", "",
          " aaaaaaaaaaaaaaaaaaaa", "", " aaaaaaaaaaaaaaaaaaaa", "", " aaaaaaaaaaaaaaaaaaaa", "",
          " aaaaaaaaaaaaaaaaaaaa", "", " aaaaaaaaaaaaaaaaaaaa", "a: bg 16"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gui::clear_buffer();
        EXPECT_EQ(draw(widget(c.x, c.y, c.w, c.h), c.block), 0u);
        EXPECT_EQ(shot(), screenshot(c.want));
    }
}

// A font's colour is the text's, even after a later pen; without a font the
// pen's colour is. Text is cut to the widget.
TEST_F(DrawGrid, FontAndText) {
    EXPECT_EQ(draw(widget(2, 1, 6, 3),
                   "compose [font (make font! [color: 0.0.255]) text 0x0 \"hi\" pen 255.0.0 text 0x1 \"yo\"]"),
              0u);
    EXPECT_EQ(draw(widget(12, 1, 4, 3), "[pen 0.255.0 text 1x0 \"abcdefgh\"]"), 0u);
    EXPECT_EQ(
        shot(),
        screenshot({"", "|  hi         abc    |", "   aa         bbb", "|  yo         def    |", "   aa         bbb",
                    "|             gh     |", "              bb", "", "", "", "", "a: fg 21", "b: fg 46"}));
}

// The cells a line sets are those of the whole error-term walk that lie in
// the clip rectangle and on the screen, wherever its ends are.
TEST_F(DrawGrid, LinesAreTheWalkCutToTheClip) {
    gui::DrawContext ctx = widget(0, 0, WIDTH, HEIGHT);
    ctx.clip_left = 3;
    ctx.clip_top = 1;
    ctx.clip_right = 17;
    ctx.clip_bottom = 7;
    gui::draw_begin(ctx);
    auto walked = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        std::vector<std::pair<int64_t, int64_t>> cells;
        int64_t dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1, dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
        int64_t err = dx + dy;
        for (;;) {
            if (x0 >= ctx.clip_left && x0 < ctx.clip_right && y0 >= ctx.clip_top && y0 < ctx.clip_bottom)
                cells.emplace_back(x0, y0);
            if (x0 == x1 && y0 == y1) break;
            int64_t e2 = 2 * err;
            if (e2 >= dy) {
                if (x0 == x1) break;
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                if (y0 == y1) break;
                err += dx;
                y0 += sy;
            }
        }
        return cells;
    };
    const int32_t ends[] = {-9, -2, 0, 3, 5, 10, 16, 17, 25};
    for (int32_t x0 : ends)
        for (int32_t y0 : ends)
            for (int32_t x1 : ends)
                for (int32_t y1 : ends) {
                    gui::clear_buffer();
                    gui::plot_line(ctx, x0, y0, x1, y1);
                    std::vector<std::pair<int64_t, int64_t>> got;
                    for (int32_t r = 0; r < HEIGHT; ++r)
                        for (int32_t c = 0; c < WIDTH; ++c)
                            if (gui::screen().at(c, r).code_point == gui::FULL_BLOCK) got.emplace_back(c, r);
                    auto want = walked(x0, y0, x1, y1);
                    std::sort(want.begin(), want.end(),
                              [](auto a, auto b) { return std::tie(a.second, a.first) < std::tie(b.second, b.first); });
                    ASSERT_EQ(got, want) << x0 << "," << y0 << " to " << x1 << "," << y1;
                }
}

// A box sets, on its cells cut to the clip, the fill and the outline by the
// cell's place: corners, sides, and the runs of the top and bottom sides.
// A box that starts past the widget's size or ends before its origin draws
// nothing; its right and bottom sides move to the screen's last column and
// row when they lie beyond them.
TEST_F(DrawGrid, BoxesAreTheirCellsCutToTheClip) {
    struct Place {
        int32_t x, y, w, h;
    };
    const Place places[] = {{0, 0, WIDTH, HEIGHT}, {3, 2, 10, 4}, {15, 5, 10, 6}};
    const int32_t corners[] = {-3, 0, 2, 7, 19, 25};
    const uint32_t PEN = 196, FILL = 21;
    auto modelled = [&](const gui::DrawContext& ctx, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
        std::vector<gui::ScreenCell> cells = gui::screen().cells;
        if (x1 > x2) std::swap(x1, x2);
        if (y1 > y2) std::swap(y1, y2);
        if (x1 > ctx.clip_right - ctx.clip_left || x2 <= 0 || y1 > ctx.clip_bottom - ctx.clip_top || y2 <= 0)
            return cells;
        x1 += ctx.origin_x, x2 = std::min<int64_t>(x2 + ctx.origin_x, WIDTH - 1);
        y1 += ctx.origin_y, y2 = std::min<int64_t>(y2 + ctx.origin_y, HEIGHT - 1);
        for (int64_t row = 0; row < HEIGHT; ++row)
            for (int64_t column = 0; column < WIDTH; ++column) {
                if (column < std::max<int64_t>(x1, ctx.clip_left) ||
                    column > std::min<int64_t>(x2, ctx.clip_right - 1) || row < std::max<int64_t>(y1, ctx.clip_top) ||
                    row > std::min<int64_t>(y2, ctx.clip_bottom - 1))
                    continue;
                gui::ScreenCell& c = cells[size_t(row * WIDTH + column)];
                if (ctx.fill_on) c.background = FILL, c.code_point = ' ';
                if (!ctx.pen_on) continue;
                bool left = column == x1, right = column == x2, top = row == y1, bottom = row == y2;
                uint32_t glyph = left && top ? 0x250C
                    : right && top           ? 0x2510
                    : left && bottom         ? 0x2514
                    : right && bottom        ? 0x2518
                    : left || right          ? 0x2502
                    : top || bottom          ? 0x2500
                                             : 0;
                if (glyph) c.code_point = glyph, c.foreground = PEN;
            }
        return cells;
    };
    for (const Place& place : places)
        for (int mode = 0; mode < 3; ++mode) {
            gui::DrawContext ctx = widget(place.x, place.y, place.w, place.h);
            gui::draw_begin(ctx);
            ctx.pen_on = mode != 1;
            ctx.pen_colour = PEN;
            ctx.fill_on = mode != 0;
            ctx.fill_colour = FILL;
            for (int32_t x1 : corners)
                for (int32_t y1 : corners)
                    for (int32_t x2 : corners)
                        for (int32_t y2 : corners) {
                            gui::clear_buffer();
                            auto want = modelled(ctx, x1, y1, x2, y2);
                            gui::draw_box(ctx, {x1, y1}, {x2, y2});
                            ASSERT_TRUE(gui::screen().cells == want)
                                << "mode " << mode << " at " << place.x << "," << place.y << ": " << x1 << "," << y1
                                << " to " << x2 << "," << y2;
                        }
        }
}

// An error thrown through nested blocks leaves the walk guard empty; the
// next drawing works.
TEST_F(DrawGrid, GuardEmptyAfterAnError) {
    gui::DrawContext ctx = widget(0, 0, WIDTH, HEIGHT);
    testing::internal::CaptureStdout();
    EXPECT_EQ(draw(ctx, "[push [rotate 3 [clip 0x0 2x2 [foo]]]]"), thrown::ERROR);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("DRAW - invalid input at: [foo]"), std::string::npos) << printed;
    EXPECT_EQ(cycle_guard::depth(), 0);
    EXPECT_EQ(draw(ctx, "[line 0x0 2x0]"), 0u);
    EXPECT_EQ(gui::screen().at(2, 0).code_point, gui::FULL_BLOCK);
    gui::draw::forget_error(ctx.widget);
}

TEST_F(DrawGrid, WithoutTargetNothingIsDrawn) {
    gui::DrawContext ctx;
    EXPECT_EQ(gui::draw::render_block(ctx, *kel_value("[fill-pen 1.2.3 box 0x0 9x9 line 0x0 5x5 text 0x0 \"x\"]")), 0u);
    EXPECT_EQ(shot(), screenshot({"", "", "", "", "", "", "", ""}));
}

// Style blocks on a run of one cell per character.
TEST_F(DrawGrid, TextStyles) {
    struct Case {
        const char* name;
        const char* text;
        const char* styles;
        std::vector<gui::ScreenCell> want;  // the cells that change, from the first
    };
    constexpr uint32_t B = gui::ATTR_BOLD, I = gui::ATTR_ITALIC;
    const uint32_t red = gui::rgb_to_256(0x0000FF), blue = gui::rgb_to_256(0xFF0000);
    const Case cases[] = {
        {"bold, colour and backdrop",
         "abcdef",
         "[1x3 bold 255.0.0 backdrop 0.0.255]",
         {{0, blue, red, B}, {0, blue, red, B}, {0, blue, red, B}}},
        {"a range past the end", "abcdef", "[5x10 italic]", {{}, {}, {}, {}, {0, 0, 0, I}, {0, 0, 0, I}}},
        {"a font name and size", "abcdef", "[1x2 \"Consolas\" 12 bold]", {{0, 0, 0, B}, {0, 0, 0, B}}},
        {"after a character above U+FFFF",
         "a\U0001D400bcd",
         "[3x2 underline 1.2.3 'dash]",
         {{}, {}, {0, 0, 0, gui::ATTR_UNDERLINE}, {0, 0, 0, gui::ATTR_UNDERLINE}}},
        {"strike and border",
         "abc",
         "[2x1 strike border 2x9 strike]",
         {{}, {0, 0, 0, gui::ATTR_STRIKE}, {0, 0, 0, gui::ATTR_STRIKE}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cell* top = stack::state.top;
        Cell text = *kel_value(std::string("{") + c.text + "}");
        Cell styles = *kel_value(c.styles);
        std::vector<gui::ScreenCell> cells(size_t(string::ks_length(text)));
        gui::draw::parse_text_styles(cells, styles, text, false);
        std::vector<gui::ScreenCell> want = c.want;
        want.resize(cells.size());
        EXPECT_EQ(cells, want);
        stack::state.top = top;
    }
    std::vector<gui::ScreenCell> cells(3);
    Cell arg;
    EXPECT_EQ(error_of(
                  [&] {
                      gui::draw::parse_text_styles({cells.data(), 3}, *kel_value("[1x2 bold foo]"), *kel_value("{abc}"),
                                                   false);
                  },
                  &arg),
              id(ErrorId::script_draw_invalid));
}

}  // namespace
}  // namespace kel::test
