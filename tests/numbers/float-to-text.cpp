#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/numbers/float-text.h"

namespace {

using kel::dtoa::float_to_string;

std::string text(double v, int precision, bool zero_point) { return float_to_string(v, precision, zero_point); }

struct FormatCase {
    double value;
    int precision;
    bool zero_point;
    const char* expected;
};

// Notation choice, point placement, the trailing point and the sign.
TEST(FloatToString, Notation) {
    const FormatCase cases[] = {
        {0.1, 0, false, "0.1"},
        {1.0 / 3, 0, false, "0.3333333333333333"},
        {2.0 / 3, 0, false, "0.6666666666666666"},
        {1e16, 0, true, "10000000000000000.0"},
        {1e16, 0, false, "10000000000000000"},
        {1e17, 0, true, "1.0e17"},
        {1e17, 0, false, "1e17"},
        {123456789012345680.0, 0, true, "1.2345678901234568e17"},
        {12345678901234567.0, 0, true, "12345678901234568.0"},
        {1e-6, 0, false, "0.000001"},
        {1e-7, 0, false, "0.0000001"},
        {1.5e-7, 0, false, "0.00000015"},
        {1e-8, 0, false, "1e-8"},
        {1e-8, 0, true, "1.0e-8"},
        {1.25e-8, 0, true, "1.25e-8"},
        {123.456, 0, true, "123.456"},
        {123.456, 2, true, "120.0"},
        {123.456, 2, false, "120"},
        {123.456, 4, false, "123.5"},
        {0.5, 0, true, "0.5"},
        {100.0, 0, true, "100.0"},
        {100.0, 0, false, "100"},
        {-3.0, 0, true, "-3.0"},
        {-0.25, 0, false, "-0.25"},
        {-1e-300, 0, true, "-1.0e-300"},
        {-1.5e300, 0, false, "-1.5e300"},
        {1e23, 0, true, "1.0e23"},
        {9.5, 1, true, "10.0"},
        {99999.0, 2, false, "100000"},
        {0.3 + 0.0, 0, true, "0.3"},
        {0.1 + 0.2, 0, true, "0.30000000000000004"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.value, c.precision, c.zero_point), c.expected)
            << c.value << " precision " << c.precision << " zero_point " << c.zero_point;
    }
}

TEST(FloatToString, ZeroKeepsItsSign) {
    EXPECT_EQ(text(0.0, 0, true), "0.0");
    EXPECT_EQ(text(-0.0, 0, true), "-0.0");
    EXPECT_EQ(text(0.0, 6, false), "0");
    EXPECT_EQ(text(-0.0, 0, false), "-0");
}

TEST(FloatToString, SpecialValuesWhateverPrecisionAndFlag) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int precision : {0, 1, 6, 22}) {
        for (bool zero_point : {false, true}) {
            EXPECT_EQ(text(inf, precision, zero_point), "1.#INF");
            EXPECT_EQ(text(-inf, precision, zero_point), "-1.#INF");
            EXPECT_EQ(text(nan, precision, zero_point), "1.#NaN");
            EXPECT_EQ(text(-nan, precision, zero_point), "1.#NaN");
        }
    }
}

// Values at the edges of the format: the shortest digits must be those that
// read back exactly, including where the gap below the value is half the gap
// above it (powers of two) and among denormals.
TEST(FloatToString, ShortestHardCases) {
    const FormatCase cases[] = {
        {5e-324, 0, false, "5e-324"},
        {5e-324, 0, true, "5.0e-324"},
        {-5e-324, 0, true, "-5.0e-324"},
        {3 * 5e-324, 0, false, "1.5e-323"},
        {DBL_MAX, 0, false, "1.7976931348623157e308"},
        {DBL_MIN, 0, false, "2.2250738585072014e-308"},
        {std::nextafter(DBL_MIN, 0.0), 0, false, "2.225073858507201e-308"},
        {9223372036854775808.0, 0, false, "9.223372036854776e18"},
        {18014398509481984.0, 0, true, "18014398509481984.0"},
        {std::ldexp(1.0, -44), 0, false, "5.684341886080802e-14"},
        {1e22, 0, true, "1.0e22"},
        {9007199254740993.0, 0, true, "9007199254740992.0"},
        {std::nextafter(1.0, 2.0), 0, true, "1.0000000000000002"},
        {std::nextafter(1.0, 0.0), 0, true, "0.9999999999999999"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.value, c.precision, c.zero_point), c.expected) << c.expected;
    }
}

