// The integer and float readers of strings, over every unit size and UTF-8.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "runtime/numbers/text-to-number.h"

namespace kel::test {
namespace {

using numbers::FloatRead;
using numbers::IntegerRead;
using numbers::READ_INVALID;
using numbers::READ_OK;
using numbers::READ_OVERFLOW;

// A text as a reader receives it: code units of 1, 2 or 4 bytes, or UTF-8
// bytes (unit 0 here).
struct Units {
    std::vector<uint8_t> bytes;
    size_t count;
    uint32_t unit;
};

constexpr uint32_t UTF8 = 0;
constexpr uint32_t FORMS[] = {1, 2, 4, UTF8};

void append_utf8(std::vector<uint8_t>& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(uint8_t(cp));
    } else if (cp < 0x800) {
        out.insert(out.end(), {uint8_t(0xC0 | cp >> 6), uint8_t(0x80 | (cp & 0x3F))});
    } else if (cp < 0x10000) {
        out.insert(out.end(),
                   {uint8_t(0xE0 | cp >> 12), uint8_t(0x80 | (cp >> 6 & 0x3F)), uint8_t(0x80 | (cp & 0x3F))});
    } else {
        out.insert(out.end(),
                   {uint8_t(0xF0 | cp >> 18), uint8_t(0x80 | (cp >> 12 & 0x3F)), uint8_t(0x80 | (cp >> 6 & 0x3F)),
                    uint8_t(0x80 | (cp & 0x3F))});
    }
}

// The text in the form, or nothing when a unit of that size cannot hold one
// of its code points.
std::optional<Units> encode(const std::u32string& text, uint32_t form) {
    Units u{{}, text.size(), form};
    for (char32_t cp : text) {
        if (form == UTF8) {
            append_utf8(u.bytes, cp);
            continue;
        }
        if (form < 4 && cp >> (8 * form) != 0) return std::nullopt;
        uint8_t le[4];
        const uint32_t v = cp;
        std::memcpy(le, &v, 4);  // little-endian host, as the string units are
        u.bytes.insert(u.bytes.end(), le, le + form);
    }
    if (form == UTF8) u.count = u.bytes.size();
    return u;
}

IntegerRead read_integer(const Units& u) {
    if (u.unit == UTF8) {
        return numbers::read_integer(std::string_view(reinterpret_cast<const char*>(u.bytes.data()), u.bytes.size()));
    }
    return numbers::read_integer(u.bytes.data(), u.count, u.unit);
}

FloatRead read_float(const Units& u) {
    if (u.unit == UTF8) {
        return numbers::read_float(std::string_view(reinterpret_cast<const char*>(u.bytes.data()), u.bytes.size()));
    }
    return numbers::read_float(u.bytes.data(), u.count, u.unit);
}

// The text for failure messages, with code points above ASCII as U+XXXX.
std::string shown(const std::u32string& text) {
    std::string s = "\"";
    for (char32_t cp : text) {
        if (cp >= 0x20 && cp < 0x7F) {
            s += char(cp);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "<U+%04X>", unsigned(cp));
            s += hex;
        }
    }
    return s + '"';
}

std::string form_name(uint32_t form) { return form == UTF8 ? "UTF-8" : std::to_string(form) + "-byte units"; }

constexpr int32_t MIN = std::numeric_limits<int32_t>::min();
constexpr int32_t MAX = std::numeric_limits<int32_t>::max();

struct IntegerCase {
    std::u32string text;
    int32_t value;
    int32_t error;
};

// Calls check(units, where) with the text in every form that can hold it.
template <typename Check>
void in_every_form(const std::u32string& text, Check check) {
    for (uint32_t form : FORMS) {
        const std::optional<Units> units = encode(text, form);
        if (units) check(*units, shown(text) + " in " + form_name(form));
    }
}

void check_integers(const std::vector<IntegerCase>& cases) {
    for (const IntegerCase& c : cases) {
        in_every_form(c.text, [&](const Units& units, const std::string& where) {
            const IntegerRead r = read_integer(units);
            EXPECT_EQ(r.error, c.error) << where;
            EXPECT_EQ(r.value, c.value) << where;
        });
    }
}

