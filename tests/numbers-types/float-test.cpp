// float! and percent!: arithmetic and its result types, tolerant comparison,
// round, parity and conversions, each row a result as the language shows it.
#include <cfloat>
#include <cmath>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/value-from-text.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct FloatTest : NumbersTest {};

TEST_F(FloatTest, ArithmeticAndResultTypes) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {divide(F(1), I(0)), "float! 1.#INF"},
        {divide(F(-1), I(0)), "float! -1.#INF"},
        {divide(F(0), I(0)), "float! 1.#NaN"},
        {remainder(F(5.5), I(2)), "float! 1.5"},
        {remainder(F(-5.5), I(2)), "float! -1.5"},
        {remainder(F(5.5), I(0)), "float! 1.#NaN"},
        {remainder(F(5.5), F(INF)), "float! 5.5"},
        {remainder(F(-5.5), F(-INF)), "float! -5.5"},
        {remainder(F(INF), I(2)), "float! 1.#NaN"},
        {remainder(F(INF), F(INF)), "float! 1.#NaN"},
        {remainder(F(5.5), F(NaN)), "float! 1.#NaN"},
        {remainder(F(NaN), I(2)), "float! 1.#NaN"},
        {add(P(0.1), F(0.5)), "percent! 60%"},
        {add(F(0.5), P(0.1)), "float! 0.6"},
        {multiply(P(0.5), P(0.5)), "percent! 25%"},
        {add(P(0.5), I(1)), "percent! 150%"},
        {add(F(1.5), T(1)), "time! 0:00:02.5"},
        {add(T(1), F(1.5)), "time! 0:00:02.5"},
        {add(P(0.5), T(1)), "time! 0:00:01.5"},
        {multiply(T(2), I(3)), "time! 0:00:06"},
        {add(F(1), C(1)), "float! 2.0"},
        {add(T(1), C(1)), "script/invalid-type"},
        {add(P(1), C(1)), "script/invalid-type"},
        {add(F(1), text_cell("1")), "script/invalid-type"},
        {subtract(F(2), other(TYPE_PAIR)), "script/not-related"},
        {divide(F(2), other(TYPE_POINT2D)), "script/not-related"},
        {add(T(2), other(TYPE_PAIR)), "script/invalid-type"},
        {plain<ACTION_OR_T>(I(1), F(1)), "script/cannot-use"},
        {negate(F(1.5)), "float! -1.5"},
        {negate(F(0.0)), "float! 0.0"},
        {negate(F(-0.0)), "float! 0.0"},
        {negate(P(0.5)), "percent! -50%"},
        {absolute(F(-0.0)), "float! 0.0"},
        {absolute(P(-0.5)), "percent! 50%"},
        {absolute(F(-INF)), "float! 1.#INF"},
        {power(F(2), I(10)), "float! 1024.0"},
        {power(F(2), F(-1)), "float! 0.5"},
        {power(P(0.5), I(2)), "percent! 25%"},
        {power(F(2), P(0.5)), "script/expect-arg"},
        {power(F(-8), F(1.0 / 3)), "float! 1.#NaN"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(FloatTest, ParityOfTheTruncatedValueInDouble) {
    struct Row {
        double value;
        bool even, odd;
    } rows[] = {
        {3.7, false, true},          {-2.5, true, false},         {-3.9, false, true},  {0.5, true, false},
        {4294967297.0, false, true}, {4294967298.0, true, false}, {1e300, true, false}, {-2147483649.0, false, true},
        {NaN, false, false},         {INF, false, false},         {-INF, false, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(actions::even(F(r.value)), r.even) << r.value;
        EXPECT_EQ(actions::odd(F(r.value)), r.odd) << r.value;
        EXPECT_EQ(actions::odd(P(r.value)), r.odd) << r.value;
    }
}

// The n-th double after x.
double after(double x, int n) {
    while (n-- > 0) x = std::nextafter(x, INF);
    return x;
}

TEST_F(FloatTest, TolerantEqualityAndOrdering) {
    EXPECT_TRUE(actions::compare(F(0.1 + 0.2), F(0.3), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(F(0.1 + 0.2), F(0.3), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(F(1.0), F(1.0000000000000009), COMP_EQUAL));  // 4 units apart
    EXPECT_FALSE(actions::compare(F(1.0), F(1.000000000000003), COMP_EQUAL));  // 14 units apart
    EXPECT_TRUE(actions::compare(F(1.0), F(after(1.0, 10)), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(F(1.0), F(after(1.0, 11)), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(F(1.0), F(after(1.0, 11)), COMP_NOT_EQUAL));
    EXPECT_TRUE(actions::compare(F(-1.0), F(-after(1.0, 10)), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(F(1e-300), F(2e-300), COMP_EQUAL));  // within the epsilon
    EXPECT_TRUE(actions::compare(F(1e300), F(after(1e300, 10)), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(F(1e300), F(-1e300), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(F(DBL_MAX), F(-DBL_MAX), COMP_EQUAL));
    // Across zero the keys count the units on both sides.
    EXPECT_TRUE(actions::compare(F(after(0.0, 5)), F(-after(0.0, 5)), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(F(1.0), I(1), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(F(1.0), I(1), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(F(0.0), F(-0.0), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(F(0.0), F(-0.0), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(F(0.0), F(-0.0), COMP_SAME));
    EXPECT_TRUE(actions::compare(F(0.5), F(0.5), COMP_SAME));
    EXPECT_TRUE(actions::compare(P(0.5), F(0.5), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(P(0.5), F(0.5), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(P(0.5), F(0.5), COMP_FIND));
    EXPECT_TRUE(actions::compare(F(60), T(60), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(F(1.5), I(2), COMP_LESSER));
    EXPECT_TRUE(actions::compare(F(-INF), F(-DBL_MAX), COMP_LESSER));
    EXPECT_FALSE(actions::compare(F(1), C(1), COMP_EQUAL));
    EXPECT_EQ(error_of([] { actions::compare(F(1), none_value, COMP_LESSER); }), id(ErrorId::script_invalid_compare));
}

TEST_F(FloatTest, NaNUnderEveryOp) {
    const Cell nan = F(NaN), one = F(1.0);
    struct Row {
        int32_t op;
        int32_t nan_one, one_nan, nan_nan;
    } rows[] = {
        {COMP_EQUAL, 1, 1, 1},
        {COMP_NOT_EQUAL, 1, 1, 1},
        {COMP_STRICT_EQUAL, 1, 1, 1},
        {COMP_LESSER, 1, 1, 1},
        {COMP_LESSER_EQUAL, 1, 1, 1},
        {COMP_GREATER, -1, -1, -1},
        {COMP_GREATER_EQUAL, -1, -1, -1},
        {COMP_SORT, 0, 0, 0},
        {COMP_CASE_SORT, 0, 0, 0},
        {COMP_SAME, 1, 1, 0},
        {COMP_FIND, 0, 0, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(actions::compare_values(nan, one, r.op), r.nan_one) << r.op;
        EXPECT_EQ(actions::compare_values(one, nan, r.op), r.one_nan) << r.op;
        EXPECT_EQ(actions::compare_values(nan, nan, r.op), r.nan_nan) << r.op;
    }
    // As truths: equal never, not-equal always, no ordering holds.
    for (int32_t op :
         {COMP_EQUAL, COMP_STRICT_EQUAL, COMP_LESSER, COMP_LESSER_EQUAL, COMP_GREATER, COMP_GREATER_EQUAL}) {
        EXPECT_FALSE(actions::compare(nan, one, op)) << op;
        EXPECT_FALSE(actions::compare(one, nan, op)) << op;
        EXPECT_FALSE(actions::compare(nan, nan, op)) << op;
    }
    EXPECT_TRUE(actions::compare(nan, nan, COMP_NOT_EQUAL));
    EXPECT_TRUE(actions::compare(nan, nan, COMP_SAME));  // the identical pattern
    EXPECT_FALSE(actions::compare(I(1), nan, COMP_EQUAL));
}

TEST_F(FloatTest, ThirtyTwoBitTolerance) {
    auto after32 = [](float x, int n) {
        while (n-- > 0) x = std::nextafter(x, HUGE_VALF);
        return x;
    };
    EXPECT_TRUE(float_::almost_equal32(1.0f, after32(1.0f, 10)));
    EXPECT_FALSE(float_::almost_equal32(1.0f, after32(1.0f, 11)));
    EXPECT_TRUE(float_::almost_equal32(0.0f, -0.0f));
    EXPECT_TRUE(float_::almost_equal32(-1.0f, -after32(1.0f, 10)));
    EXPECT_FALSE(float_::almost_equal32(std::nanf(""), std::nanf("")));
    EXPECT_TRUE(float_::almost_equal32(FLT_MAX, HUGE_VALF));
    EXPECT_FALSE(float_::almost_equal32(FLT_MAX, -HUGE_VALF));
    EXPECT_FALSE(float_::almost_equal32(-FLT_MAX, FLT_MAX));
}

TEST_F(FloatTest, RoundRefinementsScalesAndTypes) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {round(F(2.5)), "float! 3.0"},
        {round(F(-2.5)), "float! -3.0"},
        {round(F(2.4)), "float! 2.0"},
        {round(F(-0.4)), "float! -0.0"},
        {round(F(2.5), ROUND_EVEN), "float! 2.0"},
        {round(F(3.5), ROUND_EVEN), "float! 4.0"},
        {round(F(-2.5), ROUND_EVEN), "float! -2.0"},
        {round(F(2.5), ROUND_HALF_DOWN), "float! 2.0"},
        {round(F(-2.5), ROUND_HALF_DOWN), "float! -2.0"},
        {round(F(-2.5), ROUND_HALF_CEILING), "float! -2.0"},
        {round(F(2.5), ROUND_HALF_CEILING), "float! 3.0"},
        {round(F(-2.7), ROUND_DOWN), "float! -2.0"},
        {round(F(-2.2), ROUND_FLOOR), "float! -3.0"},
        {round(F(-2.2), ROUND_CEILING), "float! -2.0"},
        {round(F(2.2), ROUND_CEILING), "float! 3.0"},
        {round(F(INF)), "float! 1.#INF"},
        {round(F(NaN)), "float! 1.#NaN"},
        {round_to(F(3.14159), F(0.01)), "float! 3.14"},
        {round_to(F(1234.5), F(100.0)), "float! 1200.0"},
        {round_to(F(1234.5), F(-100.0)), "float! 1200.0"},
        {round_to(F(1234.5), I(100)), "integer! 1200"},
        {round_to(F(2.6), I(1)), "integer! 3"},
        {round_to(F(-2.5), I(1)), "integer! -3"},
        {round_to(F(2.6), I(0)), "float! 2.6"},
        {round_to(F(0.5), P(0.1)), "percent! 50%"},
        {round_to(F(1e300), I(1)), "float! 1.0e300"},  // the unit is below half an ulp
        // A result that does not fit an integer! is an error, not a cut.
        {round_to(F(3e9), I(1)), "math/overflow"},
        {round_to(F(-2147483648.4), I(1)), "integer! -2147483648"},
        {round_to(F(2147483647.4), I(1)), "integer! 2147483647"},
        {round_to(F(2147483647.5), I(1)), "math/overflow"},
        {round_to(F(NaN), I(1)), "math/overflow"},
        // A finite value whose rounded result is infinite.
        {round_to(F(1.7e308), F(1e308)), "math/overflow"},
        {round_to(F(-1.7e308), F(1e308), ROUND_FLOOR), "math/overflow"},
        {round_to(F(1.7e308), F(1e308), ROUND_DOWN), "float! 1.0e308"},
        {round_to(F(INF), F(1e308)), "float! 1.#INF"},
        // Subnormal units are scaled apart from their mantissa.
        {round_to(F(std::ldexp(13.0, -1072)), F(std::ldexp(1.0, -1070))), describe(F(std::ldexp(3.0, -1070)))},
        {round_to(F(1.5), other(TYPE_MONEY)), "script/not-related"},
        {round_to(F(1.5), other(TYPE_PAIR)), "script/invalid-arg"},
        {round_to(P(0.5), other(TYPE_POINT2D)), "script/invalid-arg"},
        {round_to(T(1.5), other(TYPE_POINT3D)), "script/invalid-arg"},
        {round_to(F(1.5), none_value), "script/invalid-arg"},
        // percent!: in percent units; integer! and float! scales count in
        // percent, a percent! scale is taken as it is.
        {round(P(0.125)), "percent! 13%"},
        {round(P(0.1249)), "percent! 12%"},
        {round_to(P(0.1234), P(0.01)), "percent! 12%"},
        {round_to(P(0.1234), P(0.001)), "percent! 12.3%"},
        {round_to(P(0.1234), F(0.1)), "float! 0.123"},
        {round_to(P(0.1234), I(1)), "integer! 0"},
        {round_to(P(12.5), I(1), ROUND_EVEN), "integer! 12"},
        {round(T(1.5)), "time! 0:00:02"},
        {round_to(T(5.5), T(2)), "time! 0:00:06"},
        {round_to(F(5.5), T(2)), "time! 0:00:06"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

// A string of two-byte units.
Cell wide_text(std::initializer_list<uint32_t> code_points) {
    Cell s{TYPE_STRING, 0, memory::alloc_codepoints(code_points.size() + 1, 2), 0};
    Rooted keep(s);
    SeriesBuffer* b = string::buffer(s);
    for (uint32_t cp : code_points) b = string::append_char(b, cp);
    return s;
}

TEST_F(FloatTest, MakeAndToFromEveryType) {
    double tiny;
    uint64_t bits = 0x3FF0;
    std::memcpy(&tiny, &bits, sizeof tiny);
    struct Row {
        std::string got, want;
    } rows[] = {
        {to_text(TYPE_FLOAT, "1.5"), "float! 1.5"},
        {to_text(TYPE_FLOAT, "-1'000.25"), "float! -1000.25"},
        {to_text(TYPE_FLOAT, "1,5"), "float! 1.5"},
        {to_text(TYPE_FLOAT, "1e308"), "float! 1.0e308"},
        {to_text(TYPE_FLOAT, "", true), "script/bad-to-arg"},
        {to_text(TYPE_FLOAT, "abc"), "script/bad-to-arg"},
        {to_text(TYPE_FLOAT, "1.5x"), "script/bad-to-arg"},
        // A wide code point is no digit, whatever its low byte reads as.
        {to(TYPE_FLOAT, wide_text({0x131})), "script/bad-to-arg"},
        {to(TYPE_FLOAT, wide_text({'2', '.', 0x135})), "script/bad-to-arg"},
        {to(TYPE_FLOAT, wide_text({'2', '.', '5'})), "float! 2.5"},
        {to(TYPE_FLOAT, I(1)), "float! 1.0"},
        {to(TYPE_FLOAT, C('A')), "float! 65.0"},
        {to(TYPE_FLOAT, P(0.5)), "float! 0.5"},
        {to(TYPE_PERCENT, F(0.5)), "percent! 50%"},
        {to(TYPE_PERCENT, I(1)), "percent! 100%"},
        {to(TYPE_FLOAT, T(1.5)), "float! 1.5"},
        {to(TYPE_FLOAT, binary({0x3F, 0xF0, 0, 0, 0, 0, 0, 0})), "float! 1.0"},
        {to(TYPE_FLOAT, binary({0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0xFF})), "float! 1.0"},
        {to(TYPE_FLOAT, binary({0x3F, 0xF0})), describe(F(tiny))},
        {to(TYPE_FLOAT, block_of({I(15), I(-1)}), true), "float! 1.5"},
        {to(TYPE_FLOAT, block_of({F(2.5), F(2.9)}), true), "float! 250.0"},
        {to(TYPE_PERCENT, block_of({I(5), I(-1)}), true), "percent! 50%"},
        {to(TYPE_FLOAT, block_of({I(1), F(NaN)}), true), "float! 1.#NaN"},
        {to(TYPE_FLOAT, block_of({I(1), F(1e300)}), true), "float! 1.#INF"},
        {to(TYPE_FLOAT, block_of({I(1), I(2), I(3)}), true), "script/bad-to-arg"},
        {to(TYPE_FLOAT, block_of({I(1), none_value}), true), "script/bad-to-arg"},
        {to(TYPE_FLOAT, none_value), "script/bad-to-arg"},
        {to(TYPE_FLOAT, true_value), "script/bad-to-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

// to percent! of a string loads the value the way the lexer reads it.
Cell loaded;
void scripted_loader(Cell* out, const Cell&) { *out = loaded; }

TEST_F(FloatTest, PercentFromTextGoesThroughTheLoader) {
    EXPECT_EQ(to_text(TYPE_PERCENT, "50%"), "percent! 50%");
    EXPECT_EQ(to_text(TYPE_PERCENT, "50"), "percent! 5000%");
    value_from_text::Loader lexer_loader = value_from_text::install(scripted_loader);
    loaded = P(0.5);
    EXPECT_EQ(to_text(TYPE_PERCENT, "50%"), "percent! 50%");
    loaded = I(2);
    EXPECT_EQ(to_text(TYPE_PERCENT, "2"), "percent! 200%");
    loaded = none_value;
    EXPECT_EQ(to_text(TYPE_PERCENT, "x"), "script/bad-to-arg");
    value_from_text::install(lexer_loader);
}

TEST_F(FloatTest, RandomScalesTheDrawAndSeedsWithTheHalves) {
    ScriptedDraws draws{2147483647, 0};
    Cell v = F(10.0), out;
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(describe(out), "float! 10.0");
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(describe(out), "float! 0.0");
    v = P(0.5);
    draws.replay({2147483647});
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(describe(out), "percent! 50%");
    // Secure: two draws s1, s2 give limit x (s2 + s1 / 2147483647) / 2^31.
    draws.replay({2147483647, 2147483647});
    actions::random(&out, &v, RandomOptions{.secure = true});
    EXPECT_NEAR(cell_double(out), 0.5, 1e-9);
    v = F(1.5);
    actions::random(&out, &v, RandomOptions{.seed = true});
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    EXPECT_EQ(uint32_t(ScriptedDraws::seeded), 0x3FF80000u);  // low half 0 xor high half
}

}  // namespace
}  // namespace kel
