// The kel executable's console in a real pseudo-terminal: transcripts of
// the read-eval-print loop, the history kept in the configuration file, and
// the terminal's mode after every way out.
#include <gtest/gtest.h>

#include "tests/boot/run-kel.h"
#include "tests/console/pty-session.h"

namespace kel::test {
namespace {

const std::string CFG = ".kel/Kel-Console/console-cfg.kel";

// kel in a window of 24 rows and 80 columns, with a HOME of its own.
struct KelTerminal {
    TempDir home;
    PtySession s;
    explicit KelTerminal(std::vector<std::string> args = {}, int columns = 80, const std::string& cfg = "",
                         bool job_control = false)
        : s(std::move(args), 24, columns, {"TERM=xterm", "HOME=" + prepare(cfg)}, kel_path(), job_control) {}
    std::string prepare(const std::string& cfg) {
        if (!cfg.empty()) home.write(CFG, cfg);
        return home.path;
    }
    int quit(const std::string& keys) {
        s.send(keys);
        int status = s.finish();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
};

TEST(KelTerminal, Transcripts) {
    const std::string cut = "abcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcd";
    struct Case {
        const char* name;
        std::vector<std::string> keys;  // each sent once the previous line's cue or prompt showed
        std::vector<std::string> rows;  // the screen rows from the first prompt on
    } cases[] = {
        {"a result", {"1 + 2\r"}, {">> 1 + 2", "== 3", ">>"}},
        {"no result line for unset", {"print 1\r"}, {">> print 1", "1", ">>"}},
        {"a block across lines", {"[1 2\r", "3]\r"}, {">> [1 2", "[    3]", "== [1 2", "3]", ">>"}},
        {"Esc while collecting", {"[1\r", "\x1b"}, {">> [1", "[", "(escape)", ">>"}},
        {"an empty line while collecting", {"[1\r", "\r", "]\r"}, {">> [1", "[", "[    ]", "== [1]", ">>"}},
        {"a wrong delimiter is an error at once", {"(]\r"}, {">> (]", "*** Syntax Error: (line 1) missing ) at (]"}},
        {"a path and an open paren", {"a/(b\r"}, {">> a/(b", "("}},
        {"an error report",
         {"x: 1 / 0\r"},
         {">> x: 1 / 0", "*** Math Error: attempt to divide by zero", "*** Where: /", "*** Near : x: 1 / 0"}},
        {"a long result cut to the window",
         {"s: copy \"\" loop 50 [append s \"abcd\"] s\r"},
         {">> s: copy \"\" loop 50 [append s \"abcd\"] s", "== {" + cut + "...", ">>"}},
        {"a prompt holding colour sequences",
         {"system/console/prompt: \"^[[31m>>^[[0m \"\r", "abc"},
         {">> system/console/prompt: \"^[[31m>>^[[0m \"", "== \"^[[31m>>^[[0m \"", ">> abc"}},
    };
    for (const Case& c : cases) {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> ")) << c.name << t.s.output;
        int first = t.s.screen.cursor_row();
        for (const std::string& keys : c.keys) {
            t.s.mark();
            size_t before = t.s.output.size();
            t.s.send(keys);
            // The next line's prompt or cue is drawn once this line is done:
            // a line break written after these keys were sent, with text
            // after it. (Keys sent before the cue shows would meet the
            // terminal between two edits.)
            if (&keys != &c.keys.back()) {
                ASSERT_TRUE(t.s.wait_for([&] {
                    size_t end = t.s.output.rfind("\r\n");
                    return end != std::string::npos && end >= before && t.s.output.size() > end + 2 &&
                        t.s.screen.cursor_column() > 0;
                })) << c.name;
            }
        }
        bool shown = t.s.wait_for([&] {
            for (size_t i = 0; i < c.rows.size(); ++i)
                if (t.s.screen.row(first + int(i)) != c.rows[i]) return false;
            return true;
        });
        EXPECT_TRUE(shown) << c.name << "\n" << t.s.screen.text();
        // Esc drops what is being collected; ^C at the prompt then quits.
        t.s.mark();
        t.s.send("\x1b");
        ASSERT_TRUE(t.s.wait_for_text("(escape)\r\n")) << c.name;
        ASSERT_TRUE(t.s.wait_for([&] { return t.s.screen.cursor_column() == 3; })) << c.name;
        EXPECT_EQ(t.quit("\x03"), 0) << c.name;
        EXPECT_TRUE(t.s.canonical_with_echo()) << c.name;
    }
}

TEST(KelTerminal, TheHistoryIsKeptInTheConfigurationFile) {
    {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        t.s.send("1\r");
        ASSERT_TRUE(t.s.wait_for_text("== 1\r\n>> "));
        t.s.mark();
        t.s.send("x: ask/hide \"Secret: \"\r");
        ASSERT_TRUE(t.s.wait_for_text("Secret: "));
        t.s.mark();
        t.s.send("se\tc\r");
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        EXPECT_NE(t.s.screen.text().find("Secret: ****"), std::string::npos) << t.s.screen.text();
        t.s.mark();
        t.s.send("print mold x\r");
        ASSERT_TRUE(t.s.wait_for_text("\"se^-c\"\r\n>> "));
        // Ctrl-D on an empty line quits and saves, newest first.
        EXPECT_EQ(t.quit("\x04"), 0);
        EXPECT_TRUE(t.s.canonical_with_echo());
        std::string cfg = t.home.read(CFG);
        EXPECT_NE(cfg.find("history: [\"print mold x\" {x: ask/hide \"Secret: \"} \"1\"]"), std::string::npos) << cfg;
    }
    {
        // 150 entries: all reachable with Up, 100 written back.
        std::string history;
        for (int i = 150; i >= 1; --i) history += " \"h" + std::to_string(i) + "\"";
        KelTerminal t({}, 80, "Kel []\nbuffer-lines: 10000 history: [" + history + "]\n");
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        int row = t.s.screen.cursor_row();
        std::string ups;
        for (int i = 0; i < 150; ++i) ups += "\x1b[A";
        t.s.send(ups);
        EXPECT_TRUE(t.s.wait_for([&] { return t.s.screen.row(row) == ">> h1"; })) << t.s.screen.text();
        EXPECT_EQ(t.quit("\x03"), 0);
        std::string cfg = t.home.read(CFG);
        EXPECT_NE(cfg.find("\"h150\""), std::string::npos) << cfg;
        EXPECT_NE(cfg.find("\"h51\"]"), std::string::npos) << cfg;
        EXPECT_EQ(cfg.find("\"h50\""), std::string::npos) << cfg;
    }
}

// Control-C while a command runs halts it, as halt does: the session, its
// values and its history stay. Loops in natives notice it as well as
// evaluation itself.
TEST(KelTerminal, ControlCHaltsTheRunningCommand) {
    const char* commands[] = {
        "forever []",
        "while [true] [n: n + 1]",
        "loop 2000000000 []",
        "repeat i 2000000000 []",
        "foreach x [1] [forever [x: x + 1]]",
        "parse [] [while [(n: n + 1)]]",
        "f: does [n: n + 1] forever [f]",
    };
    for (const char* command : commands) {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        t.s.send("n: 41\r");
        ASSERT_TRUE(t.s.wait_for_text("== 41\r\n>> "));
        t.s.mark();
        t.s.send(std::string("print \"running\" ") + command + "\r");
        ASSERT_TRUE(t.s.wait_for_text("running\r\n")) << command;
        t.s.mark();
        t.s.send("\x03");
        ASSERT_TRUE(t.s.wait_for_text("(halted)\r\n>> ")) << command << "\n" << t.s.screen.text();
        // The values and the history are still there.
        t.s.mark();
        t.s.send("1 + 1\r");
        ASSERT_TRUE(t.s.wait_for_text("== 2\r\n>> ")) << command;
        int row = t.s.screen.cursor_row();
        t.s.send("\x1b[A\x1b[A");
        EXPECT_TRUE(t.s.wait_for([&] { return t.s.screen.row(row).find(command) != std::string::npos; }))
            << command << "\n"
            << t.s.screen.text();
        EXPECT_EQ(t.quit("\x03"), 0) << command;
        EXPECT_TRUE(t.s.canonical_with_echo());
        EXPECT_NE(t.home.read(CFG).find(command), std::string::npos) << t.home.read(CFG);
    }
}

// Ctrl-C, and Ctrl-D on an empty line, leave the console from a
// continuation prompt as from the first one: the configuration is saved and
// their "q" never becomes code.
TEST(KelTerminal, LeavingAtAContinuationPrompt) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;  // each sent once the prompt or cue shows
        std::string keys;  // then these
    } cases[] = {
        {"Ctrl-C in an open block", {"b: [\r"}, "1 2\x03"},
        {"Ctrl-C in a function body", {"f: func [] [\r", "print 1\r"}, "\x03"},
        {"Ctrl-D on an empty continuation line", {"b: [\r"}, "\x04"},
    };
    for (const Case& c : cases) {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        for (const std::string& line : c.lines) {
            t.s.mark();
            t.s.send(line);
            ASSERT_TRUE(t.s.wait_for_text("    ")) << c.name;
        }
        EXPECT_EQ(t.quit(c.keys), 0) << c.name << "\n" << t.s.screen.text();
        EXPECT_TRUE(t.s.canonical_with_echo()) << c.name;
        EXPECT_EQ(t.s.output.find("\n== "), std::string::npos) << c.name << "\n" << t.s.screen.text();
        EXPECT_NE(t.home.read(CFG).find("history: [\""), std::string::npos) << c.name << t.home.read(CFG);
    }
}

// On a terminal in canonical mode (TERM=dumb) Control-C is the terminal's
// signal: it halts a running command, and at a prompt it leaves the
// console as the editor's Ctrl-C does.
TEST(KelTerminal, ControlCOnADumbTerminal) {
    TempDir home;
    PtySession s({}, 24, 80, {"TERM=dumb", "HOME=" + home.path}, kel_path());
    ASSERT_TRUE(s.wait_for_text(">> "));
    s.send("print \"running\" forever []\n");
    ASSERT_TRUE(s.wait_for_text("running\r\n"));
    s.mark();
    s.send("\x03");
    ASSERT_TRUE(s.wait_for_text("(halted)\r\n>> "));
    s.send("b: [\n");
    ASSERT_TRUE(s.wait_for_text("[    "));
    s.send("\x03");
    int status = s.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << s.output;
    EXPECT_EQ(s.output.find("\n== "), std::string::npos) << s.output;
}

// Ctrl-Z stops the process with the terminal restored; once continued, the
// prompt and the line are drawn again and the edit goes on.
TEST(KelTerminal, ControlZStopsAndContinues) {
    KelTerminal t({}, 80, "", true);
    ASSERT_TRUE(t.s.wait_for_text(">> "));
    t.s.send("1 +");
    int row = t.s.screen.cursor_row();
    ASSERT_TRUE(t.s.wait_for([&] { return t.s.screen.row(row) == ">> 1 +"; }));
    t.s.send("\x1a");
    ASSERT_TRUE(t.s.wait_for([&] { return t.s.job_state() == 'T'; })) << t.s.job_state();
    EXPECT_TRUE(t.s.canonical_with_echo()) << "the terminal is restored while stopped";
    t.s.mark();
    kill(t.s.job(), SIGCONT);
    ASSERT_TRUE(t.s.wait_for([&] { return t.s.screen.row(row + 1) == ">> 1 +"; })) << t.s.screen.text();
    EXPECT_FALSE(t.s.mode().c_lflag & ICANON) << "raw mode is on again";
    t.s.send(" 2\r");
    ASSERT_TRUE(t.s.wait_for_text("== 3\r\n>> ")) << t.s.screen.text();
    EXPECT_EQ(t.quit("\x03"), 0);
}

// The window's size follows a resize: results are cut to the new width.
TEST(KelTerminal, TheSizeFollowsTheWindow) {
    KelTerminal t;
    ASSERT_TRUE(t.s.wait_for_text(">> "));
    t.s.resize(24, 40);
    t.s.mark();
    t.s.send("system/console/size\r");
    ASSERT_TRUE(t.s.wait_for_text("== 40x24\r\n>> ")) << t.s.screen.text();
    t.s.mark();
    t.s.send("append/dup copy \"\" #\"a\" 100\r");
    // 40 columns: "==", a blank, 33 characters and "...".
    ASSERT_TRUE(t.s.wait_for_text("== {" + std::string(32, 'a') + "...\r\n>> ")) << t.s.screen.text();
    EXPECT_EQ(t.quit("\x03"), 0);
}

TEST(KelTerminal, TheTerminalIsRestoredOnEveryExit) {
    {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        EXPECT_FALSE(t.s.mode().c_lflag & ICANON);
        EXPECT_EQ(t.quit("quit\r"), 0);
        EXPECT_TRUE(t.s.canonical_with_echo());
    }
    {
        KelTerminal t;
        ASSERT_TRUE(t.s.wait_for_text(">> "));
        t.s.send("ab");
        kill(t.s.pid(), SIGTERM);
        EXPECT_EQ(t.quit(""), 1000 + SIGTERM);
        EXPECT_TRUE(t.s.canonical_with_echo());
    }
    {
        TempDir dir;
        dir.write("error.kel", "Kel []\n1 / 0\n");
        KelTerminal t({dir.path + "/error.kel"});
        EXPECT_EQ(t.quit(""), 1) << t.s.output;
        EXPECT_NE(t.s.output.find("*** Math Error"), std::string::npos);
        EXPECT_TRUE(t.s.canonical_with_echo());
        // --catch keeps the console, without the banner.
        KelTerminal kept({"--catch", dir.path + "/error.kel"});
        ASSERT_TRUE(kept.s.wait_for_text(">> "));
        EXPECT_EQ(kept.s.output.find("--== Kel"), std::string::npos);
        EXPECT_EQ(kept.quit("q\r"), 0);
        EXPECT_TRUE(kept.s.canonical_with_echo());
    }
}

}  // namespace
}  // namespace kel::test
