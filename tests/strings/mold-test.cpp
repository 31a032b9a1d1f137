// string! mold: the choice of delimiters, the caret escapes, braces balanced
// or escaped, the /all and /part options; char! mold through the same escape.
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

struct StringMold : StringActions {
    std::u32string mold(const Cell& value, MoldOptions o = {}) {
        Cell& out = text(U"");
        string::mold(value, out, o);
        return read(out);
    }
};

TEST_F(StringMold, Table) {
    struct Row {
        std::u32string in;
        bool all;
        std::u32string out;
    };
    const std::u32string a49(49, U'a'), a50(50, U'a');
    const Row rows[] = {
        {U"", false, U"\"\""},
        {U"abc", false, U"\"abc\""},
        {a49, false, U"\"" + a49 + U"\""},
        {a50, false, U"{" + a50 + U"}"},
        {U"a\nb\nc", false, U"\"a^/b^/c\""},
        {U"a\nb\nc\n", false, U"{a^/b^/c^/}"},
        {U"say \"hi\"", false, U"{say \"hi\"}"},
        {U"a{b", false, U"\"a{b\""},
        {U"a{b\"", false, U"{a^{b\"}"},
        {U"}\"", false, U"{^}\"}"},
        {U"{a}{\"", false, U"{{a}^{\"}"},
        {U"{{}\"", false, U"{^{^{^}\"}"},  // the first has no partner: every later { is escaped
        {U"{}{", false, U"\"{}{\""},
        {U"\x1E", false, U"\"^(1E)\""},
        {U"\x1E", true, U"\"^(1E)\""},
        {U"\x7F", false, U"\"^~\""},
        {U"\x85", false, U"\"^(85)\""},
        {U"\x85", true, U"\"^(85)\""},
        {U"\x7F", true, U"\"^~\""},
        {U"\u00E9", false, U"\"\u00E9\""},
        {U"\u00E9", true, U"\"^(E9)\""},
        {U"\u03A9", true, U"\"^(3A9)\""},
        // Surrogates are escaped in every mode: their UTF-8 loads nowhere.
        {U"a\xD800"
         U"b",
         false, U"\"a^(D800)b\""},
        {U"\xDFFF", true, U"\"^(DFFF)\""},
        {U"\xD7FF\xE000", false, U"\"\uD7FF\uE000\""},
        {std::u32string(U"\t^\0\x1B\x1C\x1D\x1F", 7), false, U"\"^-^^^@^[^\\^]^_\""},
        {U"\"^", false, U"{\"^^}"},
    };
    for (const Row& r : rows) {
        MoldOptions o;
        o.all = r.all;
        EXPECT_EQ(mold(text(r.in), o), r.out) << "row " << (&r - rows);
    }
}

TEST_F(StringMold, PartBudgetBoundsTheExtent) {
    Cell& s = text(U"abcdef");
    MoldOptions o;
    o.part = true;
    o.limit = 3;
    Cell& out = text(U"");
    EXPECT_EQ(string::mold(s, out, o), 3 - 3 - 2);
    EXPECT_EQ(read(out), U"\"abc\"");
    o.limit = -4;
    Cell& none = text(U"");
    string::mold(s, none, o);
    EXPECT_EQ(read(none), U"\"\"") << "a negative budget examines no code point";
    o.limit = 0;
    Cell& all = text(U"");
    string::mold(s, all, o);
    EXPECT_EQ(read(all), U"\"abcdef\"") << "a budget of 0 does not limit";
    // The delimiters follow the whole value's length, whatever the extent.
    Cell& long_text = text(std::u32string(60, U'x'));
    o.limit = 2;
    Cell& cut = text(U"");
    string::mold(long_text, cut, o);
    EXPECT_EQ(read(cut), U"{xx}");
}

TEST_F(StringMold, CharMoldUsesTheSameEscapes) {
    struct Row {
        uint32_t cp;
        bool all;
        std::u32string out;
    };
    const Row rows[] = {
        {'a', false, U"a"},           {'\n', false, U"^/"},    {'"', false, U"^\""},        {0x1E, false, U"^(1E)"},
        {0x7F, false, U"^~"},         {0x85, false, U"^(85)"}, {0xE9, false, U"\u00E9"},    {0xE9, true, U"^(E9)"},
        {0x10000, true, U"^(10000)"}, {'^', false, U"^^"},     {0xD800, false, U"^(D800)"}, {0xDC00, false, U"^(DC00)"},
    };
    for (const Row& r : rows) {
        Cell& out = text(U"");
        string::mold_char(out, r.cp, r.all);
        EXPECT_EQ(read(out), r.out) << std::hex << r.cp;
    }
}

TEST_F(StringMold, MoldIntoItselfReadsTheTextFirst) {
    Cell& s = text(U"a\"b");
    string::mold(s, s, {});
    EXPECT_EQ(read(s), U"a\"b{a\"b}");
}

}  // namespace
}  // namespace kel::test
