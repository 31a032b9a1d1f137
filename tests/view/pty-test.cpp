// The view backend on a real pseudo-terminal: whichever way the process
// ends, the terminal gets its mode back and shows the mouse off, the cursor,
// the main screen and no SGR left on; a stop gives the terminal back and
// SIGCONT brings the modes and a whole frame again.
#include <gtest/gtest.h>
#include <pty.h>

#include "runtime/core/exit-status.h"
#include "tests/console/pty-session.h"
#include "tests/view/pty-given-back.h"

namespace kel::test {
namespace {

TEST(PtyBackend, EveryEndGivesTheTerminalBack) {
    struct Case {
        const char* mode;
        int signal;  // sent once the frame is drawn
        int status;
    };
    const Case cases[] = {
        {"exit0", 0, 0},
        {"exit3", 0, 3},
        {"runtime-error", 0, exit_status::OUT_OF_MEMORY},
        {"uncaught", 0, exit_status::exit_code(exit_status::UNCAUGHT_ERROR)},
        {"fault", 0, -2},
        {"wait", SIGTERM, 1000 + SIGTERM},
        {"wait", SIGHUP, 1000 + SIGHUP},
        {"wait", SIGINT, 130},
    };
    for (const char* layout : {"full", "inline"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.mode) + " " + layout + " signal " + std::to_string(c.signal));
            PtySession s({c.mode, layout}, 24, 80, {"TERM=xterm"}, program_path("gui-probe"));
            ASSERT_TRUE(s.started());
            ASSERT_TRUE(answer_until(s, "drawn"));
            EXPECT_NE(s.output.find("frame 1"), std::string::npos);
            if (c.signal) {
                // The probe waits for the signal: its modes are on meanwhile.
                EXPECT_FALSE(s.mode().c_lflag & ICANON) << "raw while the frame is shown";
                EXPECT_NE(s.screen.text().find("frame 1"), std::string::npos);
                EXPECT_FALSE(s.screen.mouse_modes().empty());
                kill(s.pid(), c.signal);
            }
            int status = status_of(s.finish());
            if (c.status == -2) {
                EXPECT_TRUE(status > 0 && status < 256) << status;
            } else {
                EXPECT_EQ(status, c.status);
            }
            expect_given_back(s);
            if (std::string(layout) == "inline") {
                EXPECT_GE(s.screen.cursor_row(), 2) << "the shell continues below the frame";
            }
        }
    }
}

// Leaving waits for the answer to the cursor question and drops it: the next
// reader of the terminal gets only what was typed after.
TEST(PtyBackend, LeavingKeepsAnswersFromTheNextReader) {
    PtySession s({"leave", "inline"}, 24, 80, {"TERM=xterm"}, program_path("gui-probe"));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(answer_until(s, "left"));
    expect_given_back(s);
    s.send("hello\r");
    ASSERT_TRUE(s.wait_for_text("next [hello]"));
    EXPECT_EQ(status_of(s.finish()), 0);
}

TEST(PtyBackend, StopAndContinue) {
    for (const char* layout : {"full", "inline"}) {
        SCOPED_TRACE(layout);
        PtySession s({"wait", layout}, 24, 80, {"TERM=xterm"}, program_path("gui-probe"), true);
        ASSERT_TRUE(s.started());
        ASSERT_TRUE(answer_until(s, "drawn"));
        kill(s.job(), SIGTSTP);
        ASSERT_TRUE(s.wait_for([&] { return s.job_state() == 'T'; }));
        s.wait_for([&] { return s.screen.cursor_visible(); });
        expect_given_back(s);
        s.mark();
        kill(s.job(), SIGCONT);
        ASSERT_TRUE(answer_until(s, "resumed"));
        EXPECT_FALSE(s.mode().c_lflag & ICANON) << "raw mode is back";
        EXPECT_TRUE(s.screen.text().find("frame 2") != std::string::npos);
        EXPECT_EQ(s.screen.mouse_modes(), (std::vector<int>{1000, 1003, 1006, 1015}));
        EXPECT_FALSE(s.screen.cursor_visible());
        EXPECT_EQ(s.screen.alternate_screen(), std::string(layout) == "full");
        kill(s.job(), SIGTERM);
        EXPECT_EQ(status_of(s.finish()), 1000 + SIGTERM);
        expect_given_back(s);
    }
}

}  // namespace
}  // namespace kel::test
