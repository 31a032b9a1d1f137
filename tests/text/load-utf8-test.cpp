// Loading UTF-8 into string buffers: the narrowest unit, widening with the
// content intact, byte-order marks, line ends, incomplete tails, and sources
// that move while the load allocates.
#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

struct LoadUtf8 : Text {
    struct Result {
        Points cps;
        uint32_t unit;
        int32_t unconsumed;
    };
    static Result load(const Bytes& in, bool crlf = false, NodeId target = 0) {
        int32_t unconsumed = -7;
        NodeId node = load_utf8(in.data(), int32_t(in.size()), target, &unconsumed, crlf);
        if (target) {
            EXPECT_EQ(node, target);
        }
        return Result{points_of(node), unit_of(node), unconsumed};
    }
};

TEST_F(LoadUtf8, NarrowestUnitAndWidening) {
    struct Case {
        Bytes in;
        Points cps;
        uint32_t unit;
    } cases[] = {
        {{}, {}, 1},
        {{'c', 'a', 'f', 0xC3, 0xA9}, {'c', 'a', 'f', 0xE9}, 1},
        {{'c', 'a', 'f', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}, {'c', 'a', 'f', 0xE9, 0x20AC}, 2},
        {{'c', 'a', 'f', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80},
         {'c', 'a', 'f', 0xE9, 0x20AC, 0x1F600},
         4},
        {{'a', 0xF0, 0x9F, 0x98, 0x80, 'b'}, {'a', 0x1F600, 'b'}, 4},  // 1 to 4 directly
        {{0xEF, 0xBF, 0xBE}, {0xFFFE}, 2},
        {{0x00, 'a'}, {0, 'a'}, 1},
    };
    for (const Case& c : cases) {
        Result r = load(c.in);
        EXPECT_EQ(r.cps, c.cps) << ::testing::PrintToString(c.in);
        EXPECT_EQ(r.unit, c.unit) << ::testing::PrintToString(c.in);
        EXPECT_EQ(r.unconsumed, 0);
    }
}

TEST_F(LoadUtf8, ByteOrderMark) {
    struct Case {
        Bytes in;
        Points cps;
    } cases[] = {
        {{0xEF, 0xBB, 0xBF}, {}},
        {{0xEF, 0xBB, 0xBF, 'A'}, {'A'}},
        {{0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, {0xFEFF}},
        {{'A', 0xEF, 0xBB, 0xBF}, {'A', 0xFEFF}},
        {{0xEF, 0xBB}, {}},  // a cut-off mark is an incomplete sequence
    };
    for (const Case& c : cases) EXPECT_EQ(load(c.in).cps, c.cps) << ::testing::PrintToString(c.in);
}

TEST_F(LoadUtf8, LineEnds) {
    struct Case {
        Bytes in;
        Points crlf;
    } cases[] = {
        {{'a', 0x0D, 0x0A, 'b'}, {'a', 0x0A, 'b'}},
        {{'a', 0x0D, 'b'}, {'a', 0x0A, 'b'}},
        {{'a', 0x0D}, {'a', 0x0A}},
        {{0x0D, 0x0D, 0x0A}, {0x0A, 0x0A}},
        {{0xE2, 0x82, 0xAC, 0x0D, 0x0A, 0x0D}, {0x20AC, 0x0A, 0x0A}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.in, true).cps, c.crlf) << ::testing::PrintToString(c.in);
        Points plain(c.in.begin(), c.in.end());
        if (c.in[0] < 0x80) {
            EXPECT_EQ(load(c.in, false).cps, plain);
        }
    }
    // A long ASCII run with CRs in it takes the word-at-a-time path.
    Bytes in;
    Points want;
    for (int i = 0; i < 100; i++) {
        for (char c : std::string("line xyz\r\n")) in.push_back(uint8_t(c));
        for (char c : std::string("line xyz\n")) want.push_back(uint32_t(c));
    }
    EXPECT_EQ(load(in, true).cps, want);
}

TEST_F(LoadUtf8, IncompleteTailIsLeftToTheCaller) {
    struct Case {
        Bytes in;
        Points cps;
        int32_t unconsumed;
    } cases[] = {
        {{'a', 'b', 0xE2, 0x82}, {'a', 'b'}, 2},
        {{'a', 0xF0, 0x9F, 0x98}, {'a'}, 3},
        {{0xC3}, {}, 1},
        {{0xE2, 0x82, 0xAC, 0xE2}, {0x20AC}, 1},
    };
    for (const Case& c : cases) {
        Result r = load(c.in);
        EXPECT_EQ(r.cps, c.cps) << ::testing::PrintToString(c.in);
        EXPECT_EQ(r.unconsumed, c.unconsumed) << ::testing::PrintToString(c.in);
    }
}

TEST_F(LoadUtf8, MalformedInputRaises) {
    for (const Bytes& in : {bytes_of({'a', 0xC0, 0x80}), bytes_of({'a', 0xED, 0xA0, 0x80}),
                            bytes_of({0xE2, 0x41, 0x42}), bytes_of({'x', 0x80})}) {
        EXPECT_EQ(error_of([&] { load_utf8(in.data(), int32_t(in.size())); }), int(ErrorId::access_invalid_utf8))
            << ::testing::PrintToString(in);
    }
}

