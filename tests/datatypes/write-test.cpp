// Writing code points: which write widens the unit and to what, that the
// text around the write survives widening and growth, and the removals.
#include "runtime/core/exit-status.h"
#include "tests/datatypes/string-fixture.h"

namespace kel::test {
namespace {

enum class Op { append, poke, overwrite, insert };

struct WidenCase {
    const char* name;
    Op op;
    uint32_t unit;  // unit of the string before the write
    uint32_t cp;
    int32_t position;  // unit position for poke, overwrite and insert
    uint32_t expected_unit;
    Points expected;
};

class Widening : public Strings, public ::testing::WithParamInterface<WidenCase> {};

TEST_P(Widening, UnitAndTextAfterTheWrite) {
    const WidenCase& c = GetParam();
    Cell s = make_text(ascii("abc"), c.unit);
    Rooted keep(s);
    SeriesBuffer* b = string::buffer(s);
    switch (c.op) {
    case Op::append:
        b = string::append_char(b, c.cp);
        break;
    case Op::poke:
        b = string::poke_char(b, b->head_ptr() + c.position * c.unit, c.cp);
        break;
    case Op::overwrite:
        b = string::overwrite_char(b, c.position, c.cp);
        break;
    case Op::insert:
        b = string::insert_char(b, c.position, c.cp);
        break;
    }
    EXPECT_EQ(b, string::buffer(s)) << "the returned buffer is the string's";
    EXPECT_EQ(unit_of(s), c.expected_unit);
    EXPECT_EQ(all_points(s), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, Widening,
    ::testing::Values(
        // Appending at the tail: a one-byte string takes only ASCII.
        WidenCase{"AppendAsciiKeepsOneByte", Op::append, 1, 0x7F, 0, 1, {'a', 'b', 'c', 0x7F}},
        WidenCase{"AppendE9WidensToTwo", Op::append, 1, 0xE9, 0, 2, {'a', 'b', 'c', 0xE9}},
        WidenCase{"AppendFFWidensToTwo", Op::append, 1, 0xFF, 0, 2, {'a', 'b', 'c', 0xFF}},
        WidenCase{"AppendAstralWidensOneToFour", Op::append, 1, 0x1F600, 0, 4, {'a', 'b', 'c', 0x1F600}},
        WidenCase{"AppendAstralWidensTwoToFour", Op::append, 2, 0x10000, 0, 4, {'a', 'b', 'c', 0x10000}},
        WidenCase{"AppendBmpKeepsTwo", Op::append, 2, 0xFFFF, 0, 2, {'a', 'b', 'c', 0xFFFF}},
        // Writing at a position: one byte holds all of Latin-1.
        WidenCase{"PokeE9KeepsOneByte", Op::poke, 1, 0xE9, 1, 1, {'a', 0xE9, 'c'}},
        WidenCase{"Poke100WidensToTwo", Op::poke, 1, 0x100, 1, 2, {'a', 0x100, 'c'}},
        WidenCase{"PokeAstralWidensTwoToFour", Op::poke, 2, 0x1F600, 2, 4, {'a', 'b', 0x1F600}},
        WidenCase{"OverwriteE9KeepsOneByte", Op::overwrite, 1, 0xE9, 0, 1, {0xE9, 'b', 'c'}},
        WidenCase{"OverwriteAtTailExtends", Op::overwrite, 1, 0x20AC, 3, 2, {'a', 'b', 'c', 0x20AC}},
        WidenCase{"InsertE9KeepsOneByte", Op::insert, 1, 0xE9, 0, 1, {0xE9, 'a', 'b', 'c'}},
        WidenCase{"InsertAstralWidensOneToFour", Op::insert, 1, 0x10000, 1, 4, {'a', 0x10000, 'b', 'c'}},
        WidenCase{"InsertAtTail", Op::insert, 4, 'z', 3, 4, {'a', 'b', 'c', 'z'}}),
    [](const ::testing::TestParamInfo<WidenCase>& info) { return info.param.name; });

TEST_F(Strings, AppendingThroughGrowthAndWideningKeepsEveryCodePoint) {
    Cell s = make_unset();
    string::ks_make_at(s, 0);
    Rooted keep(s);
    Points expected;
    SeriesBuffer* b = string::buffer(s);
    // ASCII first, then Latin-1, BMP and astral code points, so that the
    // buffer is widened twice while it keeps growing.
    for (uint32_t i = 0; i < 3000; ++i) {
        uint32_t cp = i < 1000 ? 'a' + i % 26
            : i < 2000         ? 0xC0 + i % 64
            : i < 2500         ? 0x3040 + i % 96
                               : 0x1F600 + i % 80;
        b = string::append_char(b, cp);
        expected.push_back(cp);
    }
    EXPECT_EQ(unit_of(s), 4u);
    EXPECT_EQ(all_points(s), expected);
}

TEST_F(Strings, OverwriteFarPastTheTailGrowsAndLeavesZeroUnitsBetween) {
    Cell s = make_text(ascii("ab"), 1);
    Rooted keep(s);
    SeriesBuffer* b = string::overwrite_char(string::buffer(s), 100, 'z');
    EXPECT_GE(b->size, 101u);
    Points p = all_points(s);
    ASSERT_EQ(p.size(), 101u);
    EXPECT_EQ(p[0], uint32_t('a'));
    EXPECT_EQ(p[1], uint32_t('b'));
    for (size_t i = 2; i < 100; ++i) EXPECT_EQ(p[i], 0u) << i;
    EXPECT_EQ(p[100], uint32_t('z'));
}

TEST_F(Strings, InsertingGrowsTheBufferAndKeepsTheTextAround) {
    Cell s = make_text(ascii("ab"), 1);
    Rooted keep(s);
    Points expected = ascii("ab");
    SeriesBuffer* b = string::buffer(s);
    // Each insertion lands just before the "b", so the buffer fills, doubles
    // and widens (at 0x100) while text stays on both sides of the writes.
    for (uint32_t i = 0; i < 60; ++i) {
        uint32_t cp = i < 40 ? 'c' + i % 20 : 0x100 + i;
        b = string::insert_char(b, int32_t(1 + i), cp);
        expected.insert(expected.begin() + 1 + i, cp);
    }
    EXPECT_EQ(b, string::buffer(s));
    EXPECT_EQ(unit_of(s), 2u);
    EXPECT_EQ(all_points(s), expected);
    // Positions outside the series insert at its start or its tail.
    b = string::insert_char(b, -4, '<');
    b = string::insert_char(b, 1000, '>');
    expected.insert(expected.begin(), '<');
    expected.push_back('>');
    EXPECT_EQ(all_points(s), expected);
}

TEST_F(Strings, PokeIntoAStringWithAMovedHeadWidensAtTheRightUnit) {
    // The address is recomputed from its unit offset after the widening.
    Cell s = make_text(ascii("hello"), 1);
    Rooted keep(s);
    s.data1 = 2;
    SeriesBuffer* b = string::buffer(s);
    b = string::poke_char(b, string::ks_head(s) + 1, 0x3042);
    EXPECT_EQ(all_points(s), (Points{'h', 'e', 'l', 0x3042, 'o'}));
}

TEST_F(Strings, RemovingUnits) {
    struct Case {
        int32_t position, count;
        const char* expected;
    };
    for (const Case& c : {Case{0, 1, "bcdef"}, Case{2, 2, "abef"}, Case{5, 1, "abcde"}, Case{6, 1, "abcdef"},
                          Case{4, 10, "abcd"}, Case{-1, 1, "abcdef"}, Case{0, 0, "abcdef"}}) {
        Cell s = make_text(ascii("abcdef"), 2);
        Rooted keep(s);
        string::remove_chars(s, c.position, c.count);
        EXPECT_EQ(all_points(s), ascii(c.expected)) << c.position << " " << c.count;
    }
    Cell s = make_text(ascii("xyz"), 4);
    Rooted keep(s);
    string::remove_char(s, 1);
    EXPECT_EQ(all_points(s), ascii("xz"));
}

TEST_F(Strings, TruncateNeverLengthensAndResetEmptiesToOneByte) {
    Cell s = make_text(ascii("abcdef"), 2);
    Rooted keep(s);
    string::truncate_at(string::buffer(s), 10);
    EXPECT_EQ(all_points(s), ascii("abcdef"));
    string::truncate_at(string::buffer(s), 3);
    EXPECT_EQ(all_points(s), ascii("abc"));
    s.data1 = 2;
    string::ks_reset(s);
    EXPECT_EQ(s.data1, 0u);
    EXPECT_EQ(unit_of(s), 1u);
    EXPECT_TRUE(all_points(s).empty());
}

TEST_F(Strings, AppendCString) {
    Cell s = make_text(ascii("x"), 1);
    Rooted keep(s);
    string::append_c_string(s, "");
    EXPECT_EQ(all_points(s), ascii("x"));
    string::append_c_string(s, "abc");
    EXPECT_EQ(all_points(s), ascii("xabc"));
    EXPECT_EQ(unit_of(s), 1u);
    string::append_c_string_part(s, "defgh", 2);
    string::append_c_string_part(s, "zzz", 0);
    EXPECT_EQ(all_points(s), ascii("xabcde"));
    // Each byte is one code point: a byte above 0x7F widens like any append.
    string::append_c_string(s, "\xE9");
    EXPECT_EQ(unit_of(s), 2u);
    EXPECT_EQ(all_points(s), (Points{'x', 'a', 'b', 'c', 'd', 'e', 0xE9}));
    // A two-byte string takes ASCII without changing its unit.
    string::append_c_string(s, "!");
    EXPECT_EQ(all_points(s).back(), uint32_t('!'));
}

TEST_F(Strings, MoveCharsInsertsInOrderAtTheTargetHeadAndRemovesFromTheSource) {
    Cell source = make_text(ascii("abcdef"), 1);
    Rooted keep_source(source);
    Cell target = make_text({'X', 0x3042, 'Y'}, 2);
    Rooted keep_target(target);
    source.data1 = 1;
    target.data1 = 1;
    string::move_chars(source, target, 3);  // three one-byte units: b c d
    EXPECT_EQ(all_points(source), ascii("aef"));
    EXPECT_EQ(all_points(target), (Points{'X', 'b', 'c', 'd', 0x3042, 'Y'}));
    EXPECT_EQ(target.data1, 1u);

    // A wider source widens the target once; a target head past its tail
    // receives the code points at the tail. A byte count beyond the source
    // moves what there is.
    Cell wide = make_text({'a', 0x1F600, 0x3042, 'z'}, 4);
    Rooted keep_wide(wide);
    Cell narrow = make_text(ascii("xy"), 1);
    Rooted keep_narrow(narrow);
    narrow.data1 = 5;
    string::move_chars(wide, narrow, 8);  // two four-byte units: a and U+1F600
    EXPECT_EQ(all_points(wide), (Points{0x3042, 'z'}));
    EXPECT_EQ(unit_of(narrow), 4u);
    EXPECT_EQ(all_points(narrow), (Points{'x', 'y', 'a', 0x1F600}));
    narrow.data1 = 0;
    string::move_chars(wide, narrow, 100);
    EXPECT_TRUE(all_points(wide).empty());
    EXPECT_EQ(all_points(narrow), (Points{0x3042, 'z', 'x', 'y', 'a', 0x1F600}));
}

TEST_F(Strings, AWrongUnitEndsTheProcessWithStatus101) {
    uint8_t bytes[4] = {};
    EXPECT_EXIT(string::get_char(bytes, 3), ::testing::ExitedWithCode(exit_status::NO_SWITCH_MATCHED), "");
}

}  // namespace
}  // namespace kel::test
