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

// A full-screen window with mouse reporting, drawn by tmux: its looks come
// through, and once the window closes the pane is back on the main screen
// with the cursor shown and mouse reporting off.
constexpr const char* WINDOW_SCRIPT = R"~(system/view/platform/mouse-event?: true
system/view/awake: func [event] [
    if all [event/type = 'key event/key = #"q"] [system/view/platform/destroy-view win true]
    none
]
win: make face! [type: 'window size: 30x3 flags: 'fullscreen pane: reduce [
    make face! [type: 'base offset: 0x0 size: 30x1 text: "^[[1mbold^[[0m ^[[7mrev^[[0m"]
    make face! [type: 'base offset: 0x1 size: 30x1 text: "red" font: make font! [color: 255.0.0]
        flags: 'focusable]
]]
p: system/view/platform
win/state: reduce [p/make-view win p/make-null-handle 0 none]
foreach f win/pane [f/parent: win f/state: reduce [p/make-view f win/state/1 0 none]]
p/show-window win/state/1
p/do-event-loop false
print "closed"
input
)~";

TEST(Tmux, WindowLooksAndTheModesAfterItCloses) {
    if (!TmuxSession::available()) GTEST_SKIP() << "tmux is not installed";
    TmuxSession pane({program_path("kel"), "script.kel"}, with_script(WINDOW_SCRIPT));
    ASSERT_TRUE(pane.started());
    ASSERT_TRUE(pane.wait_for("bold rev"));
    EXPECT_EQ(pane.display("#{alternate_on} #{mouse_sgr_flag}"), "1 1");
    std::string looks = pane.capture(true);
    EXPECT_NE(looks.find("\033[1mbold"), std::string::npos) << looks;
    EXPECT_NE(looks.find("\033[7mrev"), std::string::npos) << looks;
    EXPECT_NE(looks.find("38;5;196mred"), std::string::npos) << looks;
    pane.send_text("q");
    ASSERT_TRUE(pane.wait_for("closed"));
    EXPECT_EQ(pane.display("#{alternate_on} #{cursor_flag} #{mouse_sgr_flag}"), "0 1 0");
    pane.send_key("Enter");
    EXPECT_TRUE(pane.wait_for("[exit 0]"));
}

}  // namespace
}  // namespace kel::test
