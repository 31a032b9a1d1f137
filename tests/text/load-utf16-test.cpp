// Loading UTF-16LE and Windows-1251 text: unit choice, surrogate pairs, bad
// surrogates as catchable errors, CR handling, and the conversion cache as
// the source.
#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

struct LoadUtf16 : Text {
    static Bytes le(std::initializer_list<uint32_t> units) {
        Bytes b;
        for (uint32_t u : units) {
            b.push_back(uint8_t(u));
            b.push_back(uint8_t(u >> 8));
        }
        return b;
    }
};

TEST_F(LoadUtf16, UnitsAndSurrogates) {
    struct Case {
        Bytes in;
        bool skip_cr;
        Points cps;
        uint32_t unit;
    } cases[] = {
        {le({'a', 0xE9}), false, {'a', 0xE9}, 1},
        {le({'a', 0x20AC}), false, {'a', 0x20AC}, 2},
        {bytes_of({0x3D, 0xD8, 0x00, 0xDE}), false, {0x1F600}, 4},
        {le({'a', 0xD83D, 0xDE00, 0x20AC, 'b'}), false, {'a', 0x1F600, 0x20AC, 'b'}, 4},
        {le({'a', 0xDC00, 'b'}), false, {'a', 0xDC00, 'b'}, 4},  // a lone low surrogate stays
        {le({'a', '\r', '\n', 'b'}), true, {'a', '\n', 'b'}, 1},
        {le({'a', '\r', '\n', 0x20AC}), true, {'a', '\n', 0x20AC}, 2},
        {le({'\r', 0xD83D, 0xDE00, '\r'}), true, {0x1F600}, 4},
        {le({'a', '\r'}), false, {'a', '\r'}, 1},
        {{}, false, {}, 2},
    };
    for (const Case& c : cases) {
        NodeId node = load_utf16(c.in.data(), int32_t(c.in.size() / 2), nullptr, c.skip_cr);
        EXPECT_EQ(points_of(node), c.cps) << ::testing::PrintToString(c.in);
        EXPECT_EQ(unit_of(node), c.unit) << ::testing::PrintToString(c.in);
    }
    EXPECT_EQ(utf16_unit_size(le({'a', 0xFF}).data(), 2), 1u);
    EXPECT_EQ(utf16_unit_size(le({0x100, 0xDFFF}).data(), 2), 4u);
}

// A high surrogate at the end or before anything but a low surrogate is a
// language error that a caller can catch; the process goes on.
TEST_F(LoadUtf16, BadSurrogateIsACatchableError) {
    struct Case {
        Bytes in;
        Bytes arg;
    } cases[] = {
        {bytes_of({0x3D, 0xD8, 0x41, 0x00}), bytes_of({0x3D, 0xD8, 0x41, 0x00})},
        {bytes_of({0x41, 0x00, 0x3D, 0xD8}), bytes_of({0x3D, 0xD8})},
        {bytes_of({0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}), bytes_of({0x3D, 0xD8, 0x3D, 0xD8})},
    };
    for (const Case& c : cases) {
        Cell arg{};
        int err = error_of([&] { load_utf16(c.in.data(), int32_t(c.in.size() / 2), nullptr, false); }, &arg);
        EXPECT_EQ(err, int(ErrorId::access_invalid_utf8));
        ASSERT_EQ(type_of(arg), TYPE_BINARY);
        EXPECT_EQ(contents(cell_node(arg)), c.arg);
    }
}

// The usual round trip of an operating-system call: the text is written into
// the string's conversion cache, then loaded back from there into the string,
// whose buffer grows (and the cache moves) on the way.
TEST_F(LoadUtf16, FromTheCacheIntoTheString) {
    Cell s = make_string({'x'}, 1);
    Points want;
    Bytes text;
    for (int i = 0; i < 500; i++) {
        uint32_t cp = i % 2 ? 0x1F600 : 0x430;
        uint8_t units[4];
        int32_t n = encode_utf16_char(cp, units);
        text.insert(text.end(), units, units + 2 * n);
        want.push_back(cp);
    }
    uint8_t* cache = get_cache(s, text.size());
    std::memcpy(cache, text.data(), text.size());
    start_moving({s.data3});
    NodeId node = load_utf16(nullptr, int32_t(text.size() / 2), &s, false);
    stop_moving();
    EXPECT_GT(collections, 0);
    EXPECT_EQ(node, cell_node(s));
    EXPECT_EQ(unit_of(node), 4u);
    EXPECT_EQ(points_of(node), want);
}

