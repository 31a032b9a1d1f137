// Decoding UTF-8: the table-driven decoder and the checked decoder, on the
// malformed forms that matter and on sequences cut off at the end of the
// bytes. Every input lives in a heap block of its exact size, so a read past
// its end shows under the address sanitizer.
#include <memory>

#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

// The bytes in a block of exactly their size.
struct Exact {
    std::unique_ptr<uint8_t[]> data;
    size_t size;
    explicit Exact(const Bytes& b) : data(new uint8_t[b.size() ? b.size() : 1]), size(b.size()) {
        if (!b.empty()) std::memcpy(data.get(), b.data(), b.size());
    }
    const uint8_t* begin() const { return data.get(); }
    const uint8_t* end() const { return data.get() + size; }
};

TEST(FastDecoder, CasesAndWhereItStops) {
    struct Case {
        Bytes in;
        int32_t cp;
        size_t stop;  // bytes consumed
    } cases[] = {
        {{0x41}, 0x41, 1},
        {{0x00}, 0, 1},
        {{0xC3, 0xA9}, 0xE9, 2},
        {{0xE2, 0x82, 0xAC}, 0x20AC, 3},
        {{0xF0, 0x9F, 0x98, 0x80}, 0x1F600, 4},
        {{0xF4, 0x8F, 0xBF, 0xBF}, 0x10FFFF, 4},
        {{0xEF, 0xBF, 0xBE}, 0xFFFE, 3},
        {{0x80, 0x41}, -1, 1},  // stray continuation: one byte
        {{0xE2, 0x41, 0x42}, -1, 2},  // bad continuation consumed with its lead
        {{0xC0, 0x80}, -1, 1},  // overlong NUL
        {{0xE0, 0x80, 0xAF}, -1, 2},  // overlong
        {{0xED, 0xA0, 0x80}, -1, 2},  // high surrogate
        {{0xED, 0xB0, 0x80}, -1, 2},  // low surrogate
        {{0xF4, 0x90, 0x80, 0x80}, -1, 2},  // above 0x10FFFF
        {{0xF5, 0x80}, -1, 1},
        {{0xFF}, -1, 1},
        {{0xE2, 0x00, 0x80}, -1, 2},  // NUL inside a sequence
        // cut off by the end of the bytes: everything up to the end
        {{0xE2, 0x82}, -1, 2},
        {{0xF0, 0x9F, 0x98}, -1, 3},
        {{0xC3}, -1, 1},
    };
    for (const Case& c : cases) {
        Exact in(c.in);
        int32_t cp = 12345;
        const uint8_t* q = fast_decode_utf8_char(in.begin(), in.end(), cp);
        EXPECT_EQ(cp, c.cp) << ::testing::PrintToString(c.in);
        EXPECT_EQ(size_t(q - in.begin()), c.stop) << ::testing::PrintToString(c.in);
    }
}

TEST(FastDecoder, EmptyRangeReadsNothing) {
    Exact in(Bytes{});
    int32_t cp = 0;
    EXPECT_EQ(fast_decode_utf8_char(in.begin(), in.begin(), cp), in.begin());
    EXPECT_EQ(cp, -1);
}

TEST(FastDecoder, CountAndSkip) {
    // "aé€😀" then a stray continuation byte and a truncated sequence.
    Exact in(bytes_of({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0x80, 0xE2, 0x82}));
    EXPECT_EQ(count_chars(in.begin(), in.end()), 6);
    EXPECT_EQ(count_chars(in.begin(), in.begin()), 0);
    EXPECT_EQ(skip_chars(in.begin(), in.end(), 2) - in.begin(), 3);
    EXPECT_EQ(skip_chars(in.begin(), in.end(), 4) - in.begin(), 10);
    EXPECT_EQ(skip_chars(in.begin(), in.end(), 100), in.end());
    EXPECT_EQ(skip_chars(in.begin(), in.end(), 0), in.begin());

    Bytes ascii(1000, 'x');
    ascii[997] = 0xC3;
    ascii[998] = 0xA9;
    Exact long_text(ascii);
    EXPECT_EQ(count_chars(long_text.begin(), long_text.end()), 999);
}

TEST(Utf8, SequenceLengthOfLeadBytes) {
    struct Case {
        uint8_t lead;
        int32_t len;
    } cases[] = {{0x41, 0}, {0x80, 0}, {0xBF, 0}, {0xC0, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xFF, 4}};
    for (const Case& c : cases) EXPECT_EQ(utf8_seq_length(c.lead), c.len) << int(c.lead);
}

