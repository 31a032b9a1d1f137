// integer!: arithmetic with its overflow-to-float rule, conversions, round,
// comparison and random, each row a result as the language shows it.
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct IntegerTest : NumbersTest {};

const int32_t MIN = INT32_MIN;
const int32_t MAX = INT32_MAX;

TEST_F(IntegerTest, ArithmeticOverflowsIntoFloatAndDividesExactlyOrToFloat) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {add(I(MAX), I(1)), "float! 2147483648.0"},
        {subtract(I(MIN), I(1)), "float! -2147483649.0"},
        {multiply(I(65536), I(65536)), "float! 4294967296.0"},
        {multiply(I(MIN), I(-1)), "float! 2147483648.0"},
        {add(I(MAX), I(MIN)), "integer! -1"},
        {divide(I(7), I(2)), "float! 3.5"},
        {divide(I(-7), I(2)), "float! -3.5"},
        {divide(I(6), I(3)), "integer! 2"},
        {divide(I(MIN), I(1)), "integer! -2147483648"},
        {divide(I(1), I(0)), "math/zero-divide"},
        {divide(I(MIN), I(-1)), "math/overflow"},
        {remainder(I(7), I(2)), "integer! 1"},
        {remainder(I(-7), I(2)), "integer! -1"},
        {remainder(I(7), I(-2)), "integer! 1"},
        {remainder(I(1), I(0)), "math/zero-divide"},
        {remainder(I(MIN), I(-1)), "math/overflow"},
        {negate(I(MIN)), "math/overflow"},
        {negate(I(MAX)), "integer! -2147483647"},
        {absolute(I(MIN)), "math/overflow"},
        {absolute(I(-5)), "integer! 5"},
        {power(I(2), I(10)), "integer! 1024"},
        {power(I(2), I(31)), "float! 2147483648.0"},
        {power(I(-2), I(31)), "integer! -2147483648"},
        {power(I(3), I(40)), "float! 1.2157665459056929e19"},
        {power(I(2), I(-1)), "float! 0.5"},
        {power(I(4), F(0.5)), "float! 2.0"},
        {power(I(2), P(0.5)), "script/expect-arg"},
        {add(I(1), F(1.5)), "float! 2.5"},
        {add(I(1), P(0.5)), "float! 1.5"},
        {add(I(1), T(1.5)), "time! 0:00:02.5"},
        {add(I(65), C(1)), "integer! 66"},
        {plain<ACTION_AND_T>(I(12), I(10)), "integer! 8"},
        {plain<ACTION_OR_T>(I(12), I(10)), "integer! 14"},
        {plain<ACTION_XOR_T>(I(12), I(10)), "integer! 6"},
        {add(I(1), text_cell("2")), "script/invalid-type"},
        {add(I(1), none_value), "script/invalid-type"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(IntegerTest, ComplementFlipsEveryBit) {
    Cell out;
    Cell v = I(0);
    actions::complement(&out, &v);
    EXPECT_EQ(describe(out), "integer! -1");
    v = I(MAX);
    actions::complement(&out, &v);
    EXPECT_EQ(describe(out), "integer! -2147483648");
}

TEST_F(IntegerTest, ConversionsFromEveryType) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {to_text(TYPE_INTEGER, "12"), "integer! 12"},
        {to_text(TYPE_INTEGER, "1'000"), "integer! 1000"},
        {to_text(TYPE_INTEGER, "-2147483648"), "integer! -2147483648"},
        {to_text(TYPE_INTEGER, "abc"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, ""), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "-"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "+"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "'"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "-2147483648x"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "-2'147'483'648"), "integer! -2147483648"},
        {to_text(TYPE_INTEGER, "2147483648"), "script/bad-to-arg"},
        {to_text(TYPE_INTEGER, "-21474836480"), "script/bad-to-arg"},
        {to(TYPE_INTEGER, text_cell("42", TYPE_FILE)), "integer! 42"},
        {to(TYPE_INTEGER, F(2.9)), "integer! 2"},
        {to(TYPE_INTEGER, F(-2.9)), "integer! -2"},
        {to(TYPE_INTEGER, F(3e10)), "script/type-limit"},
        {to(TYPE_INTEGER, F(-2147483648.0)), "integer! -2147483648"},
        {to(TYPE_INTEGER, F(2147483647.5)), "script/type-limit"},
        {to(TYPE_INTEGER, F(NaN)), "script/type-limit"},
        {to(TYPE_INTEGER, F(-INF)), "script/type-limit"},
        {to(TYPE_INTEGER, P(0.5)), "integer! 0"},
        {to(TYPE_INTEGER, P(3e10)), "script/type-limit"},
        {to(TYPE_INTEGER, C('A')), "integer! 65"},
        {to(TYPE_INTEGER, issue("FF")), "integer! 255"},
        {to(TYPE_INTEGER, issue("ff")), "integer! 255"},
        {to(TYPE_INTEGER, issue("FFFFFFFF")), "integer! -1"},
        {to(TYPE_INTEGER, issue("123456789")), "script/invalid-data"},
        {to(TYPE_INTEGER, issue("FG")), "script/invalid-data"},
        // A letter beyond ASCII is no digit, whatever its low bits spell.
        {to(TYPE_INTEGER, issue("\xC3\x81")), "script/invalid-data"},
        {to(TYPE_INTEGER, T(1.5)), "integer! 2"},
        {to(TYPE_INTEGER, T(-0.5)), "integer! 0"},
        {to(TYPE_INTEGER, T(1e10)), "script/type-limit"},
        {to(TYPE_INTEGER, T(NaN)), "script/type-limit"},
        {to(TYPE_INTEGER, T(2147483646.5)), "integer! 2147483647"},
        {to(TYPE_INTEGER, T(2147483647.0)), "script/type-limit"},
        {to(TYPE_INTEGER, I(7)), "integer! 7"},
        {to(TYPE_INTEGER, true_value), "script/bad-to-arg"},
        {to(TYPE_INTEGER, true_value, true), "integer! 1"},
        {to(TYPE_INTEGER, false_value, true), "integer! 0"},
        {to(TYPE_INTEGER, F(2.9), true), "integer! 2"},
        {to(TYPE_INTEGER, none_value), "script/bad-to-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(IntegerTest, BinaryReadsAtMostFourBytesBigEndian) {
    EXPECT_EQ(to(TYPE_INTEGER, binary({1, 2, 3, 4, 5})), "integer! 16909060");
    EXPECT_EQ(to(TYPE_INTEGER, binary({1, 2})), "integer! 258");
    EXPECT_EQ(to(TYPE_INTEGER, binary({0xFF, 0xFF, 0xFF, 0xFE})), "integer! -2");
    EXPECT_EQ(to(TYPE_INTEGER, binary({})), "integer! 0");
}

