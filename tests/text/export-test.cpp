// Export of strings as UTF-8 and UTF-16: the conversion cache, limits, line
// ends, surrogate pairs, and strings that move while the cache is made.
#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

struct Export : Text {};

const Points mixed = {'a', '\n', 0xE9, 0x20AC, 0x1F600, 'z'};
const Bytes mixed_utf8 = bytes_of({'a', '\n', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 'z'});

Points latin1_text() { return {'c', '\n', 0xE9, 0xFF, 'e'}; }

TEST_F(Export, Utf8OfEachUnit) {
    struct Case {
        Points cps;
        uint32_t unit;
        Bytes out;
    } cases[] = {
        {{}, 1, {}},
        {latin1_text(), 1, {'c', '\n', 0xC3, 0xA9, 0xC3, 0xBF, 'e'}},
        {{'a', 0x20AC}, 2, {'a', 0xE2, 0x82, 0xAC}},
        {mixed, 4, mixed_utf8},
    };
    for (const Case& c : cases) {
        Cell s = make_string(c.cps, c.unit);
        int32_t len = -1;
        uint8_t* out = to_utf8(s, len);
        ASSERT_NE(s.data3, 0u) << "the cache node is kept in the cell";
        EXPECT_EQ(Bytes(out, out + len), c.out);
        EXPECT_EQ(out[len], 0);
    }
}

TEST_F(Export, Utf8LimitsHeadAndLineEnds) {
    Cell s = make_string(mixed, 4);
    int32_t len = 3;
    uint8_t* out = to_utf8(s, len);
    EXPECT_EQ(Bytes(out, out + len), bytes_of({'a', '\n', 0xC3, 0xA9}));
    len = -1;
    out = to_utf8(s, len, true);
    EXPECT_EQ(Bytes(out, out + len),
              bytes_of({'a', '\r', '\n', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 'z'}));
    // From the head index on; a head past the tail gives nothing.
    s.data1 = 4;
    len = -1;
    out = to_utf8(s, len);
    EXPECT_EQ(Bytes(out, out + len), bytes_of({0xF0, 0x9F, 0x98, 0x80, 'z'}));
    s.data1 = 50;
    len = -1;
    out = to_utf8(s, len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(out[0], 0);
    // Line ends that fill a unit-1 string completely still fit the cache.
    Cell lines = make_string(Points(64, '\n'), 1);
    len = -1;
    out = to_utf8(lines, len, true);
    EXPECT_EQ(len, 128);
    EXPECT_EQ(out[128], 0);
}

TEST_F(Export, CacheIsReusedAndGrown) {
    Cell s = make_string({'a', 'b'}, 1);
    int32_t len = -1;
    uint8_t* first = to_utf8(s, len);
    NodeId cache = s.data3;
    uint8_t* again = to_utf8(s, len);
    EXPECT_EQ(first, again);
    EXPECT_EQ(s.data3, cache);
    uint8_t* big = get_cache(s, 1000);
    EXPECT_EQ(s.data3, cache) << "grown in place of the same node";
    EXPECT_GE(memory::buffer_of(cache)->size, 1000u);
    EXPECT_EQ(big, memory::buffer_of(cache)->data());
}

TEST_F(Export, Utf8IntoACallersBuffer) {
    Cell s = make_string({0xE9, 0x20AC}, 2);
    struct Case {
        int64_t room;
        int32_t max_units;
        Bytes out;
    } cases[] = {
        {2, 0, {0xC3, 0xA9}},
        {3, 0, {0xC3, 0xA9, 0xE2}},
        {10, 0, {0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
        {10, 1, {0xC3, 0xA9}},
        {10, 5, {0xC3, 0xA9, 0xE2, 0x82, 0xAC}},
        {0, 0, {}},
    };
    for (const Case& c : cases) {
        uint8_t out[16];
        std::memset(out, 0xEE, sizeof out);
        int64_t n = to_utf8_buffer(s, out, c.room, c.max_units, true);
        EXPECT_EQ(Bytes(out, out + n), c.out) << c.room << " " << c.max_units;
        EXPECT_EQ(out[n], 0);
        EXPECT_EQ(out[n + 1], 0xEE);
    }
    uint8_t out[16];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(to_utf8_buffer(s, out, 1, false), 2);
    EXPECT_EQ(out[2], 0xEE);
    EXPECT_EQ(to_utf8_buffer(s, out, -1, true), 5);
    EXPECT_EQ(out[5], 0);
}

TEST_F(Export, Utf16) {
    struct Case {
        Points cps;
        uint32_t unit;
        bool crlf;
        std::vector<uint16_t> out;
    } cases[] = {
        {{'a', '\n', 0xE9}, 1, false, {'a', '\n', 0xE9}},
        {{'a', '\n', 0xE9}, 1, true, {'a', '\r', '\n', 0xE9}},
        {{0x20AC, '\n'}, 2, false, {0x20AC, '\n'}},
        {{0x20AC, '\n'}, 2, true, {0x20AC, '\r', '\n'}},
        {{0x10000}, 4, false, {0xD800, 0xDC00}},
        {mixed, 4, true, {'a', '\r', '\n', 0xE9, 0x20AC, 0xD83D, 0xDE00, 'z'}},
        {{}, 2, true, {}},
    };
    for (const Case& c : cases) {
        Cell s = make_string(c.cps, c.unit);
        int32_t count = -1;
        uint16_t* out = to_utf16(s, count, c.crlf);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(std::vector<uint16_t>(out, out + count), c.out);
        EXPECT_EQ(out[count], 0);
    }
    Cell s = make_string({'x', '\n', 0x10000}, 4);
    uint16_t* out = to_utf16(s);
    EXPECT_EQ(std::vector<uint16_t>(out, out + 6), (std::vector<uint16_t>{'x', '\r', '\n', 0xD800, 0xDC00, 0}));
    int32_t count = 2;
    out = to_utf16(s, count, false);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::vector<uint16_t>(out, out + 3), (std::vector<uint16_t>{'x', '\n', 0}));
}

TEST_F(Export, Utf16RefusesWhatItCannotEncode) {
    Cell s = make_string({'a', 0x110000}, 4);
    int32_t count = -1;
    EXPECT_EQ(to_utf16(s, count, false), nullptr);
    int32_t len = -1;
    EXPECT_EQ(error_of([&] { to_utf8(s, len); }), int(ErrorId::script_invalid_char));
}

// The string's own buffer moves when the cache is allocated: the export must
// read the moved buffer.
TEST_F(Export, StringThatMovesWhileTheCacheIsMade) {
    for (bool utf16 : {false, true}) {
        Cell s = make_string(mixed, 4);
        start_moving({cell_node(s)});
        int32_t n = -1;
        Bytes got;
        if (utf16) {
            uint16_t* out = to_utf16(s, n, false);
            const uint8_t* p = reinterpret_cast<const uint8_t*>(out);
            got.assign(p, p + 2 * n);
        } else {
            uint8_t* out = to_utf8(s, n);
            got.assign(out, out + n);
        }
        stop_moving();
        EXPECT_GT(collections, 0);
        Bytes want =
            utf16 ? bytes_of({'a', 0, '\n', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 'z', 0}) : mixed_utf8;
        EXPECT_EQ(got, want);
    }
}

}  // namespace
}  // namespace kel::test
