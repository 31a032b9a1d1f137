// The console probe in a real pseudo-terminal: key bytes in, the screen and
// the terminal's mode out.
#include "tests/console/console-fixture.h"
#include "tests/console/pty-session.h"

namespace kel::test {
namespace {

TEST(Pty, EditingAndHistoryThroughTheTerminal) {
    PtySession s({});
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(s.wait_for_text(">> "));
    EXPECT_FALSE(s.mode().c_lflag & ICANON) << "raw while the line is edited";
    EXPECT_TRUE(s.mode().c_oflag & OPOST);
    // Arrows as CSI and as SS3, the Enter key as CR.
    s.send("abc\x1b[D\x1bODX\r");
    ASSERT_TRUE(s.wait_for_text("=> aXbc [enter]"));
    EXPECT_EQ(s.screen.row(0), ">> aXbc");
    EXPECT_EQ(s.screen.row(1), "=> aXbc [enter]");
    s.send("aXbc\r");
    s.send("AXBC\r");
    ASSERT_TRUE(s.wait_for_text("=> AXBC [enter]"));
    // Up, Up shows the older entry; Enter accepts it.
    s.send("\x1b[A\x1b[A\r");
    ASSERT_TRUE(s.wait_for_text("=> aXbc [enter]\r\n>> "));
    s.mark();
    // An invalid byte is U+FFFD; a bare ESC (no byte follows) is the Esc key.
    s.send("\x80z");
    s.send("\x1b");
    // Keys typed between two edits meet the terminal's own canonical mode,
    // where ^C is an interrupt: wait for the next prompt.
    ASSERT_TRUE(s.wait_for_text("=> <?>z^[ [escape]\r\n>> "));
    s.send("t\x03");
    EXPECT_EQ(status_of(s.finish()), 0);
    EXPECT_NE(s.output.find("=> q [quit]\r\nhistory: aXbc|AXBC|aXbc\r\n"), std::string::npos) << s.output;
    EXPECT_TRUE(s.canonical_with_echo());
}

TEST(Pty, HiddenInputShowsStars) {
    PtySession s({"--hide", "--prompt", "Password: "});
    ASSERT_TRUE(s.wait_for_text("Password: "));
    s.send("se\tc\r");
    ASSERT_TRUE(s.wait_for_text("[enter]\r\nPassword: "));
    EXPECT_EQ(s.screen.row(0), "Password: *******");
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
    EXPECT_NE(s.output.find("=> se^Ic [enter]"), std::string::npos);
    EXPECT_NE(s.output.find("history: \r\n"), std::string::npos) << "hidden lines stay out of the history";
}

// The saved mode comes back on every way out of an edit.
TEST(Pty, TheTerminalIsRestoredOnEveryExit) {
    struct Case {
        const char* name;
        const char* keys;  // nullptr: SIGTERM
        int status;
    };
    const Case cases[] = {
        {"ctrl-d on an empty line", "\x04", 0},
        {"system_quit during an edit", "ab\x18", 98},
        {"a fault during an edit", "ab\x19", 1},
        {"SIGTERM during an edit", nullptr, 1000 + SIGTERM},
    };
    for (const Case& c : cases) {
        PtySession s({});
        ASSERT_TRUE(s.wait_for_text(">> ")) << c.name;
        ASSERT_FALSE(s.mode().c_lflag & ICANON) << c.name;
        if (c.keys)
            s.send(c.keys);
        else
            kill(s.pid(), SIGTERM);
        EXPECT_EQ(status_of(s.finish()), c.status) << c.name << "\n" << s.output;
        EXPECT_TRUE(s.canonical_with_echo()) << c.name;
    }
}

// The window narrows while a line is edited: the redraw keeps the prompt on
// its row, at the new width.
TEST(Pty, AResizeKeepsThePromptOnItsRow) {
    PtySession s({"--prompt", "> "}, 10, 40);
    ASSERT_TRUE(s.wait_for_text("> "));
    s.send("hello");
    ASSERT_TRUE(s.wait_for([&] { return s.screen.row(0) == "> hello"; }));
    s.resize(10, 20);
    s.send("\x1b[D!");
    ASSERT_TRUE(s.wait_for([&] { return s.screen.row(0) == "> hell!o"; })) << s.output;
    EXPECT_EQ(s.screen.cursor_row(), 0);
    EXPECT_EQ(s.screen.cursor_column(), 7);
    EXPECT_EQ(s.screen.row(1), "");
    s.send("\r");
    ASSERT_TRUE(s.wait_for_text("=> hell!o [enter]\r\n> "));
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
}

// Layouts through the real terminal: the rows from `first_row` on and the
// cursor after the keys, in a window of 6 rows and 10 columns.
TEST(Pty, LayoutsOnARealTerminal) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* keys;
        int first_row;
        std::vector<std::string> rows;
        int cursor_row, cursor_column;
    };
    const Case cases[] = {
        {"a prompt holding colour sequences", {"--prompt", "\x1b[1;31m>\x1b[0m "}, "ab\x1b[D", 0, {"> ab"}, 0, 3},
        {"a wide character at the last column", {}, "123456\xE4\xB8\xAD", 0, {">> 123456", "\xE4\xB8\xAD"}, 1, 2},
        // Four empty lines fill the window; the long line then scrolls it.
        {"a line that wraps and scrolls",
         {},
         "\r\r\r\rabcdefghijklmnopqrstu\x1b[H",
         3,
         {">> abcdefg", "hijklmnopq", "rstu"},
         3,
         3},
    };
    for (const Case& c : cases) {
        PtySession s(c.args, 6, 10);
        ASSERT_TRUE(s.wait_for_text(" ")) << c.name;
        s.send(c.keys);
        auto shown = [&] {
            for (size_t r = 0; r < c.rows.size(); ++r)
                if (s.screen.row(c.first_row + int(r)) != c.rows[r]) return false;
            return s.screen.cursor_row() == c.cursor_row && s.screen.cursor_column() == c.cursor_column;
        };
        EXPECT_TRUE(s.wait_for(shown)) << c.name << "\n"
                                       << s.screen.text() << s.screen.cursor_row() << "," << s.screen.cursor_column();
        s.send("\x03");
        EXPECT_EQ(status_of(s.finish()), 0) << c.name;
    }
}

