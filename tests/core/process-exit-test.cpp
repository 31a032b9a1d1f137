// The end of the process: statuses and the runtime error report, driven
// through a probe program.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/core/exit-status.h"
#include "tests/process.h"

namespace kel::test {
namespace {

using namespace exit_status;

// The probe run with the arguments (a text split at spaces, or the words);
// its standard output and end. The sanitizers keep their hands off the
// faults the probe raises on purpose.
ProcessResult run_probe(const std::vector<std::string>& args) {
    Command c;
    c.argv = {program_path("quit-probe")};
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    c.env = {{"ASAN_OPTIONS", "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:detect_leaks=0"}};
    return run_process(c);
}

ProcessResult run_probe(const std::string& args) {
    std::vector<std::string> words;
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    return run_probe(words);
}

// A probe run that ends with a runtime error report: its status and the
// report's first line.
struct Report {
    const char* args;
    int32_t status;
    const char* first_line;
};

// `status` as a probe argument.
std::string quit(int32_t status) { return "quit " + std::to_string(status); }

// "*** at: ", eight upper-case hex digits, "h" and a newline end the report.
bool ends_with_address_line(const std::string& out) {
    const std::string prefix = "*** at: ";
    size_t n = prefix.size() + 10;
    if (out.size() < n) return false;
    std::string line = out.substr(out.size() - n);
    if (line.compare(0, prefix.size(), prefix) != 0 || line.substr(n - 2) != "h\n") return false;
    for (size_t i = prefix.size(); i < n - 2; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(line[i])) || std::islower(static_cast<unsigned char>(line[i])))
            return false;
    return true;
}

TEST(ProcessExit, ReportsMatchTheStatusTable) {
    struct Case {
        int32_t status;
        const char* out;
    } cases[] = {
        {NORMAL, ""},
        {NO_CASE_MATCHED, "\n*** Runtime Error 100: no value matched in CASE\n*** at: 0041AD77h\n"},
        {57, "\n*** Runtime Error 57: unknown error code!\n*** at: 0041AD77h\n"},  // in no table
        {FLOAT_DENORMAL_OPERAND, "\n*** Runtime Error 6: float denormal operan\n*** at: 0041AD77h\n"},
        {OUT_OF_MEMORY, "\n*** Runtime Error 94: out of memory\n*** at: 0041AD77h\n"},
        {BUS_ERROR, "\n*** Runtime Error 34: Bus error\n*** at: 0041AD77h\n"},
        {ASSERTION_FAILED, "\n*** Runtime Error 98: assertion failed\n*** at: 0041AD77h\n"},
        {UNKNOWN_ERROR, "\n*** Runtime Error 99: unknown error\n*** at: 0041AD77h\n"},
    };
    for (const Case& c : cases) {
        ProcessResult o = run_probe(quit(c.status));
        EXPECT_EQ(o.status, c.status) << c.status << " " << o.end();
        EXPECT_EQ(o.out, c.out) << c.status;
    }
}

// Reports whose address depends on the build: the shape is checked.
TEST(ProcessExit, RuntimeDetectedFailures) {
    const Report cases[] = {
        {"throw 12345678", NO_CATCH, "*** Runtime Error 95: no CATCH for THROW"},
        {"segv", ACCESS_VIOLATION, "*** Runtime Error 1: access violation"},
        {"divide", INTEGER_DIVIDE_BY_ZERO, "*** Runtime Error 13: integer divide by zero"},
        {"overflow", STACK_OVERFLOW, "*** Runtime Error 19: stack error or overflow"},
        {"bad-alloc", OUT_OF_MEMORY, "*** Runtime Error 94: out of memory"},
        // A C++ exception the runtime does not use, std::terminate and abort
        // end through the report too, never with the C library's text.
        {"out-of-range 3", UNKNOWN_ERROR, "*** Runtime Error 99: unknown error"},
        {"terminate", UNKNOWN_ERROR, "*** Runtime Error 99: unknown error"},
        {"abort", UNKNOWN_ERROR, "*** Runtime Error 99: unknown error"},
    };
    for (const Report& c : cases) {
        ProcessResult o = run_probe(c.args);
        EXPECT_EQ(o.status, c.status) << c.args << " " << o.end();
        EXPECT_EQ(o.out.rfind(std::string("\n") + c.first_line + "\n", 0), 0u) << c.args << ": " << o.out;
        EXPECT_TRUE(ends_with_address_line(o.out)) << c.args << ": " << o.out;
    }
}

// The runtime's own failures report the position they were detected at:
// inside the function that failed, which the probe prints first.
TEST(ProcessExit, RuntimeFailuresReportTheirSite) {
    const Report cases[] = {
        {"case", NO_CASE_MATCHED, "*** Runtime Error 100: no value matched in CASE"},
        {"switch", NO_SWITCH_MATCHED, "*** Runtime Error 101: no value matched in SWITCH"},
        {"assert", ASSERTION_FAILED, "*** Runtime Error 98: assertion failed"},
    };
    for (const Report& c : cases) {
        ProcessResult o = run_probe(c.args);
        EXPECT_EQ(o.status, c.status) << c.args << " " << o.end();
        unsigned long site = 0, at = 0;
        char line[128] = {};
        ASSERT_EQ(std::sscanf(o.out.c_str(), "site %lx\n\n%127[^\n]\n*** at: %lxh", &site, line, &at), 3)
            << c.args << ": " << o.out;
        EXPECT_STREQ(line, c.first_line) << c.args;
        EXPECT_TRUE(ends_with_address_line(o.out)) << c.args << ": " << o.out;
        // The return address of the failing call: after the site's start,
        // within a small function's length of it.
        EXPECT_GT(at, site) << c.args;
        EXPECT_LE(at, site + 256) << c.args;
    }
}

TEST(ProcessExit, QuietEnds) {
    ProcessResult quit = run_probe("throw 0BADCAFE");
    EXPECT_EQ(quit.status, NORMAL);
    EXPECT_EQ(quit.out, "");
    ProcessResult interrupt = run_probe("interrupt");
    EXPECT_EQ(interrupt.status, INTERRUPTED);
    EXPECT_EQ(interrupt.out, "");
}

// Every end, the uncaught error's included, releases the heap blocks (the
// probe's arguments are some) before the process exits.
TEST(ProcessExit, EveryEndReleasesTheHeapBlocks) {
    struct Case {
        const char* args;
        int32_t status;
    } cases[] = {
        {"blocks args", NORMAL},           {"blocks fire", UNCAUGHT_ERROR},     {"blocks throw 12345678", NO_CATCH},
        {"blocks throw 0BADCAFE", NORMAL}, {"blocks assert", ASSERTION_FAILED},
    };
    for (const Case& c : cases) {
        ProcessResult o = run_probe(c.args);
        EXPECT_EQ(o.status, exit_code(c.status)) << c.args << " " << o.end();
        const std::string last = "heap blocks at exit: 0\n";
        EXPECT_TRUE(o.out.size() >= last.size() && o.out.compare(o.out.size() - last.size(), last.size(), last) == 0)
            << c.args << ": " << o.out;
    }
}

// Kel code never runs without the stack bounds its own thread gives.
TEST(ProcessExit, NoRuntimeThreadIsAFailure) {
    ProcessResult o = run_probe("no-thread");
    EXPECT_EQ(o.status, OUT_OF_MEMORY);
    EXPECT_EQ(o.out.rfind("*** Cannot make the thread that runs Kel code: ", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("\n*** Runtime Error 94: out of memory\n"), std::string::npos) << o.out;
    EXPECT_TRUE(ends_with_address_line(o.out)) << o.out;
}

TEST(ProcessExit, ArgumentsAreKeptWhole) {
    ProcessResult o = run_probe(std::vector<std::string>{"args", "two words", "", "\xC3\xA9t\xC3\xA9"});
    EXPECT_EQ(o.status, NORMAL);
    EXPECT_EQ(o.out, "[args]\n[two words]\n[]\n[\xC3\xA9t\xC3\xA9]\nend\n");
}

TEST(ProcessExit, UncaughtErrorEndsWithMinusTwo) {
    ProcessResult o = run_probe("fire");
    EXPECT_EQ(o.status, exit_code(UNCAUGHT_ERROR));
    EXPECT_NE(o.out.find("Math Error"), std::string::npos) << o.out;
}

}  // namespace
}  // namespace kel::test