TEST_F(IntegerTest, FormAndMoldText) {
    EXPECT_EQ(form(I(MIN)), "-2147483648");
    EXPECT_EQ(form(I(0)), "0");
    EXPECT_EQ(form(I(-5)), "-5");
    EXPECT_EQ(describe(I(MAX)), "integer! 2147483647");
}

TEST_F(IntegerTest, RoundToMultiplesWithNegativesTiesAndTheMinimum) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {round_to(I(15), I(10)), "integer! 20"},
        {round_to(I(-15), I(10)), "integer! -20"},
        {round_to(I(14), I(-10)), "integer! 10"},
        {round_to(I(25), I(10), ROUND_EVEN), "integer! 20"},
        {round_to(I(35), I(10), ROUND_EVEN), "integer! 40"},
        {round_to(I(-25), I(10), ROUND_EVEN), "integer! -20"},
        {round_to(I(15), I(10), ROUND_HALF_DOWN), "integer! 10"},
        {round_to(I(-15), I(10), ROUND_HALF_DOWN), "integer! -10"},
        {round_to(I(-15), I(10), ROUND_HALF_CEILING), "integer! -10"},
        {round_to(I(15), I(10), ROUND_HALF_CEILING), "integer! 20"},
        {round_to(I(-11), I(10), ROUND_FLOOR), "integer! -20"},
        {round_to(I(-11), I(10), ROUND_CEILING), "integer! -10"},
        {round_to(I(11), I(10), ROUND_CEILING), "integer! 20"},
        {round_to(I(-19), I(10), ROUND_DOWN), "integer! -10"},
        {round_to(I(7), I(0)), "integer! 7"},
        {round(I(7)), "integer! 7"},
        {round_to(I(7), F(2.5)), "float! 7.5"},
        {round_to(I(7), P(0.5)), "percent! 700%"},
        {round_to(I(7), other(TYPE_MONEY)), "script/not-related"},
        {round_to(I(7), other(TYPE_PAIR)), "script/invalid-arg"},
        // The minimum rounds like every other value.
        {round_to(I(MIN), I(1000)), "math/overflow"},
        {round_to(I(MIN), I(1000), ROUND_DOWN), "integer! -2147483000"},
        {round_to(I(MIN), I(1000), ROUND_CEILING), "integer! -2147483000"},
        {round_to(I(MIN), I(1000), ROUND_FLOOR), "math/overflow"},
        {round_to(I(MIN), I(1)), "integer! -2147483648"},
        {round_to(I(MIN), I(MIN)), "integer! -2147483648"},
        {round_to(I(MIN), I(3)), "math/overflow"},
        {round_to(I(MIN), I(3), ROUND_DOWN), "integer! -2147483646"},
        {round_to(I(MAX), I(10)), "math/overflow"},
        {round_to(I(MAX), I(10), ROUND_HALF_DOWN), "math/overflow"},
        {round_to(I(MAX), I(10), ROUND_DOWN), "integer! 2147483640"},
        {round_to(I(MAX), I(MIN)), "math/overflow"},
        {round_to(I(MAX), I(MIN), ROUND_DOWN), "integer! 0"},
        {round_to(I(1), I(MIN)), "integer! 0"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(IntegerTest, ComparisonAcrossNumberTypes) {
    EXPECT_TRUE(actions::compare(I(1), F(1.0), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(I(1), F(1.0), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(I(1), F(1.0), COMP_FIND));
    EXPECT_FALSE(actions::compare(I(1), F(1.0), COMP_SAME));
    EXPECT_TRUE(actions::compare(I(1), I(1), COMP_SAME));
    EXPECT_TRUE(actions::compare(I(65), C('A'), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(I(-1), I(1), COMP_LESSER));
    EXPECT_TRUE(actions::compare(I(MIN), I(MAX), COMP_LESSER));
    EXPECT_TRUE(actions::compare(I(2), F(1.5), COMP_GREATER));
    EXPECT_TRUE(actions::compare(I(1), P(0.5), COMP_GREATER));
    EXPECT_FALSE(actions::compare(I(1), F(NaN), COMP_LESSER));
    EXPECT_FALSE(actions::compare(I(1), F(NaN), COMP_GREATER_EQUAL));
    EXPECT_FALSE(actions::compare(I(1), none_value, COMP_EQUAL));
    EXPECT_EQ(error_of([] { actions::compare(I(1), none_value, COMP_LESSER); }), id(ErrorId::script_invalid_compare));
}

TEST_F(IntegerTest, EvenAndOddAtTheExtremes) {
    EXPECT_TRUE(actions::even(I(MIN)));
    EXPECT_TRUE(actions::odd(I(MAX)));
    EXPECT_TRUE(actions::odd(I(-1)));
    EXPECT_TRUE(actions::even(I(0)));
}

std::string draw(int32_t n) {
    return outcome([&](Cell& result) {
        Cell v = I(n);
        actions::random(&result, &v, RandomOptions{});
    });
}

TEST_F(IntegerTest, RandomRangesAndRejectionOfTheIncompleteLastBlock) {
    ScriptedDraws draws{0, 5, 2147483647};
    EXPECT_EQ(draw(1), "integer! 1");
    EXPECT_EQ(draw(0), "integer! 0");
    EXPECT_EQ(draw(-3), "integer! -3");  // draw 5: 5 mod 3 = 2, third value
    // 2147483647 lies in the incomplete block above the last multiple of 3:
    // drawn again (0).
    EXPECT_EQ(draw(-3), "integer! -1");
    draws.replay({2147483647, 3});
    EXPECT_EQ(draw(MIN), "integer! -2147483648");  // every draw is kept for 2^31 values
    draws.replay({2147483647, 3});
    EXPECT_EQ(draw(MAX), "integer! 4");  // 2147483647 is drawn again
    Cell v = I(42), out;
    actions::random(&out, &v, RandomOptions{.seed = true});
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    EXPECT_EQ(ScriptedDraws::seeded, 42);
}

}  // namespace
}  // namespace kel
