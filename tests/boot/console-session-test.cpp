// The console as a process with redirected standard input: a piped session
// (results, continuation lines, errors, halt, Esc, the end of input), script
// launch from the command line, and the configuration file kept under HOME.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/boot/run-kel.h"

namespace kel::test {
namespace {

// A session in a HOME of its own; the banner is cut off the output.
struct Session {
    TempDir home;
    ProcessResult run;
    explicit Session(const std::string& input, const std::vector<std::string>& args = {}) {
        run = run_kel(args, input, {{"HOME", home.path.c_str()}});
        const std::string banner = "Type HELP for starting information. \n\n";
        size_t at = run.out.find(banner);
        if (at != std::string::npos) run.out.erase(0, at + banner.size());
    }
    std::string cfg() const { return home.read(".kel/Kel-Console/console-cfg.kel"); }
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Runs kel with its standard output and standard error apart, in a HOME of
// its own; with `out_file` (such as /dev/full) standard output goes to that
// file.
ProcessResult run_kel_apart(const std::vector<std::string>& args, const std::string& input, const std::string& home,
                            const std::string& dir = "", const std::string& out_file = "") {
    Command c = kel_command(args);
    c.input = input;
    c.env = {{"HOME", home}};
    c.dir = dir;
    c.stdout_file = out_file;
    return run_process(c);
}

TEST(ConsoleSession, PipedInputIsASessionWithoutPromptOrEscapes) {
    Session s("1 + 2\nprint 1\n");
    EXPECT_EQ(s.run.status, 0);
    EXPECT_EQ(s.run.out, "== 3\n1\n");
    // The end of input ended it as quit does: the configuration was saved.
    EXPECT_NE(s.cfg().find("history: []"), std::string::npos) << s.cfg();
    Session whole("print 1 + 2\n");
    EXPECT_EQ(whole.run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(whole.run.out.find(">>"), std::string::npos);
}

TEST(ConsoleSession, LinesOfAPipedSession) {
    const std::string fifty_abcd = "s: copy \"\" loop 50 [append s \"abcd\"] s\n";
    struct Case {
        std::string input;
        std::string output;  // the whole output after the banner
    } cases[] = {
        {"[1 2\n3]\n", "== [1 2\n3]\n"},
        {"a: [1\n\n2]\nlength? a\n", "== [1\n2]\n== 2\n"},
        {"a/(b\n", "*** Syntax Error: (line 1) missing ) at (b\n"},
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
        {fifty_abcd,
         "== {" + std::string("abcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcd") + "...\n"},
        {"system/console/prompt: 12345\n" + fifty_abcd,
         "== 12345\n== {" + std::string("abcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdabcdab") +
             "...\n"},
        {"f: does [1 / 0]\nf\n",
         "== func [][1 / 0]\n*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0\n"},
        // A stray byte is U+FFFD and the line goes on.
        {"print \"a\x80z\"\n", "a\xEF\xBF\xBDz\n"},
        {"print mold input\nline two\r\n", "\"line two^M\"\n"},
        {"b: make binary! 1 read-stdin b 64 print mold to string! b\nrest\n", "\"rest^/\"\n"},
    };
    for (const Case& c : cases) {
        Session s(c.input);
        // A session where a command failed ends with 1.
        EXPECT_EQ(s.run.status, c.output.find("*** ") != std::string::npos ? 1 : 0) << c.input;
        if (c.output.find("*** ") != std::string::npos)
            EXPECT_EQ(s.run.out.rfind(c.output, 0), 0u) << c.input << s.run.out;
        else
            EXPECT_EQ(s.run.out, c.output) << c.input;
    }
}

TEST(ConsoleSession, ErrorsOfTheLoopItself) {
    Session wrong("(]\n1\n");
    EXPECT_EQ(wrong.run.out.rfind("*** Syntax Error: (line 1) missing ) at (]\n", 0), 0u) << wrong.run.out;
    EXPECT_NE(wrong.run.out.find("== 1\n"), std::string::npos);
    // A prompt that raises: the error names it and the prompt is reset.
    Session prompt("system/console/prompt: does [1 / 0]\nprobe system/console/prompt\n");
    EXPECT_NE(prompt.run.out.find("*** Where: system/console/prompt\n"), std::string::npos) << prompt.run.out;
    EXPECT_NE(prompt.run.out.find("\">> \"\n"), std::string::npos) << prompt.run.out;
    // An error report is followed by an empty line, then the loop goes on.
    Session error("1 / 0\n2\n");
    EXPECT_NE(error.run.out.find("\n\n== 2\n"), std::string::npos) << error.run.out;
    // An error at the typed code's top level names the call that runs it,
    // try-do's catch, not the console's helper under it.
    Session path("x: 1\nx/y\n");
    EXPECT_NE(path.run.out.find("*** Where: catch\n*** Near : x/y\n"), std::string::npos) << path.run.out;
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
        {{"--catch", "d ir/s.kel", "a", "b"},
         "print \"console\"\n",
         0,
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
        ProcessResult run = run_kel(c.args, c.input, {{"HOME", home.path.c_str()}}, dir.path);
        std::string label = c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.out;
        EXPECT_EQ(run.out.find("--== Kel"), std::string::npos) << label << run.out;
        if (c.output.rfind("*** Math", 0) == 0 || c.output.rfind("*** Access", 0) == 0)
            EXPECT_EQ(run.out.rfind(c.output, 0), 0u) << label << run.out;
        else
            EXPECT_NE(run.out.find(c.output), std::string::npos) << label << run.out;
        EXPECT_EQ(run.out.find("\nnot reached"), std::string::npos);
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
        {{"fails.kel"},
         "",
         1,
         "*** Preprocessor Error in #if \n*** Math Error: attempt to divide by zero\n*** Where: ???\n"
         "*** Near : 1 / 0\n"},
        {{"cycle.kel"}, "", 0, "other runs\ncycle runs\ncycle runs\n"},
    };
    for (const Case& c : cases) {
        TempDir home;
        ProcessResult run = run_kel(c.args, c.input, {{"HOME", home.path.c_str()}}, dir.path);
        std::string label = c.args.back();
        EXPECT_EQ(run.status, c.status) << label << run.out;
        EXPECT_EQ(run.out.rfind(c.output, 0), 0u) << label << run.out;
        EXPECT_EQ(run.out.find("not reached"), std::string::npos) << label << run.out;
    }
    // The console's expand shows what a block becomes.
    Session expand("expand [#if config/OS = 'Linux [a] b]\n");
    EXPECT_EQ(expand.run.out, "[a b]\n== [a b]\n");
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
        many.run = run_kel({}, "print length? system/console/history\nprint first system/console/history\n",
                           {{"HOME", many.home.path.c_str()}});
        EXPECT_NE(many.run.out.find("150\nh150\n"), std::string::npos) << many.run.out;
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
        EXPECT_NE(broken.run.out.find("\n0\n"), std::string::npos) << broken.run.out;
        EXPECT_NE(broken.cfg().find("history: []"), std::string::npos) << broken.cfg();
    }
}

TEST(ConsoleSession, AConfigurationThatCannotBeKeptNeverStopsTheConsole) {
    // HOME is a file: the directory cannot be made. One warning, and quit
    // still ends with status 0.
    TempDir dir;
    dir.write("home", "not a directory");
    std::string home = dir.path + "/home";
    ProcessResult run = run_kel({}, "print 1\nq\n", {{"HOME", home.c_str()}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(occurrences(run.out, "*** Warning:"), 1u) << run.out;
    EXPECT_NE(run.out.find("\n1\n"), std::string::npos) << run.out;
    // The file's place holds a directory: it cannot be loaded at start, and
    // saving fails at quit; each is reported on one line and the session
    // still ends with its status.
    TempDir taken;
    mkdir((taken.path + "/.kel").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console/console-cfg.kel").c_str(), 0755);
    mkdir((taken.path + "/.kel/Kel-Console/console-cfg.kel/x").c_str(), 0755);
    run = run_kel({}, "quit/return 3\n", {{"HOME", taken.path.c_str()}});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(occurrences(run.out, "*** Warning:"), 2u) << run.out;
    EXPECT_FALSE(std::filesystem::exists(taken.path + "/.kel/Kel-Console/console-cfg.kel.new"))
        << "the temporary file is removed";
    run = run_kel({}, "", {{"HOME", taken.path.c_str()}});
    EXPECT_EQ(run.status, 0) << run.out;
}

// A piped session ends at the end of its input with status 1 when any
// command failed (its load, its evaluation or its result), else 0; a
// command left open at the end is reported on standard error and counts as
// failed; an explicit quit keeps its status.
TEST(ConsoleSession, TheStatusOfAPipedSession) {
    struct Case {
        std::string input;
        int status;
        std::string error;  // on standard error, "" for nothing
    } cases[] = {
        {"print 1\n", 0, ""},
        {"foo\nprint 1\n", 1, ""},
        {"1 / 0\n2\n", 1, ""},
        {"(]\n", 1, ""},
        {"halt\n", 0, ""},
        {"foo\nquit/return 0\n", 0, ""},
        {"quit/return 5\n", 5, ""},
        {"print 1\nx: [1 2\n", 1, "*** Syntax Error: (line 1) missing ] at [1 2\n"},
        {"f: func [] [\nprint 1\n", 1, "*** Syntax Error: (line 2) missing ] at [\n"},
        {"s: {abc", 1, "*** Syntax Error: (line 1) invalid string at {abc\n"},
    };
    for (const Case& c : cases) {
        TempDir home;
        ProcessResult run = run_kel({}, c.input, {{"HOME", home.path.c_str()}});
        EXPECT_EQ(run.status, c.status) << c.input << run.out;
        EXPECT_EQ(run.out.find("\n== 1\n"), std::string::npos) << c.input;
        if (!c.error.empty()) {
            // Standard error alone: the report of the open command.
            ProcessResult apart = run_kel_apart({}, c.input, home.path);
            EXPECT_EQ(apart.err.rfind(c.error, 0), 0u) << c.input << apart.err;
        }
    }
}

// A script reading standard input to its end: input and ask give what is
// left, then empty strings; the script goes on to its own end.
TEST(ConsoleSession, AScriptReadsInputToItsEnd) {
    TempDir dir;
    dir.write("sum.kel",
              "Kel []\nsum: 0\nwhile [not empty? line: input] [sum: sum + to integer! line]\n"
              "print sum\nprint mold ask \"more? \"\nprint mold input\n");
    struct Case {
        std::string input;
        std::string output;
    } cases[] = {
        {"1\n2\n3\n", "6\n\"\"\n\"\"\n"},
        {"1\n2\n3", "6\n\"\"\n\"\"\n"},
        {"", "0\n\"\"\n\"\"\n"},
    };
    for (const Case& c : cases) {
        TempDir home;
        ProcessResult run = run_kel({"sum.kel"}, c.input, {{"HOME", home.path.c_str()}}, dir.path);
        EXPECT_EQ(run.status, 0) << c.input;
        EXPECT_EQ(run.out, c.output) << c.input;
    }
}

// The value a script ends with is never evaluated again, whatever it is.
TEST(ConsoleSession, AScriptEndsWithAnyValue) {
    TempDir dir;
    const char* endings[] = {":+", ":print", "make op! :add", "()", "[halt-request]"};
    for (const char* ending : endings) {
        dir.write("end.kel", std::string("Kel []\nprint \"ran\"\n") + ending + "\n");
        TempDir home;
        ProcessResult run = run_kel({"end.kel"}, "", {{"HOME", home.path.c_str()}}, dir.path);
        EXPECT_EQ(run.status, 0) << ending << run.out;
        EXPECT_EQ(run.out, "ran\n") << ending;
    }
    Session op(":+\n1\n");
    EXPECT_EQ(op.run.status, 0) << op.run.out;
    EXPECT_NE(op.run.out.find("== 1\n"), std::string::npos) << op.run.out;
}

// A script touches no configuration: nothing is made under HOME, and a
// HOME where nothing can be made gives no warning in the script's output.
TEST(ConsoleSession, AScriptLeavesTheConfigurationAlone) {
    TempDir dir;
    dir.write("s.kel", "Kel []\nprint \"out\"\nquit\n");
    TempDir home;
    ProcessResult run = run_kel({"s.kel"}, "", {{"HOME", home.path.c_str()}}, dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "out\n");
    EXPECT_FALSE(std::filesystem::exists(home.path + "/.kel/Kel-Console")) << "no configuration directory";
    dir.write("home", "not a directory");
    run = run_kel({"s.kel"}, "", {{"HOME", (dir.path + "/home").c_str()}}, dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "out\n");
    // --catch runs the console after the script: it loads the file then.
    home.write(".kel/Kel-Console/console-cfg.kel", "Kel []\nhistory: [\"h1\"]\n");
    dir.write("c.kel", "Kel []\nprint length? system/console/history\n");
    run =
        run_kel({"--catch", "c.kel"}, "print first system/console/history\n", {{"HOME", home.path.c_str()}}, dir.path);
    EXPECT_EQ(run.out, "0\nh1\n");
}

// Whatever the configuration holds, the console starts: a history that is
// no block starts empty, only its strings are kept, a buffer-lines that is
// no integer is the default, and a file that cannot be loaded is named in a
// warning on standard error.
TEST(ConsoleSession, AnyConfigurationStartsTheConsole) {
    const std::string cfg = ".kel/Kel-Console/console-cfg.kel";
    struct Case {
        std::string file;
        std::string history;  // as the session sees it
        std::string warning;  // in the output, "" for none
    } cases[] = {
        {"Kel []\nhistory: 5\n", "[]", ""},
        {"Kel []\nhistory: none\n", "[]", ""},
        {"Kel []\nhistory: \"abc\"\n", "[]", ""},
        {"Kel []\nhistory:\n", "[]", ""},
        {"Kel []\nhistory: [\"a\" 1 none [x] \"b\" %f]\n", "[\"a\" \"b\"]", ""},
        {"Kel []\nbuffer-lines: \"x\" history: [\"a\"]\n", "[\"a\"]", ""},
        {"Kel [\n", "[]", "*** Warning: the console configuration could not be loaded: %"},
    };
    for (const Case& c : cases) {
        Session s("");
        s.home.write(cfg, c.file);
        s.run = run_kel(
            {},
            "print mold system/console/history\nprint integer? select cli-console-ctx/settings/cfg 'buffer-lines\n1 + 1\n",
            {{"HOME", s.home.path.c_str()}});
        EXPECT_EQ(s.run.status, 0) << c.file << s.run.out;
        EXPECT_NE(s.run.out.find(c.history + "\ntrue\n== 2\n"), std::string::npos) << c.file << s.run.out;
        if (!c.warning.empty())
            EXPECT_NE(s.run.out.find(c.warning + s.home.path), std::string::npos) << s.run.out;
        else
            EXPECT_EQ(s.run.out.find("*** Warning"), std::string::npos) << s.run.out;
        // What is saved at the end is a configuration that loads.
        EXPECT_NE(s.cfg().find("history: ["), std::string::npos) << c.file << s.cfg();
    }
}

// A standard output that cannot be written ends the run with OUTPUT_FAILED
// (74) and a line on standard error, never with 0.
TEST(ConsoleSession, OutputThatCannotBeWrittenIsAFailure) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    dir.write("report.kel", "Kel []\nprint \"report\"\n");
    TempDir home;
    ProcessResult run = run_kel_apart({"report.kel"}, "", home.path, dir.path, "/dev/full");
    EXPECT_EQ(run.status, 74) << run.end();
    EXPECT_NE(run.err.find("*** Output Error: standard output could not be written"), std::string::npos) << run.err;
}

// Control-C ends a script run from the command line with 130, as a shell
// expects.
TEST(ConsoleSession, ControlCEndsAScriptWith130) {
    TempDir dir;
    dir.write("loop.kel", "Kel []\nprint \"started\"\nforever []\n");
    TempDir home;
    Command c = kel_command({"loop.kel"});
    c.env = {{"HOME", home.path}};
    c.dir = dir.path;
    Child kel(c);
    ASSERT_TRUE(kel.wait_for_output("started\n")) << kel.result().out;
    kel.signal(SIGINT);
    ProcessResult run = kel.finish();
    EXPECT_EQ(run.status, 130) << run.end() << run.out;
}

}  // namespace
}  // namespace kel::test
