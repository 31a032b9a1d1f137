// The end of the process: statuses and the runtime error report, driven
// through a probe program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

struct Outcome {
    std::string out;
    int status;
};

Outcome run_probe(const std::string& args) {
    // The sanitizers keep their hands off the faults the probe raises on purpose.
    std::string cmd = "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:detect_leaks=0 " +
                      std::string(KEL_PROBE_DIR) + "/quit-probe " + args + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    Outcome o{"", -1};
    if (!p) return o;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
    int st = pclose(p);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
    return o;
}

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
        const char* args;
        int status;
        const char* out;
    } cases[] = {
        {"quit 0", 0, ""},
        {"quit 100", 100, "\n*** Runtime Error 100: no value matched in CASE\n*** at: 0041AD77h\n"},
        {"quit 57", 57, "\n*** Runtime Error 57: unknown error code!\n*** at: 0041AD77h\n"},
        {"quit 6", 6, "\n*** Runtime Error 6: float denormal operan\n*** at: 0041AD77h\n"},
        {"quit 94", 94, "\n*** Runtime Error 94: out of memory\n*** at: 0041AD77h\n"},
        {"quit 34", 34, "\n*** Runtime Error 34: Bus error\n*** at: 0041AD77h\n"},
    };
    for (const Case& c : cases) {
        Outcome o = run_probe(c.args);
        EXPECT_EQ(o.status, c.status) << c.args;
        EXPECT_EQ(o.out, c.out) << c.args;
    }
}

// Reports whose address depends on the build: the shape is checked.
TEST(ProcessExit, RuntimeDetectedFailures) {
    struct Case {
        const char* args;
        int status;
        const char* first_line;
    } cases[] = {
        {"throw 12345678", 95, "*** Runtime Error 95: no CATCH for THROW"},
        {"case", 100, "*** Runtime Error 100: no value matched in CASE"},
        {"segv", 1, "*** Runtime Error 1: access violation"},
        {"divide", 13, "*** Runtime Error 13: integer divide by zero"},
        {"overflow", 19, "*** Runtime Error 19: stack error or overflow"},
        {"bad-alloc", 94, "*** Runtime Error 94: out of memory"},
    };
    for (const Case& c : cases) {
        Outcome o = run_probe(c.args);
        EXPECT_EQ(o.status, c.status) << c.args;
        EXPECT_EQ(o.out.rfind(std::string("\n") + c.first_line + "\n", 0), 0u) << c.args << ": " << o.out;
        EXPECT_TRUE(ends_with_address_line(o.out)) << c.args << ": " << o.out;
    }
}

TEST(ProcessExit, QuietEnds) {
    Outcome quit = run_probe("throw 0BADCAFE");
    EXPECT_EQ(quit.status, 0);
    EXPECT_EQ(quit.out, "");
    Outcome interrupt = run_probe("interrupt");
    EXPECT_EQ(interrupt.status, 130);
    EXPECT_EQ(interrupt.out, "");
}

TEST(ProcessExit, ArgumentsAreKeptWhole) {
    Outcome o = run_probe("args 'two words' '' \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "[args]\n[two words]\n[]\n[\xC3\xA9t\xC3\xA9]\nend\n");
}

TEST(ProcessExit, UncaughtErrorEndsWithMinusTwo) {
    Outcome o = run_probe("fire");
    EXPECT_EQ(o.status, 254);
    EXPECT_NE(o.out.find("Math Error"), std::string::npos) << o.out;
}

}  // namespace
