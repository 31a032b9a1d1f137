// The console as a process with redirected standard input: a piped session
// (results, continuation lines, errors, halt, Esc, the end of input), script
// launch from the command line, and the configuration file kept under HOME.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/boot/run-kel.h"

namespace kel::test {
namespace {

// A session in a HOME of its own; the banner is cut off the output.
struct Session {
    TempDir home;
    KelRun run;
    explicit Session(const std::string& input, const std::vector<std::string>& args = {}) {
        run = run_kel(args, input, {{"HOME", home.path.c_str()}});
        const std::string banner = "Type HELP for starting information. \n\n";
        size_t at = run.output.find(banner);
        if (at != std::string::npos) run.output.erase(0, at + banner.size());
    }
    std::string cfg() const { return home.read(".kel/Kel-Console/console-cfg.kel"); }
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ConsoleSession, PipedInputIsASessionWithoutPromptOrEscapes) {
    Session s("1 + 2\nprint 1\n");
    EXPECT_EQ(s.run.status, 0);
    EXPECT_EQ(s.run.output, "== 3\n1\n");
    // The end of input ended it as quit does: the configuration was saved.
    EXPECT_NE(s.cfg().find("history: []"), std::string::npos) << s.cfg();
    Session whole("print 1 + 2\n");
    EXPECT_EQ(whole.run.output.find('\x1b'), std::string::npos);
    EXPECT_EQ(whole.run.output.find(">>"), std::string::npos);
}

TEST(ConsoleSession, LinesOfAPipedSession) {
    const std::string fifty_abcd = "s: copy \"\" loop 50 [append s \"abcd\"] s\n";
    struct Case {
        std::string input;
        std::string output;  // the whole output after the banner
    } cases[] = {
        {"[1 2\n3]\n", "== [1 2\n3]\n"},
        {"a: [1\n\n2]\nlength? a\n", "== [1\n2]\n== 2\n"},
        {"a/(b\n", ""},
        {"[1\n\x1b\n1\n", "(escape)\n== 1\n"},
        {"\"abc\n", "*** Syntax Error: (line 1) invalid string at \"abc\n"},
        {"{abc\ndef}\n", "== \"abc^/def\"\n"},
        {"%{x\n}%\n", "== \"x^/\"\n"},
        {"#{12\n34}\n", "== #{1234}\n"},
        {"halt\nprint 2\n", "(halted)\n2\n"},
        {"print 1 halt print 2\n", "1\n(halted)\n"},
        {"\n\n1\n", "== 1\n"},
        {"system/console/result: \"=>\"\n1\n", "=> \"=>\"\n=> 1\n"},
        {"system/console/result: 5\n1\n", "none 5\nnone 1\n"},
        // The result is cut to the window's 80 columns less the prompt's
        // text, also before any prompt was shown: "==", a blank, 73
        // characters and "...".
        {fifty_abcd, "== {" + std::string("abcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcd") + "...\n"},
        {"system/console/prompt: 12345\n" + fifty_abcd,
         "== 12345\n== {" + std::string("abcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdab") + "...\n"},
        {"f: does [1 / 0]\nf\n",
         "== func [][1 / 0]\n*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0\n"},
        // A stray byte is U+FFFD and the line goes on.
        {"print \"a\x80z\"\n", "a\xEF\xBF\xBDz\n"},
        {"print mold input\nline two\r\n", "\"line two^M\"\n"},
        {"b: make binary! 1 read-stdin b 64 print mold to string! b\nrest\n", "\"rest^/\"\n"},
    };
    for (const Case& c : cases) {
        Session s(c.input);
        EXPECT_EQ(s.run.status, 0) << c.input;
        if (c.output.find("*** ") != std::string::npos)
            EXPECT_EQ(s.run.output.rfind(c.output, 0), 0u) << c.input << s.run.output;
        else
            EXPECT_EQ(s.run.output, c.output) << c.input;
    }
}

TEST(ConsoleSession, ErrorsOfTheLoopItself) {
    Session wrong("(]\n1\n");
    EXPECT_EQ(wrong.run.output.rfind("*** Syntax Error: (line 1) missing ) at (]\n", 0), 0u) << wrong.run.output;
    EXPECT_NE(wrong.run.output.find("== 1\n"), std::string::npos);
    // A prompt that raises: the error names it and the prompt is reset.
    Session prompt("system/console/prompt: does [1 / 0]\nprobe system/console/prompt\n");
    EXPECT_NE(prompt.run.output.find("*** Where: system/console/prompt\n"), std::string::npos) << prompt.run.output;
    EXPECT_NE(prompt.run.output.find("\">> \"\n"), std::string::npos) << prompt.run.output;
    // An error report is followed by an empty line, then the loop goes on.
    Session error("1 / 0\n2\n");
    EXPECT_NE(error.run.output.find("\n\n== 2\n"), std::string::npos) << error.run.output;
    // An error at the typed code's top level names the call that runs it,
    // try-do's catch, not the console's helper under it.
    Session path("x: 1\nx/y\n");
    EXPECT_NE(path.run.output.find("*** Where: catch\n*** Near : x/y\n"), std::string::npos) << path.run.output;
}

TEST(ConsoleSession, ScriptLaunch) {
    TempDir dir;
    dir.write("d ir/s.kel",
              "; a comment line before the header\nKel [Title: \"s\"]\n"
              "probe system/options/args probe system/script/args probe get-current-dir\n");
    dir.write("--x", "Kel []\nprint \"dashed\"\n");
    dir.write("error.kel", "Kel []\n1 / 0\nprint \"not reached\"\n");
    dir.write("lower.kel", "kel []\nprint 1\n");
    dir.write("system.kel", "Kel/System []\nprint 1\n");
    dir.write("halts.kel", "Kel []\nhalt\n");
    const std::string script_dir = "%\"" + dir.path + "/d ir/\"\n";
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string output;  // "" when the script itself prints it
    } cases[] = {
        {{"--catch", "d ir/s.kel", "a", "b"}, "print \"console\"\n", 0,
         "[\"a\" \"b\"]\n\"a b\"\n" + script_dir + "console\n"},
        {{"--foo", "d ir/s.kel", "x y"}, "", 0, "[\"x y\"]\n{\"x y\"}\n" + script_dir},
        {{"--", "--x"}, "", 0, "dashed\n"},
        {{"error.kel"}, "", 1, "*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0 print"},
        {{"--catch", "error.kel"}, "print 5\n", 0, "5\n"},
        {{"lower.kel"}, "", 1, "*** Error: Kel header not found!\n"},
        {{"system.kel"}, "", 1, "*** Error: contains Kel/System code which requires compilation!\n"},
        {{"halts.kel"}, "", 0, "(halted)\n"},
        // An unreadable script: its error, and no change of directory.
        {{"no-dir/none.kel"}, "", 1, "*** Access Error: cannot open: %no-dir/none.kel\n"},
        {{"--catch", "no-dir/none.kel"}, "probe get-current-dir\n", 0, "%" + dir.path + "/\n"},
    };
    for (const Case& c : cases) {
        TempDir home;
        KelRun run = run_kel(c.args, c.input, {{"HOME", home.path.c_str()}}, dir.path);
        std::string label = c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.output;
        EXPECT_EQ(run.output.find("--== Kel"), std::string::npos) << label << run.output;
        if (c.output.rfind("*** Math", 0) == 0 || c.output.rfind("*** Access", 0) == 0)
            EXPECT_EQ(run.output.rfind(c.output, 0), 0u) << label << run.output;
        else
            EXPECT_NE(run.output.find(c.output), std::string::npos) << label << run.output;
        EXPECT_EQ(run.output.find("\nnot reached"), std::string::npos);
    }
}

// A script's directives are expanded before it runs; a preprocessor stop is
// a failed script; a cycle of includes ends.
TEST(ConsoleSession, ScriptsArePreprocessed) {
    TempDir dir;
    dir.write("directives.kel",
              "Kel []\n#if config/OS = 'Linux [print \"linux\"]\n"
              "#either config/OS = 'Windows [print \"windows\"] [print \"not windows\"]\n"
              "#do [n: 2]\nprint #do keep [n * 21]\n");
    dir.write("syntax.kel", "Kel []\nprint \"not reached\"\n#either true [a]\n");
    dir.write("fails.kel", "Kel []\nprint \"not reached\"\n#if 1 / 0 [a]\n");
    dir.write("cycle.kel", "Kel []\n#include %other.kel\nprint \"cycle runs\"\n");
    dir.write("other.kel",
              "Kel []\nunless value? 'other-ran [other-ran: true print \"other runs\" #include %cycle.kel]\n");
    const std::string syntax = "*** Preprocessor Error: Syntax error\n*** Where: #either true [a]\n(halted)\n";
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string output;  // the start of the output
    } cases[] = {
        {{"directives.kel"}, "", 0, "linux\nnot windows\n42\n"},
        {{"syntax.kel"}, "", 1, syntax},
        {{"--catch", "syntax.kel"}, "print 5\n", 0, syntax + "5\n"},
        {{"fails.kel"}, "", 1,
         "*** Preprocessor Error in #if \n*** Math Error: attempt to divide by zero\n*** Where: ???\n"
         "*** Near : 1 / 0\n"},
        {{"cycle.kel"}, "", 0, "other runs\ncycle runs\ncycle runs\n"},
    };
    for (const Case& c : cases) {
        TempDir home;
        KelRun run = run_kel(c.args, c.input, {{"HOME", home.path.c_str()}}, dir.path);
        std::string label = c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.output;
        EXPECT_EQ(run.output.rfind(c.output, 0), 0u) << label << run.output;
        EXPECT_EQ(run.output.find("not reached"), std::string::npos) << label << run.output;
    }
    // The console's expand shows what a block becomes.
    Session expand("expand [#if config/OS = 'Linux [a] b]\n");
    EXPECT_EQ(expand.run.output, "[a b]\n== [a b]\n");
}

