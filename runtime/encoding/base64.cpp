// Base64: the alphabet and "=" padding of RFC 4648, no line breaks.
#include <array>
#include <cstring>

#include "runtime/encoding/base-encodings.h"
#include "runtime/encoding/base-units.h"

namespace kel::encoding {

namespace {

// Two characters for every 12-bit value: a group of 3 bytes is two look-ups.
constexpr std::array<std::array<char, 2>, 4096> make_pairs() {
    std::array<std::array<char, 2>, 4096> t{};
    for (int v = 0; v < 4096; ++v) t[v] = {base64_alphabet[v >> 6], base64_alphabet[v & 63]};
    return t;
}
constexpr auto pairs = make_pairs();

// For the loop over one-byte units: the digit value of each byte already
// shifted to its place in a group of four (position 0 highest), and BAD for
// anything that is not a digit ("=", blanks, ";", code points above 127).
constexpr uint32_t BAD = 1u << 24;
constexpr std::array<std::array<uint32_t, 256>, 4> make_placed() {
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (int pos = 0; pos < 4; ++pos)
        for (int c = 0; c < 256; ++c) {
            uint8_t v = c < 128 && c != '=' ? base64_decode_table[c] : INVALID;
            t[pos][c] = v < 64 ? uint32_t(v) << (6 * (3 - pos)) : BAD;
        }
    return t;
}
constexpr auto placed = make_placed();

inline uint8_t* put3(uint8_t* q, uint32_t group) {
    q[0] = uint8_t(group >> 16);
    q[1] = uint8_t(group >> 8);
    q[2] = uint8_t(group);
    return q + 3;
}

template <uint32_t U>
int64_t decode_units(const uint8_t* text, uint64_t count, uint8_t* out) {
    uint8_t* q = out;
    uint32_t acc = 0;
    int pending = 0;
    uint64_t i = 0;
    while (i < count) {
        if constexpr (U == 1) {
            // Whole groups of four digits, the common case.
            if (pending == 0) {
                while (i + 4 <= count) {
                    uint32_t group =
                        placed[0][text[i]] | placed[1][text[i + 1]] | placed[2][text[i + 2]] | placed[3][text[i + 3]];
                    if (group & BAD) break;
                    q = put3(q, group);
                    i += 4;
                }
                if (i == count) break;
            }
        }
        uint32_t cp = units::at<U>(text, i++);
        if (cp >= 128) return DECODE_INVALID;
        if (cp == '=') {
            // The end of the text: whatever follows is not read.
            if (pending == 3) {
                q[0] = uint8_t(acc >> 10);
                q[1] = uint8_t(acc >> 2);
                return q + 2 - out;
            }
            if (pending == 2) {
                q[0] = uint8_t(acc >> 4);
                return q + 1 - out;
            }
            return DECODE_INVALID;
        }
        uint8_t v = base64_decode_table[cp];
        if (v < SKIP) {
            acc = acc << 6 | v;
            if (++pending == 4) {
                q = put3(q, acc);
                acc = 0;
                pending = 0;
            }
        } else if (cp == ';') {
            i = units::past_comment<U>(text, i, count);
        } else if (v != SKIP) {
            return DECODE_INVALID;
        }
    }
    return q - out;  // 1 to 3 pending digits without "=" are dropped
}

}  // namespace

uint8_t* encode_64(const uint8_t* src, uint64_t n, uint8_t* out) {
    uint64_t whole = n - n % 3;
    for (uint64_t i = 0; i < whole; i += 3, out += 4) {
        uint32_t group = uint32_t(src[i]) << 16 | uint32_t(src[i + 1]) << 8 | src[i + 2];
        std::memcpy(out, pairs[group >> 12].data(), 2);
        std::memcpy(out + 2, pairs[group & 0xFFF].data(), 2);
    }
    if (n % 3 == 2) {
        uint32_t b0 = src[whole], b1 = src[whole + 1];
        out[0] = uint8_t(base64_alphabet[b0 >> 2]);
        out[1] = uint8_t(base64_alphabet[((b0 << 4) & 0x30) + (b1 >> 4)]);
        out[2] = uint8_t(base64_alphabet[(b1 << 2) & 0x3C]);
        out[3] = '=';
        out += 4;
    } else if (n % 3 == 1) {
        uint32_t b0 = src[whole];
        out[0] = uint8_t(base64_alphabet[b0 >> 2]);
        out[1] = uint8_t(base64_alphabet[(b0 << 4) & 0x30]);
        out[2] = '=';
        out[3] = '=';
        out += 4;
    }
    return out;
}

int64_t decode_64(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out) {
    return units::by_unit(unit, [&](auto u) { return decode_units<decltype(u)::value>(text, count, out); });
}

}  // namespace kel::encoding
