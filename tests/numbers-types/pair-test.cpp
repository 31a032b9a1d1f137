// pair!: component arithmetic with its escalation into point2D!, checked
// float operands and specs, conversions, text, comparison, paths and pick.
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct PairTest : NumbersTest {};

const int32_t MIN = INT32_MIN;
const int32_t MAX = INT32_MAX;

Cell PR(int32_t x, int32_t y) { return pair::make_cell(x, y); }

TEST_F(PairTest, ComponentArithmeticAndItsEscalation) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {add(PR(10, 20), PR(1, 2)), "pair! 11x22"},
        {multiply(PR(10, 20), I(2)), "pair! 20x40"},
        {divide(PR(10, 20), I(2)), "pair! 5x10"},
        {subtract(PR(10, 20), PR(11, 0)), "pair! -1x20"},
        {remainder(PR(10, 20), I(3)), "pair! 1x2"},
        {remainder(PR(-7, 7), I(2)), "pair! -1x1"},
        {plain<ACTION_AND_T>(PR(12, 10), I(10)), "pair! 8x10"},
        {plain<ACTION_OR_T>(PR(12, 10), PR(1, 1)), "pair! 13x11"},
        {plain<ACTION_XOR_T>(PR(12, 10), I(10)), "pair! 6x0"},
        // A division that leaves a remainder, or any overflow, makes the
        // whole operation point2D! math on the unchanged operands.
        {divide(PR(10, 20), I(3)), "point2D! (3.333333, 6.666667)"},
        {divide(PR(10, 20), PR(5, 3)), "point2D! (2, 6.666667)"},
        {add(PR(MAX, 1), PR(1, 1)), "point2D! (2.147484e9, 2)"},
        {subtract(PR(0, MIN), I(1)), "point2D! (-1, -2.147484e9)"},
        {multiply(PR(65536, 1), I(65536)), "point2D! (4.294967e9, 65536)"},
        {divide(PR(MIN, 4), I(-1)), "point2D! (2.147484e9, -4)"},
        {divide(PR(10, 20), I(0)), "math/zero-divide"},
        {remainder(PR(10, 20), PR(3, 0)), "math/zero-divide"},
        {remainder(PR(MIN, 0), I(-1)), "math/overflow"},
        // Float operands: products and quotients are points; the other
        // operations truncate a float that is finite and fits 32 bits.
        {add(PR(10, 20), F(1.5)), "pair! 11x21"},
        {add(PR(10, 20), F(-1.5)), "pair! 9x19"},
        {multiply(PR(10, 20), F(1.5)), "point2D! (15, 30)"},
        {multiply(PR(10, 20), P(0.5)), "point2D! (5, 10)"},
        {divide(PR(10, 20), F(4.0)), "point2D! (2.5, 5)"},
        {divide(PR(10, 20), F(INF)), "point2D! (0, 0)"},
        {add(PR(MAX, 0), F(1.5)), "point2D! (2.147484e9, 1)"},
        {add(PR(10, 20), F(NaN)), "script/invalid-arg"},
        {add(PR(10, 20), F(INF)), "script/invalid-arg"},
        {add(PR(10, 20), F(1e10)), "script/invalid-arg"},
        {subtract(PR(10, 20), F(-2147483649.0)), "script/invalid-arg"},
        {remainder(PR(10, 20), F(4294967299.0)), "script/invalid-arg"},  // 2^32 + 3 never acts as 3
        {multiply(PR(10, 20), F(NaN)), "script/invalid-arg"},
        {multiply(PR(10, 20), F(-INF)), "script/invalid-arg"},
        {divide(PR(10, 20), F(NaN)), "script/invalid-arg"},
        {add(PR(10, 20), point::make2(1, 2.5f)), "point2D! (11, 22.5)"},
        {add(PR(10, 20), T(1)), "script/invalid-type"},
        {add(PR(10, 20), C('a')), "script/invalid-type"},
        {add(PR(10, 20), text_cell("1")), "script/invalid-type"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

// integer! and float! hand their operations with a pair to it, the number
// staying the left operand.
TEST_F(PairTest, NumbersOnTheLeft) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {multiply(I(3), PR(2, 3)), "pair! 6x9"},
        {add(I(1), PR(2, 3)), "pair! 3x4"},
        {subtract(I(10), PR(3, 4)), "pair! 7x6"},
        // n - x and n - y directly: -1 - (-2147483648) fits, while negating
        // the pair first would overflow.
        {subtract(I(-1), PR(MIN, 0)), "pair! 2147483647x-1"},
        {subtract(I(0), PR(MIN, 0)), "point2D! (2.147484e9, 0)"},
        {subtract(I(MIN), PR(1, 0)), "point2D! (-2.147484e9, -2.147484e9)"},
        {remainder(I(10), PR(3, 4)), "pair! 1x2"},
        {divide(I(10), PR(2, 3)), "script/not-related"},
        {multiply(F(2.0), PR(3, 4)), "point2D! (6, 8)"},
        {add(F(1.5), PR(3, 4)), "pair! 4x5"},
        {subtract(F(2.0), PR(3, 4)), "script/not-related"},
        {add(F(NaN), PR(3, 4)), "script/invalid-arg"},
        {add(T(1), PR(3, 4)), "script/invalid-type"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(PairTest, NegateAbsoluteReverse) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {negate(PR(1, -2)), "pair! -1x2"},     {negate(PR(MIN, 0)), "math/overflow"},
        {negate(PR(0, MIN)), "math/overflow"}, {negate(PR(MAX, -MAX)), "pair! -2147483647x2147483647"},
        {absolute(PR(-3, 4)), "pair! 3x4"},    {absolute(PR(0, MIN)), "math/overflow"},
        {reverse(PR(1, 2)), "pair! 2x1"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(PairTest, MakeChecksEveryFloat) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {to(TYPE_PAIR, block_of({I(1), I(2), I(3)}), true), "pair! 1x2"},
        {to(TYPE_PAIR, block_of({F(1.9), F(-2.9)}), true), "pair! 1x-2"},
        {to(TYPE_PAIR, block_of({I(1)}), true), "syntax/malconstruct"},
        {to(TYPE_PAIR, block_of({I(1), C('a')}), true), "syntax/malconstruct"},
        {to(TYPE_PAIR, block_of({I(1), F(NaN)}), true), "script/invalid-arg"},
        {to(TYPE_PAIR, block_of({F(3e9), I(1)}), true), "script/invalid-arg"},
        {to(TYPE_PAIR, F(3.9), true), "pair! 3x3"},
        {to(TYPE_PAIR, F(-3.9), true), "pair! -3x-3"},
        {to(TYPE_PAIR, F(NaN)), "script/invalid-arg"},
        {to(TYPE_PAIR, F(-INF)), "script/invalid-arg"},
        {to(TYPE_PAIR, F(2147483648.0)), "script/invalid-arg"},
        {to(TYPE_PAIR, F(-2147483648.5)), "script/invalid-arg"},
        {to(TYPE_PAIR, F(-2147483648.0)), "pair! -2147483648x-2147483648"},
        {to(TYPE_PAIR, I(7)), "pair! 7x7"},
        {to(TYPE_PAIR, PR(MIN, MAX)), "pair! -2147483648x2147483647"},
        {to(TYPE_PAIR, point::make2(1.5f, -2.5f)), "pair! 1x-2"},
        {to(TYPE_PAIR, point::make2(NaN, 1)), "script/invalid-arg"},
        {to(TYPE_PAIR, point::make2(1, float(INF))), "script/invalid-arg"},
        {to(TYPE_PAIR, point::make2(3e9f, 0)), "script/invalid-arg"},
        {to(TYPE_PAIR, point::make3(1, 2, 3)), "script/bad-to-arg"},
        {to(TYPE_PAIR, P(0.5)), "script/bad-to-arg"},
        {to(TYPE_PAIR, none_value), "script/bad-to-arg"},
        {to_text(TYPE_PAIR, "1x2"), "pair! 1x2"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    ScriptedLoader loader;
    ScriptedLoader::loaded = PR(1, 2);
    EXPECT_EQ(to_text(TYPE_PAIR, "1x2"), "pair! 1x2");
    ScriptedLoader::loaded = I(1);
    EXPECT_EQ(to_text(TYPE_PAIR, "1"), "script/bad-to-arg");
}

// The error names the float that does not fit, not the block around it.
TEST_F(PairTest, TheInvalidArgumentIsTheFloat) {
    Cell arg;
    int e = error_of(
        [] {
            Frame frame{datatype::make(TYPE_PAIR), block_of({I(1), F(NaN)})};
            actions::make(&frame[0], &frame[0], &frame[1]);
        },
        &arg);
    EXPECT_EQ(e, id(ErrorId::script_invalid_arg));
    EXPECT_EQ(describe(arg), "float! 1.#NaN");
}

TEST_F(PairTest, TextAndComparison) {
    EXPECT_EQ(form(PR(-1, -2)), "-1x-2");
    EXPECT_EQ(describe(PR(MIN, MAX)), "pair! -2147483648x2147483647");
    EXPECT_TRUE(actions::compare(PR(1, 2), PR(1, 3), COMP_LESSER));
    EXPECT_TRUE(actions::compare(PR(1, 2), PR(2, 0), COMP_LESSER));
    EXPECT_TRUE(actions::compare(PR(1, 2), PR(1, 2), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(PR(1, 2), PR(1, 2), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(PR(MIN, 0), PR(MAX, 0), COMP_LESSER));  // no wrap-around
    EXPECT_TRUE(actions::compare(PR(1, 2), point::make2(1, 2), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(PR(1, 2), point::make2(1, 2.5f), COMP_LESSER));
    EXPECT_EQ(actions::compare_values(PR(1, 2), I(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(error_of([] { actions::compare(PR(1, 2), text_cell("a"), COMP_LESSER); }),
              id(ErrorId::script_invalid_compare));
}

TEST_F(PairTest, ComponentsByPathAndPick) {
    Cell p = PR(1, 2);
    struct Row {
        std::string got, want;
    } rows[] = {
        {get_path(p, W("x")), "integer! 1"},
        {get_path(p, W("Y")), "integer! 2"},
        {get_path(p, I(2)), "integer! 2"},
        {get_path(p, W("z")), "script/invalid-path"},
        {get_path(p, I(3)), "script/invalid-path"},
        {get_path(p, F(1)), "script/invalid-path"},
        {pick(p, W("y")), "integer! 2"},
        {pick(p, I(1)), "integer! 1"},
        {pick(p, I(3)), "script/out-of-range"},
        {pick(p, W("z")), "script/cannot-use"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    EXPECT_EQ(set_path(p, W("x"), I(5)), "integer! 5");
    EXPECT_EQ(describe(p), "pair! 5x2");
    EXPECT_EQ(set_path(p, I(2), I(MIN)), "integer! -2147483648");
    EXPECT_EQ(describe(p), "pair! 5x-2147483648");
    EXPECT_EQ(set_path(p, W("x"), F(1.5)), "script/invalid-type");
    EXPECT_EQ(describe(p), "pair! 5x-2147483648");
}

TEST_F(PairTest, RoundEachComponent) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {round_to(PR(12, 17), I(5)), "pair! 10x15"},
        {round_to(PR(12, 17), PR(5, 10)), "pair! 10x20"},
        {round_to(PR(-12, 17), I(5), ROUND_FLOOR), "pair! -15x15"},
        {round(PR(3, -3)), "pair! 3x-3"},
        {round_to(PR(MIN, 0), I(1000)), "math/overflow"},
        {round_to(PR(MIN, 0), I(1000), ROUND_DOWN), "pair! -2147483000x0"},
        {round_to(PR(MIN, 0), I(1)), "pair! -2147483648x0"},
        {round_to(PR(10, 26), F(2.5)), "pair! 10x25"},
        {round_to(PR(MAX, 0), F(10.0)), "math/overflow"},
        {round_to(PR(3, 7), other(TYPE_MONEY)), "script/not-related"},
        {round_to(PR(3, 7), point::make2(1, 1)), "script/invalid-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(PairTest, RandomDrawsNonZeroComponentsAndSeedsWithXorOfThem) {
    ScriptedDraws draws{4};
    Cell v = PR(0, 10), out;
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(pair::x_of(out), 0);
    EXPECT_GE(pair::y_of(out), 1);
    EXPECT_LE(pair::y_of(out), 10);
    EXPECT_EQ(ScriptedDraws::next_index, 1u) << "a zero component draws nothing";
    v = PR(3, 5);
    actions::random(&out, &v, RandomOptions{.seed = true});
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    EXPECT_EQ(ScriptedDraws::seeded, 6);
}

}  // namespace
}  // namespace kel
