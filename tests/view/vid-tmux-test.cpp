// VID layouts run by kel in a tmux pane: where a real terminal emulator puts
// the faces' cells, how they look (`capture-pane -e`), and what keys and
// SGR mouse reports do to them.
//
// The screens are small inline windows on a 256-colour terminal
// (TERM=xterm-256color, no COLORTERM). Every wait is on screen content,
// with a generous limit for a loaded machine and the instrumented builds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "tests/process.h"
#include "tests/view/tmux-session.h"

namespace kel::test {
namespace {

constexpr std::chrono::seconds LIMIT(120);

// One cell of a captured screen: its character and its looks, in the words
// `look` uses ("bold italic reverse fg=5;196 bg=5;231", empty when plain).
struct ScreenCell {
    std::string text;
    std::string look;
};
using Screen = std::vector<std::vector<ScreenCell>>;

struct Sgr {
    bool bold = false, italic = false, reverse = false;
    std::string fg, bg;  // the SGR colour parameters ("5;196", "31"); empty: default

    std::string describe() const {
        std::string out;
        auto add = [&](const std::string& word) { out += (out.empty() ? "" : " ") + word; };
        if (bold) add("bold");
        if (italic) add("italic");
        if (reverse) add("reverse");
        if (!fg.empty()) add("fg=" + fg);
        if (!bg.empty()) add("bg=" + bg);
        return out;
    }

