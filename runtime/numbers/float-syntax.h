// The syntax of decimal float text, shared by the lexer's float, percent and
// point loaders and by the text-to-float reader (text-to-number.h).
//
// Accepted: an optional run of signs, then digits with optional `'` between
// or after them, an optional `.` with more digits (a `'` may follow a
// fraction digit), and an optional exponent (`e` or `E`, one optional sign,
// at least one digit). A text may also start with `.` (".5"), end at the point
// ("1.") or be the point alone: those without a digit pass this check and are
// refused by the converter, which must take the whole text. Refused: text
// longer than FLOAT_TEXT_LIMIT bytes, any byte outside `+-0123456789eE.'`,
// `'` at the start, twice in a row, right after the point or in the
// exponent, an exponent right after the point or a `'`, a second point.
#pragma once
#include <cstddef>
#include <string_view>

namespace kel::numbers {

// The longest float text accepted, in bytes.
inline constexpr size_t FLOAT_TEXT_LIMIT = 312;

// Whether the bytes pass the float syntax table.
bool float_syntax(std::string_view text);

}  // namespace kel::numbers
