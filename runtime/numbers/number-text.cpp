#include "runtime/numbers/number-text.h"

#include <cstddef>

#include "runtime/numbers/float-text.h"

namespace kel::numbers {

namespace {

char hex_byte_text[3];
char hex_int_text[9];

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

}  // namespace

double parse_float(const char* text, int32_t length, int32_t* status) {
    std::ptrdiff_t unread = 0;
    double d = dtoa::string_to_float(text, text + (length < 0 ? 0 : length), 0, &unread);
    if (status) *status = int32_t(unread);
    return d;
}

const char* format_hex_byte(uint8_t byte) {
    hex_byte_text[0] = HEX_DIGITS[byte >> 4];
    hex_byte_text[1] = HEX_DIGITS[byte & 15];
    hex_byte_text[2] = 0;
    return hex_byte_text;
}

const char* format_hex_int(int32_t value, bool trimmed) {
    uint32_t v = uint32_t(value);
    for (int i = 7; i >= 0; --i) {
        hex_int_text[i] = HEX_DIGITS[v & 15];
        v >>= 4;
    }
    hex_int_text[8] = 0;
    if (!trimmed) return hex_int_text;
    if (value == 0) return hex_int_text + 6;  // "00"
    const char* p = hex_int_text;
    while (*p == '0') ++p;
    return p;
}

}  // namespace kel::numbers