// A length beyond what the cache holds reads the cache and nothing after it.
// The bytes that follow the cache are made to look like text, so a load that
// read past it would show them.
TEST_F(LoadUtf16, FromTheCacheNoFurtherThanItHolds) {
    Cell s = make_string({'x'}, 1);
    uint8_t* cache = get_cache(s, 16);
    uint64_t size = memory::buffer_of(s.data3)->size;
    Bytes ascii = bytes_of({'k', 0});
    for (uint64_t i = 0; i < size; i++) cache[i] = ascii[i % 2];
    memory::alloc_bytes_filled(256, 'Z');  // the buffer after the cache

    NodeId node = load_utf16(nullptr, 1000, &s, false);
    EXPECT_EQ(points_of(node), Points(size / 2, 'k'));

    cache = memory::buffer_of(s.data3)->data();
    for (uint64_t i = 0; i < size; i++) cache[i] = 0xC0;  // Cyrillic capital A
    node = load_cp1251(nullptr, 1000, &s, false);
    EXPECT_EQ(points_of(node), Points(size, 0x410));

    Cell no_cache = make_string({'y'}, 1);
    node = load_cp1251(nullptr, 10, &no_cache, false);
    EXPECT_TRUE(points_of(node).empty()) << "no cache, nothing to read";
}

TEST_F(LoadUtf16, IntoATargetOfAnyUnit) {
    Cell s = make_string({0x1F600, 0x1F600, 0x1F600}, 4);
    Bytes in = le({'h', 'i'});
    load_utf16(in.data(), 2, &s, false);
    EXPECT_EQ(points_of(cell_node(s)), (Points{'h', 'i'}));
    EXPECT_EQ(unit_of(cell_node(s)), 1u);

    // No text: the target is emptied and takes unit 1, whatever it had.
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell e = make_string({'o', 'l', 'd'}, unit);
        load_utf16(in.data(), 0, &e, false);
        EXPECT_TRUE(points_of(cell_node(e)).empty()) << unit;
        EXPECT_EQ(unit_of(cell_node(e)), 1u) << unit;
    }
    Cell empty = make_string({}, 1);
    load_utf16(in.data(), 0, &empty, false);
    EXPECT_EQ(unit_of(cell_node(empty)), 1u) << "an empty one-byte string stays one-byte";

    // A bad surrogate abandons the load; the string it was going into still
    // holds whole units of its new size.
    Cell t = make_string({'a', 'b', 'c', 'd', 'e'}, 1);
    Bytes bad = le({'x', 0xD83D, 'y'});
    EXPECT_EQ(error_of([&] { load_utf16(bad.data(), 3, &t, false); }), int(ErrorId::access_invalid_utf8));
    EXPECT_EQ(unit_of(cell_node(t)), 4u);
    EXPECT_EQ(memory::buffer_of(cell_node(t))->used() % 4, 0u);
}

struct LoadCp1251 : Text {};

TEST_F(LoadCp1251, TableAndWidening) {
    struct Case {
        Bytes in;
        bool crlf;
        Points cps;
        uint32_t unit;
    } cases[] = {
        {bytes_of({'a', 'b'}), false, {'a', 'b'}, 1},
        {bytes_of({0xA0, 0xA9, 0x98}), false, {0xA0, 0xA9, 0x98}, 1},
        // Cyrillic does not fit one byte: the buffer widens, nothing is cut.
        {bytes_of({'a', 0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}),
         false,
         {'a', 0x41F, 0x440, 0x438, 0x432, 0x435, 0x442},
         2},
        {bytes_of({0x80, 0x88, 0xB9, 0xC0, 0xFF}), false, {0x402, 0x20AC, 0x2116, 0x410, 0x44F}, 2},
        {bytes_of({'a', 0x0D, 0x0A, 'b', 0x0D}), true, {'a', 0x0A, 'b', 0x0A}, 1},
        {bytes_of({'a', 0x0D, 0x0A}), false, {'a', 0x0D, 0x0A}, 1},
    };
    for (const Case& c : cases) {
        NodeId node = load_cp1251(c.in.data(), int32_t(c.in.size()), nullptr, c.crlf);
        EXPECT_EQ(points_of(node), c.cps) << ::testing::PrintToString(c.in);
        EXPECT_EQ(unit_of(node), c.unit) << ::testing::PrintToString(c.in);
    }
}

TEST_F(LoadCp1251, LongTextIntoTargets) {
    Bytes in;
    Points want;
    for (int i = 0; i < 2000; i++) {
        uint8_t b = uint8_t(i % 7 == 0 ? 'z' : 0xC0 + i % 64);
        in.push_back(b);
        want.push_back(cp1251_to_cp(b));
    }
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s = make_string({'o', 'l', 'd'}, unit);
        load_cp1251(in.data(), int32_t(in.size()), &s, false);
        EXPECT_EQ(points_of(cell_node(s)), want);
        EXPECT_EQ(unit_of(cell_node(s)), unit == 1 ? 2u : unit);
    }
}

}  // namespace
}  // namespace kel::test
