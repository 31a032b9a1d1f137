// The text of float! and percent!: friendly form with and without pretty
// printing, shortest mold, and the modes of the shared formatter.
#include "tests/numbers-types/numbers-fixture.h"

#include "runtime/datatypes/percent.h"

namespace kel {
namespace {

using namespace test;

struct FloatText : NumbersTest {
    void TearDown() override { float_::set_pretty_print(true); }
};

std::string text(double x, int mode) {
    float_::Text t = float_::to_text(x, mode);
    EXPECT_EQ(t.length, std::strlen(t.chars));
    return t.chars;
}

TEST_F(FloatText, FormWithPrettyPrintingOnAndOff) {
    struct Row {
        double value;
        const char* pretty;
        const char* plain;
    } rows[] = {
        {0.1 + 0.2, "0.3", "0.3"},
        {0.1 + 0.7, "0.8", "0.7999999999999999"},
        {1.0 / 3, "0.3333333333333333", "0.3333333333333333"},
        {1e20, "1.0e20", "1.0e20"},
        {1e16, "1.0e16", "1.0e16"},
        {1.5e-7, "1.5e-7", "1.5e-7"},
        {1e-300, "0.0", "1.0e-300"},
        {-1e-300, "0.0", "-1.0e-300"},
        {-0.0, "0.0", "-0.0"},
        {0.0, "0.0", "0.0"},
        {-3.0, "-3.0", "-3.0"},
        {100.0, "100.0", "100.0"},
        {123456789.0, "123456789.0", "123456789.0"},
        {1.2345678901234568e17, "1.234567890123457e17", "1.234567890123457e17"},
        // Noise before an exponent: the 16 digits end in 99 or 01.
        {5.339999999999999e-14, "5.34e-14", "5.339999999999999e-14"},
        {3.6200000000000006e17, "3.62e17", "3.620000000000001e17"},
        {-(0.1 + 0.7), "-0.8", "-0.7999999999999999"},
        {INF, "1.#INF", "1.#INF"},
        {-INF, "-1.#INF", "-1.#INF"},
        {NaN, "1.#NaN", "1.#NaN"},
    };
    for (const Row& r : rows) {
        float_::set_pretty_print(true);
        EXPECT_EQ(form(F(r.value)), r.pretty) << r.plain;
        float_::set_pretty_print(false);
        EXPECT_EQ(form(F(r.value)), r.plain) << r.plain;
    }
}

TEST_F(FloatText, MoldIsTheShortestTextThatReadsBack) {
    struct Row {
        double value;
        const char* text;
    } rows[] = {
        {0.1, "0.1"},     {0.1 + 0.2, "0.30000000000000004"}, {0.0, "0.0"},    {-0.0, "-0.0"},
        {1e20, "1.0e20"}, {0.1 + 0.7, "0.7999999999999999"},  {INF, "1.#INF"}, {NaN, "1.#NaN"},
    };
    for (const Row& r : rows) EXPECT_EQ(describe(F(r.value)), std::string("float! ") + r.text);
}

// mold is the text of form, except where the lexer would refuse that text
// (an exponent): there it is the value written out without one.
TEST_F(FloatText, PercentFormsItsHundredfold) {
    struct Row {
        double value;
        const char* text;
        const char* mold;
    } rows[] = {
        {0.5, "50%", "50%"},       {0.125, "12.5%", "12.5%"},
        {1, "100%", "100%"},       {-0.01, "-1%", "-1%"},
        {1e-19, "0%", "0%"},       {1e-17, "1e-15%", "0.000000000000001%"},
        {0.1 + 0.7, "80%", "80%"}, {1e20, "1e22%", "10000000000000000000000%"},
        {INF, "1.#INF", "1.#INF"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(form(P(r.value)), r.text);
        EXPECT_EQ(describe(P(r.value)), std::string("percent! ") + r.mold);
    }
}

TEST_F(FloatText, ModesOfTheFormatter) {
    EXPECT_EQ(text(1.5, float_::TEXT_FLOAT32), "1.5");
    EXPECT_EQ(text(3, float_::TEXT_FLOAT32), "3.0");
    EXPECT_EQ(text(0.1f, float_::TEXT_FLOAT32), "0.1");
    EXPECT_EQ(text(50, float_::TEXT_PERCENT32), "50%");
    EXPECT_EQ(text(1e-20, float_::TEXT_POINT), "0");
    EXPECT_EQ(text(3, float_::TEXT_POINT), "3");
    EXPECT_EQ(text(1e20, float_::TEXT_POINT), "1e20");
    EXPECT_EQ(text(1.5, float_::TEXT_SECONDS), "1.5");
    EXPECT_EQ(text(12.3456789, float_::TEXT_SECONDS), "12.3457");
    EXPECT_EQ(text(5, float_::TEXT_SECONDS), "5");
    // The longest texts fit the buffer.
    float_::set_pretty_print(false);
    EXPECT_EQ(text(-1.2345678901234567e-300, float_::TEXT_PERCENT), "-1.234567890123e-300%");
    EXPECT_EQ(text(-2.2250738585072014e-308, float_::TEXT_FLOAT), "-2.225073858507201e-308");
}

}  // namespace
}  // namespace kel
