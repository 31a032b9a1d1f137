// Decimal text to double, correctly rounded.
//
// The syntax, the special texts, the extra power of ten and the limits are
// handled here; the text is then reduced to a canonical "digits e exponent"
// form that std::from_chars rounds exactly (ties to even).
#include <charconv>
#include <cstdint>
#include <limits>

#include "runtime/core/system.h"
#include "runtime/numbers/float-text.h"

namespace kel::dtoa {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Significant digits handed to the rounding step. Every double and every
// point halfway between two neighbouring doubles has at most 769 significant
// digits, so a text cut after KEPT_DIGITS digits, with a 1 standing for the
// nonzero digits cut off, rounds exactly as the whole text does.
constexpr int KEPT_DIGITS = 800;

// Exponents beyond this magnitude are kept at it: the result is then infinity
// or zero whatever the digits are.
constexpr int64_t EXPONENT_LIMIT = 1'000'000'000'000'000;

double with_sign(double magnitude, bool negative) { return negative ? -magnitude : magnitude; }

}  // namespace

double string_to_float(const char* first, const char* end, int extra_exponent, std::ptrdiff_t* unread) {
    const char* s = first;
    auto finish = [&](const char* taken_end, double value) {
        if (unread != nullptr) *unread = end - taken_end;
        return value;
    };

    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) negative = *s++ == '-';

    bool any_digit = false;
    while (s < end && *s == '0') {
        ++s;
        any_digit = true;
    }
    if (any_digit && s == end) return finish(s, with_sign(0.0, negative));

    // Integer digits: after the skipped zeros, the first one is significant.
    const char* int_first = s;
    while (s < end && is_digit(*s)) ++s;
    const char* int_end = s;
    const std::ptrdiff_t int_count = int_end - int_first;

    const char* frac_first = s;
    const char* frac_end = s;
    bool stop = false;
    if (s < end && *s == '.') {
        if (int_count == 1 && s + 1 < end && s[1] == '#') {
            // "1.#INF", "-1.#INF", "1.#NaN": the letter after "#" decides,
            // nothing after it is read.
            const char letter = s + 2 < end ? s[2] : '\0';
            if (letter == 'I' || letter == 'i') {
                return finish(s + 3, with_sign(std::numeric_limits<double>::infinity(), negative));
            }
            if (letter == 'N' || letter == 'n') {
                return finish(s + 3, std::numeric_limits<double>::quiet_NaN());
            }
            ++s;  // the "." is taken, the "#" is not
            frac_first = frac_end = s;
            stop = true;
        } else {
            ++s;
            frac_first = s;
            while (s < end && is_digit(*s)) ++s;
            frac_end = s;
        }
    }
    if (int_count > 0 || frac_end > frac_first) any_digit = true;
    if (!any_digit) return finish(first, with_sign(0.0, negative));

    int64_t exponent = 0;
    if (!stop && s < end && (*s == 'e' || *s == 'E')) {
        const char* t = s + 1;
        bool exponent_negative = false;
        if (t < end && (*t == '+' || *t == '-')) exponent_negative = *t++ == '-';
        if (t < end && is_digit(*t)) {
            for (; t < end && is_digit(*t); ++t) {
                if (exponent < EXPONENT_LIMIT) exponent = exponent * 10 + (*t - '0');
            }
            if (exponent_negative) exponent = -exponent;
            s = t;
        }
        // Without exponent digits the "e" is not taken.
    }
    const char* taken_end = s;

    // The value is 0.D x 10^point, D starting with its first nonzero digit.
    const char* frac_significant = frac_first;
    int64_t point;
    if (int_count > 0) {
        point = int_count;
    } else {
        while (frac_significant < frac_end && *frac_significant == '0') ++frac_significant;
        if (frac_significant == frac_end) return finish(taken_end, with_sign(0.0, negative));
        point = -(frac_significant - frac_first);
    }
    point += exponent + extra_exponent;

    // 0.D x 10^point lies in [10^(point-1), 10^point).
    if (point > 309) {
        return finish(taken_end, with_sign(std::numeric_limits<double>::infinity(), negative));
    }
    if (point < -323) return finish(taken_end, with_sign(0.0, negative));

    char canonical[KEPT_DIGITS + 1 + 8];
    int kept = 0;
    bool cut_nonzero = false;
    auto keep = [&](const char* p, const char* e) {
        for (; p < e; ++p) {
            if (kept < KEPT_DIGITS) {
                canonical[kept++] = *p;
            } else if (*p != '0') {
                cut_nonzero = true;
            }
        }
    };
    keep(int_first, int_end);
    keep(int_count > 0 ? frac_first : frac_significant, frac_end);
    if (cut_nonzero) {
        canonical[kept++] = '1';
    } else {
        while (canonical[kept - 1] == '0') --kept;  // the first digit is not 0
    }
    // digits x 10^(point - kept); |point - kept| <= 1125
    char* c = canonical + kept;
    *c++ = 'e';
    auto scale = std::to_chars(c, canonical + sizeof canonical, point - kept);
    if (scale.ec != std::errc{}) internal_fault();

    double value = 0.0;
    auto r = std::from_chars(canonical, scale.ptr, value);
    if (r.ec == std::errc::result_out_of_range) {
        value = point > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc{} || r.ptr != scale.ptr) {
        internal_fault();
    }
    return finish(taken_end, with_sign(value, negative));
}

}  // namespace kel::dtoa
