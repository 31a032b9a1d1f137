// Randomized checks of both conversions against the C library's own
// correctly rounded conversions (printf with a precision, strtod), which are
// an independent implementation of the same arithmetic.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "runtime/numbers/float-text.h"

namespace {

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

double read(const std::string& text, int extra_exponent = 0) {
    std::ptrdiff_t unread = -1;
    double v = kel::dtoa::string_to_float(text.data(), text.data() + text.size(), extra_exponent, &unread);
    EXPECT_EQ(unread, 0) << text;
    return v;
}

double libc_read(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// A finite double: uniform over the bit patterns half of the time (every
// binade, denormals included), else a short decimal such as 47.11 or 3e-5.
double random_double(std::mt19937_64& rng) {
    if (rng() & 1) {
        for (;;) {
            double v = std::bit_cast<double>(rng());
            if (std::isfinite(v)) return v;
        }
    }
    const double mantissa = static_cast<double>(rng() % 100000);
    const int scale = static_cast<int>(rng() % 41) - 20;
    const double v = mantissa * std::pow(10.0, scale);
    return (rng() & 1) ? -v : v;
}

// "%.*e" of |v| split into its digits (no point) and exponent.
void libc_digits(double v, int precision, std::string& digits, int& exponent) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision, std::fabs(v));
    digits.clear();
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    exponent = std::atoi(p + 1);
}

// Shortest digits: they read back as the value, no text with one digit less
// does, and when the exactly rounded text of the same length reads back, they
// are that text.
TEST(RoundTrip, ShortestDigitsAreShortestAndNearest) {
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 40000; ++i) {
        const double v = random_double(rng);
        if (v == 0) continue;
        int point = 0;
        int count = 0;
        bool negative = false;
        const std::string d = kel::dtoa::digits(v, 0, point, negative, count, false);
        ASSERT_EQ(static_cast<int>(d.size()), count);
        ASSERT_EQ(negative, std::signbit(v));
        const double magnitude = std::fabs(v);
        const std::string as_text = d + "e" + std::to_string(point - count);
        ASSERT_EQ(libc_read(as_text), magnitude) << as_text;

        if (count >= 2) {
            std::string shorter;
            int exponent = 0;
            libc_digits(magnitude, count - 2, shorter, exponent);
            const long long m = std::stoll(shorter);
            for (long long candidate : {m - 1, m, m + 1}) {
                const std::string t = std::to_string(candidate) + "e" + std::to_string(exponent - (count - 2));
                ASSERT_NE(libc_read(t), magnitude) << "shorter " << t << " reads back as " << d;
            }
        }
        std::string nearest;
        int exponent = 0;
        libc_digits(magnitude, count - 1, nearest, exponent);
        if (libc_read(nearest + "e" + std::to_string(exponent - (count - 1))) == magnitude) {
            ASSERT_EQ(d, nearest) << v;
            ASSERT_EQ(point, exponent + 1) << v;
        }
    }
}

// The formatted text reads back as the same double, through this reader and
// the C library's.
TEST(RoundTrip, FormattedTextReadsBack) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 40000; ++i) {
        const double v = random_double(rng);
        const bool zero_point = (i & 1) != 0;
        const std::string t = kel::dtoa::float_to_string(v, 0, zero_point);
        ASSERT_EQ(bits(read(t)), bits(v)) << t;
        ASSERT_EQ(bits(libc_read(t)), bits(v)) << t;
    }
}

// Rounding to n digits gives the C library's exactly rounded digits, with the
// trailing zeros dropped.
TEST(RoundTrip, PrecisionDigitsMatchExactRounding) {
    std::mt19937_64 rng(99);
    for (int i = 0; i < 40000; ++i) {
        double v = random_double(rng);
        const int n = 1 + static_cast<int>(rng() % kel::dtoa::MAX_PRECISION);
        if ((i & 3) == 0) {
            // exact ties at n digits: k + 0.5 scaled by a power of two
            v = std::ldexp(static_cast<double>(rng() % 2000) + 0.5, -static_cast<int>(rng() % 4));
        }
        if (v == 0) continue;
        int point = 0;
        int count = 0;
        bool negative = false;
        const std::string d = kel::dtoa::digits(v, n, point, negative, count, false);
        std::string expected;
        int exponent = 0;
        libc_digits(v, n - 1, expected, exponent);
        while (expected.size() > 1 && expected.back() == '0') expected.pop_back();
        ASSERT_EQ(d, expected) << v << " n=" << n;
        ASSERT_EQ(point, exponent + 1) << v << " n=" << n;
    }
}

// Random decimal texts of 1 to 60 significant digits, over the whole range
// and past both ends, with and without an extra power of ten.
TEST(RoundTrip, RandomTextsMatchTheLibraryReader) {
    std::mt19937_64 rng(4242);
    for (int i = 0; i < 40000; ++i) {
        const int length = 1 + static_cast<int>(rng() % 60);
        std::string digits;
        for (int k = 0; k < length; ++k) digits += static_cast<char>('0' + rng() % 10);
        const int split = static_cast<int>(rng() % (length + 1));
        const int exponent = static_cast<int>(rng() % 700) - 360;
        const int extra = (i & 1) ? static_cast<int>(rng() % 11) - 5 : 0;
        const std::string sign = (rng() & 1) ? "-" : "";
        const std::string text =
            sign + digits.substr(0, split) + "." + digits.substr(split) + "e" + std::to_string(exponent);
        const std::string reference =
            sign + digits.substr(0, split) + "." + digits.substr(split) + "e" + std::to_string(exponent + extra);
        ASSERT_EQ(bits(read(text, extra)), bits(libc_read(reference))) << text << " E=" << extra;
    }
}

// Texts that are exactly halfway between two neighbouring doubles (written
// out in all their up to 767 digits) go to the even one; a nonzero digit far
// behind moves them up, a smaller last digit down.
TEST(RoundTrip, ExactHalfwayTextsGoToEven) {
    std::mt19937_64 rng(1234);
    for (int i = 0; i < 3000; ++i) {
        double low;
        do {
            low = std::fabs(std::bit_cast<double>(rng()));
        } while (!std::isfinite(low) || low == std::numeric_limits<double>::max());
        const double high = std::nextafter(low, HUGE_VAL);
        // The midpoint needs 54 significant bits: exact in long double.
        const long double mid = (static_cast<long double>(low) + high) / 2;
        char buffer[1200];
        std::snprintf(buffer, sizeof buffer, "%.1100Le", mid);
        std::string text = buffer;
        const size_t e = text.find('e');
        std::string mantissa = text.substr(0, e);
        const std::string exponent = text.substr(e);
        while (mantissa.back() == '0') mantissa.pop_back();
        ASSERT_NE(mantissa.back(), '.');

        const double even = (bits(low) & 1) ? high : low;
        ASSERT_EQ(bits(read(mantissa + exponent)), bits(even)) << mantissa + exponent;
        ASSERT_EQ(bits(read(mantissa + std::string(200, '0') + "1" + exponent)), bits(high));
        std::string below = mantissa;
        below.back() = static_cast<char>(below.back() - 1);  // the last digit is not 0
        ASSERT_EQ(bits(read(below + exponent)), bits(low)) << below + exponent;
    }
}

}  // namespace
