// Loading UTF-8, UTF-16LE and Windows-1251 bytes into a string buffer of the
// narrowest unit.
#include <cstring>

#include "runtime/unicode-fire.h"
#include "runtime/unicode.h"

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

// ASCII bytes at the start of [p, p + n), eight at a time; with stop_cr, a CR
// ends the run too.
inline uint64_t ascii_run(const uint8_t* p, uint64_t n, bool stop_cr) {
    uint64_t i = 0;
    while (n - i >= 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        uint64_t bad = v & HIGH_BITS;
        if (stop_cr) {
            uint64_t x = v ^ (LOW_BITS * '\r');
            bad |= (x - LOW_BITS) & ~x & HIGH_BITS;  // a zero byte where a CR was
        }
        if (bad) break;
        i += 8;
    }
    while (i < n && p[i] < 0x80 && !(stop_cr && p[i] == '\r')) i++;
    return i;
}

template <class Unit>
inline void store_ascii(uint8_t* __restrict dst, const uint8_t* __restrict src, uint64_t n) {
    if constexpr (sizeof(Unit) == 1) {
        std::memcpy(dst, src, n);
    } else {
        Unit* __restrict d = reinterpret_cast<Unit*>(dst);
        for (uint64_t i = 0; i < n; i++) d[i] = src[i];
    }
}

inline void store_unit(uint8_t* at, uint32_t unit, uint32_t cp) {
    switch (unit) {
    case 1: *at = uint8_t(cp); break;
    case 2: { uint16_t v = uint16_t(cp); std::memcpy(at, &v, 2); break; }
    default: std::memcpy(at, &cp, 4); break;
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

NodeId load_utf8_from(Source src, int32_t length, NodeId target, int32_t* unconsumed, bool crlf) {
    uint64_t len = length > 0 ? uint64_t(length) : 0;
    uint64_t capacity = len ? len : 1;
    NodeId node = target;
    if (node == 0) {
        node = memory::alloc_codepoints(capacity, 1);
    } else {
        SeriesBuffer* b = memory::buffer_of(node);
        uint64_t shift = unit_shift(b->unit());
        ensure_size(node, b->offset + (capacity << shift));
    }
    SeriesBuffer* b = memory::buffer_of(node);
    const uint8_t* s = src.ptr();
    uint64_t pos = 0;
    if (len >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) pos = 3;
    uint32_t unit = b->unit();
    uint64_t w = b->offset;  // write position: a byte offset from the data start
    while (pos < len) {
        uint64_t remaining = len - pos;
        // Runs of ASCII, as many as the buffer has room for.
        uint64_t room = (b->size - w) >> unit_shift(unit);
        uint64_t run = ascii_run(s + pos, remaining < room ? remaining : room, crlf);
        if (run) {
            uint8_t* dst = b->data() + w;
            if (unit == 1) store_ascii<uint8_t>(dst, s + pos, run);
            else if (unit == 2) store_ascii<uint16_t>(dst, s + pos, run);
            else store_ascii<uint32_t>(dst, s + pos, run);
            w += run * unit;
            pos += run;
            continue;
        }
        int32_t n = int32_t(remaining);
        int32_t cp = decode_utf8_char(s + pos, n);
        if (cp < 0) {  // an incomplete sequence at the end: left to the caller
            b->tail = w;
            if (unconsumed) *unconsumed = int32_t(remaining);
            return node;
        }
        if (crlf && cp == '\r') {
            if (remaining > 1 && s[pos + 1] == '\n') {  // CR LF: the LF is stored next
                pos++;
                continue;
            }
            cp = '\n';
        }
        uint32_t ucp = uint32_t(cp);
        if ((unit == 1 && ucp > 0xFF) || (unit == 2 && ucp > 0xFFFF)) {
            b->tail = w;
            b = widen_for(node, ucp);
            unit = b->unit();
            w = b->tail;
            s = src.ptr();
        }
        if (w + unit > b->size) {
            // Each input byte gives at most one unit, so unit 1 never gets here;
            // wider units grow by a part of the input's length.
            uint64_t grow = unit == 2 ? (len >> 2) : len;
            if (grow < unit) grow = unit;
            b->tail = w;
            b = memory::expand_series(b, round16(b->size + grow));
            s = src.ptr();
        }
        store_unit(b->data() + w, unit, ucp);
        w += unit;
        pos += uint64_t(n);
    }
    b->tail = w;
    if (unconsumed) *unconsumed = 0;
    return node;
}

// The source of load_utf16 and load_cp1251: the given bytes, or the data of
// the target cell's conversion cache.
Source source_of(const uint8_t* source, const Cell* target, int32_t& length) {
    Source src;
    if (source) {
        src.raw = source;
    } else if (target && target->data3) {
        src.node = target->data3;
    } else {
        length = 0;  // nothing to read from
    }
    if (length < 0) length = 0;
    return src;
}

inline uint32_t utf16_at(const uint8_t* s, uint64_t i) { return uint32_t(s[2 * i]) | uint32_t(s[2 * i + 1]) << 8; }

}  // namespace

NodeId load_utf8(const uint8_t* source, int32_t length, NodeId target, int32_t* unconsumed, bool crlf) {
    Source src;
    src.raw = source;
    return load_utf8_from(src, length, target, unconsumed, crlf);
}

NodeId load_utf8(NodeId source, uint64_t offset, int32_t length, NodeId target, int32_t* unconsumed,
                 bool crlf) {
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
    Source src = source_of(source, target, length);
    uint64_t len = uint64_t(length);
    uint32_t unit = len ? utf16_unit_size(src.ptr(), length) : 2;
    uint32_t shift = unit_shift(unit);
    NodeId node;
    if (target) {
        node = cell_node(*target);
        SeriesBuffer* b = memory::buffer_of(node);
        b = ensure_size(node, b->offset + (len << shift));
        set_unit(b, unit);
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
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

}  // namespace

uint32_t cp1251_to_cp(uint8_t byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return cp1251_high[byte - 0x80];
    return 0x0410 + (byte - 0xC0);
}

NodeId load_cp1251(const uint8_t* source, int32_t length, Cell* target, bool crlf) {
    Source src = source_of(source, target, length);
    uint64_t len = uint64_t(length);
    NodeId node;
    if (target) {
        node = cell_node(*target);
        SeriesBuffer* b = memory::buffer_of(node);
        ensure_size(node, b->offset + (len << unit_shift(b->unit())));
    } else {
        node = memory::alloc_codepoints(len ? len : 1, 1);
    }
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
