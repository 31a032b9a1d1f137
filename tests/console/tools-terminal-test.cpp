// The tools of system/tools at the kel console in a pseudo-terminal: the
// debugger's prompt read through the line editor (and its lines kept out of
// the history), and trace lines sized to the window.
#include <gtest/gtest.h>

#include "tests/boot/run-kel.h"
#include "tests/console/pty-session.h"

namespace kel::test {
namespace {

// kel's console in a window of 24 rows, with a HOME of its own.
struct Console {
    TempDir home;
    PtySession s;
    explicit Console(int columns = 80) : s({}, 24, columns, {"TERM=xterm", "HOME=" + home.path}, kel_path()) {}
    // Waits until the given prompt is drawn after the mark, with the cursor
    // standing after it.
    bool prompted(const std::string& prompt) {
        return s.wait_for([&] {
            size_t at = s.output.rfind(prompt);
            return at != std::string::npos && at + prompt.size() == s.output.size() &&
                s.screen.cursor_column() == int(prompt.size());
        });
    }
    int quit() {
        s.send("\x03");
        int status = s.finish();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
};

// A debug run answered at each "debug> " prompt runs to its end; Up then
// recalls the debug line itself, whatever was typed at the prompts.
TEST(ToolsTerminal, TheDebuggerPromptsAndLeavesTheHistoryAlone) {
    const std::string command = "debug [x: 1 + 2 print x]";
    struct Case {
        const char* name;
        std::vector<std::string> first;  // typed at the first prompts, then Enter
    } cases[] = {
        {"Enter at each prompt", {}},
        {"commands typed at the prompts", {"n\r", ":x\r", "s\r", "\r", "next\r"}},
    };
    for (const Case& c : cases) {
        Console t;
        ASSERT_TRUE(t.prompted(">> ")) << c.name;
        t.s.send(command + "\r");
        size_t typed = 0;
        int stops = 0;
        for (;;) {
            bool more = t.s.wait_for([&] {
                return t.s.output.size() >= 7 &&
                    (t.s.output.compare(t.s.output.size() - 7, 7, "debug> ") == 0 ||
                     t.s.output.find("\r\n>> ", t.s.output.rfind("-----> ")) != std::string::npos) &&
                    t.s.screen.cursor_column() > 0;
            });
            ASSERT_TRUE(more) << c.name << "\n" << t.s.screen.text();
            if (t.s.output.compare(t.s.output.size() - 7, 7, "debug> ") != 0) break;
            ASSERT_LT(++stops, 100) << c.name;
            std::string keys = typed < c.first.size() ? c.first[typed++] : "\r";
            t.s.mark();
            t.s.send(keys);
            // The answer's line break, before the next wait.
            ASSERT_TRUE(t.s.wait_for_text("\r\n")) << c.name;
        }
        EXPECT_GT(stops, 10) << c.name;
        EXPECT_NE(t.s.output.find("\r\n3\r\n"), std::string::npos) << c.name << "\n" << t.s.screen.text();
        ASSERT_TRUE(t.prompted(">> ")) << c.name;
        int row = t.s.screen.cursor_row();
        t.s.send("\x1b[A");
        EXPECT_TRUE(t.s.wait_for([&] { return t.s.screen.row(row) == ">> " + command; })) << c.name << "\n"
                                                                                          << t.s.screen.text();
        EXPECT_EQ(t.quit(), 0) << c.name;
    }
}

// trace lines fill the window's width but its last cell: the expression
// lines and the header line are built to the width minus one (minus three
// for the header), with the arrow at the left column's end.
TEST(ToolsTerminal, TraceLinesFollowTheWindowWidth) {
    for (int columns : {80, 100}) {
        Console t(columns);
        ASSERT_TRUE(t.prompted(">> ")) << columns;
        t.s.mark();
        t.s.send("f: func [a] [a * 2] trace/deep [x: 1 + 2 f x]\r");
        ASSERT_TRUE(t.s.wait_for_text("== 6\r\n")) << columns << "\n" << t.s.screen.text();
        std::string out = t.s.output;
        int left = std::min(60, (columns - 7) / 2);
        int lines = 0, headers = 0;
        for (size_t at = out.find("\r\n"); at != std::string::npos;) {
            size_t next = out.find("\r\n", at + 2);
            if (next == std::string::npos) break;
            std::string line = out.substr(at + 2, next - at - 2);
            if (line.find(" => ") != std::string::npos) {
                ++lines;
                EXPECT_EQ(int(line.size()), columns - 1) << columns << " [" << line << "]";
                EXPECT_EQ(int(line.find(" => ")), left) << columns << " [" << line << "]";
            } else if (line.rfind("``", 0) == 0) {
                ++headers;
                EXPECT_EQ(int(line.size()), columns - 3) << columns << " [" << line << "]";
            }
            at = next;
        }
        EXPECT_GT(lines, 1) << columns << "\n" << out;
        EXPECT_GT(headers, 0) << columns << "\n" << out;
        EXPECT_EQ(t.s.screen.unknown(), "") << columns;
        // The console goes on; the session ends with the test (the
        // collector's stress pass makes a quit after a trace slow).
        EXPECT_TRUE(t.prompted(">> ")) << columns;
    }
}

}  // namespace
}  // namespace kel::test
