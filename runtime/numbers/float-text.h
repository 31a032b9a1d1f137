// Decimal text of doubles, both ways, correctly rounded: float-to-text.cpp
// writes it, text-to-float.cpp reads it.
//
// float!, percent! and money! values become text through `float_to_string`
// and decimal text becomes a double through `string_to_float`. Infinities and
// NaN are written "1.#INF", "-1.#INF" and "1.#NaN" and read back from the
// same texts.
//
// Not reentrant: the text returned by `digits` and `float_to_string` lives in
// one static buffer and stays valid until the next conversion.
#pragma once
#include <cstddef>

namespace kel::dtoa {

// Point positions that `digits` reports instead of a real one.
inline constexpr int POINT_SPECIAL = 9999;  // infinity or NaN
inline constexpr int POINT_ZERO = 9998;  // positive or negative zero

// The most significant digits a conversion gives; a larger precision is
// treated as this one, so that every text fits the static buffer.
inline constexpr int MAX_PRECISION = 22;

// The decimal digits of `value`, without sign, point or trailing zeros:
// precision <= 0 gives the shortest digits that read back as exactly the same
// double; precision n > 0 the value correctly rounded to n significant digits
// (exact ties go to the even digit). `point` receives P such that the value is
// 0.D x 10^P, `negative` the sign bit, `count` the number of characters
// returned.
// Infinities and NaN set P to POINT_SPECIAL and return "1.#INF", "-1.#INF" or
// "1.#NaN"; zero sets P to POINT_ZERO and returns "0.0" / "-0.0" with
// `zero_point`, "0" / "-0" without.
const char* digits(double value, int precision, int& point, bool& negative, int& count, bool zero_point);

// The text of `value` with the digits of `digits`: plain notation while the
// point position P lies in -6 .. 17, exponent notation ("1.5e-7", "1.0e17")
// otherwise. A text whose digits end at the point gets ".0" with
// `zero_point` and no point at all without it. Special values and zero come
// back as `digits` gives them.
const char* float_to_string(double value, int precision, bool zero_point);

// The double nearest to the decimal text in [first, end) times
// 10^extra_exponent (ties to the even significand). The text is an optional
// sign, digits with an optional "." and an optional exponent ("e" or "E", an
// optional sign, digits). One digit, "." and "#" followed by "I" or "i" read
// as infinity with the sign, followed by "N" or "n" as a NaN without sign
// ("1.#INF", "-1.#INF", "1.#NaN"); reading ends after that letter. Otherwise
// reading stops at the first byte that does not fit; `unread` (may be null)
// receives the number of bytes left from there to `end`. Text with no digit
// gives zero with its sign and takes nothing. Values that round beyond the
// largest double give infinity, values at or below half the smallest denormal
// zero, both with the sign.
double string_to_float(const char* first, const char* end, int extra_exponent, std::ptrdiff_t* unread);

}  // namespace kel::dtoa
