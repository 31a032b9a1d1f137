// The command splitting and output decoding of the child-process layer, and
// the child-process platform layer where a script cannot observe it.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/io/call.h"
#include "runtime/platform/child-process.h"

namespace kel::test {
namespace {

using Args = std::vector<std::string>;

TEST(CallSplit, BlanksQuotesAndEscapes) {
    struct Case {
        const char* command;
        Args want;
    } cases[] = {
        {"ls -l  /tmp", {"ls", "-l", "/tmp"}},
        {"  a\t\tb  ", {"a", "b"}},
        {R"(echo "a b" c)", {"echo", "a b", "c"}},
        {R"(x"a b"y z)", {"xa by", "z"}},
        {R"(say \"hi\")", {"say", "\"hi\""}},
        {R"(p "a \"q\" b")", {"p", "a \"q\" b"}},
        {R"(p "" q)", {"p", "", "q"}},
        {R"(p 'a b' $HOME *)", {"p", "'a", "b'", "$HOME", "*"}},
        {R"(p a\b)", {"p", "a\\b"}},
        {R"(p "open)", {"p", "open"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(call::split_command(c.command), c.want) << c.command;
}

TEST(CallDecode, LineEndsAndInvalidBytes) {
    struct Case {
        std::string bytes, want;
    } cases[] = {
        {"a\r\nb\r\n", "a\nb\n"},
        {"a\rb\n\r", "a\rb\n\r"},
        {"\xC3\xA9", "\xC3\xA9"},
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xC3", "\xEF\xBF\xBD"},
        {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(call::decode_output(bytes), c.want);
    }
}

platform::child::Request shell(const char* command) {
    platform::child::Request r;
    r.argv = {"/bin/sh", "-c", command};
    r.wait = true;
    return r;
}

// A descriptor this process holds without close-on-exec does not reach the
// child either.
TEST(ChildProcess, OnlyStandardDescriptorsReachTheChild) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    platform::child::Request r = shell("ls /proc/$$/fd; :");  // ":" keeps the shell from becoming ls
    r.how[1] = platform::child::Stream::pipe;
    platform::child::Outcome o = platform::child::run(r);
    close(fds[0]);
    close(fds[1]);
    ASSERT_EQ(o.kind, platform::child::Outcome::started);
    EXPECT_EQ(std::string(o.output.begin(), o.output.end()), "0\n1\n2\n");
}

// Feeding a child that never reads: the write fails with a broken pipe,
// which neither ends this process nor leaves a SIGPIPE pending.
TEST(ChildProcess, ChildThatIgnoresItsInput) {
    platform::child::Request r = shell("exit 4");
    r.how[0] = platform::child::Stream::pipe;
    r.input.assign(size_t(1) << 20, 'x');
    platform::child::Outcome o = platform::child::run(r);
    EXPECT_EQ(o.result, 4);
    sigset_t pending;
    sigemptyset(&pending);
    ASSERT_EQ(sigpending(&pending), 0);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
}

TEST(ChildProcess, StartFailures) {
    platform::child::Request missing;
    missing.argv = {"kel-no-such-program-here"};
    EXPECT_EQ(platform::child::run(missing).kind, platform::child::Outcome::not_found);

    platform::child::Request bad_file = shell("true");
    bad_file.how[0] = platform::child::Stream::file;
    bad_file.path[0] = "/nonexistent-dir/input";
    platform::child::Outcome o = platform::child::run(bad_file);
    EXPECT_EQ(o.kind, platform::child::Outcome::failed);
    EXPECT_EQ(o.result, -1);
}

// A time limit ends a child that takes longer, whether it is still writing
// to a pipe or only running; within the limit the status comes back.
TEST(ChildProcess, TimeLimits) {
    struct Case {
        const char* command;
        bool piped;
        platform::child::Outcome::Kind want;
    };
    const Case cases[] = {
        {"sleep 10", false, platform::child::Outcome::timed_out},
        {"while :; do echo x; sleep 0.01; done", true, platform::child::Outcome::timed_out},
        {"exit 3", true, platform::child::Outcome::started},
    };
    for (const Case& c : cases) {
        platform::child::Request r = shell(c.command);
        if (c.piped) r.how[1] = platform::child::Stream::pipe;
        r.limit_ms = 300;
        platform::child::Outcome o = platform::child::run(r);
        EXPECT_EQ(o.kind, c.want) << c.command;
        if (c.want == platform::child::Outcome::started) {
            EXPECT_EQ(o.result, 3);
        }
    }
    EXPECT_TRUE(platform::child::on_path("sh"));
    EXPECT_FALSE(platform::child::on_path("kel-no-such-program-here"));
}

}  // namespace
}  // namespace kel::test
