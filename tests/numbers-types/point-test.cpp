// point2D! and point3D!: axis arithmetic in double rounded to float32,
// conversions, text, tolerant comparison, paths, pick, round and random.
#include <cfloat>

#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/hashing/hashtable.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct PointTest : NumbersTest {};

Cell P2(float x, float y) { return point::make2(x, y); }
Cell P3(float x, float y, float z) { return point::make3(x, y, z); }

TEST_F(PointTest, ArithmeticPerAxis) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {add(P2(1.5f, 2), I(1)), "point2D! (2.5, 3)"},
        {multiply(P2(1, 2), P(0.5)), "point2D! (0.5, 1)"},
        {add(P2(1, 2), pair::make_cell(3, 4)), "point2D! (4, 6)"},
        {divide(P2(1, 1), I(0)), "point2D! (1.#INF, 1.#INF)"},
        {divide(P2(0, -1), F(0)), "point2D! (1.#NaN, -1.#INF)"},
        {remainder(P2(5, 7), I(2)), "point2D! (1, 1)"},
        {remainder(P2(5, 7), F(INF)), "point2D! (5, 7)"},
        {remainder(P2(5, 7), F(NaN)), "point2D! (1.#NaN, 1.#NaN)"},
        {multiply(P2(1, 2), P2(3, 4)), "point2D! (3, 8)"},
        {subtract(P3(1, 2, 3), P3(1, 1, 1)), "point3D! (0, 1, 2)"},
        {divide(P2(1, 2), F(3)), "point2D! (0.3333333, 0.6666667)"},
        // Beyond the float32 range the axes become infinities, never
        // undefined conversions.
        {multiply(P2(1, -1), F(1e300)), "point2D! (1.#INF, -1.#INF)"},
        {add(P2(FLT_MAX, 0), F(1e38)), "point2D! (1.#INF, 1e38)"},
        {add(P3(1, 2, 3), pair::make_cell(1, 1)), "script/invalid-type"},
        {add(P3(1, 2, 3), P2(1, 1)), "script/invalid-type"},
        {add(P2(1, 2), P3(1, 1, 1)), "script/invalid-type"},
        {add(P2(1, 2), T(1)), "script/invalid-type"},
        {add(P2(1, 2), text_cell("1")), "script/invalid-type"},
        // Numbers on the left.
        {subtract(I(3), P2(1, 2)), "point2D! (2, 1)"},
        {remainder(I(7), P2(4, 5)), "point2D! (3, 2)"},
        {multiply(F(2), P3(1, 2, 3)), "point3D! (2, 4, 6)"},
        {subtract(F(2), P2(1, 2)), "script/not-related"},
        {divide(I(2), P2(1, 2)), "script/not-related"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(PointTest, NegateAbsoluteReverse) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {negate(P2(0, 1)), "point2D! (0, -1)"},        {negate(P3(-1, 2, -3)), "point3D! (1, -2, 3)"},
        {absolute(P2(-1.5f, 2)), "point2D! (1.5, 2)"}, {reverse(P3(1, 2, 3)), "point3D! (3, 2, 1)"},
        {reverse(P2(1, 2)), "point2D! (2, 1)"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    Cell negated;
    Cell zero = P2(0, 0);
    actions::negate(&negated, &zero);
    EXPECT_EQ(negated.data1, 0u) << "0.0 - 0.0 is positive zero";
}

TEST_F(PointTest, MakeAndTo) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {to(TYPE_POINT2D, I(3), true), "point2D! (3, 3)"},
        {to(TYPE_POINT3D, I(3), true), "point3D! (3, 3, 3)"},
        {to(TYPE_POINT2D, F(1.5)), "point2D! (1.5, 1.5)"},
        {to(TYPE_POINT2D, F(1e300)), "point2D! (1.#INF, 1.#INF)"},
        {to(TYPE_POINT2D, block_of({I(1), I(2), I(3)}), true), "point2D! (1, 2)"},
        {to(TYPE_POINT2D, block_of({I(1)}), true), "syntax/malconstruct"},
        {to(TYPE_POINT2D, block_of({I(1), C('a')}), true), "syntax/malconstruct"},
        {to(TYPE_POINT3D, block_of({I(1), I(2)}), true), "syntax/malconstruct"},
        {to(TYPE_POINT3D, block_of({F(1.5), I(2), I(-3)}), true), "point3D! (1.5, 2, -3)"},
        {to(TYPE_POINT3D, pair::make_cell(1, 2), true), "point3D! (1, 2, 0)"},
        {to(TYPE_POINT2D, pair::make_cell(2147483647, -5)), "point2D! (2.147484e9, -5)"},
        {to(TYPE_POINT3D, P2(1, 2)), "point3D! (1, 2, 0)"},
        {to(TYPE_POINT2D, P2(1, 2)), "point2D! (1, 2)"},
        {to(TYPE_POINT2D, P3(1, 2, 3)), "script/bad-to-arg"},
        {to(TYPE_POINT2D, P(0.5)), "script/bad-to-arg"},
        {to(TYPE_POINT2D, none_value), "script/bad-to-arg"},
        {to_text(TYPE_POINT2D, "(1, 2)"), "point2D! (1, 2)"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    // Word 3 of a point2D! is zero whatever it was made from.
    Frame frame{datatype::make(TYPE_POINT2D), P3(1, 2, 3)};
    for (Cell spec : {I(1), F(2), pair::make_cell(1, 2), P2(1, 2)}) {
        frame[1] = spec;
        actions::make(&frame[0], &frame[0], &frame[1]);
        EXPECT_EQ(frame[0].data3, 0u);
        frame[0] = datatype::make(TYPE_POINT2D);
    }
    ScriptedLoader loader;
    ScriptedLoader::loaded = P2(1, 2);
    EXPECT_EQ(to_text(TYPE_POINT2D, "(1, 2)"), "point2D! (1, 2)");
    EXPECT_EQ(to_text(TYPE_POINT3D, "(1, 2)"), "script/bad-to-arg");
}

TEST_F(PointTest, TextOfTheAxes) {
    EXPECT_EQ(form(P2(1, 2)), "(1, 2)");
    EXPECT_EQ(form(P2(1.5f, -0.25f)), "(1.5, -0.25)");
    EXPECT_EQ(form(P3(1.0f / 3, 1e20f, -0.0f)), "(0.3333333, 1e20, 0)");
    EXPECT_EQ(form(P2(1e-20f, NaN)), "(0, 1.#NaN)");
    bool pretty = float_::pretty_print();
    float_::set_pretty_print(false);
    EXPECT_EQ(form(P2(1e-20f, 0)), "(1e-20, 0)");
    float_::set_pretty_print(pretty);
}

TEST_F(PointTest, TolerantEqualityExactStrictnessAndOrdering) {
    float near1 = std::nextafter(std::nextafter(1.0f, 2.0f), 2.0f);
    EXPECT_TRUE(actions::compare(P2(1, 2), P2(near1, 2), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(P2(1, 2), P2(near1, 2), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(P2(1, 2), P2(1.001f, 2), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(P2(1, 2), pair::make_cell(1, 2), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(P2(0, 1), P2(-0.0f, 1), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(P2(0, 1), P2(-0.0f, 1), COMP_SAME));
    EXPECT_TRUE(actions::compare(P2(1, 2), P2(1, 2), COMP_SAME));
    EXPECT_FALSE(actions::compare(P2(NaN, 1), P2(NaN, 1), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(P2(NaN, 1), P2(NaN, 1), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(P2(1, 2), P2(1, 3), COMP_LESSER));
    EXPECT_TRUE(actions::compare(P2(1, 2), P2(2, 0), COMP_LESSER));
    EXPECT_TRUE(actions::compare(P3(1, 2, 3), P3(1, 2, 4), COMP_LESSER));
    EXPECT_TRUE(actions::compare(P3(1, 2, 3), P3(1, 2, 3), COMP_EQUAL));
    EXPECT_EQ(actions::compare_values(P3(1, 2, 0), P2(1, 2), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(actions::compare_values(P3(1, 2, 0), pair::make_cell(1, 2), COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_EQ(actions::compare_values(P2(1, 2), F(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
}

TEST_F(PointTest, AxesByPathAndPick) {
    Cell p = P2(1, 2), q = P3(1, 2, 3);
    struct Row {
        std::string got, want;
    } rows[] = {
        {get_path(p, W("x")), "float! 1.0"},
        {get_path(p, I(2)), "float! 2.0"},
        {get_path(p, I(3)), "script/invalid-path"},
        {get_path(p, W("z")), "script/invalid-path"},
        {get_path(q, W("Z")), "float! 3.0"},
        {get_path(q, I(4)), "script/invalid-path"},
        {get_path(p, F(1)), "script/invalid-path"},
        {pick(p, W("y")), "float! 2.0"},
        {pick(p, W("w")), "script/cannot-use"},
        {pick(p, I(3)), "script/out-of-range"},
        {pick(q, I(3)), "float! 3.0"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    EXPECT_EQ(set_path(p, W("x"), F(2.5)), "float! 2.5");
    EXPECT_EQ(describe(p), "point2D! (2.5, 2)");
    EXPECT_EQ(set_path(p, I(2), I(7)), "integer! 7");
    EXPECT_EQ(describe(p), "point2D! (2.5, 7)");
    EXPECT_EQ(set_path(p, I(3), I(1)), "script/invalid-path");
    EXPECT_EQ(set_path(p, W("x"), text_cell("1")), "script/invalid-type");
    EXPECT_EQ(set_path(q, W("z"), F(1e300)), "float! 1.0e300");
    EXPECT_EQ(describe(q), "point3D! (1, 2, 1.#INF)");
}

TEST_F(PointTest, RoundEachAxis) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {round(P2(1.5f, 2.5f)), "point2D! (2, 3)"},
        {round(P2(2.5f, -2.5f), ROUND_EVEN), "point2D! (2, -2)"},
        {round_to(P2(1.26f, 3.14f), F(0.1)), "point2D! (1.3, 3.1)"},
        {round_to(P2(12, 17), pair::make_cell(5, 10)), "point2D! (10, 20)"},
        {round_to(P2(12, 17), P3(5, 10, 1)), "point2D! (10, 20)"},
        {round_to(P3(1.4f, 2.6f, 3.4f), P2(2, 2)), "point3D! (2, 2, 3.4)"},  // z keeps scale 0
        {round_to(P3(1, 2, 3), pair::make_cell(2, 2)), "script/invalid-arg"},
        // An integer! scale keeps the axes floats: no 32-bit limit.
        {round_to(P2(1e20f, 3), I(2)), "point2D! (1e20, 4)"},
        {round_to(P2(1, 2), other(TYPE_MONEY)), "script/not-related"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(PointTest, RandomScalesNonZeroAxesAndSeedsWithTheHashOfTheCoordinates) {
    ScriptedDraws draws{2147483647};
    Cell v = P2(0, 10), out;
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(describe(out), "point2D! (0, 10)");
    EXPECT_EQ(ScriptedDraws::next_index, 1u) << "a zero axis draws nothing";
    v = P3(1, 2, 3);
    actions::random(&out, &v, RandomOptions{.seed = true});
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    uint8_t bytes[12];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k) bytes[4 * i + k] = uint8_t(point::axis_word(v, i) >> (8 * k));
    EXPECT_EQ(uint32_t(ScriptedDraws::seeded), hashtable::murmur3_x86_32(bytes, 12));
}

}  // namespace
}  // namespace kel
