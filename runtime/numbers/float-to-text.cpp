// Double to decimal text: digit generation and the formatter around it.
//
// The digits come from std::to_chars, whose shortest form gives the shortest
// digit string that reads back as the same double (the one nearest to the
// value among those of that length) and whose precision form gives the
// exactly rounded digits, ties to even. Everything around the digits (zero,
// the special values, the point position, the choice of notation) is done
// here.
#include "runtime/numbers/float-text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/core/system.h"

namespace kel::dtoa {

namespace {

// The text buffer: a permanent "-" followed by the digits, so that a negative
// text is the same bytes one position earlier. The longest text is the plain
// form with P = -6 and MAX_PRECISION digits: "0." + six zeros + 22 digits and
// the terminating zero, 31 bytes.
constexpr int TEXT_CAPACITY = 31;
static_assert(2 + 6 + MAX_PRECISION + 1 <= TEXT_CAPACITY);
char text_buffer[1 + TEXT_CAPACITY] = {'-'};

char* text_digits() { return text_buffer + 1; }

const char* special_text(uint64_t bits, int& count) {
    const char* text;
    if ((bits & 0x000FFFFFFFFFFFFFull) != 0) {
        text = "1.#NaN";
    } else {
        text = (bits >> 63) ? "-1.#INF" : "1.#INF";
    }
    count = static_cast<int>(std::strlen(text));
    return text;
}

const char* zero_text(bool negative, bool zero_point, int& count) {
    const char* text = zero_point ? (negative ? "-0.0" : "0.0") : (negative ? "-0" : "0");
    count = static_cast<int>(std::strlen(text));
    return text;
}

// Writes a small integer (an exponent) at `out`; returns the end.
char* put_int(char* out, int value) {
    if (value < 0) {
        *out++ = '-';
        value = -value;  // |value| <= 324, no overflow
    }
    char reversed[8];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) *out++ = reversed[--n];
    return out;
}

}  // namespace

const char* digits(double value, int precision, int& point, bool& negative, int& count, bool zero_point) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    negative = (bits >> 63) != 0;
    if ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull) {
        point = POINT_SPECIAL;
        return special_text(bits, count);
    }
    if ((bits & 0x7FFFFFFFFFFFFFFFull) == 0) {
        point = POINT_ZERO;
        return zero_text(negative, zero_point, count);
    }

    // Scientific form "d.ddde-xx" of the magnitude: at most MAX_PRECISION
    // digits, a point and an exponent of up to 3 digits with its sign.
    char scratch[MAX_PRECISION + 8];
    const double magnitude = std::fabs(value);
    std::to_chars_result r;
    if (precision <= 0) {
        r = std::to_chars(scratch, scratch + sizeof scratch, magnitude, std::chars_format::scientific);
    } else {
        const int n = precision < MAX_PRECISION ? precision : MAX_PRECISION;
        r = std::to_chars(scratch, scratch + sizeof scratch, magnitude, std::chars_format::scientific, n - 1);
    }
    if (r.ec != std::errc{}) internal_fault();

    char* out = text_digits();
    int n = 0;
    const char* p = scratch;
    while (p < r.ptr && *p != 'e') {
        if (*p != '.') out[n++] = *p;
        ++p;
    }
    if (p == r.ptr || n == 0 || n > MAX_PRECISION) internal_fault();
    ++p;  // 'e'
    bool exponent_negative = false;
    if (p < r.ptr && (*p == '-' || *p == '+')) exponent_negative = *p++ == '-';
    int exponent = 0;
    for (; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');  // at most 3 digits
    if (exponent_negative) exponent = -exponent;

    while (n > 1 && out[n - 1] == '0') --n;  // the precision form pads with zeros
    out[n] = '\0';
    point = exponent + 1;
    count = n;
    return out;
}

const char* float_to_string(double value, int precision, bool zero_point) {
    int point;
    int count;
    bool negative;
    const char* text = digits(value, precision, point, negative, count, zero_point);
    if (point >= POINT_ZERO) return text;

    // The digits are at text_digits(); the notation is built around them in
    // place.
    char* out = text_digits();
    int length;
    if (point >= 18 || point < -6) {
        // d.ddd then e and P - 1
        std::memmove(out + 2, out + 1, static_cast<size_t>(count - 1));
        out[1] = '.';
        length = count + 1;
        if (count == 1) {
            if (zero_point) {
                out[length++] = '0';
            } else {
                --length;
            }
        }
        out[length++] = 'e';
        length = static_cast<int>(put_int(out + length, point - 1) - out);
    } else {
        if (point < 1) {
            // "0." then -P zeros then the digits
            const int shift = 2 - point;
            std::memmove(out + shift, out, static_cast<size_t>(count));
            out[0] = '0';
            out[1] = '.';
            std::memset(out + 2, '0', static_cast<size_t>(-point));
            length = shift + count;
        } else if (count < point) {
            // the digits, P - L zeros and the point
            std::memset(out + count, '0', static_cast<size_t>(point - count));
            length = point;
            out[length++] = '.';
        } else {
            // the point after the first P digits
            std::memmove(out + point + 1, out + point, static_cast<size_t>(count - point));
            out[point] = '.';
            length = count + 1;
        }
        if (out[length - 1] == '.') {
            if (zero_point) {
                out[length++] = '0';
            } else {
                --length;
            }
        }
    }
    out[length] = '\0';
    return negative ? out - 1 : out;
}

}  // namespace kel::dtoa