    // Applies the parameters of one SGR sequence.
    void apply(const std::vector<std::string>& params) {
        for (size_t i = 0; i < params.size(); ++i) {
            int p = params[i].empty() ? 0 : std::stoi(params[i]);
            auto colour = [&](std::string& target) {
                size_t count = i + 1 < params.size() && params[i + 1] == "5" ? 2 : 4;
                target.clear();
                for (size_t k = 1; k <= count && i + k < params.size(); ++k)
                    target += (k > 1 ? ";" : "") + params[i + k];
                i += count;
            };
            if (p == 0)
                *this = Sgr{};
            else if (p == 1)
                bold = true;
            else if (p == 3)
                italic = true;
            else if (p == 7)
                reverse = true;
            else if (p == 22)
                bold = false;
            else if (p == 23)
                italic = false;
            else if (p == 27)
                reverse = false;
            else if ((p >= 30 && p <= 37) || (p >= 90 && p <= 97))
                fg = params[i];
            else if ((p >= 40 && p <= 47) || (p >= 100 && p <= 107))
                bg = params[i];
            else if (p == 38)
                colour(fg);
            else if (p == 48)
                colour(bg);
            else if (p == 39)
                fg.clear();
            else if (p == 49)
                bg.clear();
        }
    }
};

// The cells of a `capture-pane -p -e`, one character (code point) per cell.
Screen parse_screen(const std::string& capture) {
    Screen screen(1);
    Sgr sgr;
    for (size_t i = 0; i < capture.size();) {
        unsigned char c = capture[i];
        if (c == '\n') {
            screen.emplace_back();
            ++i;
        } else if (c == 0x1b && i + 1 < capture.size() && capture[i + 1] == '[') {
            size_t end = capture.find_first_of("ABCDEFGHJKSTfhlmnsu", i + 2);
            if (end == std::string::npos) break;
            if (capture[end] == 'm') {
                std::vector<std::string> params(1);
                for (size_t k = i + 2; k < end; ++k) {
                    if (capture[k] == ';')
                        params.emplace_back();
                    else
                        params.back() += capture[k];
                }
                sgr.apply(params);
            }
            i = end + 1;
        } else {
            size_t length = c < 0x80 ? 1 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
            screen.back().push_back({capture.substr(i, length), sgr.describe()});
            i += length;
        }
    }
    return screen;
}

// The screen's rows as text without trailing blanks, the last empty ones
// dropped.
std::vector<std::string> rows_of(const Screen& screen) {
    std::vector<std::string> rows;
    for (const auto& cells : screen) {
        std::string row;
        for (const ScreenCell& c : cells) row += c.text;
        rows.push_back(row.erase(row.find_last_not_of(' ') + 1));
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

// Polls the pane (with its looks) until one capture holds every text, and
// parses that capture: a frame is written top to bottom, so the rows up to
// the last text waited for are whole in it. False after the limit, with the
// last capture.
bool shown(TmuxSession& pane, const std::vector<std::string>& texts, Screen& screen, std::string& capture) {
    auto end = std::chrono::steady_clock::now() + LIMIT;
    do {
        capture = pane.capture(true);
        bool all = true;
        for (const std::string& t : texts) all = all && capture.find(t) != std::string::npos;
        if (all) {
            screen = parse_screen(capture);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

// Checks the looks of the cells `from` to `to` (columns, inclusive) of a row.
void expect_looks(const Screen& screen, size_t row, size_t from, size_t to, const std::string& want) {
    ASSERT_LT(row, screen.size());
    for (size_t column = from; column <= to; ++column) {
        ASSERT_LT(column, screen[row].size()) << "row " << row;
        EXPECT_EQ(screen[row][column].look, want) << "row " << row << ", column " << column;
    }
}

TmuxSession::Options with_script(const std::string& body, int rows, int columns) {
    TmuxSession::Options options;
    options.rows = rows;
    options.columns = columns;
    options.files = {{"script.kel", "Kel []\n" + body}};
    return options;
}

// An SGR mouse press and release of the left button at a cell (from 0).
std::string click_at(int column, int row) {
    std::string at = "0;" + std::to_string(column + 1) + ";" + std::to_string(row + 1);
    return "\033[<" + at + "M\033[<" + at + "m";
}

// A dialog: the faces sit where the layout put them (origin 1x1, a row per
// line, the field after the label's 10 cells), Cancel is moved right of OK,
// and typing, Tab and Space drive it to the OK button's action.
TEST(VidTmux, DialogLaysOutTakesANameAndPrintsItOnOk) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     with_script("view [title \"Ask\" text \"Name:\" f: field 20 return\n"
                                 "    button \"Cancel\" [unview] button \"OK\" [print f/text unview]]\n",
                                 10, 40));
    ASSERT_TRUE(pane.started());
    Screen screen;
    std::string capture;
    ASSERT_TRUE(shown(pane, {"Cancel"}, screen, capture)) << capture;
    EXPECT_EQ(rows_of(screen), (std::vector<std::string>{"", " Name:", "", " OK     Cancel"}));

    pane.send_text("Ann");
    ASSERT_TRUE(shown(pane, {"Ann", "Cancel"}, screen, capture)) << capture;
    EXPECT_EQ(rows_of(screen), (std::vector<std::string>{"", " Name:      Ann", "", " OK     Cancel"}));
    // Focus follows the pane's order: Cancel, then OK.
    pane.send_key("Tab");
    ASSERT_TRUE(shown(pane, {"\033[7mCancel"}, screen, capture)) << capture;
    pane.send_key("Tab");
    ASSERT_TRUE(shown(pane, {"\033[7mOK", "Cancel"}, screen, capture)) << capture;
    expect_looks(screen, 3, 1, 2, "reverse");
    expect_looks(screen, 3, 8, 13, "");

    // The print clears the window's rows before the window closes, so the
    // name takes them and the program's end follows.
    pane.send_key("Space");
    ASSERT_TRUE(shown(pane, {"[exit 0]"}, screen, capture)) << capture;
    EXPECT_EQ(rows_of(screen), (std::vector<std::string>{"Ann", "[exit 0]"}));
}

// A two-column panel: the second row takes the first row's columns, the
// group box has round corners with its title on the top border, the focused
// face is in reverse video, and mouse clicks toggle the check.
TEST(VidTmux, PanelGridShowsItsFacesAndClicksToggleTheCheck) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     with_script("system/view/platform/mouse-event?: true\n"
                                 "view [panel 2 [c: check \"Check\" radio \"Radio\" progress 6 data 50%\n"
                                 "    group-box \"Box\" 12x4 options [border-corners round] []]\n"
                                 "    return button \"Done\" [unview]]\n"
                                 "print [\"check\" c/data]\n",
                                 14, 40));
    ASSERT_TRUE(pane.started());
    Screen screen;
    std::string capture;
    ASSERT_TRUE(shown(pane, {"Done"}, screen, capture)) << capture;
    const std::string bar = "\u2500\u2500\u2500\u2500\u2500\u2500\u2500";
    EXPECT_EQ(
        rows_of(screen),
        (std::vector<std::string>{"", "", "  \u2610 Check \u25cb Radio", "", "  [##  ]  \u256dBox" + bar + "\u256e",
                                  "          \u2502          \u2502", "          \u2502          \u2502",
                                  "          \u2570" + bar + "\u2500\u2500\u2500\u256f", "", "", " Done"}));
    EXPECT_EQ(pane.display("#{mouse_sgr_flag}"), "1");
    expect_looks(screen, 2, 2, 8, "reverse");
    expect_looks(screen, 2, 10, 16, "");

    pane.send_key("Tab");
    ASSERT_TRUE(shown(pane, {"\033[7m\u25cb Radio"}, screen, capture)) << capture;
    expect_looks(screen, 2, 2, 8, "");
    expect_looks(screen, 2, 10, 16, "reverse");

    // Each click toggles once, also when two come close enough to make a
    // double click.
    const char* after[] = {"\U0001F795 Check", "\u2610 Check", "\U0001F795 Check"};
    for (const char* want : after) {
        pane.send_bytes(click_at(2, 2));
        ASSERT_TRUE(shown(pane, {want}, screen, capture)) << capture;
    }
    pane.send_bytes(click_at(2, 10));
    ASSERT_TRUE(shown(pane, {"check true\n[exit 0]"}, screen, capture)) << capture;
}

// A face made by `rtd-layout`: bold, italic and a 256-colour red land on the
// cells of their ranges, on the face's white.
TEST(VidTmux, RichTextStylesLandOnTheirCells) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     with_script("rt: rtd-layout [b [\"Bold\"] \" \" i [\"it\"] \" \" kel [\"red\"]]\n"
                                 "rt/offset: 7x1 rt/size: 11x1\n"
                                 "win: layout [text \"Rich:\" 5x1 return text \"end\"]\n"
                                 "append win/pane rt\n"
                                 "win/size: 20x4\n"
                                 "view win\n",
                                 8, 40));
    ASSERT_TRUE(pane.started());
    Screen screen;
    std::string capture;
    ASSERT_TRUE(shown(pane, {"end"}, screen, capture)) << capture;
    EXPECT_EQ(rows_of(screen), (std::vector<std::string>{"", " Rich: Bold it red", "", " end"}));
    expect_looks(screen, 1, 1, 5, "");
    expect_looks(screen, 1, 7, 10, "bold bg=5;231");
    expect_looks(screen, 1, 11, 11, "bg=5;231");
    expect_looks(screen, 1, 12, 13, "italic bg=5;231");
    expect_looks(screen, 1, 14, 14, "bg=5;231");
    expect_looks(screen, 1, 15, 17, "fg=5;196 bg=5;231");
}

// A base face's draw block: the box's glyphs and the line's blocks are on
// the face's own cells (offset 12x1), in the pen's red on the face's grey.
TEST(VidTmux, DrawBlockPaintsAtTheFacesOffset) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     with_script("view [text \"Draw:\" base 10x4 draw [pen kel box 0x0 9x3 line 1x1 8x1]]\n", 8, 40));
    ASSERT_TRUE(pane.started());
    Screen screen;
    std::string capture;
    ASSERT_TRUE(shown(pane, {"\u2518"}, screen, capture)) << capture;
    std::string bar, blocks;
    for (int i = 0; i < 8; ++i) bar += "\u2500", blocks += "\u2588";
    EXPECT_EQ(
        rows_of(screen),
        (std::vector<std::string>{"", " Draw:      \u250c" + bar + "\u2510", "            \u2502" + blocks + "\u2502",
                                  "            \u2502        \u2502", "            \u2514" + bar + "\u2518"}));
    const std::string pen = "fg=5;196 bg=5;244";
    expect_looks(screen, 1, 1, 5, "");
    for (size_t row : {1, 4}) expect_looks(screen, row, 12, 21, pen);
    for (size_t row : {2, 3}) {
        expect_looks(screen, row, 12, 12, pen);
        expect_looks(screen, row, 21, 21, pen);
    }
    expect_looks(screen, 2, 13, 20, pen);
    expect_looks(screen, 3, 13, 20, "bg=5;244");
}

}  // namespace
}  // namespace kel::test
