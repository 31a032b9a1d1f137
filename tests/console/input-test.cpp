// Standard input as the console reads it: lines of redirected input, raw
// bytes, and the keys a terminal sends, read from pipes.
#include <unistd.h>

#include "console/keys.h"
#include "runtime/platform/input-reader.h"
#include "tests/console/console-fixture.h"
#include "tests/process.h"

namespace kel::test {
namespace {

namespace key = console::key;

// A pipe holding the bytes; the write end stays open when asked.
class Piped {
public:
    explicit Piped(std::string_view bytes, bool keep_open = false) {
        if (pipe(fds_) != 0) ADD_FAILURE() << "pipe";
        (void)!write(fds_[1], bytes.data(), bytes.size());
        if (!keep_open) close_writer();
        reader.reset(fds_[0]);
    }
    ~Piped() {
        close_writer();
        close(fds_[0]);
    }
    void close_writer() {
        if (fds_[1] >= 0) close(fds_[1]);
        fds_[1] = -1;
    }
    console::InputReader reader{-1};

private:
    int fds_[2] = {-1, -1};
};

std::vector<std::u32string> lines_of(std::string_view bytes) {
    Piped p(bytes);
    std::vector<std::u32string> out;
    std::u32string line;
    while (p.reader.read_line(line)) {
        out.push_back(line);
        line.clear();
    }
    EXPECT_TRUE(line.empty());
    EXPECT_TRUE(p.reader.ended());
    return out;
}

TEST(RedirectedInput, LinesAreUtf8WithReplacementCharacters) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::u32string> lines;
    };
    const Case cases[] = {
        {"a CR before the LF stays", "ab\r\n", {U"ab\r"}},
        {"the last line needs no LF", "one\ntwo", {U"one", U"two"}},
        {"an empty line is a line", "\n\nx\n", {U"", U"", U"x"}},
        {"no input, no line", "", {}},
        {"a stray continuation byte", "x\x80y\n", {U"x\uFFFDy"}},
        {"a lead byte without its continuation goes on with the next character", "\xC3(z\n", {U"\uFFFD(z"}},
        {"a stray lead byte before the LF keeps the line", "ab\xE2\nnext\n", {U"ab\uFFFD", U"next"}},
        {"a sequence cut by the end of input", "ab\xE2\x82", {U"ab\uFFFD"}},
        {"an overlong form", "\xC0\xAF\n", {U"\uFFFD\uFFFD"}},
        {"a surrogate", "\xED\xA0\x80\n", {U"\uFFFD\uFFFD\uFFFD"}},
        {"above U+10FFFF", "\xF4\x90\x80\x80\n", {U"\uFFFD\uFFFD\uFFFD\uFFFD"}},
        {"valid text of every length", "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\n", {U"\u00E9\u4E2D\U0001F600"}},
    };
    for (const Case& c : cases) EXPECT_EQ(lines_of(c.bytes), c.lines) << c.name;
}

// Bytes a line read has buffered are the next raw read's.
TEST(RedirectedInput, RawReadsShareTheBuffer) {
    Piped p("ab\ncdefgh");
    std::u32string line;
    ASSERT_TRUE(p.reader.read_line(line));
    uint8_t bytes[4] = {};
    EXPECT_EQ(p.reader.read_bytes(bytes, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 3), "cde");
    line.clear();
    ASSERT_TRUE(p.reader.read_line(line));
    EXPECT_EQ(line, U"fgh");
    EXPECT_EQ(p.reader.read_bytes(bytes, 4), 0);
    EXPECT_FALSE(p.reader.read_line(line));
}

TEST(Keys, TerminalBytesDecodeToKeys) {
    struct Case {
        const char* bytes;
        std::vector<int32_t> keys;
    };
    const Case cases[] = {
        {"\x1b[A\x1b[B\x1b[C\x1b[D", {key::UP, key::DOWN, key::RIGHT, key::LEFT}},
        {"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF", {key::UP, key::DOWN, key::RIGHT, key::LEFT, key::HOME, key::END}},
        {"\x1b[H\x1b[1~\x1b[7~\x1b[F\x1b[4~\x1b[8~", {key::HOME, key::HOME, key::HOME, key::END, key::END, key::END}},
        {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~", {key::INSERT, key::DELETE, key::PAGE_UP, key::PAGE_DOWN}},
        {"\x1b[1;5C\x1b[3;2~\x1b[1;3H", {key::RIGHT, key::DELETE, key::HOME}},
        {"\x1b[Z\x1b[200~\x1b[15~\x1b[<0;1;1Mx", {0, 0, 0, 0, 'x'}},
        {"\x1bx\x1b\xC3\xA9", {'x', 0xE9}},
        {"\r\n\x7f\x08\t\x03", {13, 13, 127, 8, 9, 3}},
        {"\xE4\xB8\xAD\xF0\x9F\x98\x80\x80", {0x4E2D, 0x1F600, 0xFFFD}},
        {"\x1b", {key::ESC}},
        {"", {}},
    };
    for (const Case& c : cases) {
        Piped p(c.bytes);
        std::vector<int32_t> got;
        for (int32_t k; (k = console::read_key(p.reader)) != key::FAILED;) got.push_back(k);
        EXPECT_EQ(got, c.keys) << c.bytes;
        // The end of input keeps answering the failure, never blocking.
        EXPECT_EQ(console::read_key(p.reader), key::FAILED);
    }
}

// An ESC with nothing after it, the input still open, is the Esc key once
// the wait passes; what follows later is read as new keys.
TEST(Keys, ALoneEscIsTheEscKey) {
    Piped p("\x1b", true);
    EXPECT_EQ(console::read_key(p.reader), key::ESC);
}

// The probe with its standard input and output redirected to pipes.
ProcessResult run_probe(std::string_view input) {
    Command c;
    c.argv = {program_path("console-probe")};
    c.input = input;
    return run_process(c);
}

TEST(RedirectedInput, APipedSessionShowsNoPromptAndEndsAtTheEnd) {
    ProcessResult r = run_probe("1 + 2\nprint 1\r\nbad \x80 byte\nlast");
    EXPECT_EQ(r.status, 0) << r.end();
    EXPECT_EQ(r.out,
              "=> 1 + 2 [enter]\n=> print 1^M [enter]\n=> bad <?> byte [enter]\n=> last [enter]\nend of input\n"
              "history: \n");
}

}  // namespace
}  // namespace kel::test
