// string! set operations and the case change of the uppercase and lowercase
// natives.
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

TEST_F(StringActions, SetOperationTable) {
    Cell& two = hold(integer(2));
    struct Row {
        int32_t op;
        std::u32string a, b;
        bool case_sensitive;
        bool skip2;
        std::u32string out;
    };
    const Row rows[] = {
        {8, U"abcab", U"", false, false, U"abc"},
        {8, U"aAb", U"", false, false, U"ab"},
        {8, U"aAb", U"", true, false, U"aAb"},
        {9, U"abc", U"bcd", false, false, U"abcd"},
        {9, U"abc", U"BCD", false, false, U"abcD"},
        {9, U"abc", U"BCD", true, false, U"abcBCD"},
        {10, U"abc", U"bcd", false, false, U"bc"},
        {10, U"abc", U"BCD", false, false, U"bc"},
        {10, U"abc", U"BCD", true, false, U""},
        {11, U"abc", U"bcd", false, false, U"a"},
        {12, U"abc", U"bcd", false, false, U"ad"},
        {12, U"abC", U"cd", true, false, U"abCcd"},
        {8, U"a1a2b3", U"", false, true, U"a1b3"},
        {10, U"a1b2c3", U"b9x0", false, true, U"b2"},
        {11, U"a1b2c3", U"b1", false, true, U"a1c3"},
        {11, U"a1b2c3", U"1b", false, true, U"a1b2c3"},  // the keys of the second are its units 0, 2 ...
        {8, U"\u00E9\u00C9", U"", false, false, U"\u00E9"},
        {9, U"", U"", false, false, U""},
    };
    for (const Row& r : rows) {
        Cell& out = hold(make_unset());
        string::set_operation(&out, text(r.a), text(r.b), r.case_sensitive, r.skip2 ? &two : nullptr, r.op);
        EXPECT_EQ(read(out), r.out) << "row " << (&r - rows);
    }
    Cell& zero = hold(integer(0));
    Cell& out = hold(make_unset());
    EXPECT_EQ(error_of([&] { string::set_operation(&out, text(U"ab"), text(U""), false, &zero, 8); }),
              id(ErrorId::script_invalid_refine_arg));
}

TEST_F(StringActions, ChangeCaseTable) {
    struct Row {
        std::u32string in;
        bool upper;
        std::u32string out;
        uint32_t unit;
    };
    const Row rows[] = {
        {U"stra\u00DFe", true, U"STRASE", 1},
        {U"\u0130", false, U"i", 2},
        {U"\u0131", true, U"I", 2},
        {U"\U0001E922", true, U"\U0001E900", 4},
        {U"\U0001E900", false, U"\U0001E922", 4},
        {U"\U0001E944", true, U"\U0001E944", 4},
        {U"a\u00FFb", true, U"A\u0178B", 2},  // a one-byte string widens for U+0178
        {U"\u00B5", true, U"\u039C", 2},
    };
    for (const Row& r : rows) {
        Cell& s = text(r.in);
        string::change_case(&s, nullptr, r.upper);
        EXPECT_EQ(whole(s), r.out) << "row " << (&r - rows);
        EXPECT_EQ(unit_of(s), r.unit) << "row " << (&r - rows);
    }
    Cell c = ch(0x1E922);
    string::change_case(&c, nullptr, true);
    EXPECT_EQ(c.data2, 0x1E900u);
}

TEST_F(StringActions, ChangeCasePart) {
    Cell& s = text(U"abcdef");
    Cell& from = hold(at(s, 4));
    Cell big = integer(99);
    string::change_case(&from, &big, true);
    EXPECT_EQ(whole(s), U"abcdEF") << "a part beyond the text changes what is left";
    Cell two = integer(2);
    string::change_case(&s, &two, true);
    EXPECT_EQ(whole(s), U"ABcdEF");
    Cell& end = hold(at(s, 3));
    string::change_case(&s, &end, false);
    EXPECT_EQ(whole(s), U"abcdEF") << "a part given as a position";
    Cell minus = integer(-3);
    string::change_case(&s, &minus, true);
    EXPECT_EQ(whole(s), U"abcdEF") << "a negative part changes nothing";
    Cell& other = text(U"xyz");
    EXPECT_EQ(error_of([&] { string::change_case(&s, &other, true); }), id(ErrorId::script_invalid_refine_arg));
    Cell& past = hold(at(s, 9));
    string::change_case(&past, nullptr, true);
    EXPECT_EQ(past.data1, 6u) << "a head past the tail is set to the tail";
}

}  // namespace
}  // namespace kel::test
