// The requesters in a real terminal (a tmux pane per case): what the user
// sees, the keys and clicks that answer them, and what the script gets.
// Each script writes its answer to result.txt in the pane's home. Without a
// terminal (standard input a pipe at its end) a dialog answers none at once.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/process.h"
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

constexpr const char* SAVE = "write %result.txt mold ";

TEST(RequestersTmux, ColorEscapeAnswersNone) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script(std::string(SAVE) + "request-color\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for(" Cancel "));
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "none");
}

TEST(RequestersTmux, ColorShowsThePreviewInWhite) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script(std::string(SAVE) + "request-color\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Recent"));
    std::string screen = trimmed(pane.capture());
    for (const char* text : {"Color", "Original", "New", "Recent", " OK ", " Cancel ", "white", "#FFFFFF"})
        EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
    std::string looks = pane.capture(true);
    EXPECT_NE(looks.find("48;2;255;255;255"), std::string::npos) << looks;
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
    pane.send_key("Enter");
    ASSERT_TRUE(pane.wait_for("Recent"));
    pane.send_key("Escape");
    EXPECT_EQ(result_of(pane), "[0.0.255 none]");
}

TEST(RequestersTmux, AlertClosesOnSpaceAndTheScriptGoesOn) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script("alert \"Saved\"\nwrite %result.txt \"went on\"\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Saved"));
    pane.send_key("Space");
    EXPECT_EQ(result_of(pane), "went on");
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
