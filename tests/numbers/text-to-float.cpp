#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/numbers/float-text.h"

namespace {

struct Read {
    double value;
    std::ptrdiff_t unread;
};

Read read(const std::string& text, int extra_exponent = 0) {
    Read r{};
    r.unread = -1;
    r.value = kel::dtoa::string_to_float(text.data(), text.data() + text.size(), extra_exponent, &r.unread);
    return r;
}

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

constexpr uint64_t PLUS_ZERO = 0;
constexpr uint64_t MINUS_ZERO = 0x8000000000000000ull;
constexpr uint64_t PLUS_INF = 0x7FF0000000000000ull;
constexpr uint64_t MINUS_INF = 0xFFF0000000000000ull;

struct Case {
    const char* text;
    int extra_exponent;
    uint64_t expected;
    std::ptrdiff_t unread;
};

void check(const Case* cases, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const Case& c = cases[i];
        Read r = read(c.text, c.extra_exponent);
        EXPECT_EQ(bits(r.value), c.expected) << '"' << c.text << "\" E=" << c.extra_exponent;
        EXPECT_EQ(r.unread, c.unread) << '"' << c.text << '"';
    }
}

// Where reading stops, and what the part read gives.
TEST(StringToFloat, SyntaxAndUnreadCount) {
    const Case cases[] = {
        {"0.1", 0, 0x3FB999999999999Aull, 0},
        {"+2.5", 0, 0x4004000000000000ull, 0},
        {"-2.5", 0, 0xC004000000000000ull, 0},
        {"1.", 0, 0x3FF0000000000000ull, 0},
        {".5", 0, 0x3FE0000000000000ull, 0},
        {"0012", 0, 0x4028000000000000ull, 0},
        {"1e3", 0, 0x408F400000000000ull, 0},
        {"1E+3", 0, 0x408F400000000000ull, 0},
        {"25e-1", 0, 0x4004000000000000ull, 0},
        {"1e", 0, 0x3FF0000000000000ull, 1},
        {"1e+", 0, 0x3FF0000000000000ull, 2},
        {"1ex", 0, 0x3FF0000000000000ull, 2},
        {"2.5x", 0, 0x4004000000000000ull, 1},
        {"12 34", 0, 0x4028000000000000ull, 3},
        {"1.5.5", 0, 0x3FF8000000000000ull, 2},
        {"-0", 0, MINUS_ZERO, 0},
        {"-0.0", 0, MINUS_ZERO, 0},
        {"-000", 0, MINUS_ZERO, 0},
        {"0e5", 0, PLUS_ZERO, 0},
        {"-0.000e-7", 0, MINUS_ZERO, 0},
        {"0x10", 0, PLUS_ZERO, 3},
        // no digit at all: zero with the sign, nothing taken
        {"", 0, PLUS_ZERO, 0},
        {"abc", 0, PLUS_ZERO, 3},
        {"-", 0, MINUS_ZERO, 1},
        {"+.e5", 0, PLUS_ZERO, 4},
        {"e5", 0, PLUS_ZERO, 2},
        // the extra power of ten of percent literals
        {"5", -2, 0x3FA999999999999Aull, 0},  // 0.05
        {"8.5", -2, 0x3FB5C28F5C28F5C3ull, 0},  // 0.085
        {"-12.5e1", -2, 0xBFF4000000000000ull, 0},  // -1.25
        {"1e-2", 2, 0x3FF0000000000000ull, 0},
        {"1e300", 100, PLUS_INF, 0},
        {"0.0", -2, PLUS_ZERO, 0},
    };
    check(cases, std::size(cases));
}

TEST(StringToFloat, SpecialTexts) {
    const Case cases[] = {
        {"1.#INF", 0, PLUS_INF, 2},
        {"-1.#INF", 0, MINUS_INF, 2},
        {"+1.#inf", 0, PLUS_INF, 2},
        {"1.#I", 0, PLUS_INF, 0},
        {"7.#INF", 0, PLUS_INF, 2},
        // not special: reading stops before the "#"
        {"1.#X", 0, 0x3FF0000000000000ull, 2},
        {"-1.#", 0, 0xBFF0000000000000ull, 1},
        {"1.#INF", 1, PLUS_INF, 2},
        {"12.#INF", 0, 0x4028000000000000ull, 4},
        {"0.#INF", 0, PLUS_ZERO, 4},
        {"1.5#INF", 0, 0x3FF8000000000000ull, 4},
    };
    check(cases, std::size(cases));

    for (const char* nan_text : {"1.#NaN", "-1.#NaN", "1.#nan", "+1.#N"}) {
        Read r = read(nan_text);
        EXPECT_TRUE(std::isnan(r.value)) << nan_text;
        EXPECT_FALSE(std::signbit(r.value)) << nan_text;
    }
    EXPECT_EQ(read("1.#NaN").unread, 2);
    EXPECT_EQ(read("-1.#NaN!").unread, 3);
}

// The range end is respected: nothing past it is looked at.
TEST(StringToFloat, StopsAtTheEndOfTheRange) {
    const char text[] = "1.25e5999";
    std::ptrdiff_t unread = -1;
    EXPECT_EQ(kel::dtoa::string_to_float(text, text + 4, 0, &unread), 1.25);
    EXPECT_EQ(unread, 0);
    EXPECT_EQ(kel::dtoa::string_to_float(text, text + 5, 0, &unread), 1.25);
    EXPECT_EQ(unread, 1);
    EXPECT_EQ(kel::dtoa::string_to_float(text, text + 6, 0, &unread), 125000.0);
    EXPECT_EQ(unread, 0);
    const char special[] = "1.#INF";
    EXPECT_EQ(kel::dtoa::string_to_float(special, special + 3, 0, &unread), 1.0);
    EXPECT_EQ(unread, 1);
    EXPECT_EQ(kel::dtoa::string_to_float(special, special + 4, 0, nullptr), std::numeric_limits<double>::infinity());
}

