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

// The pane's rows without trailing blanks, the last empty ones dropped.
std::vector<std::string> rows_of(const std::string& capture) {
    std::vector<std::string> rows(1);
    for (char c : capture) {
        if (c == '\n')
            rows.emplace_back();
        else
            rows.back() += c;
    }
    for (std::string& row : rows) row.erase(row.find_last_not_of(' ') + 1);
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

// Checks the looks of the cells `from` to `to` (columns, inclusive) of a row.
void expect_looks(const Screen& screen, size_t row, size_t from, size_t to, const std::string& want) {
    ASSERT_LT(row, screen.size());
    for (size_t column = from; column <= to; ++column) {
        ASSERT_LT(column, screen[row].size()) << "row " << row;
        EXPECT_EQ(screen[row][column].look, want) << "row " << row << ", column " << column;
    }
}

std::string text_at(const Screen& screen, size_t row, size_t column) {
    return row < screen.size() && column < screen[row].size() ? screen[row][column].text : std::string();
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
    ASSERT_TRUE(pane.wait_for("Cancel", false, LIMIT)) << pane.capture();
    EXPECT_EQ(rows_of(pane.capture()), (std::vector<std::string>{"", " Name:", "", " OK     Cancel"}));

    pane.send_text("Ann");
    ASSERT_TRUE(pane.wait_for(" Name:      Ann", false, LIMIT)) << pane.capture();
    // Focus follows the pane's order: Cancel, then OK.
    pane.send_key("Tab");
    ASSERT_TRUE(pane.wait_for("\033[7mCancel", true, LIMIT)) << pane.capture(true);
    pane.send_key("Tab");
    ASSERT_TRUE(pane.wait_for("\033[7mOK", true, LIMIT)) << pane.capture(true);
    Screen screen = parse_screen(pane.capture(true));
    expect_looks(screen, 3, 1, 2, "reverse");
    expect_looks(screen, 3, 8, 13, "");

    // The print clears the window's rows before the window closes, so the
    // name takes them and the program's end follows.
    pane.send_key("Space");
    ASSERT_TRUE(pane.wait_for("[exit 0]", false, LIMIT)) << pane.capture();
    EXPECT_EQ(rows_of(pane.capture()), (std::vector<std::string>{"Ann", "[exit 0]"}));
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
    ASSERT_TRUE(pane.wait_for("Done", false, LIMIT)) << pane.capture();
    EXPECT_EQ(rows_of(pane.capture()),
              (std::vector<std::string>{"", "", "  \u2610 Check \u25cb Radio", "",
                                        "  [##  ]  \u256dBox\u2500\u2500\u2500\u2500\u2500"
                                        "\u2500\u2500\u256e",
                                        "          \u2502          \u2502", "          \u2502          \u2502",
                                        "          \u2570\u2500\u2500\u2500\u2500\u2500"
                                        "\u2500\u2500\u2500\u2500\u2500\u256f",
                                        "", "", " Done"}));
    EXPECT_EQ(pane.display("#{mouse_sgr_flag}"), "1");
    Screen screen = parse_screen(pane.capture(true));
    expect_looks(screen, 2, 2, 8, "reverse");
    expect_looks(screen, 2, 10, 16, "");

    pane.send_key("Tab");
    ASSERT_TRUE(pane.wait_for("\033[7m\u25cb Radio", true, LIMIT)) << pane.capture(true);
    screen = parse_screen(pane.capture(true));
    expect_looks(screen, 2, 2, 8, "");
    expect_looks(screen, 2, 10, 16, "reverse");

    // Each click toggles once, also when two come close enough to make a
    // double click.
    const char* after[] = {"\U0001F795 Check", "\u2610 Check", "\U0001F795 Check"};
    for (const char* want : after) {
        pane.send_bytes(click_at(2, 2));
        ASSERT_TRUE(pane.wait_for(want, false, LIMIT)) << pane.capture();
    }
    pane.send_bytes(click_at(2, 10));
    ASSERT_TRUE(pane.wait_for("check true\n[exit 0]", false, LIMIT)) << pane.capture();
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
    ASSERT_TRUE(pane.wait_for("end", false, LIMIT)) << pane.capture();
    EXPECT_EQ(rows_of(pane.capture()), (std::vector<std::string>{"", " Rich: Bold it red", "", " end"}));
    Screen screen = parse_screen(pane.capture(true));
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
    ASSERT_TRUE(pane.wait_for("\u2518", false, LIMIT)) << pane.capture();
    std::string bar, blocks;
    for (int i = 0; i < 8; ++i) bar += "\u2500", blocks += "\u2588";
    EXPECT_EQ(
        rows_of(pane.capture()),
        (std::vector<std::string>{"", " Draw:      \u250c" + bar + "\u2510", "            \u2502" + blocks + "\u2502",
                                  "            \u2502        \u2502", "            \u2514" + bar + "\u2518"}));
    Screen screen = parse_screen(pane.capture(true));
    const std::string pen = "fg=5;196 bg=5;244";
    expect_looks(screen, 1, 1, 5, "");
    for (size_t row : {1, 4}) expect_looks(screen, row, 12, 21, pen);
    for (size_t row : {2, 3}) {
        expect_looks(screen, row, 12, 12, pen);
        expect_looks(screen, row, 21, 21, pen);
    }
    expect_looks(screen, 2, 13, 20, pen);
    expect_looks(screen, 3, 13, 20, "bg=5;244");
    EXPECT_EQ(text_at(screen, 2, 13), "\u2588");
}

}  // namespace
}  // namespace kel::test
