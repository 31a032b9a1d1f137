// Encoding code points as UTF-8 and UTF-16, and the lengths derived from it.
#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

struct Encode : Text {};

TEST_F(Encode, Utf8OfEachLengthBoundary) {
    struct Case {
        uint32_t cp;
        Bytes out;
    } cases[] = {
        {0x00, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0xC2, 0x80}},
        {0x7FF, {0xDF, 0xBF}},
        {0x800, {0xE0, 0xA0, 0x80}},
        {0x20AC, {0xE2, 0x82, 0xAC}},
        {0xFFFF, {0xEF, 0xBF, 0xBF}},
        {0x10000, {0xF0, 0x90, 0x80, 0x80}},
        {0x10FFFF, {0xF4, 0x8F, 0xBF, 0xBF}},
    };
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        int32_t n = encode_utf8_char(c.cp, out);
        EXPECT_EQ(Bytes(out, out + n), c.out) << std::hex << c.cp;
        EXPECT_EQ(utf8_cp_length(c.cp), n);
    }
}

// Every scalar value survives encoding and both decoders, with the same
// length everywhere.
TEST_F(Encode, RoundTripOfEveryScalarValue) {
    uint8_t buf[4];
    int failures = 0;
    for (uint32_t cp = 0; cp <= 0x10FFFF && failures < 5; cp++) {
        if (cp == 0xD800) cp = 0xE000;
        int32_t n = encode_utf8_char(cp, buf);
        int32_t fast = -2;
        const uint8_t* q = fast_decode_utf8_char(buf, buf + n, fast);
        int32_t len = 0;
        int32_t checked = decode_utf8_status(buf, n, len);
        if (fast != int32_t(cp) || q != buf + n || checked != int32_t(cp) || len != n) {
            ADD_FAILURE() << std::hex << cp;
            failures++;
        }
    }
}

TEST_F(Encode, PartialUtf8WithinRoom) {
    struct Case {
        uint32_t cp;
        int32_t room;
        Bytes out;
    } cases[] = {
        {0x20AC, 3, {0xE2, 0x82, 0xAC}},
        {0x20AC, 2, {0xE2, 0x82}},
        {0x20AC, 0, {}},
        {0x20AC, -1, {}},
        {0x41, 5, {0x41}},
        {0x1F600, 1, {0xF0}},
    };
    for (const Case& c : cases) {
        uint8_t out[8];
        std::memset(out, 0xEE, sizeof out);
        int32_t n = encode_utf8_char(c.cp, out, c.room);
        EXPECT_EQ(Bytes(out, out + n), c.out);
        EXPECT_EQ(out[n], 0xEE) << "wrote past the room";
    }
}

TEST_F(Encode, Utf16) {
    struct Case {
        uint32_t cp;
        Bytes out;
    } cases[] = {
        {0x41, {0x41, 0x00}},
        {0xFFFF, {0xFF, 0xFF}},
        {0x10000, {0x00, 0xD8, 0x00, 0xDC}},
        {0x1F600, {0x3D, 0xD8, 0x00, 0xDE}},
        {0x10FFFF, {0xFF, 0xDB, 0xFF, 0xDF}},
        {0x110000, {}},
    };
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        int32_t n = encode_utf16_char(c.cp, out);
        EXPECT_EQ(Bytes(out, out + 2 * n), c.out) << std::hex << c.cp;
    }
}

TEST_F(Encode, AboveTheLastCodePointIsAnInvalidChar) {
    uint8_t out[4];
    Cell arg{};
    EXPECT_EQ(error_of([&] { encode_utf8_char(0x110000, out); }, &arg), int(ErrorId::script_invalid_char));
    EXPECT_EQ(type_of(arg), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(arg), 0x110000);
    EXPECT_EQ(error_of([&] { encode_utf8_char(0x110000, out, 4); }), int(ErrorId::script_invalid_char));
    EXPECT_EQ(error_of([&] { utf8_cp_length(0xFFFFFFFF); }), int(ErrorId::script_invalid_char));
    uint32_t units[2] = {0x41, 0x200000};
    const uint8_t* p = reinterpret_cast<const uint8_t*>(units);
    EXPECT_EQ(error_of([&] { utf8_units_length(p, p + 8, 4); }), int(ErrorId::script_invalid_char));
}

TEST_F(Encode, LengthsOfUnits) {
    uint8_t latin1[] = {'a', 0xE9, 0xFF, '\n'};
    EXPECT_EQ(utf8_units_length(latin1, latin1 + 4, 1), 6);
    EXPECT_EQ(utf16_extra_size(latin1, latin1 + 4, 1), 2);
    uint16_t ucs2[] = {0x41, 0x20AC, 0x0A, 0x0A};
    const uint8_t* p2 = reinterpret_cast<const uint8_t*>(ucs2);
    EXPECT_EQ(utf8_units_length(p2, p2 + 8, 2), 1 + 3 + 1 + 1);
    EXPECT_EQ(utf16_extra_size(p2, p2 + 8, 2), 4);
    uint32_t ucs4[] = {0x1F600, 0x0A, 0xE9};
    const uint8_t* p4 = reinterpret_cast<const uint8_t*>(ucs4);
    EXPECT_EQ(utf8_units_length(p4, p4 + 12, 4), 4 + 1 + 2);
    EXPECT_EQ(utf16_extra_size(p4, p4 + 12, 4), 4);
}

TEST_F(Encode, AsciiToUtf16) {
    uint16_t out[4] = {1, 1, 1, 1};
    EXPECT_EQ(ascii_to_utf16("ab", out), out);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 'b');
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 1);
}

}  // namespace
}  // namespace kel::test
