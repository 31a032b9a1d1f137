// Loading UTF-8, UTF-16LE and Windows-1251 bytes into a string buffer of the
// narrowest unit.
#include <bit>
#include <cstring>

#include "runtime/core/system.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::unicode {

namespace {

// Where the bytes come from: a pointer outside every series, or a byte offset
// in the data of a series, re-read after each allocation since the collector
// may move it.
struct Source {
    const uint8_t* raw = nullptr;
    NodeId node = 0;
    uint64_t offset = 0;
    const uint8_t* ptr() const { return node ? memory::buffer_of(node)->data() + offset : raw; }
};

inline constexpr uint64_t HIGH_BITS = 0x8080808080808080ull;
inline constexpr uint64_t LOW_BITS = 0x0101010101010101ull;

// The top bit of each byte of v that is a CR (and maybe of bytes above one).
inline uint64_t cr_bits(uint64_t v) {
    uint64_t x = v ^ (LOW_BITS * '\r');
    return (x - LOW_BITS) & ~x & HIGH_BITS;
}

inline void store_unit(uint8_t* at, uint32_t unit, uint32_t cp) {
    switch (unit) {
    case 1:
        *at = uint8_t(cp);
        break;
    case 2: {
        uint16_t v = uint16_t(cp);
        std::memcpy(at, &v, 2);
        break;
    }
    default:
        std::memcpy(at, &cp, 4);
        break;
    }
}

inline uint64_t round16(uint64_t n) { return (n + 15) & ~uint64_t(15); }

// Makes the buffer of `node` hold at least `bytes` from its data start.
SeriesBuffer* ensure_size(NodeId node, uint64_t bytes) {
    SeriesBuffer* b = memory::buffer_of(node);
    if (b->size < bytes) b = memory::expand_series(b, round16(bytes));
    return b;
}

void set_unit(SeriesBuffer* b, uint32_t unit) { b->flags = (b->flags & ~series_flag::UNIT_MASK) | unit; }

enum class Stop { END, INCOMPLETE, WIDER, FULL };

// The lowest byte of a word read from memory is the first byte (x86-64 and
// the other 64-bit Linux targets are little-endian).
static_assert(std::endian::native == std::endian::little);

// Stores 16 bytes of ASCII as 16 units of type Unit (a fixed count: the
// compiler widens it with vector instructions).
template <class Unit>
inline void store16(uint8_t* __restrict dst, const uint8_t* __restrict src) {
    if constexpr (sizeof(Unit) == 1) {
        std::memcpy(dst, src, 16);
    } else {
        for (int i = 0; i < 16; i++) {
            Unit u = src[i];
            std::memcpy(dst + i * sizeof(Unit), &u, sizeof(Unit));
        }
    }
}

// Decodes s[pos, len) into units of type Unit written at byte offset w of
// data, up to `size` bytes. Allocates nothing: it stops at the end, at an
// incomplete sequence, at a code point that Unit cannot hold (left unread, its
// value in `wide`) or when the buffer is full. Malformed input raises.
//
// ASCII goes 16 bytes at a time: a block is stored whole and the position
// then moves to its first byte with the top bit set (or its first CR when
// converting line ends), so text with a non-ASCII character every few words
// still copies its words in blocks. The common well-formed sequences are
// decoded inline; anything else (malformed, cut off by the end) goes to the
// checked decoder, which gives the same failure the byte-by-byte load gives.
template <class Unit>
Stop decode_run(const uint8_t* s, uint64_t& pos, uint64_t len, uint8_t* data, uint64_t& w, uint64_t size, bool crlf,
                uint32_t& wide) {
    constexpr uint32_t max_cp = sizeof(Unit) == 1 ? 0xFFu : sizeof(Unit) == 2 ? 0xFFFFu : 0x10FFFFu;
    uint64_t k = 0;  // units written
    const uint64_t cap = (size - w) / sizeof(Unit);
    uint8_t* out = data + w;
    uint64_t i = pos;
    Stop stop = Stop::END;
    while (i < len) {
        uint32_t c = s[i];
        if (c < 0x80) {
            // Whole blocks of ASCII, each stored before it is checked: the
            // units past the first byte that is not plain ASCII are written
            // again by what follows, or lie beyond the tail.
            while (len - i >= 16 && cap - k >= 16) {
                uint64_t a, b;
                std::memcpy(&a, s + i, 8);
                std::memcpy(&b, s + i + 8, 8);
                store16<Unit>(out + k * sizeof(Unit), s + i);
                uint64_t bad_a = a & HIGH_BITS, bad_b = b & HIGH_BITS;
                if (crlf) {
                    bad_a |= cr_bits(a);
                    bad_b |= cr_bits(b);
                }
                if ((bad_a | bad_b) != 0) {
                    // The lowest marked byte is exact: cr_bits marks wrongly
                    // only above a real CR.
                    uint64_t n =
                        bad_a ? uint64_t(std::countr_zero(bad_a)) >> 3 : 8 + (uint64_t(std::countr_zero(bad_b)) >> 3);
                    i += n;
                    k += n;
                    break;
                }
                i += 16;
                k += 16;
                // A long run: 32 bytes a test, stored once they pass.
                while (len - i >= 32 && cap - k >= 32) {
                    uint64_t w0, w1, w2, w3;
                    std::memcpy(&w0, s + i, 8);
                    std::memcpy(&w1, s + i + 8, 8);
                    std::memcpy(&w2, s + i + 16, 8);
                    std::memcpy(&w3, s + i + 24, 8);
                    uint64_t bad = (w0 | w1 | w2 | w3) & HIGH_BITS;
                    if (crlf) bad |= cr_bits(w0) | cr_bits(w1) | cr_bits(w2) | cr_bits(w3);
                    if (bad) break;
                    store16<Unit>(out + k * sizeof(Unit), s + i);
                    store16<Unit>(out + (k + 16) * sizeof(Unit), s + i + 16);
                    i += 32;
                    k += 32;
                }
            }
            if (i == len) break;
            c = s[i];
            if (c >= 0x80) continue;
            if (k == cap) {
                stop = Stop::FULL;
                break;
            }
            if (c == '\r' && crlf) {
                // CR LF keeps only the LF, which is read next; any other CR
                // becomes LF.
                if (i + 1 < len && s[i + 1] == '\n') {
                    i++;
                    continue;
                }
                c = '\n';
            }
            Unit u = Unit(c);
            std::memcpy(out + k++ * sizeof(Unit), &u, sizeof(Unit));
            i++;
            continue;
        }
        // A sequence of 2, 3 or 4 bytes. The allowed range of the second byte
        // rules out the overlong forms (E0 80-9F, F0 80-8F), the surrogates
        // (ED A0-BF) and values above 0x10FFFF (F4 90-BF).
        uint32_t cp;
        uint32_t n;
        uint64_t left = len - i;
        if (c >= 0xC2 && c < 0xE0 && left >= 2 && (s[i + 1] & 0xC0) == 0x80) {
            cp = (c & 0x1F) << 6 | (s[i + 1] & 0x3F);
            n = 2;
        } else if (c >= 0xE0 && c < 0xF0 && left >= 3 && s[i + 1] >= (c == 0xE0 ? 0xA0 : 0x80) &&
                   s[i + 1] <= (c == 0xED ? 0x9F : 0xBF) && (s[i + 2] & 0xC0) == 0x80) {
            cp = (c & 0x0F) << 12 | uint32_t(s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
            n = 3;
        } else if (c >= 0xF0 && c < 0xF5 && left >= 4 && s[i + 1] >= (c == 0xF0 ? 0x90 : 0x80) &&
                   s[i + 1] <= (c == 0xF4 ? 0x8F : 0xBF) && (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
            cp =
                (c & 0x07) << 18 | uint32_t(s[i + 1] & 0x3F) << 12 | uint32_t(s[i + 2] & 0x3F) << 6 | (s[i + 3] & 0x3F);
            n = 4;
        } else {
            int32_t length = 0;
            int32_t status = decode_utf8_status(s + i, left > INT32_MAX ? INT32_MAX : int32_t(left), length);
            if (status == DECODE_MALFORMED) fire_invalid_encoding(s + i, int64_t(left));
            // Only a sequence cut off by the end of the text is left here.
            stop = Stop::INCOMPLETE;
            break;
        }
        if (cp > max_cp) {
            wide = cp;
            stop = Stop::WIDER;
            break;
        }
        if (k == cap) {
            stop = Stop::FULL;
            break;
        }
        Unit u = Unit(cp);
        std::memcpy(out + k++ * sizeof(Unit), &u, sizeof(Unit));
        i += n;
    }
    pos = i;
    w += k * sizeof(Unit);
    return stop;
}

NodeId load_utf8_from(Source src, int32_t length, NodeId target, int32_t* unconsumed, bool crlf) {
    uint64_t len = length > 0 ? uint64_t(length) : 0;
    uint64_t capacity = len ? len : 1;
    NodeId node = target;
    if (node == 0) {
        // A new buffer starts at the unit its text needs, so a valid text is
        // decoded in one pass with no widening.
        const uint8_t* s = src.ptr();
        uint64_t from = len >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF ? 3 : 0;
        node = memory::alloc_codepoints(capacity, utf8_unit_needed(s + from, s + len));
    } else {
        SeriesBuffer* b = memory::buffer_of(node);
        uint64_t shift = unit_shift(b->unit());
        ensure_size(node, b->offset + (capacity << shift));
    }
    if (unconsumed) *unconsumed = 0;
    // Nothing to load: a target keeps its content and its tail.
    if (len == 0) return node;
    Rooted keep(node);  // a new buffer is held only here while it widens and grows
    SeriesBuffer* b = memory::buffer_of(node);
    const uint8_t* s = src.ptr();
    uint64_t pos = 0;
    if (len >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) pos = 3;
    uint64_t w = b->offset;  // write position: a byte offset from the data start
    for (;;) {
        uint32_t wide = 0;
        Stop stop;
        switch (b->unit()) {
        case 1:
            stop = decode_run<uint8_t>(s, pos, len, b->data(), w, b->size, crlf, wide);
            break;
        case 2:
            stop = decode_run<uint16_t>(s, pos, len, b->data(), w, b->size, crlf, wide);
            break;
        case 4:
            stop = decode_run<uint32_t>(s, pos, len, b->data(), w, b->size, crlf, wide);
            break;
        default:
            no_switch_matched();
        }
        b->tail = w;
        if (stop == Stop::END) break;
        if (stop == Stop::INCOMPLETE) {  // left to the caller, who may have more
            if (unconsumed) *unconsumed = int32_t(len - pos);
            return node;
        }
        if (stop == Stop::WIDER) {
            // Room for the rest of the input at the new unit (each byte
            // gives at most one unit), so the buffer never grows after this.
            uint32_t unit = widen_for(node, wide)->unit();
            b = memory::buffer_of(node);
            b = ensure_size(node, b->tail + (len - pos) * unit);
            w = b->tail;
        } else {
            // Not reached while each input byte gives at most one unit: a
            // target is sized for the input at its unit, and so is a widened
            // buffer. Wider units grow by a part of the input's length.
            uint64_t unit = b->unit();
            uint64_t grow = unit == 2 ? (len >> 2) : len;
            if (grow < unit) grow = unit;
            b = memory::expand_series(b, round16(b->size + grow));
        }
        s = src.ptr();  // the allocation may have moved the source
    }
    return node;
}

// The source of load_utf16 and load_cp1251: the given bytes, or the data of
// the target cell's conversion cache. A length of `width`-byte units beyond
// what the cache holds is cut to it, so that nothing past the cache is read.
Source source_of(const uint8_t* source, const Cell* target, int32_t& length, uint32_t width) {
    Source src;
    if (length < 0) length = 0;
    if (source) {
        src.raw = source;
    } else if (target && target->data3) {
        src.node = target->data3;
        uint64_t room = memory::buffer_of(src.node)->size / width;
        if (uint64_t(length) > room) length = int32_t(room);
    } else {
        length = 0;  // nothing to read from
    }
    return src;
}

inline uint32_t utf16_at(const uint8_t* s, uint64_t i) { return uint32_t(s[2 * i]) | uint32_t(s[2 * i + 1]) << 8; }

}  // namespace

NodeId load_utf8(const uint8_t* source, int32_t length, NodeId target, int32_t* unconsumed, bool crlf) {
    Source src;
    src.raw = source;
    return load_utf8_from(src, length, target, unconsumed, crlf);
}

NodeId load_utf8(NodeId source, uint64_t offset, int32_t length, NodeId target, int32_t* unconsumed, bool crlf) {
    Source src;
    src.node = source;
    src.offset = offset;
    return load_utf8_from(src, length, target, unconsumed, crlf);
}

NodeId load_utf8_into(const uint8_t* source, int32_t length, const Cell& str, int32_t* unconsumed) {
    return load_utf8(source, length, cell_node(str), unconsumed, false);
}

NodeId load_utf8(const uint8_t* source, int32_t length) { return load_utf8(source, length, 0, nullptr, false); }

uint32_t utf16_unit_size(const uint8_t* source, int32_t length) {
    uint32_t unit = 1;
    for (int64_t i = 0; i < length; i++) {
        uint8_t high = source[2 * i + 1];
        if (high >= 0xD8 && high <= 0xDF) return 4;
        if (high) unit = 2;
    }
    return unit;
}

NodeId load_utf16(const uint8_t* source, int32_t length, Cell* target, bool skip_cr) {
    Source src = source_of(source, target, length, 2);
    uint64_t len = uint64_t(length);
    // A target takes the unit the text needs (1 for no text); a new buffer
    // for no text gets unit 2.
    uint32_t unit = len || target ? utf16_unit_size(src.ptr(), length) : 2;
    uint32_t shift = unit_shift(unit);
    NodeId node;
    if (target) {
        node = cell_node(*target);
        SeriesBuffer* b = memory::buffer_of(node);
        b = ensure_size(node, b->offset + (len << shift));
        set_unit(b, unit);
        b->tail = b->offset;  // its old units are not of this size
    } else {
        node = memory::alloc_codepoints(len ? len : 1, unit);
    }
    SeriesBuffer* b = memory::buffer_of(node);
    const uint8_t* s = src.ptr();  // after the allocations above
    uint8_t* out = b->head_ptr();
    uint64_t k = 0;  // units written
    switch (unit) {
    case 1:
        for (uint64_t i = 0; i < len; i++) {
            uint8_t c = s[2 * i];
            if (skip_cr && c == '\r') continue;
            out[k++] = c;
        }
        break;
    case 2:
        if (!skip_cr) {
            if (len) std::memcpy(out, s, len * 2);
            k = len;
        } else {
            for (uint64_t i = 0; i < len; i++) {
                uint32_t u = utf16_at(s, i);
                if (u == '\r') continue;
                store_unit(out + 2 * k++, 2, u);
            }
        }
        break;
    default:
        for (uint64_t i = 0; i < len; i++) {
            uint32_t u = utf16_at(s, i);
            if (skip_cr && u == '\r') continue;
            if (u >= 0xD800 && u <= 0xDBFF) {
                // A high surrogate needs a low one right after it.
                if (i + 1 >= len) fire_invalid_encoding(s + 2 * i, 2);
                uint32_t low = utf16_at(s, i + 1);
                if (low < 0xDC00 || low > 0xDFFF) fire_invalid_encoding(s + 2 * i, 4);
                u = 0x10000 + (((u & 0x3FF) << 10) | (low & 0x3FF));
                i++;
            }
            store_unit(out + 4 * k++, 4, u);
        }
        break;
    }
    b->tail = b->offset + (k << shift);
    return node;
}

namespace {

// Windows-1251 bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order. The
// unassigned 0x98 stands for U+0098.
const uint16_t cp1251_high[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

}  // namespace

uint32_t cp1251_to_cp(uint8_t byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return cp1251_high[byte - 0x80];
    return 0x0410 + (byte - 0xC0);
}

NodeId load_cp1251(const uint8_t* source, int32_t length, Cell* target, bool crlf) {
    Source src = source_of(source, target, length, 1);
    uint64_t len = uint64_t(length);
    NodeId node;
    if (target) {
        node = cell_node(*target);
        SeriesBuffer* b = memory::buffer_of(node);
        ensure_size(node, b->offset + (len << unit_shift(b->unit())));
    } else {
        node = memory::alloc_codepoints(len ? len : 1, 1);
    }
    Rooted keep(node);  // a new buffer is held only here while it widens
    SeriesBuffer* b = memory::buffer_of(node);
    const uint8_t* s = src.ptr();
    uint32_t unit = b->unit();
    uint64_t w = b->offset;
    for (uint64_t i = 0; i < len; i++) {
        uint32_t cp = cp1251_to_cp(s[i]);
        if (crlf && cp == '\r') {
            if (i + 1 < len && s[i + 1] == '\n') continue;
            cp = '\n';
        }
        if (unit == 1 && cp > 0xFF) {
            // Cyrillic does not fit a one-byte unit: widen, and make room for
            // the rest of the input at the new unit.
            b->tail = w;
            b = widen_latin1_to_ucs2(b);
            unit = 2;
            w = b->tail;
            b = ensure_size(node, w + (len - i) * 2);
            s = src.ptr();
        }
        store_unit(b->data() + w, unit, cp);
        w += unit;
    }
    b->tail = w;
    return node;
}

}  // namespace kel::unicode
