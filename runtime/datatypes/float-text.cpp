// The friendly text of doubles (form of float!, percent!, the seconds of
// time!, vector! elements and point coordinates) and float!'s form and mold.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/datatypes/float-internal.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/string.h"
#include "runtime/numbers/float-text.h"
#include "runtime/numbers/float32.h"

namespace kel::float_ {

namespace {

bool pretty = true;
bool full = false;

void set_text(Text& t, const char* s) {
    t.length = uint32_t(std::strlen(s));
    std::memcpy(t.chars, s, t.length + 1);
}

// printf's "%.<precision>g" in the C locale.
void format_general(Text& t, double x, int precision) {
    auto r = std::to_chars(t.chars, t.chars + sizeof t.chars - 1, x, std::chars_format::general, precision);
    t.length = uint32_t(r.ptr - t.chars);
    t.chars[t.length] = 0;
}

void first_format(Text& t, double x, int mode) {
    switch (mode) {
    case TEXT_FLOAT:
        format_general(t, x, 16);
        break;
    case TEXT_PERCENT:
        format_general(t, x, 13);
        break;
    case TEXT_SECONDS:
        set_text(t, dtoa::float_to_string(x, 6, false));
        break;
    default:
        format_general(t, x, 7);
        break;
    }
}

struct Scan {
    bool point;
    int e;  // position of the "e", or -1
};

Scan scan(const Text& t) {
    Scan s{false, -1};
    for (uint32_t i = 0; i < t.length; ++i) {
        if (t.chars[i] == '.') s.point = true;
        if (t.chars[i] == 'e') {
            s.e = int(i);
            break;
        }
    }
    return s;
}

// The text ends in noise such as 0.7999999999999999 or 0.30000000000000001:
// it is long and its last two digits (before any exponent) are "99" or "01".
bool noisy(const Text& t, const Scan& s) {
    const char* end;
    if (s.e < 0) {
        const char* first = t.chars[0] == '-' ? t.chars + 1 : t.chars;
        if (t.length <= 16 || (*first == '0' && t.length <= 17)) return false;
        end = t.chars + t.length;
    } else {
        if (s.e <= 16) return false;
        end = t.chars + s.e;
    }
    return (end[-2] == '0' && end[-1] == '1') || (end[-2] == '9' && end[-1] == '9');
}

// Drops the "+" and the leading zeros of the exponent: 1e+020 gives 1e20,
// 1e-05 gives 1e-5.
void compact_exponent(Text& t, int e) {
    uint32_t from = uint32_t(e) + 1, to = from;
    if (t.chars[from] == '+')
        ++from;
    else if (t.chars[from] == '-')
        to = ++from;
    while (from + 1 < t.length && t.chars[from] == '0') ++from;
    std::memmove(t.chars + to, t.chars + from, t.length - from + 1);
    t.length -= from - to;
}

void insert_at(Text& t, uint32_t at, const char* s) {
    uint32_t n = uint32_t(std::strlen(s));
    std::memmove(t.chars + at + n, t.chars + at, t.length - at + 1);
    std::memcpy(t.chars + at, s, n);
    t.length += n;
}

}  // namespace

bool pretty_print() { return pretty; }
void set_pretty_print(bool on) { pretty = on; }
bool full_support() { return full; }
void set_full_support(bool on) { full = on; }

Text to_text(double x, int mode) {
    Text t;
    if (std::isnan(x)) {
        set_text(t, "1.#NaN");
        return t;
    }
    if (std::isinf(x)) {
        set_text(t, x < 0 ? "-1.#INF" : "1.#INF");
        return t;
    }
    bool percentage = mode == TEXT_PERCENT32 || mode == TEXT_PERCENT;
    if (pretty && std::fabs(x) < DBL_EPSILON) {
        set_text(t, percentage ? "0%" : mode == TEXT_POINT ? "0" : "0.0");
        return t;
    }
    first_format(t, x, mode);
    Scan s = scan(t);
    if (pretty && noisy(t, s)) {
        bool short_retry = mode == TEXT_FLOAT32 || mode == TEXT_SECONDS || mode == TEXT_POINT;
        format_general(t, x, short_retry ? 5 : 14);
        s = scan(t);
    }
    if (s.e >= 0) compact_exponent(t, s.e);
    if (percentage) {
        insert_at(t, t.length, "%");
    } else if ((mode == TEXT_FLOAT32 || mode == TEXT_FLOAT) && !s.point) {
        insert_at(t, s.e >= 0 ? uint32_t(s.e) : t.length, ".0");
    }
    return t;
}

namespace {

// The decimal 0.D x 10^point written without an exponent.
std::string positional(const char* digits, int count, int point) {
    std::string out;
    if (point <= 0) {
        out = "0.";
        out.append(size_t(-point), '0');
        out.append(digits, size_t(count));
    } else if (count <= point) {
        out.assign(digits, size_t(count));
        out.append(size_t(point - count), '0');
    } else {
        out.assign(digits, size_t(point));
        out += '.';
        out.append(digits + point, size_t(count - point));
    }
    return out;
}

// The double nearest the shortest decimal that reads back as the 32-bit
// float f, when reading it as a double and narrowing gives f again (the two
// roundings may part at a midpoint); else f itself, whose double text is
// always exact.
double shortest_float32(float f) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text, f, std::chars_format::scientific);
    double back = dtoa::string_to_float(text, r.ptr, 0, nullptr);
    return numbers::float32_bits(numbers::to_float32(back)) == numbers::float32_bits(f) ? back : double(f);
}

}  // namespace

std::string exact_text(double x, bool percentage, bool float32) {
    if (std::isnan(x) || std::isinf(x)) return to_text(x, percentage ? TEXT_PERCENT : TEXT_FLOAT).chars;
    if (float32) x = shortest_float32(numbers::to_float32(x));
    if (!percentage) return dtoa::float_to_string(x, 0, true);
    int point = 0, count = 0;
    bool negative = false;
    const char* digits = dtoa::digits(x, 0, point, negative, count, false);
    if (point == dtoa::POINT_ZERO) return std::string(digits) + "%";
    // The value is 0.D x 10^point; its percentage moves the point by two.
    // The lexer reads a number of at most 312 characters, and in a percent
    // an exponent only as digits, "E" and digits: a large whole number is
    // written so (1E300%). A value below about 1e-308% has no text it reads.
    std::string sign = negative ? "-" : "";
    int places = point + 2;
    if (places > 300 && count <= places)
        return sign + std::string(digits, size_t(count)) + "E" + std::to_string(places - count) + "%";
    return sign + positional(digits, count, places) + "%";
}

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    Text t = to_text(get(value), TEXT_FLOAT);
    string::append_c_string_part(buffer, t.chars, int32_t(t.length));
    return limit - t.length;
}

// The shortest text that reads back as the same double; zeros as 0.0 and
// -0.0.
int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    const char* text = dtoa::float_to_string(get(value), 0, true);
    int32_t length = int32_t(std::strlen(text));
    string::append_c_string_part(buffer, text, length);
    return options.limit - length;
}

}  // namespace kel::float_