TEST(CheckedDecoder, Cases) {
    enum { OK, INCOMPLETE, MALFORMED };
    struct Case {
        Bytes in;
        int outcome;
        int32_t cp;
        int32_t len;
    } cases[] = {
        {{0x41}, OK, 0x41, 1},
        {{0x7F, 0x80}, OK, 0x7F, 1},
        {{0xC2, 0x80}, OK, 0x80, 2},
        {{0xDF, 0xBF}, OK, 0x7FF, 2},
        {{0xE0, 0xA0, 0x80}, OK, 0x800, 3},
        {{0xED, 0x9F, 0xBF}, OK, 0xD7FF, 3},
        {{0xEE, 0x80, 0x80}, OK, 0xE000, 3},
        {{0xEF, 0xBF, 0xBE}, OK, 0xFFFE, 3},  // a noncharacter, but a code point
        {{0xEF, 0xBF, 0xBF}, OK, 0xFFFF, 3},
        {{0xF0, 0x90, 0x80, 0x80}, OK, 0x10000, 4},
        {{0xF4, 0x8F, 0xBF, 0xBF}, OK, 0x10FFFF, 4},
        {{0x80, 0x41}, MALFORMED, 0, 0},
        {{0xBF}, MALFORMED, 0, 0},
        {{0xE2, 0x41, 0x42}, MALFORMED, 0, 0},
        {{0xC0, 0x80}, MALFORMED, 0, 0},  // overlong NUL
        {{0xC1, 0xBF}, MALFORMED, 0, 0},
        {{0xE0, 0x80, 0xAF}, MALFORMED, 0, 0},  // overlong '/'
        {{0xE0, 0x9F, 0xBF}, MALFORMED, 0, 0},
        {{0xF0, 0x8F, 0xBF, 0xBF}, MALFORMED, 0, 0},
        {{0xED, 0xA0, 0x80}, MALFORMED, 0, 0},  // D800
        {{0xED, 0xBF, 0xBF}, MALFORMED, 0, 0},  // DFFF
        {{0xED, 0xB0, 0x80}, MALFORMED, 0, 0},  // DC00
        {{0xF4, 0x90, 0x80, 0x80}, MALFORMED, 0, 0},
        {{0xF5, 0x80, 0x80, 0x80}, MALFORMED, 0, 0},
        {{0xF8, 0x88, 0x80, 0x80}, MALFORMED, 0, 0},
        {{0xE2, 0x82, 0x41}, MALFORMED, 0, 0},
        {{0xF0, 0x9F, 0x98, 0x41}, MALFORMED, 0, 0},
        // a valid start cut off by the end of the bytes
        {{0xC3}, INCOMPLETE, 0, 0},
        {{0xE2, 0x82}, INCOMPLETE, 0, 0},
        {{0xF0, 0x9F, 0x98}, INCOMPLETE, 0, 0},
        {{}, INCOMPLETE, 0, 0},
        // an invalid start is malformed even when cut off
        {{0xE2, 0x41}, MALFORMED, 0, 0},
        {{0xED, 0xA0}, MALFORMED, 0, 0},
        {{0xE0, 0x80}, MALFORMED, 0, 0},
        {{0xF4, 0x90}, MALFORMED, 0, 0},
    };
    for (const Case& c : cases) {
        Exact in(c.in);
        int32_t len = 99;
        int32_t r = decode_utf8_status(in.begin(), int32_t(in.size), len);
        std::string what = ::testing::PrintToString(c.in);
        switch (c.outcome) {
        case OK:
            EXPECT_EQ(r, c.cp) << what;
            EXPECT_EQ(len, c.len) << what;
            break;
        case INCOMPLETE:
            EXPECT_EQ(r, DECODE_INCOMPLETE) << what;
            break;
        default:
            EXPECT_EQ(r, DECODE_MALFORMED) << what;
            break;
        }
    }
}

struct CheckedDecoderErrors : Text {};

TEST_F(CheckedDecoderErrors, MalformedRaisesWithTheBytes) {
    struct Case {
        Bytes in;
        Bytes arg;
    } cases[] = {
        {{0xC0, 0x80}, {0xC0, 0x80}},
        {{0xED, 0xA0, 0x80, 0x41, 0x42}, {0xED, 0xA0, 0x80, 0x41}},
        {{0x80}, {0x80}},
    };
    for (const Case& c : cases) {
        Exact in(c.in);
        Cell arg{};
        int err = error_of(
            [&] {
                int32_t n = int32_t(in.size);
                decode_utf8_char(in.begin(), n);
            },
            &arg);
        EXPECT_EQ(err, int(ErrorId::access_invalid_utf8));
        ASSERT_EQ(type_of(arg), TYPE_BINARY);
        EXPECT_EQ(contents(cell_node(arg)), c.arg);
    }
}

TEST_F(CheckedDecoderErrors, ResultAndCount) {
    Exact in(bytes_of({0xE2, 0x82, 0xAC, 0x41}));
    int32_t n = 4;
    EXPECT_EQ(decode_utf8_char(in.begin(), n), 0x20AC);
    EXPECT_EQ(n, 3);
    n = 2;  // too few: -1 and the count stays
    EXPECT_EQ(decode_utf8_char(in.begin(), n), -1);
    EXPECT_EQ(n, 2);
}

}  // namespace
}  // namespace kel::test
