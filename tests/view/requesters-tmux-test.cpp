// The requesters in a real terminal (a tmux pane per case): what the user
// sees, the keys and clicks that answer them, and what the script gets.
// Each script writes its answer to result.txt in the pane's home. Without a
// terminal (standard input a pipe at its end) a dialog answers none at once.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/process.h"
#include "tests/test-paths.h"
#include "tests/view/tmux-session.h"

namespace kel::test {
namespace {

TmuxSession::Options script(const std::string& body, int rows = 24, int columns = 80) {
    TmuxSession::Options options;
    options.rows = rows;
    options.columns = columns;
    options.colorterm = "truecolor";
    options.files = {{"script.kel", "Kel []\n" + body}};
    return options;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Polls until the script has written its result (under a limit).
std::string result_of(TmuxSession& pane) {
    EXPECT_TRUE(pane.wait_for("[exit 0]")) << pane.capture();
    return read_file(pane.home() + "/result.txt");
}

// The pane's text with the blanks at the ends of lines removed.
std::string trimmed(const std::string& text) {
    std::string out, line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

// The pane's text (trailing blanks removed, the home as "HOME") against the
// golden transcript tests/view/screens/requesters-<name>.txt; with
// KEL_UPDATE_SCREENS set the transcript is written instead.
void expect_screen(TmuxSession& pane, const std::string& name) {
    std::string screen = trimmed(pane.capture());
    for (size_t at; (at = screen.find(pane.home())) != std::string::npos;)
        screen.replace(at, pane.home().size(), "HOME");
    while (screen.size() > 1 && screen.ends_with("\n\n")) screen.pop_back();
    std::string path = std::string(SOURCE_DIR) + "/tests/view/screens/requesters-" + name + ".txt";
    if (std::getenv("KEL_UPDATE_SCREENS")) std::ofstream(path) << screen;
    EXPECT_EQ(screen, read_file(path)) << name;
}

// A cell of a `capture-pane -p -e`: its character and its colours as SGR
// parameters ("2;255;255;255", "34"; empty: the default).
struct Cell {
    std::string text, fg, bg;
};
using Cells = std::vector<std::vector<Cell>>;

// The capture's cells, one code point per cell, with the colours the SGR
// sequences before them set.
Cells cells_of(const std::string& capture) {
    Cells rows(1);
    std::string fg, bg;
    for (size_t i = 0; i < capture.size();) {
        unsigned char c = capture[i];
        if (c == '\n') {
            rows.emplace_back();
            ++i;
        } else if (c == 0x1b && i + 1 < capture.size() && capture[i + 1] == '[') {
            size_t end = capture.find_first_not_of("0123456789;:", i + 2);
            if (end == std::string::npos) break;
            if (capture[end] == 'm') {
                std::vector<std::string> p(1);
                for (size_t k = i + 2; k < end; ++k) capture[k] == ';' ? p.emplace_back() : p.back() += capture[k];
                for (size_t k = 0; k < p.size(); ++k) {
                    int n = p[k].empty() ? 0 : std::stoi(p[k]);
                    if (n == 38 || n == 48) {
                        size_t count = k + 1 < p.size() && p[k + 1] == "5" ? 2 : 4;
                        std::string colour;
                        for (size_t j = 1; j <= count && k + j < p.size(); ++j) colour += (j > 1 ? ";" : "") + p[k + j];
                        (n == 38 ? fg : bg) = colour;
                        k += count;
                    } else if (n == 0) {
                        fg.clear(), bg.clear();
                    } else if (n == 39) {
                        fg.clear();
                    } else if (n == 49) {
                        bg.clear();
                    } else if ((n >= 30 && n <= 37) || (n >= 90 && n <= 97)) {
                        fg = p[k];
                    } else if ((n >= 40 && n <= 47) || (n >= 100 && n <= 107)) {
                        bg = p[k];
                    }
                }
            }
            i = end + 1;
        } else {
            size_t length = c < 0x80 ? 1 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
            rows.back().push_back({capture.substr(i, length), "", ""});
            rows.back().back().fg = fg;
            rows.back().back().bg = bg;
            i += length;
        }
    }
    return rows;
}

// Where `text` starts in the cells (row, column), in the lowest row that
// holds it (the newest dialog when an older one is still on screen), or
// (-1, -1).
std::pair<int, int> find_cells(const Cells& rows, const std::string& text) {
    for (size_t r = rows.size(); r-- > 0;) {
        std::string line;
        std::vector<size_t> column_at;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            column_at.resize(line.size() + 1, c);
            line += rows[r][c].text;
        }
        column_at.resize(line.size() + 1, rows[r].size());
        size_t at = line.find(text);
        if (at != std::string::npos) return {int(r), int(column_at[at])};
    }
    return {-1, -1};
}

// An SGR mouse press and release of the left button at a cell (from 0).
std::string click_at(int column, int row) {
    std::string at = "0;" + std::to_string(column + 1) + ";" + std::to_string(row + 1);
    return "\033[<" + at + "M\033[<" + at + "m";
}

// A tree in the home: a.kel, b.txt, c.kel, sub/ with inner.kel; the script
// starts inside it.
constexpr const char* TREE =
    "make-dir %tree/ make-dir %tree/sub/\n"
    "foreach f [%a.kel %b.txt %c.kel %sub/inner.kel] [write append copy %tree/ f \"x\"]\n"
    "change-dir %tree/\n";

TEST(RequestersTmux, FileDialogIntoAFolderAndOpen) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     script(std::string(TREE) + "write %../result.txt mold request-file\n", 40, 100));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(" Cancel")) << pane.capture();
    expect_screen(pane, "file-open");
    pane.send_key("Down");
    pane.send_key("Enter");
    ASSERT_TRUE(pane.wait_for("inner.kel"));
    expect_screen(pane, "file-sub");
    pane.send_key("Tab");
    pane.send_key("Down");
    pane.send_key("Enter");
    pane.send_key("Tab");
    pane.send_key("Tab");
    pane.send_key("Enter");
    EXPECT_EQ(result_of(pane), "%" + pane.home() + "/tree/sub/inner.kel");
}

