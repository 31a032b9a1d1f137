// One comparison of text for every op: case folding, lengths, prefix mode,
// symbols read by their spelling, and which pairs of types are comparable.
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

TEST_F(StringActions, CompareStringsTable) {
    struct Row {
        std::u32string a, b;
        int32_t op;
        bool prefix;
        int32_t expected;
    };
    const Row rows[] = {
        {U"abc", U"ABC", COMP_EQUAL, false, 0},
        {U"abc", U"ABC", COMP_STRICT_EQUAL, false, 1},
        {U"abc", U"abd", COMP_LESSER, false, -1},
        {U"abd", U"abc", COMP_LESSER, false, 1},
        {U"abc", U"abcd", COMP_LESSER, false, -1},
        {U"abd", U"abcd", COMP_SORT, false, 1},  // the first difference decides before the lengths
        {U"abc", U"abcd", COMP_EQUAL, false, 1},
        {U"", U"a", COMP_LESSER, false, -1},
        {U"a", U"", COMP_LESSER, false, 1},
        {U"", U"", COMP_EQUAL, false, 0},
        {U"_", U"a", COMP_SORT, false, 1},  // folded to upper case: 0x5F after 0x41
        {U"_", U"a", COMP_CASE_SORT, false, -1},  // exact: 0x5F before 0x61
        {U"stra\u00DFe", U"STRASSE", COMP_EQUAL, false, 1},
        {U"\u00E9t\u00E9", U"\u00C9T\u00C9", COMP_EQUAL, false, 0},
        {U"\U0001E922", U"\U0001E900", COMP_EQUAL, false, 0},
        // Prefix mode: does the first begin with the second?
        {U"abcdef", U"ABC", COMP_EQUAL, true, 0},
        {U"abcdef", U"ABC", COMP_STRICT_EQUAL, true, 1},
        {U"abcdef", U"", COMP_EQUAL, true, 0},
        {U"abcdef", U"", COMP_FIND, true, 1},
        {U"abc", U"abcd", COMP_EQUAL, true, 1},
        {U"abc", U"abd", COMP_EQUAL, true, -1},
    };
    for (const Row& r : rows) {
        for (uint32_t unit : {0u, 4u}) {
            Cell& a = text(r.a, unit);
            Cell& b = text(r.b);
            EXPECT_EQ(string::compare_strings(a, b, r.op, r.prefix), r.expected)
                << "op " << r.op << (r.prefix ? " prefix" : "") << " unit " << unit << " row " << (&r - rows);
        }
    }
}

TEST_F(StringActions, SameSeriesAndIdentity) {
    Cell& s = text(U"abc");
    Cell& t = text(U"abc");
    EXPECT_EQ(string::compare_strings(s, s, COMP_SAME, false), 0);
    EXPECT_EQ(string::compare_strings(s, t, COMP_SAME, false), -1) << "equal text, another series";
    EXPECT_EQ(string::compare_strings(s, at(s, 1), COMP_SAME, false), -1);
    EXPECT_EQ(string::compare_strings(at(s, 1), at(s, 1), COMP_STRICT_EQUAL, false), 0);
}

TEST_F(StringActions, SymbolsAreReadByTheirSpelling) {
    Cell sym = *symbol::get(symbol::make("Print"));
    Cell& s = text(U"print");
    EXPECT_EQ(string::compare_strings(sym, s, COMP_EQUAL, false), 0);
    EXPECT_EQ(string::compare_strings(s, sym, COMP_STRICT_EQUAL, false), 1);
    EXPECT_EQ(string::compare_strings(s, sym, COMP_CASE_SORT, false), 1) << "exact order: p after P";
    Cell other = *symbol::get(symbol::make("PRINT"));
    EXPECT_EQ(symbol::compare(sym, other, COMP_EQUAL), 0) << "symbol! compare is the same routine";
    EXPECT_EQ(symbol::compare(sym, other, COMP_STRICT_EQUAL), 1);
    EXPECT_EQ(symbol::compare(sym, s, COMP_EQUAL), COMP_NOT_COMPARABLE);
}

TEST_F(StringActions, CompareActionDecidesWhichTypesAreComparable) {
    Cell& s = text(U"abc");
    Cell& file = text(U"abc", 0, TYPE_FILE);
    Cell& fileabd = text(U"abd", 0, TYPE_FILE);
    EXPECT_EQ(string::compare(s, file, COMP_EQUAL), 0);
    EXPECT_EQ(string::compare(s, file, COMP_NOT_EQUAL), 0);
    EXPECT_EQ(string::compare(s, fileabd, COMP_LESSER), COMP_NOT_COMPARABLE);
    EXPECT_EQ(string::compare(s, file, COMP_STRICT_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(string::compare(s, integer(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_TRUE(actions::compare(s, file, COMP_EQUAL)) << "through the registered slot";
    EXPECT_EQ(error_of([&] { actions::compare(s, fileabd, COMP_LESSER); }), id(ErrorId::script_invalid_compare));
}

TEST_F(StringActions, MatchValueFollowsTheOpTable) {
    Cell& s = text(U"Hello");
    Cell& empty = text(U"");
    Cell& hel = text(U"hel");
    EXPECT_TRUE(string::match_value(s, hel, COMP_EQUAL));
    EXPECT_FALSE(string::match_value(s, hel, COMP_STRICT_EQUAL));
    EXPECT_TRUE(string::match_value(s, empty, COMP_EQUAL));
    EXPECT_FALSE(string::match_value(s, empty, COMP_FIND)) << "an empty pattern does not match under op 12";
    Cell& tagged = text(U"<b>x");
    Cell& tag = text(U"B", 0, TYPE_TAG);
    EXPECT_TRUE(string::match_value(tagged, tag, COMP_EQUAL));
    EXPECT_FALSE(string::match_value(tagged, tag, COMP_STRICT_EQUAL));
}

}  // namespace
}  // namespace kel::test