TEST(ReadInteger, DigitsSignsAndSeparators) {
    check_integers({
        {U"0", 0, READ_OK},
        {U"-0", 0, READ_OK},
        {U"+42", 42, READ_OK},
        {U"1'000", 1000, READ_OK},
        {U"'1000", 1000, READ_OK},  // a leading ' is ignored too
        {U"1''0'", 10, READ_OK},  // and so is every other one
        {U"-'5", -5, READ_OK},
        {U"007", 7, READ_OK},
        {U"2147483647", MAX, READ_OK},
        {U"+2'147'483'647", MAX, READ_OK},
        {U"-2147483647", -MAX, READ_OK},
        {U"1x", 0, READ_INVALID},
        {U"1.0", 0, READ_INVALID},
        {U" 1", 0, READ_INVALID},
        {U"1 ", 0, READ_INVALID},
        {U"+-1", 0, READ_INVALID},
    });
}

// A text without a digit is an error, not 0.
TEST(ReadInteger, NoDigitIsInvalid) {
    check_integers({
        {U"", 0, READ_INVALID},
        {U"+", 0, READ_INVALID},
        {U"-", 0, READ_INVALID},
        {U"'", 0, READ_INVALID},
        {U"-''", 0, READ_INVALID},
    });
}

// Overflow is found from the magnitude, without wrap-around; the smallest
// integer is read only when nothing but ' follows its last digit.
TEST(ReadInteger, RangeEdges) {
    check_integers({
        {U"2147483648", 0, READ_OVERFLOW},
        {U"+2147483648", 0, READ_OVERFLOW},
        {U"-2147483648", MIN, READ_OK},
        {U"-2'147'483'648", MIN, READ_OK},
        {U"-2147483648'", MIN, READ_OK},
        {U"-2147483648''", MIN, READ_OK},
        {U"-2147483649", 0, READ_OVERFLOW},
        {U"-21474836480", 0, READ_OVERFLOW},
        {U"-2147483648'0", 0, READ_OVERFLOW},
        {U"-2147483648x", 0, READ_INVALID},
        {U"4294967297", 0, READ_OVERFLOW},  // 1 after a 32-bit wrap
        {U"21474836470", 0, READ_OVERFLOW},  // positive again after a wrap
        {U"99999999999999999999", 0, READ_OVERFLOW},
        // the first fault met answers
        {U"99999999999x", 0, READ_OVERFLOW},
        {U"1x99999999999", 0, READ_INVALID},
    });
}

// Code points above ASCII never count as the character of their low byte.
TEST(ReadInteger, CodePointsAboveAsciiAreInvalid) {
    check_integers({
        {U"\u0131", 0, READ_INVALID},  // low byte '1'
        {U"1\u0130", 0, READ_INVALID},  // low byte '0'
        {U"\u012D"
         U"1",
         0, READ_INVALID},  // low byte '-'
        {U"1\u0127"
         U"0",
         0, READ_INVALID},  // low byte '''
        {U"\u00B9", 0, READ_INVALID},  // superscript one
        {U"\uFF11", 0, READ_INVALID},  // fullwidth one
        {U"\U00010031", 0, READ_INVALID},
        {U"1\U0010FF30", 0, READ_INVALID},
    });
}

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

constexpr double INF = std::numeric_limits<double>::infinity();

struct FloatCase {
    std::u32string text;
    double value;  // unused when the reading fails
    int32_t error;
};

// The exact double when the reading succeeds, NaN when it fails.
void expect_float(const FloatRead& r, double value, int32_t error, const std::string& where) {
    EXPECT_EQ(r.error, error) << where;
    if (error == READ_OK) {
        EXPECT_EQ(bits(r.value), bits(value)) << where;
    } else {
        EXPECT_TRUE(std::isnan(r.value)) << where;
    }
}

void check_floats(const std::vector<FloatCase>& cases) {
    for (const FloatCase& c : cases) {
        in_every_form(c.text, [&](const Units& units, const std::string& where) {
            expect_float(read_float(units), c.value, c.error, where);
        });
    }
}

std::u32string repeated(char32_t c, size_t n, const std::u32string& tail) { return std::u32string(n, c) + tail; }