const std::string HALF_DIGITS =  // 2^-1075 = HALF_DIGITS x 10^-1075, 752 digits
    "24703282292062327208828439643411068618252990130716238221279284125033775363510437593264991818081799618989828234772285886546332835517796989819938739800539093906315035659515570226392290858392449105184435931802849936536152500319370457678249219365623669863658480757001585769269903706311928279558551332927834338409351978015531246597263579574622766465272827220056374006485499977096599470454020828166226237857393450736339007967761930577506740176324673600968951340535537458516661134223766678604162159680461914467291840300530057530849048765391711386591646239524912623653881879636239373280423891018672348497668235089863388587925628302755995657524455507255189313690836254779186948667994968324049705821028513185451396213837722826145437693412532098591327667236328125";
const std::string HALF = "0." + std::string(323, '0') + HALF_DIGITS;  // half the smallest denormal

// Correct rounding where it is hardest: halfway points, the edges of the
// denormal and finite ranges, long inputs.
TEST(StringToFloat, HardCases) {
    const std::string one_and_half_ulp = "1.00000000000000011102230246251565404236316680908203125";
    const std::string one_and_3_half_ulps = "1.00000000000000033306690738754696212708950042724609375";
    const std::string max_and_half_ulp =  // DBL_MAX + half its ulp = 2^1024 - 2^970
        "17976931348623158079372897140530341507993413271003782693617377898044496829276475094664"
        "90179775872070963302864166928879109465555478519404026306574886715058206819089020007083"
        "83676273854845817711531764475730270069855571366959622842914819860834936475292719074168"
        "444365510704342711559699508093042880177904174497792";
    const std::string cases_text[] = {
        "2.2250738585072011e-308",
        "2.2250738585072012e-308",
        "5e-324",
        "-5e-324",
        "2.4703282292062327e-324",
        "2.4703282292062328e-324",
        HALF,  // exact tie: to even, zero
        HALF + std::string(300, '0') + "1",  // a hair above, past 1,000 digits
        HALF + std::string(300, '0'),  // the tie again, trailing zeros
        "1e400",
        "-1e400",
        "1e-400",
        "-1e-400",
        "1e99999999999999999999999999",
        "1e-99999999999999999999999999",
        "0.0000000000000000000000000000000000001e99999999999999999999",
        "1.7976931348623157e308",
        "1.7976931348623158e308",
        "1.7976931348623159e308",
        max_and_half_ulp,  // tie: DBL_MAX is odd, goes to infinity
        max_and_half_ulp.substr(0, 308) + "1",  // a little below the tie
        one_and_half_ulp,  // tie between 1 and its successor: 1
        one_and_half_ulp + "00000000000000000000000000000000001",
        one_and_3_half_ulps,  // tie: to the even successor
        "9007199254740993",
        "9007199254740995",
        "123456789012345678901234567890123456789012345678901234567890",
        "0.000000000000000000000000000000000000000000000000000000000000000000000000000001",
        "4.35679e-10",
    };
    const uint64_t expected[] = {
        0x000FFFFFFFFFFFFFull,
        0x0010000000000000ull,
        0x0000000000000001ull,
        0x8000000000000001ull,
        PLUS_ZERO,
        0x0000000000000001ull,
        PLUS_ZERO,
        0x0000000000000001ull,
        PLUS_ZERO,
        PLUS_INF,
        MINUS_INF,
        PLUS_ZERO,
        MINUS_ZERO,
        PLUS_INF,
        PLUS_ZERO,
        PLUS_INF,
        0x7FEFFFFFFFFFFFFFull,
        0x7FEFFFFFFFFFFFFFull,
        PLUS_INF,
        PLUS_INF,
        0x7FEFFFFFFFFFFFFFull,
        0x3FF0000000000000ull,
        0x3FF0000000000001ull,
        0x3FF0000000000002ull,
        0x4340000000000000ull,
        0x4340000000000002ull,
        0x4C33AAF504E4BC1Eull,
        0x2FBDA48CE468E7C7ull,
        0x3DFDF08BC834A2A0ull,
    };
    static_assert(std::size(cases_text) == std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        Read r = read(cases_text[i]);
        EXPECT_EQ(bits(r.value), expected[i]) << "case " << i << ": " << cases_text[i].substr(0, 60);
        EXPECT_EQ(r.unread, 0) << "case " << i;
    }
}

// The extra power of ten scales the decimal value before rounding, so the
// percent text and the plain text of the same value read the same double.
TEST(StringToFloat, ExtraExponentScalesBeforeRounding) {
    EXPECT_EQ(read("0.1", 0).value, read("10", -2).value);
    EXPECT_EQ(read("5e-324", 0).value, read("5", -324).value);
    EXPECT_EQ(read(HALF_DIGITS, -1075).value, 0.0);
    EXPECT_EQ(bits(read(HALF_DIGITS + "1", -1076).value), 1u);
    EXPECT_EQ(read("1", 2147483647).value, std::numeric_limits<double>::infinity());
    EXPECT_EQ(bits(read("-1", -2147483647 - 1).value), MINUS_ZERO);
}

}  // namespace
