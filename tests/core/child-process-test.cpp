// The tests' child-process helper (tests/process.h), driven with the
// system's shell and cat: input and output larger than a pipe holds moved
// without deadlock, the streams apart or merged, environment, directory and
// exit status or signal reported, and a child that never ends killed at its
// deadline.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>

#include "tests/process.h"

namespace kel::test {
namespace {

Command shell(const std::string& script) {
    Command c;
    c.argv = {"/bin/sh", "-c", script};
    return c;
}

// Far more than a pipe buffers, so the child blocks on its output while
// input is still to be written.
std::string big_text() {
    std::string text;
    for (int i = 0; text.size() < (1u << 20); ++i) text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST(ChildProcess, LargeInputAndOutputFlowTogether) {
    std::string text = big_text();
    Command cat;
    cat.argv = {"/bin/cat"};
    cat.input = text;
    ProcessResult r = run_process(cat);
    EXPECT_EQ(r.status, 0) << r.end();
    EXPECT_TRUE(r.out == text) << r.out.size() << " bytes of " << text.size();
    // The same amount on standard error, read beside standard output.
    Command both = shell("cat; cat /dev/null >&2; printf x >&2");
    both.input = text;
    r = run_process(both);
    EXPECT_EQ(r.out.size(), text.size());
    EXPECT_EQ(r.err, "x");
}

TEST(ChildProcess, AChildThatReadsNoInputLeavesTheRestUnwritten) {
    Command c = shell("exit 4");
    c.input = big_text();
    ProcessResult r = run_process(c);
    EXPECT_EQ(r.status, 4) << r.end();
    EXPECT_FALSE(r.timed_out);
}

TEST(ChildProcess, StreamsApartOrMerged) {
    Command c = shell("printf a; printf b >&2; printf c");
    ProcessResult apart = run_process(c);
    EXPECT_EQ(apart.out, "ac");
    EXPECT_EQ(apart.err, "b");
    c = shell("printf a; printf b >&2; printf c");
    c.merge_output = true;
    ProcessResult merged = run_process(c);
    EXPECT_EQ(merged.out, "abc");
    EXPECT_EQ(merged.err, "");
}

TEST(ChildProcess, EnvironmentDirectoryAndFileOutput) {
    setenv("KEL_CHILD_TEST_GONE", "here", 1);
    Command c = shell("printf '%s|%s|' \"$KEL_CHILD_TEST_SET\" \"${KEL_CHILD_TEST_GONE-unset}\"; pwd");
    c.env = {{"KEL_CHILD_TEST_SET", "v"}, {"KEL_CHILD_TEST_GONE", nullptr}};
    c.dir = "/";
    ProcessResult r = run_process(c);
    unsetenv("KEL_CHILD_TEST_GONE");
    EXPECT_EQ(r.out, "v|unset|/\n");
    // Standard output to a file that takes nothing: the writer sees the failure.
    c = shell("echo x || echo failed >&2");
    c.stdout_file = "/dev/full";
    r = run_process(c);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("failed"), std::string::npos) << r.err;
}

TEST(ChildProcess, ExitStatusSignalAndMissingProgram) {
    struct Case {
        const char* script;
        int status;
        int signal;
    } cases[] = {
        {"exit 0", 0, 0},
        {"exit 254", 254, 0},
        {"ulimit -c 0; kill -SEGV $$", -1, SIGSEGV},
        {"kill -TERM $$", -1, SIGTERM},
    };
    for (const Case& c : cases) {
        ProcessResult r = run_process(shell(c.script));
        EXPECT_EQ(r.status, c.status) << c.script << ": " << r.end();
        EXPECT_EQ(r.signal, c.signal) << c.script << ": " << r.end();
        EXPECT_FALSE(r.timed_out) << c.script;
    }
    Command missing;
    missing.argv = {"/nonexistent/program"};
    EXPECT_EQ(run_process(missing).status, 127);
}

TEST(ChildProcess, AChildPastItsDeadlineIsKilled) {
    // Its own child holds the output open too: the whole group goes.
    Command c = shell("printf started; sleep 600 & sleep 600");
    c.deadline = std::chrono::milliseconds(300);
    ProcessResult r = run_process(c);
    EXPECT_TRUE(r.timed_out);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.signal, SIGKILL);
    EXPECT_EQ(r.out, "started");
    EXPECT_EQ(r.end(), "timed out");
}

TEST(ChildProcess, OutputIsWatchedWhileTheChildRuns) {
    Child child(shell("echo ready; while :; do sleep 1; done"));
    ASSERT_TRUE(child.wait_for_output("ready\n")) << child.result().out;
    child.signal(SIGTERM);
    ProcessResult r = child.finish();
    EXPECT_EQ(r.signal, SIGTERM) << r.end();
}

}  // namespace
}  // namespace kel::test
