// The kel executable as a process: exit statuses of scripts, the environment at the first user line, the command line and the
// cache directory, and start-up under collection at every allocation.
#include <gtest/gtest.h>

#include "tests/boot/run-kel.h"

namespace kel::test {
namespace {

TEST(StartUp, ExitStatuses) {
    struct Case {
        const char* script;
        int status;
        std::vector<std::string> output;  // texts the output holds
    };
    const Case cases[] = {
        {"Kel []\nprint \"done\"\n", 0, {"done\n"}},
        {"Kel []\nquit/return 3\nprint \"not reached\"\n", 3, {}},
        {"Kel []\nquit/return 258\n", 2, {}},
        {"Kel []\nquit\n", 0, {}},
        {"Kel [Title: \"t\"]\nx: 1\nprint 1 / 0\n",
         1,
         {"*** Math Error: attempt to divide by zero\n", "*** Where: /\n", "*** Near : print 1 / 0\n"}},
        {"Kel []\nfoo bar\n", 1, {"*** Script Error: foo has no value\n", "*** Near : foo bar\n"}},
        {"print \"no header\"\n", 1, {"*** Error: Kel header not found!\n"}},
        // The Near line of an error raised inside a library function shows
        // the script's expression.
        {"Kel []\nx: 1\nload \"1 ]\"\n", 1, {"*** Near : load \"1 ]\"\n"}},
        // quit looks _save-cfg up when it runs.
        {"Kel []\n_save-cfg: func [] [print \"saved\"]\nquit/return 4\n", 4, {"saved\n"}},
        {"Kel []\nprint [1 + \n", 1, {"*** Syntax Error:"}},
    };
    for (const Case& c : cases) {
        ScriptFile file(c.script);
        ProcessResult run = run_kel({file.path});
        EXPECT_EQ(run.status, c.status) << c.script << run.out;
        for (const std::string& text : c.output)
            EXPECT_NE(run.out.find(text), std::string::npos) << c.script << run.out;
        if (c.status == 3) {
            EXPECT_EQ(run.out, "");
        }
    }
}

// The report of an error that ends a script: one raised inside a script
// the script runs keeps that script's Near and lists the scripts running;
// system/state/stack-trace 0 leaves the Stack line out.
TEST(StartUp, TheFinalReportPlacesTheError) {
    struct Case {
        const char* main;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"Kel []\nx: 1\ndo %sub.kel\n",
         {"*** Where: /\n", "*** Near : b: a / 0\n", "*** Files: %sub.kel"},
         {"*** Near : do"}},
        {"Kel []\nsystem/state/stack-trace: 0\nx: 1 / 0\n", {"*** Near : x: 1 / 0"}, {"*** Stack:", "*** Files:"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("main.kel", c.main);
        dir.write("sub.kel", "Kel []\na: 1 b: a / 0\n");
        ProcessResult run = run_kel({"main.kel"}, "", {}, dir.path);
        EXPECT_EQ(run.status, 1) << run.out;
        for (const std::string& text : c.present) EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
        for (const std::string& text : c.absent) EXPECT_EQ(run.out.find(text), std::string::npos) << run.out;
    }
}

TEST(StartUp, MissingScriptFileFails) {
    ProcessResult run = run_kel({"/tmp/kel-no-such-dir/none.kel"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("*** Access Error: cannot open:"), std::string::npos) << run.out;
}

// The arguments arrive as the shell gave them; system/script/args holds the
// raw text of the script's own arguments, rebuilt with quotes around the
// arguments that need them; an empty argument is kept as "".
TEST(StartUp, CommandLine) {
    ScriptFile file(
        "Kel []\nforeach-arg: func [b] [while [not tail? b] [probe first b b: next b]]\n"
        "foreach-arg system/options/args\nprobe system/script/args\n");
    ProcessResult run = run_kel({file.path, "two words", "say \"hi\"", "", "plain", ""});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
              "\"two words\"\n{say \"hi\"}\n\"\"\n\"plain\"\n\"\"\n"
              "{\"two words\" \"say \"hi\"\" \"\" plain \"\"}\n");
}

TEST(StartUp, CacheDirectoryFromHome) {
    ScriptFile file("Kel []\nprint system/options/cache\n");
    TempDir home;
    EXPECT_EQ(run_kel({file.path}, "", {{"HOME", home.path.c_str()}}).out, home.path + "/.kel/\n");
    EXPECT_EQ(run_kel({file.path}, "", {{"HOME", nullptr}}).out, "/tmp/.kel/\n");
}

// Start-up itself runs with a collection at every allocation.
TEST(StartUp, UnderCollectionAtEveryAllocation) {
    TempDir home;
    ProcessResult run =
        run_kel({}, "print 1 + 2 probe first [a b]", {{"KEL_GC_STRESS", "boot"}, {"HOME", home.path.c_str()}});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\n3\na\n== a\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace kel::test