// A shell may put the terminal back in canonical mode while the process is
// stopped: on SIGCONT raw mode comes back and the line is drawn again.
TEST(Pty, ContinuingAfterAStopRestoresRawModeAndRedraws) {
    PtySession s({});
    ASSERT_TRUE(s.wait_for_text(">> "));
    s.send("abc");
    ASSERT_TRUE(s.wait_for([&] { return s.screen.row(0) == ">> abc"; }));
    kill(s.pid(), SIGSTOP);
    termios canonical = s.mode();
    canonical.c_lflag |= ICANON | ECHO;
    s.set_mode(canonical);
    s.screen.feed("\r\x1b[J");  // as if the screen had been cleared meanwhile
    s.mark();
    kill(s.pid(), SIGCONT);
    ASSERT_TRUE(s.wait_for([&] { return s.screen.row(0) == ">> abc"; }));
    EXPECT_FALSE(s.mode().c_lflag & ICANON);
    s.send("d\r");
    ASSERT_TRUE(s.wait_for_text("=> abcd [enter]\r\n>> "));
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
}

// Pasted type-ahead is all kept: raw mode goes on without flushing input.
TEST(Pty, TypeAheadSurvivesBetweenEdits) {
    PtySession s({});
    ASSERT_TRUE(s.wait_for_text(">> "));
    s.send("one\rtwo\rthree\r");
    ASSERT_TRUE(s.wait_for_text("=> three [enter]\r\n>> "));
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
    EXPECT_NE(s.output.find("history: three|two|one"), std::string::npos) << s.output;
}

TEST(Pty, TheTitleIsAnOscSequenceOnATerminal) {
    PtySession s({"--title", "Kel Console"});
    ASSERT_TRUE(s.wait_for_text(">> "));
    EXPECT_EQ(s.screen.title(), "Kel Console");
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
}

// TERM=dumb: canonical mode, the terminal echoes, the prompt is plain text.
TEST(Pty, ADumbTerminalReadsInCanonicalMode) {
    PtySession s({}, 24, 80, {"TERM=dumb"});
    ASSERT_TRUE(s.wait_for_text(">> "));
    EXPECT_TRUE(s.mode().c_lflag & ICANON);
    s.send("1 + 2\n");
    ASSERT_TRUE(s.wait_for_text("=> 1 + 2 [enter]"));
    s.send("\x04");
    EXPECT_EQ(status_of(s.finish()), 0);
    EXPECT_EQ(s.output.find('\x1b'), std::string::npos) << "no escape sequence";
    EXPECT_NE(s.output.find("end of input"), std::string::npos);
}

}  // namespace
}  // namespace kel::test