TEST(ConsoleSession, ConfigurationFile) {
    const std::string cfg = ".kel/Kel-Console/console-cfg.kel";
    {
        Session first("q\n");
        EXPECT_EQ(first.run.status, 0);
        EXPECT_EQ(first.cfg(),
                  "Kel [\n\tPurpose: \"Kel Console Configuration File\"\n]\n\nbuffer-lines: 10000 history: []\n");
        EXPECT_EQ(first.home.read(cfg + ".new"), "(none)");
    }
    {
        std::string history;
        for (int i = 150; i >= 1; --i) history += " \"h" + std::to_string(i) + "\"";
        Session many("");
        many.home.write(cfg, "Kel [Purpose: \"x\"]\nbuffer-lines: 10000 history: [" + history + "] extra: 42\n");
        many.run = run_kel({}, "print length? system/console/history\nprint first system/console/history\n", {{"HOME", many.home.path.c_str()}});
        EXPECT_NE(many.run.output.find("150\nh150\n"), std::string::npos) << many.run.output;
        EXPECT_EQ(occurrences(many.cfg(), "\"h"), 100u) << many.cfg();
        EXPECT_NE(many.cfg().find("\"h150\""), std::string::npos);
        EXPECT_EQ(many.cfg().find("\"h50\""), std::string::npos);
        EXPECT_NE(many.cfg().find("extra: 42"), std::string::npos) << many.cfg();
    }
    {
        Session broken("");
        broken.home.write(cfg, "Kel [ ]]] {");
        broken.run = run_kel({}, "print length? system/console/history\n", {{"HOME", broken.home.path.c_str()}});
        EXPECT_EQ(broken.run.status, 0);
        EXPECT_NE(broken.run.output.find("\n0\n"), std::string::npos) << broken.run.output;
        EXPECT_NE(broken.cfg().find("history: []"), std::string::npos) << broken.cfg();
    }
}

TEST(ConsoleSession, AConfigurationThatCannotBeKeptNeverStopsTheConsole) {
    // HOME is a file: the directory cannot be made. One warning, and quit
    // still ends with status 0.
    TempDir dir;
    dir.write("home", "not a directory");
    std::string home = dir.path + "/home";
    KelRun run = run_kel({}, "print 1\nq\n", {{"HOME", home.c_str()}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(occurrences(run.output, "*** Warning:"), 1u) << run.output;
    EXPECT_NE(run.output.find("\n1\n"), std::string::npos) << run.output;
    // The file's place holds a directory: saving fails at quit, which
    // reports it on one line and still ends with status 0.
    TempDir taken;
    mkdir((taken.path + "/.kel").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console/console-cfg.kel").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console/console-cfg.kel/x").c_str(), 0755);
    run = run_kel({}, "quit/return 3\n", {{"HOME", taken.path.c_str()}});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(occurrences(run.output, "*** Warning:"), 1u) << run.output;
    run = run_kel({}, "", {{"HOME", taken.path.c_str()}});
    EXPECT_EQ(run.status, 0) << run.output;
}

}  // namespace
}  // namespace kel::test
