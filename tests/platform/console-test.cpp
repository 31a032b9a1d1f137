// Console output: UTF-8 encoding of the three string units, line ends,
// buffering into chunks, byte strings and raw hooks.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/exit-status.h"
#include "runtime/core/hooks.h"
#include "runtime/platform/console.h"
#include "tests/platform/capture.h"

namespace kel {
namespace {

using test::ChunkCapture;
using test::StdoutCapture;

template <class Unit>
std::string written_as(const std::vector<Unit>& units, bool newline) {
    ChunkCapture capture;
    console::write_utf8(units.data(), units.size() * sizeof(Unit), sizeof(Unit), newline);
    return ChunkCapture::text();
}

TEST(Console, EncodesEveryUnitSizeAsUtf8) {
    EXPECT_EQ(written_as<uint8_t>({'a', 0x7F, 0x80, 0xE9, 0xFF}, false), "a\x7F\u0080\u00E9\u00FF");
    EXPECT_EQ(written_as<uint16_t>({'A', 0x7FF, 0x800, 0x20AC, 0xFFFF}, false), "A\u07FF\u0800\u20AC\uFFFF");
    EXPECT_EQ(written_as<uint32_t>({'z', 0xE9, 0x20AC, 0x10000, 0x1F600, 0x10FFFF}, false),
              "z\u00E9\u20AC\U00010000\U0001F600\U0010FFFF");
}

TEST(Console, CodePointsWithoutUtf8FormBecomeReplacementCharacter) {
    EXPECT_EQ(written_as<uint16_t>({'a', 0xD800, 0xDFFF, 'b'}, false), "a\uFFFD\uFFFDb");
    EXPECT_EQ(written_as<uint32_t>({0xD83D, 0x110000, 0xFFFFFFFF}, false), "\uFFFD\uFFFD\uFFFD");
}

TEST(Console, LineEndIsOneLineFeedForEveryUnit) {
    EXPECT_EQ(written_as<uint8_t>({'h', 'i'}, true), "hi\n");
    EXPECT_EQ(written_as<uint16_t>({'h', 'i'}, true), "hi\n");
    EXPECT_EQ(written_as<uint32_t>({'h', 0x1F600}, true), "h\U0001F600\n");
    EXPECT_EQ(written_as<uint8_t>({}, true), "\n");
}

TEST(Console, NamedPrintersChooseUnitAndLineEnd) {
    const uint8_t latin[] = {'c', 0xE7};
    const uint16_t ucs2[] = {'d', 0x3B1};
    const uint32_t ucs4[] = {'e', 0x1F600};
    ChunkCapture capture;
    console::print_latin1(latin, sizeof latin);
    console::print_line_latin1(latin, sizeof latin);
    console::print_ucs2(ucs2, sizeof ucs2);
    console::print_line_ucs2(ucs2, sizeof ucs2);
    console::print_ucs4(ucs4, sizeof ucs4);
    console::print_line_ucs4(ucs4, sizeof ucs4);
    EXPECT_EQ(ChunkCapture::text(), "c\u00E7c\u00E7\nd\u03B1d\u03B1\ne\U0001F600e\U0001F600\n");
}

TEST(Console, EscapeSequencesPassThrough) {
    const char text[] = "ab\x1B[31mcd\x1B[1;31;44m\x1B[2J\x1Bx";
    ChunkCapture capture;
    console::print_latin1(text, sizeof text - 1);
    EXPECT_EQ(ChunkCapture::text(), text);
}

TEST(Console, TrailingPartialUnitIsIgnored) {
    const uint16_t units[] = {'o', 'k'};
    ChunkCapture capture;
    console::print_ucs2(units, 3);
    EXPECT_EQ(ChunkCapture::text(), "o");
}

// Pending bytes go out once more than 1,020 are staged and at the end of the
// call; the buffer never holds more than its 1,024 bytes.
TEST(Console, LongLinesAreWrittenInChunks) {
    struct Case {
        const char* name;
        uint32_t unit;
        uint32_t code_point;
        const char* encoded;
        size_t count;
        std::vector<size_t> chunks;
    } cases[] = {
        {"ascii", 1, 'x', "x", 2000, {1021, 980}},
        {"two-byte", 1, 0xE9, "\u00E9", 1000, {1022, 979}},
        {"three-byte", 2, 0x20AC, "\u20AC", 700, {1023, 1023, 55}},
        {"four-byte", 4, 0x1F600, "\U0001F600", 600, {1024, 1024, 353}},
        {"exactly at the limit", 1, 'y', "y", 1020, {1021}},
        {"one past the limit", 1, 'y', "y", 1021, {1021, 1}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> text(c.count * c.unit);
        for (size_t i = 0; i < c.count; ++i) std::memcpy(&text[i * c.unit], &c.code_point, c.unit);
        ChunkCapture capture;
        console::write_utf8(text.data(), text.size(), c.unit, true);
        std::vector<size_t> sizes;
        for (const std::string& s : ChunkCapture::chunks()) sizes.push_back(s.size());
        EXPECT_EQ(sizes, c.chunks) << c.name;
        std::string expected;
        for (size_t i = 0; i < c.count; ++i) expected += c.encoded;
        EXPECT_EQ(ChunkCapture::text(), expected + "\n") << c.name;
    }
}

TEST(Console, EmptyTextWritesNothing) {
    ChunkCapture capture;
    console::print_latin1("", 0);
    console::print_ucs4(nullptr, 0);
    EXPECT_TRUE(ChunkCapture::chunks().empty());
}

// A writer that takes at most three bytes per call and is interrupted once
// must still deliver everything.
TEST(Console, PartialAndInterruptedWritesLoseNothing) {
    static std::string got;
    static int calls;
    got.clear();
    calls = 0;
    console::set_writer([](int, const void* data, size_t size) -> ssize_t {
        if (++calls == 2) {
            errno = EINTR;
            return -1;
        }
        size_t n = size < 3 ? size : 3;
        got.append(static_cast<const char*>(data), n);
        return ssize_t(n);
    });
    std::string line(1500, 'q');
    console::print_line_latin1(line.data(), line.size());
    console::print_c_string("tail");
    console::set_writer(nullptr);
    EXPECT_EQ(got, line + "\ntail");
}

TEST(Console, FailedWriteIsDroppedNotRetriedForever) {
    static int calls;
    calls = 0;
    console::set_writer([](int, const void*, size_t) -> ssize_t {
        ++calls;
        errno = EBADF;
        return -1;
    });
    console::print_line_latin1("lost", 4);
    console::set_writer(nullptr);
    EXPECT_EQ(calls, 1);
    // The buffer is empty again: the next text is not preceded by the lost one.
    EXPECT_EQ(written_as<uint8_t>({'n'}, false), "n");
}

std::vector<std::string> raw_seen;
void record_raw(const void* text, size_t length, int flag) {
    raw_seen.push_back(std::string(static_cast<const char*>(text), length) + "/" + std::to_string(flag));
}

TEST(Console, ByteStringsAndNumbersReachTheRawHooks) {
    hooks::init();
    hooks::add(nullptr, &record_raw);
    raw_seen.clear();
    ChunkCapture capture;
    const char* text = "caf\xC3\xA9 \x1B[0m";
    EXPECT_EQ(console::print_c_string(text), text);
    std::strcpy(console::number_buffer(), "-42");
    console::print_number_buffer(3);
    EXPECT_EQ(console::print_c_string(nullptr), nullptr);
    EXPECT_EQ(ChunkCapture::text(), std::string(text) + "-42");
    EXPECT_EQ(raw_seen, (std::vector<std::string>{std::string(text) + "/0", "-42/0"}));
    hooks::init();
}

TEST(Console, UnknownUnitEndsTheProcess) {
    const uint8_t text[6] = {'a', 0, 0, 'b', 0, 0};
    // The report goes to standard output; keep it out of the test log.
    EXPECT_EXIT(
        {
            StdoutCapture quiet;
            console::write_utf8(text, sizeof text, 3, false);
        },
        testing::ExitedWithCode(exit_status::NO_SWITCH_MATCHED), "");
    EXPECT_EXIT(
        {
            StdoutCapture quiet;
            console::write_units(text, sizeof text, 0, true);
        },
        testing::ExitedWithCode(exit_status::NO_SWITCH_MATCHED), "");
}

TEST(Console, WritesToStandardOutput) {
    const uint32_t text[] = {'o', 'k', 0x1F600};
    StdoutCapture capture;
    console::print_line_ucs4(text, sizeof text);
    console::print_c_string("!");
    std::string out = capture.finish();
    EXPECT_EQ(out, "ok\U0001F600\n!");
}

TEST(Console, FlagFollowsStandardOutput) {
    bool flag;
    {
        StdoutCapture capture;
        console::init();
        flag = console::is_console();
    }
    EXPECT_FALSE(flag);
    console::init();
    EXPECT_EQ(console::is_console(), isatty(STDOUT_FILENO) != 0);
}

}  // namespace
}  // namespace kel