// Rounding to n digits works on the exact binary value: 0.15 is a little
// below 0.15 and must not round up; exact ties go to the even digit.
TEST(FloatToString, PrecisionRoundsTheExactValue) {
    const FormatCase cases[] = {
        {2.5, 1, false, "2"},
        {3.5, 1, false, "4"},
        {1.5, 1, false, "2"},
        {0.125, 2, false, "0.12"},
        {0.375, 2, false, "0.38"},
        {1234.5, 4, false, "1234"},
        {1235.5, 4, false, "1236"},
        {0.15, 1, false, "0.1"},
        {0.35, 1, false, "0.3"},
        {2.675, 3, false, "2.67"},
        {1.005, 3, true, "1.0"},
        {5e-324, 1, false, "5e-324"},
        {DBL_MAX, 6, false, "1.79769e308"},
        {0.1, 22, false, "0.1000000000000000055511"},
        {-1.0 / 3, 6, true, "-0.333333"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.value, c.precision, c.zero_point), c.expected) << c.value << " precision " << c.precision;
    }
}

// The longest texts: 22 digits in plain notation at P = -6 and in exponent
// notation with a three-digit negative exponent. A larger precision is held
// at 22 digits.
TEST(FloatToString, LongestTextsFitAndPrecisionIsCapped) {
    EXPECT_EQ(text(-1.0 / 3 * 1e-6, 22, true), "-0.0000003333333333333333006029");
    EXPECT_EQ(text(-1.2345678901234567e-6, 22, true), "-0.000001234567890123456738395");
    EXPECT_EQ(text(-1.0 / 3 * 1e-7, 22, true), "-3.333333333333332741331e-8");
    EXPECT_EQ(text(-1.0 / 3 * 1e-300, 22, true), "-3.333333333333333416864e-301");
    EXPECT_EQ(text(5e-324, 22, false), "4.940656458412465441766e-324");
    EXPECT_EQ(text(0.1, 40, false), "0.1000000000000000055511");
    EXPECT_EQ(text(5e-324, 500, false), "4.940656458412465441766e-324");
}

TEST(Digits, PointSignAndCount) {
    int point = 0;
    int count = 0;
    bool negative = false;
    std::string d = kel::dtoa::digits(-123.456, 0, point, negative, count, false);
    EXPECT_EQ(d, "123456");
    EXPECT_EQ(point, 3);
    EXPECT_TRUE(negative);
    EXPECT_EQ(count, 6);

    d = kel::dtoa::digits(0.00125, 0, point, negative, count, false);
    EXPECT_EQ(d, "125");
    EXPECT_EQ(point, -2);
    EXPECT_FALSE(negative);

    d = kel::dtoa::digits(9.96, 2, point, negative, count, false);  // rounds up to 10
    EXPECT_EQ(d, "1");
    EXPECT_EQ(point, 2);
    EXPECT_EQ(count, 1);

    d = kel::dtoa::digits(-0.0, 0, point, negative, count, true);
    EXPECT_EQ(d, "-0.0");
    EXPECT_EQ(point, kel::dtoa::POINT_ZERO);
    EXPECT_TRUE(negative);

    d = kel::dtoa::digits(-std::numeric_limits<double>::infinity(), 3, point, negative, count, false);
    EXPECT_EQ(d, "-1.#INF");
    EXPECT_EQ(point, kel::dtoa::POINT_SPECIAL);
}

}  // namespace
