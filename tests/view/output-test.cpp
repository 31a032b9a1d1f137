// Colours and frames: the SGR tables, the palette mapping, the colour depth,
// the golden frame strings, and frames fed to the VT model showing exactly
// the buffer's cells.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/view/fake-terminal.h"
#include "view/terminal/colour.h"
#include "view/terminal/screen.h"
#include "view/terminal/terminal-modes.h"

namespace kel::test {
namespace {

using gui::ScreenCell;
constexpr uint32_t BASIC = gui::COLOUR_BASIC, PALETTE = gui::COLOUR_PALETTE, TRUE_COLOUR = gui::COLOUR_TRUE;

TEST(Colour, SgrColour) {
    struct Case {
        uint32_t colour;
        const char* fore;
        const char* back;
    };
    const Case cases[] = {
        {0, "39", "49"},
        {BASIC | 0, "30", "40"},
        {BASIC | 7, "37", "47"},
        {BASIC | 8, "39", "49"},
        {BASIC | 9, "39", "49"},
        {BASIC | 10, "90", "100"},
        {BASIC | 17, "97", "107"},
        {BASIC | 18, "39", "49"},
        {PALETTE | 196, "38;5;196", "48;5;196"},
        {TRUE_COLOUR | 0x123456, "38;2;18;52;86", "48;2;18;52;86"},
        {0x8000001, "39", "49"},
    };
    for (const Case& c : cases) {
        std::string fore, back;
        gui::sgr_colour(fore, c.colour, true);
        gui::sgr_colour(back, c.colour, false);
        EXPECT_EQ(fore, std::string("\033[") + c.fore + "m") << std::hex << c.colour;
        EXPECT_EQ(back, std::string("\033[") + c.back + "m") << std::hex << c.colour;
    }
}

TEST(Colour, SgrDiff) {
    constexpr uint32_t BOLD = gui::ATTR_BOLD, DIM = gui::ATTR_DIM, ITALIC = gui::ATTR_ITALIC,
                       UNDERLINE = gui::ATTR_UNDERLINE, REVERSE = gui::ATTR_REVERSE, STRIKE = gui::ATTR_STRIKE;
    struct Case {
        const char* name;
        ScreenCell previous, cell;
        const char* want;
    };
    const Case cases[] = {
        {"same look", {'a', 0, 0, BOLD}, {'b', 0, 0, BOLD}, ""},
        {"bold on", {}, {'a', 0, 0, BOLD}, "\033[1m"},
        {"all on, in order",
         {},
         {'a', 0, 0, DIM | REVERSE | BOLD | ITALIC | STRIKE | UNDERLINE},
         "\033[2m\033[7m\033[1m\033[3m\033[9m\033[4m"},
        {"all off, 22 once",
         {'a', 0, 0, DIM | REVERSE | BOLD | ITALIC | STRIKE | UNDERLINE},
         {},
         "\033[22m\033[27m\033[23m\033[29m\033[24m"},
        {"bold to dim keeps dim", {'a', 0, 0, BOLD}, {'a', 0, 0, DIM}, "\033[22m\033[2m"},
        {"bold and dim to dim keeps dim", {'a', 0, 0, BOLD | DIM}, {'a', 0, 0, DIM}, "\033[22m\033[2m"},
        {"dim and bold to bold keeps bold", {'a', 0, 0, BOLD | DIM}, {'a', 0, 0, BOLD}, "\033[22m\033[1m"},
        {"dim to dim and bold", {'a', 0, 0, DIM}, {'a', 0, 0, DIM | BOLD}, "\033[1m"},
        {"off before on", {'a', 0, 0, UNDERLINE}, {'a', 0, 0, ITALIC}, "\033[24m\033[3m"},
        {"blink and conceal are not written", {}, {'a', 0, 0, gui::ATTR_BLINK | gui::ATTR_CONCEAL}, ""},
        {"colours after attributes", {}, {'a', PALETTE | 196, BASIC | 8, BOLD}, "\033[1m\033[39m\033[48;5;196m"},
        {"background back to default", {'a', PALETTE | 196, 0, 0}, {'b', 0, 0, 0}, "\033[49m"},
    };
    for (const Case& c : cases) {
        std::string out;
        gui::sgr_diff(out, c.previous, c.cell);
        EXPECT_EQ(out, c.want) << c.name;
    }
}

TEST(Colour, RgbTo256) {
    struct Case {
        uint8_t r, g, b, alpha;
        uint32_t want;
    };
    const Case cases[] = {
        {255, 0, 0, 0, PALETTE | 196},     {0, 0, 0, 0, PALETTE | 16},      {128, 128, 128, 0, PALETTE | 244},
        {255, 255, 255, 0, PALETTE | 231}, {0, 0, 255, 254, PALETTE | 21},  {10, 200, 30, 255, 0},
        {8, 8, 8, 0, PALETTE | 232},       {95, 135, 175, 0, PALETTE | 67},
    };
    for (const Case& c : cases) {
        uint32_t rgba = uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16 | uint32_t(c.alpha) << 24;
        EXPECT_EQ(gui::rgb_to_256(rgba), c.want) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
}

// Sets or unsets an environment variable and puts it back.
class Env {
public:
    Env(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Env() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    bool had_;
    std::string old_;
};

TEST(Colour, DepthByColortermAndTerm) {
    boot_library();
    struct Case {
        const char* colorterm;
        const char* term;
        int32_t depth;
    };
    const Case cases[] = {
        {"truecolor", "xterm-256color", 4}, {"24bit", nullptr, 4}, {nullptr, "xterm-256color", 2}, {"256", "xterm", 2},
        {"", "screen-256color", 2},         {nullptr, "xterm", 4}, {nullptr, nullptr, 4},          {"yes", "linux", 4},
    };
    for (const Case& c : cases) {
        Env colorterm("COLORTERM", c.colorterm), term("TERM", c.term);
        EXPECT_EQ(gui::check_colour_support(), c.depth)
            << (c.colorterm ? c.colorterm : "unset") << " " << (c.term ? c.term : "unset");
    }
}

// Fills the buffer of a started inline frame from rows of text (a wide
// character takes its cell and a continuation cell).
void fill(const std::vector<std::u32string>& rows, int32_t width) {
    gui::size_buffer(0, 0, float(width), float(rows.size()));
    gui::clear_buffer();
    for (size_t r = 0; r < rows.size(); ++r) {
        int32_t column = 0;
        for (char32_t c : rows[r]) {
            gui::screen().at(column, int32_t(r)).code_point = c;
            if (unicode::char_width(c) == 2) gui::screen().at(++column, int32_t(r)).attributes = gui::ATTR_CONTINUATION;
            ++column;
        }
    }
}

class Frame : public ::testing::Test {
protected:
    FakeTerminal terminal{24, 80};
    void SetUp() override { gui::state().active = true; }
};

TEST_F(Frame, GoldenStrings) {
    struct Case {
        const char* name;
        std::vector<std::u32string> rows;
        int32_t width;
        void (*setup)();
        const char* want;
    };
    const Case cases[] = {
        {"3x1 text on the default colours", {U"abc"}, 3, [] {}, "\r\033[0Jabc"},
        {"palette background, then the default",
         {U"xy"},
         2,
         [] { gui::screen().at(0, 0).background = PALETTE | 196; },
         "\r\033[0J\033[48;5;196mx\033[49my"},
        {"a wide character covers two cells", {U"中a"}, 3, [] {}, "\r\033[0J中a"},
        {"a password shows stars",
         {U"pw"},
         3,
         [] {
             gui::screen().at(0, 0).attributes = gui::ATTR_PASSWORD;
             gui::screen().at(1, 0).attributes = gui::ATTR_PASSWORD;
         },
         "\r\033[0J** "},
        {"the caret on row 0 at column 5 of two rows",
         {U"", U""},
         10,
         [] {
             gui::state().caret = true;
             gui::state().caret_column = 5;
             gui::state().caret_row = 0;
         },
         "\r\033[0J          \033[49m\r\n          \r\033[1A\033[5C"},
        {"full screen starts at home",
         {U"a", U"b"},
         1,
         [] { gui::state().full_screen = true; },
         "\033[Ha\033[49m\r\nb"},
    };
    for (const Case& c : cases) {
        gui::state() = gui::State{};
        gui::state().active = true;
        fill(c.rows, c.width);
        c.setup();
        terminal.output.clear();
        gui::write_frame();
        EXPECT_EQ(terminal.output, c.want) << c.name;
        EXPECT_TRUE(gui::state().frame_drawn);
    }
}

// The next inline frame of one row starts the same way: the row is the
// cursor's, so there is no move up. Two rows move up one.
TEST_F(Frame, NextFrameMovesUpOverTheLast) {
    fill({U"abc"}, 3);
    gui::write_frame();
    terminal.output.clear();
    gui::write_frame();
    EXPECT_EQ(terminal.output, "\r\033[0Jabc");
    EXPECT_EQ(terminal.writes, 2) << "one write a frame";
    fill({U"ab", U"cd"}, 2);
    gui::write_frame();
    terminal.output.clear();
    gui::write_frame();
    EXPECT_EQ(terminal.output, "\r\033[1A\033[0Jab\033[49m\r\ncd");
}

// A colour word as the VT model keeps it: the basic default and unknown
// kinds are the default.
uint32_t shown(uint32_t colour) {
    uint32_t kind = colour >> 24;
    if (kind == 1) return (colour & 0xFF) == 8 || (colour & 0xFF) == 9 || (colour & 0xFF) > 17 ? 0 : colour;
    return kind == 2 || kind == 4 ? colour : 0;
}

void expect_screen_shows_buffer(const VtScreen& screen, int32_t top) {
    gui::ScreenBuffer& b = gui::screen();
    for (int32_t r = 0; r < b.height; ++r) {
        for (int32_t c = 0; c < b.width; ++c) {
            const ScreenCell& cell = b.at(c, r);
            SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
            std::string want;
            if (cell.attributes & gui::ATTR_CONTINUATION)
                want = "";
            else if (cell.attributes & gui::ATTR_PASSWORD)
                want = "*";
            else
                append_utf8(want, cell.code_point ? char32_t(cell.code_point) : U' ');
            EXPECT_EQ(screen.cell(top + r, c), want);
            VtLook look = screen.look(top + r, c);
            const ScreenCell& owner = cell.attributes & gui::ATTR_CONTINUATION ? b.at(c - 1, r) : cell;
            constexpr uint32_t WRITTEN = 0x2 | 0x4 | 0x8 | 0x10 | 0x40 | 0x100;
            EXPECT_EQ(look.attributes, owner.attributes & WRITTEN);
            EXPECT_EQ(look.foreground, shown(owner.foreground));
            EXPECT_EQ(look.background, shown(owner.background));
        }
    }
    EXPECT_EQ(screen.pen(), VtLook{}) << "the frame ends on the default look";
    EXPECT_EQ(screen.unknown(), "");
}

struct Drawn {
    const char* name;
    std::vector<std::u32string> rows;
    int32_t width;
    void (*paint)();
};

const std::vector<Drawn>& drawn() {
    static const std::vector<Drawn> table = {
        {"narrow and wide characters", {U"aé中b", U"┌─┐x"}, 6, [] {}},
        {"colour and attribute runs",
         {U"abcdef", U"ghijkl", U"mnopqr"},
         6,
         [] {
             gui::ScreenBuffer& b = gui::screen();
             for (int32_t c = 1; c < 4; ++c) b.at(c, 0).foreground = BASIC | 1;
             for (int32_t c = 2; c < 6; ++c) b.at(c, 0).background = PALETTE | 33;
             b.at(0, 1).attributes = gui::ATTR_BOLD;
             b.at(1, 1).attributes = gui::ATTR_DIM;
             b.at(2, 1).attributes = gui::ATTR_BOLD | gui::ATTR_DIM | gui::ATTR_UNDERLINE;
             b.at(3, 1).attributes = gui::ATTR_REVERSE | gui::ATTR_ITALIC | gui::ATTR_STRIKE;
             b.at(5, 1).foreground = BASIC | 8;
             b.at(0, 2).foreground = TRUE_COLOUR | 0x102030;
             b.at(1, 2).background = BASIC | 12;
             b.at(2, 2).background = BASIC | 9;
             b.at(5, 2).background = PALETTE | 200;
             b.at(4, 2).attributes = gui::ATTR_PASSWORD;
         }},
        {"the caret on another row",
         {U"one", U"two", U"six"},
         3,
         [] {
             gui::state().caret = true;
             gui::state().caret_row = 1;
             gui::state().caret_column = 2;
         }},
        {"full screen", {U"full", U"scr中"}, 5, [] { gui::state().full_screen = true; }},
    };
    return table;
}

TEST(FrameOnScreen, ShowsTheBufferCells) {
    for (const Drawn& d : drawn()) {
        SCOPED_TRACE(d.name);
        FakeTerminal terminal(10, 20);
        terminal.write("$ prompt\r\n");  // inline frames start below the output so far
        gui::state().active = true;
        fill(d.rows, d.width);
        d.paint();
        gui::write_frame();
        int32_t top = gui::state().full_screen ? 0 : 1;
        expect_screen_shows_buffer(terminal.screen, top);
        // Drawn again, it stays in place.
        gui::write_frame();
        expect_screen_shows_buffer(terminal.screen, top);
        if (!gui::state().full_screen) {
            EXPECT_EQ(terminal.screen.row(0), "$ prompt");
        }
        if (gui::state().caret) {
            EXPECT_EQ(terminal.screen.cursor_row(), top + gui::state().caret_row);
            EXPECT_EQ(terminal.screen.cursor_column(), gui::state().caret_column);
        }
    }
}

// The runtime prints while a frame is shown: the print hooks take the frame
// off, the text takes its place and the next frame is drawn below the text.
TEST(FrameOnScreen, RedrawnBelowPrintedText) {
    for (const Drawn& d : drawn()) {
        if (d.name == std::string("full screen")) continue;
        SCOPED_TRACE(d.name);
        FakeTerminal terminal(10, 20);
        ASSERT_TRUE(gui::enter_terminal());
        gui::read_console(true);
        gui::decode_input(nullptr);
        fill(d.rows, d.width);
        d.paint();
        gui::write_frame();
        gui::on_before_output();
        terminal.write("printed\r\n");
        gui::on_after_output();
        EXPECT_TRUE(gui::state().redraw);
        gui::read_console(true);
        gui::decode_input(nullptr);
        EXPECT_EQ(gui::state().origin_row, 1) << "the answer gives the row below the text";
        gui::write_frame();
        EXPECT_EQ(terminal.screen.row(0), "printed");
        expect_screen_shows_buffer(terminal.screen, 1);
        for (int r = 1 + int(d.rows.size()); r < 10; ++r) {
            EXPECT_EQ(terminal.screen.row(r), "") << r;
        }
    }
}

// Erasing leaves the cursor at column 0 of the frame's first row with
// nothing of the frame left, also for a frame of one row.
TEST_F(Frame, EraseTakesEveryRowOff) {
    for (const std::vector<std::u32string>& rows :
         {std::vector<std::u32string>{U"abc"}, std::vector<std::u32string>{U"ab", U"cd", U"ef"}}) {
        terminal.write("\r\n");
        fill(rows, 3);
        gui::write_frame();
        int32_t first = terminal.screen.cursor_row() - gui::state().rows_above;
        gui::erase_frame();
        EXPECT_EQ(terminal.screen.cursor_row(), first);
        EXPECT_EQ(terminal.screen.cursor_column(), 0);
        for (int r = first; r < first + int(rows.size()); ++r) {
            EXPECT_EQ(terminal.screen.row(r), "");
        }
        EXPECT_EQ(gui::state().rows_above, 0);
    }
}

}  // namespace
}  // namespace kel::test
