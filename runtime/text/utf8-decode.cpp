// Decoding UTF-8: the table-driven decoder the lexer uses, and the checked
// decoder behind every load.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::unicode {

// A DFA over byte classes (the well-known table-driven UTF-8 decoder design):
// classes 0-11 in the first 256 bytes, then one row of 12 transitions per
// state; states are multiples of 12 so that state + class indexes the row.
const uint8_t utf8_decoder_table[364] = {
    // 00-7F: class 0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 80-8F: 1, 90-9F: 9, A0-BF: 7
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    // C0-C1: 8, C2-DF: 2
    8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    // E0: 10, E1-EC: 3, ED: 4, EE-EF: 3
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3,
    // F0: 11, F1-F3: 6, F4: 5, F5-FF: 8
    11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
    // transitions
    0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72,  // 0 accept
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 12 reject
    12, 0, 12, 12, 12, 12, 12, 0, 12, 0, 12, 12,  // 24 one more byte
    12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,  // 36 two more
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12,  // 48 after E0
    12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,  // 60 after ED
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // 72 after F0
    12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // 84 three more
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // 96 after F4
};

const uint8_t* fast_decode_utf8_sequence(const uint8_t* p, const uint8_t* end, int32_t& cp) {
    if (p >= end) {
        cp = -1;
        return p;
    }
    uint32_t b = *p++;
    if (b < 0x80) {
        cp = int32_t(b);
        return p;
    }
    uint32_t cls = utf8_decoder_table[b];
    uint32_t code = (0xFFu >> cls) & b;
    uint32_t state = utf8_decoder_table[256 + cls];
    while (state != UTF8_ACCEPT && state != UTF8_REJECT) {
        if (p == end) {  // cut off by the end of the text
            cp = -1;
            return p;
        }
        b = *p++;
        cls = utf8_decoder_table[b];
        code = (b & 0x3Fu) | (code << 6);
        state = utf8_decoder_table[256 + state + cls];
    }
    cp = state == UTF8_ACCEPT ? int32_t(code) : -1;
    return p;
}

namespace {

inline constexpr uint64_t HIGH_BITS = 0x8080808080808080ull;

// Skips the ASCII at the start of [p, end), 32 bytes at a time where possible.
inline const uint8_t* skip_ascii(const uint8_t* p, const uint8_t* end) {
    while (end - p >= 32) {
        uint64_t a, b, c, d;
        std::memcpy(&a, p, 8);
        std::memcpy(&b, p + 8, 8);
        std::memcpy(&c, p + 16, 8);
        std::memcpy(&d, p + 24, 8);
        if ((a | b | c | d) & HIGH_BITS) break;
        p += 32;
    }
    while (p < end && *p < 0x80) p++;
    return p;
}

}  // namespace

int32_t count_chars(const uint8_t* p, const uint8_t* end) {
    int64_t n = 0;
    while (p < end) {
        const uint8_t* q = skip_ascii(p, end);
        n += q - p;
        p = q;
        if (p == end) break;
        int32_t cp;
        p = fast_decode_utf8_char(p, end, cp);
        n++;
    }
    return n > INT32_MAX ? INT32_MAX : int32_t(n);
}

const uint8_t* skip_chars(const uint8_t* p, const uint8_t* end, int32_t n) {
    while (n > 0 && p < end) {
        if (*p < 0x80) {
            p++;
        } else {
            int32_t cp;
            p = fast_decode_utf8_char(p, end, cp);
        }
        n--;
    }
    return p;
}

uint32_t utf8_unit_needed(const uint8_t* p, const uint8_t* end) {
    // A sequence cut off by the end is left out: its lead is the last byte
    // that is not a continuation byte, within the last three.
    for (const uint8_t* q = end; q > p && end - q < 3;) {
        uint8_t c = *--q;
        if ((c & 0xC0) == 0x80) continue;
        if (c >= 0xC0 && utf8_seq_length(c) > end - q) end = q;
        break;
    }
    // Per word: a byte of 11xxxxxx with any of its next four bits set is
    // C4 or above, one of 1111xxxx is F0 or above. A bit shifted out of a
    // byte lands on bit 0 of the next, which the masks ignore.
    uint32_t unit = 1;
    while (end - p >= 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        p += 8;
        if (!(v & HIGH_BITS)) continue;
        uint64_t top2 = v & (v << 1);
        if (top2 & (v << 2) & (v << 3) & HIGH_BITS) return 4;
        if (top2 & ((v << 2) | (v << 3) | (v << 4) | (v << 5)) & HIGH_BITS) unit = 2;
    }
    for (; p < end; p++) {
        if (*p >= 0xF0) return 4;
        if (*p >= 0xC4) unit = 2;
    }
    return unit;
}

int32_t utf8_seq_length(uint8_t lead) {
    if ((lead & 0xF0) == 0xF0) return 4;
    if ((lead & 0xE0) == 0xE0) return 3;
    if ((lead & 0xC0) == 0xC0) return 2;
    return 0;
}

int32_t decode_utf8_char(const uint8_t* p, int32_t& n) {
    int32_t len = 0;
    int32_t cp = decode_utf8_status(p, n, len);
    if (cp == DECODE_MALFORMED) fire_invalid_encoding(p, n);
    if (cp >= 0) n = len;
    return cp;
}

}  // namespace kel::unicode
