// Numbers read from the characters of a text, for `to integer!`, `to float!`
// and `make float!` of a string and for the lexer's number loaders.
//
// The characters come either as code units of a string series (1, 2 or 4
// bytes each, little-endian, one code point per unit) or as UTF-8 bytes.
// Every character these readers accept is ASCII and every byte of a UTF-8
// multi-byte sequence is above 0x7F, so UTF-8 text reads exactly as the same
// bytes taken as 1-byte units; a code point above 0x7F is always refused,
// never reduced to its low byte.
//
// The readers raise nothing and allocate nothing: a failure is the `error`
// of the result, and the caller raises its own conversion error. Since they
// never allocate, `first` may point into a series buffer for the call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kel::numbers {

// Errors of a reading.
inline constexpr int32_t READ_OK = 0;
inline constexpr int32_t READ_INVALID = -1;  // a character out of place, or no digit at all
inline constexpr int32_t READ_OVERFLOW = -2;  // the integer does not fit 32 bits

struct IntegerRead {
    int32_t value;  // 0 on error
    int32_t error;  // READ_OK, READ_INVALID or READ_OVERFLOW
};

struct FloatRead {
    double value;  // NaN on error
    int32_t error;  // READ_OK or READ_INVALID
};

// An optional `+` or `-`, then decimal digits with `'` ignored wherever it
// stands (also first: "'1000" is 1000). No digit at all ("", "-", "'") and any
// other character are READ_INVALID; a magnitude beyond 2147483647
// (2147483648 after `-`) is READ_OVERFLOW. The text is read from the start and
// the first fault found is the answer: "99999999999x" overflows, "1x9999999999"
// is invalid, "-2147483648x" is invalid.
IntegerRead read_integer(const uint8_t* first, size_t count, uint32_t unit);
IntegerRead read_integer(std::string_view utf8);

// A text of at most FLOAT_TEXT_LIMIT characters, ASCII only, with every `,`
// read as `.`, that passes the float syntax (float-syntax.h) and holds a
// number once its `'` are removed: the correctly rounded double (ties to even;
// beyond the largest double it is infinity, below half the smallest denormal
// zero, with the sign). Anything else is READ_INVALID. The special texts
// "1.#INF" and "1.#NaN" are not read here.
FloatRead read_float(const uint8_t* first, size_t count, uint32_t unit);
FloatRead read_float(std::string_view utf8);

// The lexer's float and percent loaders: bytes that must pass the float
// syntax, read with `'` removed and times 10^extra_exponent (-2 for a
// percent). No `,` is taken for a point here.
FloatRead read_float_token(std::string_view text, int extra_exponent);

}  // namespace kel::numbers
