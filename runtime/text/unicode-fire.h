// The errors the text conversions raise.
#pragma once
#include <cstdint>

namespace kel::unicode {

// access/invalid-utf8 with a binary! of the first min(n, 4) bytes at p. The
// bytes are copied before anything is allocated, so p may point into a
// series buffer.
[[noreturn]] void fire_invalid_encoding(const uint8_t* p, int64_t n);
// script/invalid-char with the code point as an integer!.
[[noreturn]] void fire_invalid_char(uint32_t cp);

}  // namespace kel::unicode