TEST(ReadFloat, DecimalTexts) {
    check_floats({
        {U"1,5", 1.5, READ_OK},
        {U"1'000.5", 1000.5, READ_OK},
        {U"1'000,5", 1000.5, READ_OK},
        {U"0.1", 0.1, READ_OK},
        {U"-1.5", -1.5, READ_OK},
        {U"+.5", 0.5, READ_OK},
        {U",25", 0.25, READ_OK},
        {U"1.", 1.0, READ_OK},
        {U"7", 7.0, READ_OK},
        {U"1'", 1.0, READ_OK},
        {U"1.5'5", 1.55, READ_OK},
        {U"1e3", 1000.0, READ_OK},
        {U"2,5E-1", 0.25, READ_OK},
        {U"-0.0", -0.0, READ_OK},
        {U"1e400", INF, READ_OK},
        {U"-1e400", -INF, READ_OK},
        {U"1e-400", 0.0, READ_OK},
    });
}

TEST(ReadFloat, MalformedTextsFail) {
    check_floats({
        {U"", 0, READ_INVALID},
        {U"+", 0, READ_INVALID},
        {U"'", 0, READ_INVALID},
        {U"'1", 0, READ_INVALID},
        {U"1''0", 0, READ_INVALID},
        {U"1x", 0, READ_INVALID},
        {U" 1", 0, READ_INVALID},
        {U"1e", 0, READ_INVALID},
        {U"1.e5", 0, READ_INVALID},
        {U"1,5,5", 0, READ_INVALID},
        {U"1.#INF", 0, READ_INVALID},
        {U"inf", 0, READ_INVALID},
        // the syntax lets these through; the converter takes none or part of them
        {U".", 0, READ_INVALID},
        {U",", 0, READ_INVALID},
        {U"-.", 0, READ_INVALID},
        {U"+-1", 0, READ_INVALID},
        {U"--1", 0, READ_INVALID},
    });
}

// 312 characters are read, 313 fail, whatever they hold.
TEST(ReadFloat, LengthLimit) {
    check_floats({
        {repeated(U'0', 311, U"1"), 1.0, READ_OK},
        {repeated(U'0', 312, U"1"), 0, READ_INVALID},
        {U"0." + repeated(U'0', 309, U"1"), 1e-310, READ_OK},
        {U"0." + repeated(U'0', 310, U"1"), 0, READ_INVALID},
    });
}

// Code points above ASCII fail; their low byte is never read in their place.
TEST(ReadFloat, CodePointsAboveAsciiFail) {
    check_floats({
        {U"\u0131", 0, READ_INVALID},  // low byte '1'
        {U"\u0131.5", 0, READ_INVALID},
        {U"1\u012E"
         U"5",
         0, READ_INVALID},  // low byte '.'
        {U"1\u012C"
         U"5",
         0, READ_INVALID},  // low byte ','
        {U"1\u0165"
         U"5",
         0, READ_INVALID},  // low byte 'e'
        {U"1\u0127"
         U"0",
         0, READ_INVALID},  // low byte '''
        {U"\u00B1"
         U"1",
         0, READ_INVALID},  // plus-minus sign
        {U"\uFF11", 0, READ_INVALID},
        {U"\U00010031", 0, READ_INVALID},
    });
}

// The lexer's entry: the float syntax, ' removed, a power of ten for percents,
// and no comma taken for a point.
TEST(ReadFloatToken, ScalesAndKeepsTheTokenSyntax) {
    struct Case {
        const char* text;
        int extra_exponent;
        double value;
        int32_t error;
    } cases[] = {
        {"12.5", -2, 0.125, READ_OK}, {"50", -2, 0.5, READ_OK},    {"1'000", 0, 1000.0, READ_OK},
        {".5e1", 0, 5.0, READ_OK},    {"1,5", 0, 0, READ_INVALID}, {"1.#INF", 0, 0, READ_INVALID},
        {".", -2, 0, READ_INVALID},
    };
    for (const Case& c : cases) {
        expect_float(numbers::read_float_token(c.text, c.extra_exponent), c.value, c.error, c.text);
    }
}

}  // namespace
}  // namespace kel::test
