// char!: conversions with their range checks, the escaped mold, comparison
// without case folding and arithmetic that must stay a code point.
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/char-escape.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct CharTest : NumbersTest {};

TEST_F(CharTest, MakeChecksTheCodePointRange) {
    Cell abc = text_cell("abc");
    Rooted keep(abc);
    Cell second = abc, tail = abc;
    second.data1 = 1;
    tail.data1 = 3;
    struct Row {
        std::string got, want;
    } rows[] = {
        {to(TYPE_CHAR, I(65)), "char! #\"A\""},
        {to(TYPE_CHAR, I(-1)), "script/out-of-range"},
        {to(TYPE_CHAR, I(0x110000)), "script/out-of-range"},
        {to(TYPE_CHAR, I(0x10FFFF), true), "char! #\"\U0010FFFF\""},
        {to(TYPE_CHAR, C(0x41)), "char! #\"A\""},
        {to(TYPE_CHAR, second), "char! #\"b\""},
        {to(TYPE_CHAR, tail), "script/bad-to-arg"},
        {to(TYPE_CHAR, text_cell("")), "script/bad-to-arg"},
        {to(TYPE_CHAR, binary({0xC3, 0xA9})), "char! #\"\u00E9\""},
        {to(TYPE_CHAR, binary({0x41, 0x42})), "char! #\"A\""},
        {to(TYPE_CHAR, binary({0xC3})), "access/invalid-utf8"},
        {to(TYPE_CHAR, binary({0xFF})), "access/invalid-utf8"},
        {to(TYPE_CHAR, binary({0xED, 0xA0, 0x80})), "access/invalid-utf8"},  // a surrogate
        {to(TYPE_CHAR, binary({})), "script/bad-to-arg"},
        // Floats are truncated toward zero, and must fit 32 bits first.
        {to(TYPE_CHAR, F(65.9)), "char! #\"A\""},
        {to(TYPE_CHAR, F(-0.9)), "char! #\"^@\""},
        {to(TYPE_CHAR, F(NaN)), "script/out-of-range"},
        {to(TYPE_CHAR, F(4294967361.0)), "script/out-of-range"},  // 2^32 + 65
        {to(TYPE_CHAR, P(1.5)), "char! #\"^A\""},  // the double 1.5, not 150
        {to(TYPE_CHAR, none_value), "script/bad-to-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

// Code points and their escapes, with and without /all.
TEST_F(CharTest, MoldWritesTheEscapeBetweenHashQuoteAndQuote) {
    struct Row {
        uint32_t cp;
        bool all;
        const char* want;
    } rows[] = {
        {'A', false, "#\"A\""},
        {0x0A, false, "#\"^/\""},
        {0x09, false, "#\"^-\""},
        {0x00, false, "#\"^@\""},
        {0x1B, false, "#\"^[\""},
        {0x1C, false, "#\"^\\\""},
        {0x1D, false, "#\"^]\""},
        {0x1E, false, "#\"^(1E)\""},
        {0x1F, false, "#\"^_\""},
        {'"', false, "#\"^\"\""},
        {'^', false, "#\"^^\""},
        {0x7F, false, "#\"^~\""},
        {0x85, false, "#\"^(85)\""},
        {0x9F, true, "#\"^(9F)\""},
        {0xA0, false, "#\"\u00A0\""},
        {0xE9, false, "#\"\u00E9\""},
        {0xE9, true, "#\"^(E9)\""},
        {0x3A9, true, "#\"^(3A9)\""},
        {0x10FFFF, true, "#\"^(10FFFF)\""},
        {'{', true, "#\"{\""},
        {' ', true, "#\" \""},
        {0xD800, false, "#\"^(D800)\""},
        {0xDFFF, false, "#\"^(DFFF)\""},
        {0xE000, false, "#\"\uE000\""},
    };
    for (const Row& r : rows) {
        Cell out = new_string();
        Rooted keep(out);
        MoldOptions options;
        options.all = r.all;
        options.limit = 100;
        // The limit drops by 4 whatever the length of the escape.
        EXPECT_EQ(actions::mold(C(r.cp), out, options), 96);
        EXPECT_EQ(utf8_of(out), r.want) << r.cp;
    }
    EXPECT_EQ(form(C('x')), "x");
}

// Control characters without an entry of their own are the caret and the
// letter 0x40 above them.
TEST_F(CharTest, ControlCharactersEscapeAsCaretLetters) {
    for (uint32_t cp = 1; cp <= 0x1A; ++cp) {
        if (cp == 0x09 || cp == 0x0A) continue;
        Cell out = new_string();
        Rooted keep(out);
        char_escape::mold_char(out, cp, false);
        EXPECT_EQ(text_of(out), std::string("^") + char(0x40 + cp)) << cp;
    }
}

TEST_F(CharTest, ArithmeticStaysACodePoint) {
    const int32_t MAX = INT32_MAX;
    struct Row {
        std::string got, want;
    } rows[] = {
        {add(C('a'), I(1)), "char! #\"b\""},
        {add(C('a'), C(1)), "char! #\"b\""},
        {subtract(C('a'), I(98)), "math/overflow"},
        {add(C(0x10FFFF), I(1)), "math/overflow"},
        {add(C('a'), I(MAX)), "math/overflow"},  // the 32-bit sum overflows
        {multiply(C('a'), I(2)), "char! #\"\u00C2\""},
        {divide(C(100), I(3)), "char! #\"!\""},  // 33: a division truncates
        {divide(C(100), I(0)), "math/zero-divide"},
        {remainder(C('a'), I(10)), "char! #\"^G\""},
        {remainder(C('a'), I(0)), "math/zero-divide"},
        // A float operand is truncated toward zero once it is known to fit.
        {add(C('a'), F(1.9)), "char! #\"b\""},
        {add(C('a'), F(-0.5)), "char! #\"a\""},
        {add(C('a'), F(NaN)), "math/overflow"},
        {add(C('a'), F(INF)), "math/overflow"},
        {add(C('a'), F(4294967297.0)), "math/overflow"},  // 2^32 + 1 never wraps to 1
        {add(C('a'), F(-2147483649.0)), "math/overflow"},
        {multiply(C(0), F(3e9)), "math/overflow"},  // never 0 x (the cast's -2147483648)
        {divide(C('a'), F(NaN)), "math/overflow"},
        {add(C('a'), P(0.5)), "script/invalid-type"},
        {add(C('a'), text_cell("x")), "script/invalid-type"},
        {plain<ACTION_AND_T>(C('a'), I(0xDF)), "char! #\"A\""},
        {plain<ACTION_OR_T>(C('A'), I(0x20)), "char! #\"a\""},
        {plain<ACTION_XOR_T>(C('a'), C(0x20)), "char! #\"A\""},
        {add(I(65), C(1)), "integer! 66"},
        // integer!'s slots keep the type.
        {absolute(C('a')), "char! #\"a\""},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    EXPECT_TRUE(actions::even(C('b')));
    EXPECT_TRUE(actions::odd(C('a')));
}

TEST_F(CharTest, RandomDrawsACodePointUpToTheValue) {
    ScriptedDraws draws{0};
    Cell v = C('d'), out;
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(type_of(out), TYPE_CHAR);
    EXPECT_GE(char_::get(out), 1u);
    EXPECT_LE(char_::get(out), uint32_t('d'));
}

TEST_F(CharTest, ComparisonIgnoresNoCaseAndMeetsIntegersOnlyUnderEquality) {
    EXPECT_FALSE(actions::compare(C('a'), C('A'), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(C('a'), C('A'), COMP_NOT_EQUAL));
    EXPECT_TRUE(actions::compare(C('A'), I(65), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(C('A'), I(65), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(C('A'), I(65), COMP_FIND));
    EXPECT_TRUE(actions::compare(C('A'), C('A'), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(C('a'), C('b'), COMP_LESSER));
    EXPECT_TRUE(actions::compare(C(0x10FFFF), I(-1), COMP_GREATER));
    EXPECT_EQ(actions::compare_values(C('a'), F(97), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(error_of([] { actions::compare(C('a'), text_cell("a"), COMP_LESSER); }),
              id(ErrorId::script_invalid_compare));
}

}  // namespace
}  // namespace kel
