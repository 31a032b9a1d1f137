// Comparison of bytes under every op, prefix comparison, strings compared
// through their UTF-8 bytes in every unit, and the parse matchers at the
// tail.
#include "runtime/evaluator/actions.h"
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

struct BinaryCompare : Binaries {
    // A binary whose buffer holds `stored` but whose tail stands after
    // `length` bytes: the bytes past the tail must never be read.
    Cell& cut_short(std::string_view stored, uint64_t length) {
        Cell& b = bin(stored);
        SeriesBuffer* buf = memory::buffer_of(cell_node(b));
        buf->tail = buf->offset + length;
        return b;
    }
    // A bitset! of the bytes, complemented or not.
    Cell& bitset(std::string_view bytes, bool complemented) {
        Cell& b = bin(bytes);
        set_type(b, TYPE_BITSET);
        if (complemented) memory::buffer_of(cell_node(b))->flags |= series_flag::COMPLEMENT;
        return b;
    }
};

TEST_F(BinaryCompare, ShorterAgainstLongerUnderEveryOp) {
    Cell& a = bin("01");
    Cell& b = bin("0100");
    struct Row {
        int32_t op;
        int32_t three_way;  // compare_bytes(#{01}, #{0100})
        int32_t reversed;  // compare_bytes(#{0100}, #{01})
    };
    const Row rows[] = {
        {COMP_EQUAL, 1, 1},         {COMP_NOT_EQUAL, 1, 1}, {COMP_STRICT_EQUAL, 1, 1},   {COMP_LESSER, -1, 1},
        {COMP_LESSER_EQUAL, -1, 1}, {COMP_GREATER, -1, 1},  {COMP_GREATER_EQUAL, -1, 1}, {COMP_SORT, -1, 1},
        {COMP_CASE_SORT, -1, 1},    {COMP_SAME, -1, -1},    {COMP_CASE_MATCH, -1, 1},    {COMP_MATCH, -1, 1},
        {COMP_FIND, 1, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.op);
        EXPECT_EQ(binary::compare_bytes(a, b, r.op, false), r.three_way);
        EXPECT_EQ(binary::compare_bytes(b, a, r.op, false), r.reversed);
        EXPECT_EQ(binary::compare(a, b, r.op), r.three_way);
    }
    // Through the comparison layer: the machine truth of each op.
    EXPECT_FALSE(actions::compare(a, b, COMP_EQUAL));
    EXPECT_TRUE(actions::compare(a, b, COMP_NOT_EQUAL));
    EXPECT_FALSE(actions::compare(a, b, COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(a, b, COMP_LESSER));
    EXPECT_TRUE(actions::compare(a, b, COMP_LESSER_EQUAL));
    EXPECT_FALSE(actions::compare(a, b, COMP_GREATER));
    EXPECT_FALSE(actions::compare(a, b, COMP_GREATER_EQUAL));
    EXPECT_FALSE(actions::compare(a, b, COMP_SAME));
}

TEST_F(BinaryCompare, BytesLengthsAndIdentity) {
    struct Row {
        const char* a;
        const char* b;
        int32_t op;
        int32_t expected;
    };
    const Row rows[] = {
        {"", "", COMP_EQUAL, 0},         {"", "", COMP_LESSER, 0},      {"FF", "0100", COMP_LESSER, 1},
        {"FF", "0100", COMP_EQUAL, 1},   {"7F", "80", COMP_LESSER, -1}, {"0102", "0102", COMP_STRICT_EQUAL, 0},
        {"0102", "0103", COMP_SORT, -1}, {"", "00", COMP_SORT, -1},     {"0102", "0102", COMP_SAME, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " " << r.b << " " << r.op);
        EXPECT_EQ(binary::compare_bytes(bin(r.a), bin(r.b), r.op, false), r.expected);
    }
    Cell& x = bin("0102");
    EXPECT_EQ(binary::compare_bytes(x, x, COMP_SAME, false), 0);
    EXPECT_EQ(binary::compare_bytes(x, at(x, 1), COMP_SAME, false), -1);
    EXPECT_EQ(binary::compare_bytes(at(x, 1), bin("02"), COMP_EQUAL, false), 0);
    // Indexes past the tail count as empty.
    EXPECT_EQ(binary::compare_bytes(at(x, 5), bin(""), COMP_EQUAL, false), 0);
    // compare answers -2 for anything but a binary!; compare_bytes takes
    // strings too.
    EXPECT_EQ(binary::compare(x, text(U"\x01\x02"), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(binary::compare_bytes(x, integer(1), COMP_EQUAL, false), COMP_NOT_COMPARABLE);
    EXPECT_EQ(binary::compare_bytes(x, text(U"\x01\x02"), COMP_EQUAL, false), 0);
}

// Does value1 begin with value2? A value1 shorter than value2 does not, and
// nothing past its tail is read (the buffer holds the rest of value2 there).
TEST_F(BinaryCompare, PrefixWithAShorterValue1) {
    Cell& shorter = cut_short("010203", 1);
    Cell& longer = bin("0102");
    for (int32_t op : {COMP_EQUAL, COMP_STRICT_EQUAL, COMP_FIND}) {
        SCOPED_TRACE(op);
        EXPECT_NE(binary::compare_bytes(shorter, longer, op, true), 0);
        EXPECT_EQ(binary::compare_bytes(bin("010203"), longer, op, true), 0);
        EXPECT_EQ(binary::compare_bytes(bin("0102"), longer, op, true), 0);
        EXPECT_NE(binary::compare_bytes(bin("0103"), longer, op, true), 0);
        EXPECT_EQ(binary::compare_bytes(bin(""), bin(""), op, true), 0);
        EXPECT_EQ(binary::compare_bytes(bin("01"), bin(""), op, true), 0);
    }
    EXPECT_EQ(binary::compare_bytes(bin("01"), bin(""), COMP_LESSER, true), 1);
    EXPECT_FALSE(binary::match(shorter, longer, COMP_FIND));
    EXPECT_FALSE(binary::match(at(shorter, 1), bin("02"), COMP_FIND));
}

// A string is compared through the UTF-8 bytes of its characters, whatever
// its unit: #{C3A9} is "é" (as to binary! "é" is #{C3A9}), #{E9} is not.
TEST_F(BinaryCompare, StringsAsTheirUtf8Bytes) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        SCOPED_TRACE(unit);
        Cell& e = text(U"\u00E9", unit);
        EXPECT_EQ(binary::compare_bytes(bin("C3A9"), e, COMP_EQUAL, false), 0);
        EXPECT_NE(binary::compare_bytes(bin("E9"), e, COMP_EQUAL, false), 0);
        EXPECT_TRUE(binary::match(bin("C3A9FF"), e, COMP_FIND));
        EXPECT_FALSE(binary::match(bin("E9"), e, COMP_FIND));
        EXPECT_FALSE(binary::match(bin("C3"), e, COMP_FIND));
        // ASCII text: its bytes are its characters.
        Cell& ab = text(U"ab", unit);
        EXPECT_EQ(binary::compare_bytes(bin("6162"), ab, COMP_EQUAL, false), 0);
        EXPECT_EQ(binary::compare_bytes(bin("61"), ab, COMP_LESSER, false), -1);
        EXPECT_EQ(binary::compare_bytes(bin("6163"), ab, COMP_LESSER, false), 1);
        EXPECT_EQ(binary::compare_bytes(bin("616263"), ab, COMP_FIND, true), 0);
        // From the string's index.
        EXPECT_EQ(binary::compare_bytes(bin("62"), at(ab, 1), COMP_EQUAL, false), 0);
    }
    Cell& wide = text(U"\u20AC\U0001F600", 4);
    EXPECT_EQ(binary::compare_bytes(bin("E282ACF09F9880"), wide, COMP_EQUAL, false), 0);
    EXPECT_EQ(binary::compare_bytes(bin("E282ACF09F9881"), wide, COMP_EQUAL, false), 1);
    EXPECT_EQ(binary::compare_bytes(bin("E282ACF09F98"), wide, COMP_LESSER, false), -1);
}

// At the tail there is no byte: a char! and a bitset never match there,
// whatever the buffer holds past the tail.
TEST_F(BinaryCompare, ParseMatchersAtTheTail) {
    Cell& b = cut_short("41", 0);
    EXPECT_FALSE(binary::match(b, ch('A'), COMP_FIND));
    EXPECT_TRUE(binary::match(bin("41"), ch('A'), COMP_FIND));
    EXPECT_FALSE(binary::match(bin("41"), ch('a'), COMP_FIND));
    EXPECT_FALSE(binary::match(bin("E9"), ch(0x1E9), COMP_FIND));
    EXPECT_FALSE(binary::match(bin("41"), integer(0x41), COMP_FIND));

    Cell& has_a = bitset("0000000000000000 40", false);  // bit 0x41 alone
    Cell& all_past = bitset("00", true);  // complemented: every byte from 8 on
    EXPECT_TRUE(binary::byte_in_bitset(bin("41"), has_a));
    EXPECT_FALSE(binary::byte_in_bitset(bin("42"), has_a));
    EXPECT_FALSE(binary::byte_in_bitset(bin("FF"), has_a));
    EXPECT_TRUE(binary::byte_in_bitset(bin("FF"), all_past));
    EXPECT_FALSE(binary::byte_in_bitset(bin("07"), all_past));
    EXPECT_FALSE(binary::byte_in_bitset(b, has_a));
    EXPECT_FALSE(binary::byte_in_bitset(cut_short("FF", 0), all_past));
    EXPECT_TRUE(binary::byte_in_bitset(at(bin("0041"), 1), has_a));
}

}  // namespace
}  // namespace kel::test
