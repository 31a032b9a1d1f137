// End-to-end runs of kel in a tmux pane: what a real terminal emulator shows
// of the output, with its looks, and the terminal's modes afterwards.
#include <gtest/gtest.h>

#include "tests/process.h"
#include "tests/view/tmux-session.h"

namespace kel::test {
namespace {

TmuxSession::Options with_script(const std::string& body, int rows = 10, int columns = 40) {
    TmuxSession::Options options;
    options.rows = rows;
    options.columns = columns;
    options.files = {{"script.kel", "Kel []\n" + body}};
    return options;
}

TEST(Tmux, PaneShowsTextAndLooksOfKelOutput) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"},
                     with_script("print \"^[[1mbold^[[0m ^[[7mrev^[[0m ^[[38;5;196mred^[[0m\"\n"
                                 "print \"ready\"\nprint [\"got\" input]\n"));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("ready"));
    EXPECT_NE(pane.capture().find("bold rev red"), std::string::npos);
    std::string looks = pane.capture(true);
    EXPECT_NE(looks.find("\033[1mbold"), std::string::npos) << looks;
    EXPECT_NE(looks.find("\033[7mrev"), std::string::npos) << looks;
    EXPECT_NE(looks.find("\033[38;5;196mred"), std::string::npos) << looks;
    pane.send_text("hi");
    pane.send_key("Enter");
    EXPECT_TRUE(pane.wait_for("got hi\n[exit 0]"));
}

}  // namespace
}  // namespace kel::test
