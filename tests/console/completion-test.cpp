// TAB completion at the kel console in a pseudo-terminal: words, paths and
// file names completed on screen, the listing of several candidates within
// the same edit, and completions that find nothing (or fail) inserting a TAB
// while the console goes on.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/boot/run-kel.h"
#include "tests/console/console-fixture.h"
#include "tests/console/pty-session.h"

namespace kel::test {
namespace {

const char* const DEFS =
    "Kel []\n"
    "zqx-alpha: 1\n"
    "zqx-beta: 2\n"
    "zqy-f: func [a /alpha /beta x /local z] [a]\n";

// kel --catch defs.kel in a directory holding alpha.txt, beta.kel and
// alps/inner.kel, which becomes the current one; a HOME of its own.
struct Completing {
    TempDir home;
    TempDir dir;
    PtySession s;
    explicit Completing(const std::string& script = "defs.kel", bool keep = true)
        : s(arguments(script, keep), 24, 80, {"TERM=xterm", "HOME=" + home.path}, kel_path()) {}
    std::vector<std::string> arguments(const std::string& script, bool keep) {
        dir.write("alpha.txt", "a");
        dir.write("beta.kel", "Kel []");
        dir.write("alps/inner.kel", "Kel []");
        dir.write("defs.kel", DEFS);
        dir.write("ask.kel", std::string(DEFS) + "probe ask \"? \"\n");
        std::vector<std::string> args;
        if (keep) args.push_back("--catch");
        args.push_back(dir.path + "/" + script);
        return args;
    }
    // Sends the keys and waits for the next prompt (or cue) to show.
    bool line(const std::string& keys) {
        s.mark();
        size_t before = s.output.size();
        s.send(keys);
        return s.wait_for([&] {
            size_t end = s.output.rfind("\r\n");
            return end != std::string::npos && end >= before && s.output.size() > end + 2 &&
                s.screen.cursor_column() > 0;
        });
    }
    int quit() {
        s.send("\x03");
        int status = s.finish();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
};

TEST(Completion, OnTheScreen) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;  // each but the last sent once the prompt or cue shows
        // From the first prompt's row; after an Enter up to the next prompt,
        // so that the keys that end the test meet the editor, not the
        // terminal between two edits.
        std::vector<std::string> rows;
        int cursor_row, cursor_column;  // relative to that row; -1: not checked
    };
    const Case cases[] = {
        {"a word", {"zqx-al\t\r"}, {">> zqx-alpha", "== 1", ">>"}, -1, -1},
        {"several words are listed, the prefix completed", {"zqx-\t"}, {">> zqx-alpha zqx-beta", ">> zqx-", ""}, 1, 7},
        {"editing goes on after the listing",
         {"zqx-\tb\t\r"},
         {">> zqx-alpha zqx-beta", ">> zqx-beta", "== 2", ">>"},
         -1,
         -1},
        {"text after the cursor stays", {"[zqx-al 5]\x1b[D\x1b[D\x1b[D\t"}, {">> [zqx-alpha 5]"}, 0, 13},
        {"and is part of the line",
         {"[zqx-al 5]\x1b[D\x1b[D\x1b[D\t\r"},
         {">> [zqx-alpha 5]", "== [zqx-alpha 5]", ">>"},
         -1,
         -1},
        {"a complete word inserts a TAB", {"zqx-alpha\t"}, {">> zqx-alpha"}, 0, 16},
        {"which stays in the line", {"zqx-alpha\t\r"}, {">> zqx-alpha", "== 1", ">>"}, -1, -1},
        {"an object's field", {"system/opt\t"}, {">> system/options"}, 0, 17},
        {"a function's refinements, never /local", {"zqy-f/\t"}, {">> alpha beta", ">> zqy-f/", ""}, 1, 9},
        {"file names", {"%al\t"}, {">> alpha.txt alps/", ">> %alp", ""}, 1, 7},
        {"one file name", {"%be\t"}, {">> %beta.kel"}, 0, 12},
        {"a name in a directory", {"%alps/\t"}, {">> %alps/inner.kel"}, 0, 18},
        {"a braced string across lines holds only what was typed",
         {"equal? \"x^/zqx-beta\" {x\r", "zqx-\tb\t}\r"},
         {">> equal? \"x^/zqx-beta\" {x", "{    zqx-alpha zqx-beta", "{    zqx-beta}", "== true", ">>"},
         -1,
         -1},
    };
    for (const Case& c : cases) {
        Completing t;
        ASSERT_TRUE(t.s.wait_for_text(">> ")) << c.name << t.s.output;
        int first = t.s.screen.cursor_row();
        for (size_t i = 0; i + 1 < c.lines.size(); ++i) ASSERT_TRUE(t.line(c.lines[i])) << c.name;
        t.s.send(c.lines.back());
        bool shown = t.s.wait_for([&] {
            for (size_t i = 0; i < c.rows.size(); ++i)
                if (t.s.screen.row(first + int(i)) != c.rows[i]) return false;
            return c.cursor_row < 0 ||
                (t.s.screen.cursor_row() == first + c.cursor_row && t.s.screen.cursor_column() == c.cursor_column);
        });
        EXPECT_TRUE(shown) << c.name << "\n"
                           << t.s.screen.text() << "\ncursor " << t.s.screen.cursor_row() - first << ","
                           << t.s.screen.cursor_column();
        EXPECT_EQ(t.quit(), 0) << c.name;
        EXPECT_TRUE(t.s.canonical_with_echo()) << c.name;
    }
    // The listing's last candidate is followed by a blank.
    Completing t;
    ASSERT_TRUE(t.s.wait_for_text(">> "));
    t.s.mark();
    t.s.send("zqx-\t");
    EXPECT_TRUE(t.s.wait_for_text("zqx-alpha zqx-beta \r")) << t.s.output;
    EXPECT_EQ(t.quit(), 0);
}

// A completion that finds nothing, or whose search fails (a missing
// directory, a first segment without a value, a directory that cannot be
// read), inserts a TAB; the console keeps running.
TEST(Completion, NothingFoundInsertsATab) {
    std::vector<std::string> tokens = {"%nodir/x", "zqx-none/a"};
    if (geteuid() != 0) tokens.push_back("%locked/");  // root reads any directory
    for (const std::string& token : tokens) {
        Completing t;
        ASSERT_EQ(mkdir((t.dir.path + "/locked").c_str(), 0), 0);
        ASSERT_TRUE(t.s.wait_for_text(">> ")) << t.s.output;
        int row = t.s.screen.cursor_row();
        t.s.send(token + "\t");
        EXPECT_TRUE(t.s.wait_for([&] {
            return t.s.screen.row(row) == ">> " + token && t.s.screen.cursor_column() == int(3 + token.size() + 4);
        })) << token
            << "\n"
            << t.s.screen.text();
        ASSERT_TRUE(t.line("\r")) << token;
        t.s.mark();
        t.s.send("1 + 1\r");
        EXPECT_TRUE(t.s.wait_for_text("== 2\r\n>> ")) << token << "\n" << t.s.screen.text();
        EXPECT_EQ(t.quit(), 0) << token;
        chmod((t.dir.path + "/locked").c_str(), 0755);
    }
}

// A script's ask completes as the console does, and answers the completed
// line, not the empty one the listing once left.
TEST(Completion, AScriptsAskCompletes) {
    Completing t("ask.kel", false);
    ASSERT_TRUE(t.s.wait_for_text("? ")) << t.s.output;
    t.s.send("zqx-\tb\t\r");
    int status = t.s.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(t.s.output.find("\"zqx-beta\"\r\n"), std::string::npos) << t.s.output;
    EXPECT_NE(t.s.screen.text().find("? zqx-alpha zqx-beta"), std::string::npos) << t.s.screen.text();
}

}  // namespace
}  // namespace kel::test
