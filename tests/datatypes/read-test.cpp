// Reading strings: positions relative to the head or to the series start,
// clamping of a head past the tail, searches, and the matches at the head.
#include "tests/datatypes/string-fixture.h"

namespace kel::test {
namespace {

TEST_F(Strings, HeadPastTheTailIsClampedByHeadAndLength) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s = make_text(ascii("abcd"), unit);
        Rooted keep(s);
        s.data1 = 9;
        EXPECT_TRUE(string::ks_tail_q(s));
        EXPECT_EQ(string::ks_head(s), string::ks_tail(s));
        EXPECT_EQ(s.data1, 4u);
        s.data1 = 7;
        EXPECT_EQ(string::ks_length(s), 0);
        EXPECT_EQ(s.data1, 4u);
        s.data1 = uint32_t(-3);  // a negative head counts as 0
        EXPECT_EQ(string::ks_length(s), 4);
        EXPECT_EQ(string::ks_abs_length(s), 4);
    }
}

TEST_F(Strings, SkipAndNextStopAtTheTail) {
    Cell s = make_text(ascii("ab"), 2);
    Rooted keep(s);
    EXPECT_FALSE(string::ks_next(s));
    EXPECT_EQ(s.data1, 1u);
    EXPECT_TRUE(string::ks_next(s));
    EXPECT_EQ(s.data1, 2u);
    EXPECT_TRUE(string::ks_next(s));
    EXPECT_EQ(s.data1, 2u);
    EXPECT_TRUE(string::ks_skip(s, 5));
    EXPECT_EQ(s.data1, 2u);
    EXPECT_FALSE(string::ks_skip(s, -2));
    EXPECT_EQ(s.data1, 0u);
}

TEST_F(Strings, FindCharCountsFromTheHeadGetCharAtFromTheStart) {
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s = make_text(ascii("xaxbx"), unit);
        Rooted keep(s);
        s.data1 = 1;
        EXPECT_EQ(string::find_char(s, 'x'), 1) << unit;
        EXPECT_EQ(string::find_char(s, 'b'), 2) << unit;
        EXPECT_EQ(string::find_char(s, 'X'), -1) << "exact comparison";
        EXPECT_EQ(string::find_char(s, 0x178), -1) << "no wider code point in a one-byte string";
        EXPECT_EQ(string::get_char_at(s, 0), uint32_t('x'));
        EXPECT_EQ(string::get_char_at(s, 3), uint32_t('b'));
    }
}

TEST_F(Strings, HasCharFoldsCaseAndSteps) {
    Cell s = make_text({'a', 'B', 0xE9, 'd', 0x3B1}, 2);  // a B é d α
    Rooted keep(s);
    EXPECT_TRUE(string::has_char(s, 'b', 1, false));
    EXPECT_FALSE(string::has_char(s, 'b', 1, true));
    EXPECT_TRUE(string::has_char(s, 0xC9, 1, false)) << "É matches é when case is ignored";
    EXPECT_TRUE(string::has_char(s, 0x391, 1, false)) << "Α matches α";
    EXPECT_TRUE(string::has_char(s, 'd', 3, true));
    EXPECT_FALSE(string::has_char(s, 'B', 2, true)) << "a step of 2 reads units 0, 2 and 4 only";
    EXPECT_TRUE(string::has_char(s, 'B', 0, true)) << "a step below 1 reads every unit";
}

TEST_F(Strings, StartsWithCString) {
    Cell s = make_text({'a', 'b', 0x100 + 'c'}, 2);
    Rooted keep(s);
    EXPECT_TRUE(string::starts_with_c_string(s, ""));
    EXPECT_TRUE(string::starts_with_c_string(s, "ab"));
    EXPECT_FALSE(string::starts_with_c_string(s, "AB"));
    EXPECT_FALSE(string::starts_with_c_string(s, "abc")) << "a unit above 255 never matches a byte";
    EXPECT_FALSE(string::starts_with_c_string(s, "abcd"));
}

TEST_F(Strings, HeadInBitsetUsesTheComplementFlagBeyondTheBits) {
    // Two bytes of bits: code points 0-15; bit 'c' & 15 ... set bits 1 and 9.
    NodeId bits_node = memory::alloc_bytes(2);
    Cell bits{TYPE_BITSET, 0, bits_node, 0};
    Rooted keep_bits(bits);
    uint8_t* bytes = alloc_tail_bytes(memory::buffer_of(bits_node), 2);
    bytes[0] = 0x40;  // bit 1
    bytes[1] = 0x40;  // bit 9
    Cell s = make_text({1, 9, 2, 16, 1000}, 2);
    Rooted keep(s);
    struct Case {
        int32_t head;
        bool plain, complemented;
    };
    for (Case c : {Case{0, true, true}, Case{1, true, true}, Case{2, false, false}, Case{3, false, true},
                   Case{4, false, true}}) {
        s.data1 = uint32_t(c.head);
        memory::buffer_of(bits_node)->flags &= ~series_flag::COMPLEMENT;
        EXPECT_EQ(string::head_in_bitset(s, bits), c.plain) << c.head;
        memory::buffer_of(bits_node)->flags |= series_flag::COMPLEMENT;
        EXPECT_EQ(string::head_in_bitset(s, bits), c.complemented) << c.head;
    }
    s.data1 = 5;
    EXPECT_FALSE(string::head_in_bitset(s, bits)) << "nothing at the tail";
}

TEST_F(Strings, TagBracketsStayInsideTheString) {
    Cell tag = make_text(ascii("b"), 1);
    tag.header = TYPE_TAG;
    Rooted keep_tag(tag);
    Cell s = make_text(ascii("<b>x"), 1);
    Rooted keep(s);
    EXPECT_TRUE(string::tag_brackets_at(s, tag));
    s.data1 = 1;
    EXPECT_FALSE(string::tag_brackets_at(s, tag));
    Cell shorter = make_text(ascii("<b"), 1);
    Rooted keep_shorter(shorter);
    EXPECT_FALSE(string::tag_brackets_at(shorter, tag)) << "the closing bracket would lie past the tail";
}

TEST_F(Strings, MatchValueAtTheHead) {
    Cell s = make_text(ascii("<B>Hello"), 2);
    Rooted keep(s);
    Cell hel = make_text(ascii("hel"), 1);
    Rooted keep_hel(hel);
    Cell empty = make_text({}, 1);
    Rooted keep_empty(empty);
    Cell tag = make_text(ascii("b"), 1);
    tag.header = TYPE_TAG;
    Rooted keep_tag(tag);
    Cell number = make_integer(1);

    EXPECT_TRUE(string::match_value(s, tag, 0));
    EXPECT_FALSE(string::match_value(s, tag, 2)) << "strict: b is not B";
    EXPECT_EQ(s.data1, 0u) << "the head stays";
    s.data1 = 3;
    EXPECT_TRUE(string::match_value(s, hel, 0));
    EXPECT_FALSE(string::match_value(s, hel, 2));
    EXPECT_TRUE(string::match_value(s, empty, 0));
    EXPECT_FALSE(string::match_value(s, empty, 12)) << "find equality: an empty pattern does not match";
    EXPECT_TRUE(string::match_value(s, Cell{TYPE_CHAR, 0, 'h', 0}, 0));
    EXPECT_FALSE(string::match_value(s, Cell{TYPE_CHAR, 0, 'h', 0}, 2));
    EXPECT_FALSE(string::match_value(s, number, 0));
    s.data1 = 6;
    EXPECT_FALSE(string::match_value(s, hel, 0)) << "the pattern is longer than what is left";
}

}  // namespace
}  // namespace kel::test
