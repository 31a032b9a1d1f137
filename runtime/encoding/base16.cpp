// Base16: two upper-case hexadecimal digits per byte.
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/encoding/base-encodings.h"
#include "runtime/encoding/base-units.h"

namespace kel::encoding {

namespace {

constexpr std::array<std::array<char, 2>, 256> make_pairs() {
    const char* digits = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = {digits[b >> 4], digits[b & 15]};
    return t;
}
constexpr auto pairs = make_pairs();

// hex_digit_values widened to every byte, for the loop over one-byte units.
constexpr std::array<uint8_t, 256> make_byte_digits() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = c < 128 ? hex_digit_values[c] : NOT_HEX;
    return t;
}
constexpr auto byte_digits = make_byte_digits();

#if defined(__SSE2__)
// The digit values of 16 characters, and in `valid` 0xFF for each that is a
// hexadecimal digit (bytes above 127 never are).
inline __m128i digit_values(__m128i c, __m128i& valid) {
    const __m128i bias = _mm_set1_epi8(char(0x80));  // unsigned compares through signed ones
    __m128i d = _mm_sub_epi8(c, _mm_set1_epi8('0'));
    __m128i is_digit = _mm_cmplt_epi8(_mm_xor_si128(d, bias), _mm_set1_epi8(char(0x80 + 10)));
    __m128i l = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    __m128i is_letter = _mm_cmplt_epi8(_mm_xor_si128(l, bias), _mm_set1_epi8(char(0x80 + 6)));
    valid = _mm_or_si128(is_digit, is_letter);
    return _mm_or_si128(_mm_and_si128(d, is_digit), _mm_and_si128(_mm_add_epi8(l, _mm_set1_epi8(10)), is_letter));
}

// Pairs of digit values (high nibble first) as 8 bytes in 16-bit lanes.
inline __m128i join_pairs(__m128i v) {
    return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), 4), _mm_srli_epi16(v, 8));
}

// 32 hexadecimal digits at p as 16 bytes at q; false (nothing written) when
// any of the 32 characters is not a digit.
inline bool decode_32_digits(const uint8_t* p, uint8_t* q) {
    __m128i valid_a, valid_b;
    __m128i a = digit_values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), valid_a);
    __m128i b = digit_values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), valid_b);
    if (_mm_movemask_epi8(_mm_and_si128(valid_a, valid_b)) != 0xFFFF) return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_packus_epi16(join_pairs(a), join_pairs(b)));
    return true;
}
#endif

template <uint32_t U>
int64_t decode_units(const uint8_t* text, uint64_t count, uint8_t* out) {
    uint8_t* q = out;
    uint32_t high = 0;
    bool half = false;  // one digit of the next byte is pending
    uint64_t i = 0;
    while (i < count) {
        if constexpr (U == 1) {
            // Runs of digits, the common case: 32 at a time where the
            // processor has SSE2, then pairs, with no test for blanks or
            // comments until a character is not a digit.
            if (!half) {
#if defined(__SSE2__)
                while (i + 32 <= count && decode_32_digits(text + i, q)) {
                    i += 32;
                    q += 16;
                }
#endif
                while (i + 2 <= count) {
                    uint32_t a = byte_digits[text[i]], b = byte_digits[text[i + 1]];
                    if ((a | b) > 15) break;
                    *q++ = uint8_t(a << 4 | b);
                    i += 2;
                }
                if (i == count) break;
            }
        }
        uint32_t cp = units::at<U>(text, i++);
        uint32_t digit = cp < 128 ? hex_digit_values[cp] : NOT_HEX;
        if (digit <= 15) {
            if (half)
                *q++ = uint8_t(high << 4 | digit);
            else
                high = digit;
            half = !half;
        } else if (cp == ';') {
            i = units::past_comment<U>(text, i, count);
        } else if (cp > 32) {
            return DECODE_INVALID;  // above 127 as well: never reduced to 7 bits
        }
    }
    return q - out;  // a single digit left over is dropped
}

}  // namespace

uint8_t* encode_16(const uint8_t* src, uint64_t n, uint8_t* out) {
    for (uint64_t i = 0; i < n; ++i, out += 2) std::memcpy(out, pairs[src[i]].data(), 2);
    return out;
}

int64_t decode_16(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out) {
    return units::by_unit(unit, [&](auto u) { return decode_units<decltype(u)::value>(text, count, out); });
}

}  // namespace kel::encoding