TEST(RequestersTmux, FileDialogFilter) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane(
        {program_path("kel"), "script.kel"},
        script(std::string(TREE) + "write %../result.txt mold request-file/filter [\"Kel\" \"*.kel\"]\n", 40, 100));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(" Cancel")) << pane.capture();
    std::string screen = pane.capture();
    EXPECT_NE(screen.find("c.kel"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("b.txt"), std::string::npos) << screen;
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "none");
}

TEST(RequestersTmux, DirDialogIntoAFolder) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     script(std::string(TREE) + "write %../result.txt mold request-dir\n", 40, 100));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(" Cancel")) << pane.capture();
    pane.send_key("Down");
    pane.send_key("Enter");
    ASSERT_TRUE(pane.wait_for(pane.home() + "/tree/sub"));
    pane.send_key("Tab");
    pane.send_key("Tab");
    pane.send_key("Enter");
    EXPECT_EQ(result_of(pane), "%" + pane.home() + "/tree/sub/");
}

constexpr const char* SAVE = "write %result.txt mold ";

TEST(RequestersTmux, ColorEscapeAnswersNone) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script(std::string(SAVE) + "request-color\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(" Cancel")) << pane.capture();
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "none");
}

// A click on a button answers as the button does: " Cancel " none, " OK "
// the colour shown (white at the start), so the click reaches the button it
// lands on.
TEST(RequestersTmux, ColorClickOnAButtonAnswers) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    for (auto [button, want] : {std::pair{" Cancel ", "none"}, {" OK ", "255.255.255"}}) {
        SCOPED_TRACE(button);
        TmuxSession pane({program_path("kel"), "script.kel"},
                         script("system/view/platform/mouse-event?: true\n" + std::string(SAVE) + "request-color\n"));
        ASSERT_TRUE(pane.started());
        ASSERT_TRUE(pane.wait_for(" Cancel ")) << pane.capture();
        std::string looks = pane.capture(true);
        auto [row, column] = find_cells(cells_of(looks), button);
        ASSERT_GE(row, 0) << looks;
        EXPECT_EQ(pane.display("#{mouse_sgr_flag}"), "1");
        pane.send_bytes(click_at(column + 1, row));
        EXPECT_EQ(result_of(pane), want);
    }
}