// Into an existing string: its unit is kept, its content replaced from the
// head, and a unit-2 or unit-4 buffer grows as the text needs.
TEST_F(LoadUtf8, IntoATarget) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s = make_string({'o', 'l', 'd', ' ', 't', 'e', 'x', 't'}, unit);
        Result r = load(bytes_of({'n', 'e', 'w'}), false, cell_node(s));
        EXPECT_EQ(r.cps, (Points{'n', 'e', 'w'}));
        EXPECT_EQ(r.unit, unit);
        // No bytes: the target keeps its content, tail and unit.
        r = load(Bytes{}, false, cell_node(s));
        EXPECT_EQ(r.cps, (Points{'n', 'e', 'w'})) << unit;
        EXPECT_EQ(r.unit, unit);
        EXPECT_EQ(r.unconsumed, 0);
        // A byte-order mark alone is text with nothing after the mark.
        r = load(bytes_of({0xEF, 0xBB, 0xBF}), false, cell_node(s));
        EXPECT_TRUE(r.cps.empty()) << unit;
    }
    // Long text into small wide buffers: many expansions, nothing lost.
    Bytes in;
    Points want;
    for (int i = 0; i < 3000; i++) {
        uint32_t cp = i % 3 == 0 ? 0x20AC : i % 3 == 1 ? 'q' : 0x1F600;
        uint8_t buf[4];
        int32_t n = encode_utf8_char(cp, buf);
        in.insert(in.end(), buf, buf + n);
        want.push_back(cp);
    }
    for (uint32_t unit : {2u, 4u}) {
        Cell s = make_string({'x'}, unit);
        Result r = load(in, false, cell_node(s));
        EXPECT_EQ(r.cps, want);
        EXPECT_EQ(r.unit, 4u);
    }
    Cell s = make_string({}, 1);
    int32_t unconsumed = -1;
    load_utf8_into(in.data(), int32_t(in.size()), s, &unconsumed);
    EXPECT_EQ(points_of(cell_node(s)), want);
    EXPECT_EQ(unconsumed, 0);
}

// A long ASCII text with wide characters late in it: the copied runs must
// survive the widening that follows them.
TEST_F(LoadUtf8, LongAsciiThenWide) {
    Bytes in(5000, 'k');
    in.insert(in.end(), {0xC3, 0xA9});
    in.insert(in.end(), 300, 'm');
    in.insert(in.end(), {0xE2, 0x82, 0xAC});
    in.insert(in.end(), 300, 'n');
    in.insert(in.end(), {0xF0, 0x9F, 0x98, 0x80});
    in.insert(in.end(), 2000, 'o');
    Points want(5000, 'k');
    want.push_back(0xE9);
    want.insert(want.end(), 300, 'm');
    want.push_back(0x20AC);
    want.insert(want.end(), 300, 'n');
    want.push_back(0x1F600);
    want.insert(want.end(), 2000, 'o');
    Result r = load(in);
    EXPECT_EQ(r.unit, 4u);
    EXPECT_EQ(r.cps, want);
}

// The source is a series that moves at every allocation of the load; the
// load re-reads it through its node.
TEST_F(LoadUtf8, SourceSeriesThatMoves) {
    Bytes text = bytes_of({'a', 'b', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 'c', 0xF0, 0x9F, 0x98, 0x80, 'd'});
    NodeId src = memory::alloc_bytes(text.size() + 5);
    SeriesBuffer* b = memory::buffer_of(src);
    std::memcpy(b->data() + 5, text.data(), text.size());
    b->tail = text.size() + 5;
    start_moving({src});
    NodeId node = load_utf8(src, 5, int32_t(text.size()), 0, nullptr, false);
    stop_moving();
    EXPECT_GT(collections, 0);
    EXPECT_EQ(points_of(node), (Points{'a', 'b', 0xE9, 0x20AC, 'c', 0x1F600, 'd'}));
}

TEST_F(LoadUtf8, WideningKeepsContent) {
    struct Case {
        uint32_t from;
        SeriesBuffer* (*widen)(SeriesBuffer*);
        uint32_t to;
    } cases[] = {
        {1, widen_latin1_to_ucs2, 2},
        {1, widen_latin1_to_ucs4, 4},
        {2, widen_ucs2_to_ucs4, 4},
    };
    for (const Case& c : cases) {
        for (size_t n : {size_t(0), size_t(1), size_t(16), size_t(100)}) {
            Points cps;
            for (size_t i = 0; i < n; i++)
                cps.push_back(c.from == 1 ? uint32_t(0x80 + i % 128) : uint32_t(0x100 + i * 611));
            Cell s = make_string(cps, c.from);
            SeriesBuffer* b = c.widen(memory::buffer_of(cell_node(s)));
            EXPECT_EQ(b, memory::buffer_of(cell_node(s)));
            EXPECT_EQ(b->unit(), c.to);
            EXPECT_EQ(points_of(cell_node(s)), cps);
            EXPECT_GE(b->size, b->tail + c.to) << "room for one more unit";
        }
    }
    // widen_for picks the width from the code point and never narrows.
    Cell s = make_string({'a'}, 1);
    EXPECT_EQ(widen_for(cell_node(s), 0xFF)->unit(), 1u);
    EXPECT_EQ(widen_for(cell_node(s), 0x100)->unit(), 2u);
    EXPECT_EQ(widen_for(cell_node(s), 0x41)->unit(), 2u);
    EXPECT_EQ(widen_for(cell_node(s), 0x10000)->unit(), 4u);
    EXPECT_EQ(points_of(cell_node(s)), Points{'a'});
}

}  // namespace
}  // namespace kel::test
