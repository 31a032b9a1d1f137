// Number text the runtime hands out in fixed forms: a decimal text read as
// a double with the count of bytes left unread, and hex digits of bytes and
// 32-bit integers (upper case, as reports and molds write them).
//
// Not reentrant: the hex texts live in static buffers that the next call of
// the same function overwrites.
#pragma once
#include <cstdint>

namespace kel::numbers {

// The correctly rounded float of the decimal text [text, text + length) (a
// negative length reads nothing); *status (may be null) receives the number
// of bytes left unread.
double parse_float(const char* text, int32_t length, int32_t* status);
// The byte as two upper-case hex digits.
const char* format_hex_byte(uint8_t byte);
// Eight upper-case hex digits of the 32-bit value, or, trimmed, without
// leading zeros ("00" for 0).
const char* format_hex_int(int32_t value, bool trimmed);
// The value of an ASCII hexadecimal digit (either case), or -1 for any other
// byte.
inline int hex_digit_value(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace kel::numbers