TEST(RequestersTmux, ColorShowsThePreviewInWhite) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script(std::string(SAVE) + "request-color\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Recent"));
    expect_screen(pane, "color");
    std::string screen = trimmed(pane.capture());
    for (const char* text : {"Color", "Original", "New", "Recent", " OK ", " Cancel ", "white", "#FFFFFF"})
        EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
    // The preview is 32 cells from the one before "Original": its left half
    // the colour given, its right half the new one, both white; a half-block
    // cell shows its two pixel rows as its foreground and background.
    std::string looks = pane.capture(true);
    Cells cells = cells_of(looks);
    auto [row, column] = find_cells(cells, "Original");
    ASSERT_GE(row, 0) << looks;
    ASSERT_LT(size_t(row + 1), cells.size()) << looks;
    const std::string white = "2;255;255;255";
    for (int r = row; r <= row + 1; ++r)
        for (int c = column - 1; c < column + 31; ++c) {
            ASSERT_LT(size_t(c), cells[r].size()) << looks;
            const Cell& cell = cells[r][c];
            EXPECT_EQ(cell.bg, white) << "row " << r << ", column " << c << "\n" << looks;
            if (cell.text == "\u2584") {
                EXPECT_EQ(cell.fg, white) << "row " << r << ", column " << c << "\n" << looks;
            }
        }
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "none");
}

TEST(RequestersTmux, ColorTypedNameIsPickedAndRemembered) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    // The name entry is the third focusable face after the canvas: the
    // seven sliders and the grid come first.
    TmuxSession pane({program_path("kel"), "script.kel"},
                     script(std::string(SAVE) + "reduce [request-color request-color]\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Recent"));
    for (int i = 0; i < 9; ++i) pane.send_key("Tab");
    for (int i = 0; i < 5; ++i) pane.send_key("BSpace");
    pane.send_text("blue");
    // Every refresh runs in Kel: a slow build takes its time.
    const auto limit = std::chrono::seconds(120);
    ASSERT_TRUE(pane.wait_for("│blue", false, limit)) << pane.capture();
    pane.send_key("Enter");
    // The second dialog starts at white again, and its recent row (the grid
    // row beside "Recent") begins with the blue just picked.
    ASSERT_TRUE(pane.wait_for("│white", false, limit)) << pane.capture();
    std::string looks = pane.capture(true);
    Cells cells = cells_of(looks);
    auto [row, column] = find_cells(cells, "Recent");
    ASSERT_GE(row, 0) << looks;
    ASSERT_GT(cells[row].size(), 2u) << looks;
    EXPECT_EQ(cells[row][2].text, "\u2584") << looks;
    EXPECT_EQ(cells[row][2].fg, "2;0;0;255") << looks;
    EXPECT_EQ(cells[row][2].bg, "2;0;0;255") << looks;
    EXPECT_EQ(cells[row][3].bg, cells[row][4].bg) << "the second cell is empty\n" << looks;
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "[0.0.255 none]");
}

TEST(RequestersTmux, AlertClosesOnSpaceAndTheScriptGoesOn) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script("alert \"Saved\"\nwrite %result.txt \"went on\"\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Saved"));
    expect_screen(pane, "alert");
    pane.send_key("Space");
    EXPECT_EQ(result_of(pane), "went on");
}

// At the console prompt: a dialog closed with Escape gives the prompt back
// with the terminal's modes as they were.
TEST(RequestersTmux, ConsolePromptAfterADialog) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession::Options options = script("", 40, 100);
    TmuxSession pane({program_path("kel")}, options);
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(">>")) << pane.capture();
    pane.send_text("request-file");
    pane.send_key("Enter");
    ASSERT_TRUE(pane.wait_for(" Cancel")) << pane.capture();
    pane.send_key("Escape");
    ASSERT_TRUE(pane.wait_for("== none"));
    pane.send_text("1 + 1");
    pane.send_key("Enter");
    EXPECT_TRUE(pane.wait_for("== 2")) << pane.capture();
    EXPECT_EQ(pane.display("#{alternate_on} #{mouse_sgr_flag} #{cursor_flag}"), "0 0 1");
}

// With standard input a pipe at its end no one can answer a dialog: each
// one closes at once and answers none, and the script goes on.
TEST(RequestersWithoutTerminal, DialogsAnswerNoneAtTheEndOfInput) {
    Command c;
    c.argv = {program_path("kel"), "script.kel"};
    c.input = "\n";
    std::string dir = testing::TempDir();
    c.dir = dir;
    std::ofstream(dir + "/script.kel")
        << "Kel []\nprobe request-file\nprobe request-dir\nprobe request-color\nalert \"x\"\nprint \"end\"\n";
    ProcessResult r = run_process(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "none\nnone\nnone\nend\n");
}

}  // namespace
}  // namespace kel::test
