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

TEST(RequestersTmux, ColorShowsThePreviewInWhite) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, script(std::string(SAVE) + "request-color\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("Recent"));
    expect_screen(pane, "color");
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
    // Every refresh runs in Kel: a slow build takes its time.
    const auto limit = std::chrono::seconds(120);
    ASSERT_TRUE(pane.wait_for("│blue", false, limit)) << pane.capture();
    pane.send_key("Enter");
    // The second dialog starts at white again.
    ASSERT_TRUE(pane.wait_for("│white", false, limit)) << pane.capture();
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
