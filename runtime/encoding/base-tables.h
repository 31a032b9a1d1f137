// The five constant tables of the base encodings. They are fixed at compile
// time and never written; the decode tables cover code points 0-127 only, so
// a reader must test a code point against 128 before it indexes one.
//
// - hex_digit_values: "0"-"9" give 0-9, "A"-"F" and "a"-"f" give 10-15,
//   everything else NOT_HEX. URL percent-decoding and the integer! and tuple!
//   readers use the same table.
// - base64_alphabet / base58_alphabet: digit value = position.
// - base64_decode_table / base58_decode_table: the alphabet's characters give
//   their digit values; "=" gives 0 in the Base64 table (the caller tells it
//   apart by its code point); backspace, tab, line feed, form feed, carriage
//   return, space and the apostrophe give SKIP; everything else INVALID. The
//   lexer's binary literals decode with the Base64 table too.
#pragma once
#include <array>
#include <cstdint>

namespace kel::encoding {

inline constexpr uint8_t NOT_HEX = 255;  // hex_digit_values: not a digit
inline constexpr uint8_t SKIP = 0x40;  // decode tables: passed over
inline constexpr uint8_t INVALID = 0x80;  // decode tables: makes the text invalid

inline constexpr char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
inline constexpr char base58_alphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
static_assert(sizeof base64_alphabet == 65 && sizeof base58_alphabet == 59);

namespace detail {

constexpr std::array<uint8_t, 128> make_hex_table() {
    std::array<uint8_t, 128> t{};
    for (auto& v : t) v = NOT_HEX;
    for (int c = '0'; c <= '9'; ++c) t[c] = uint8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = uint8_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = uint8_t(c - 'a' + 10);
    return t;
}

template <size_t N>
constexpr std::array<uint8_t, 128> make_decode_table(const char (&alphabet)[N], bool pad) {
    std::array<uint8_t, 128> t{};
    for (auto& v : t) v = INVALID;
    for (int c : {8, 9, 10, 12, 13, 32, 39}) t[c] = SKIP;
    for (size_t i = 0; i + 1 < N; ++i) t[uint8_t(alphabet[i])] = uint8_t(i);
    if (pad) t['='] = 0;
    return t;
}

}  // namespace detail

inline constexpr std::array<uint8_t, 128> hex_digit_values = detail::make_hex_table();
inline constexpr std::array<uint8_t, 128> base64_decode_table = detail::make_decode_table(base64_alphabet, true);
inline constexpr std::array<uint8_t, 128> base58_decode_table = detail::make_decode_table(base58_alphabet, false);

}  // namespace kel::encoding
