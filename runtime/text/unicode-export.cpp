// Export of a string's units as UTF-8 or UTF-16, into the string's conversion
// cache or into a caller's buffer.
#include <cstring>

#include "runtime/text/unicode.h"

namespace kel::unicode {

namespace {

// The units of a string from its head to its tail: the head byte offset in
// the buffer's data and the count, clamped when the head lies past the tail.
struct Span {
    uint64_t start;
    uint64_t count;
    uint32_t unit;
};

Span span_of(const Cell& str) {
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    uint32_t unit = b->unit();
    uint32_t shift = unit_shift(unit);
    uint64_t start = b->offset + (uint64_t(cell_head(str)) << shift);
    if (start > b->tail) start = b->tail;
    return Span{start, (b->tail - start) >> shift, unit};
}

// count lowered to `limit` unless the limit is -1 (all); other negative
// limits give nothing.
uint64_t limit_count(uint64_t count, int64_t limit) {
    if (limit == -1) return count;
    if (limit < 0) return 0;
    return uint64_t(limit) < count ? uint64_t(limit) : count;
}

const uint8_t* units_of(const Cell& str, const Span& s) { return memory::buffer_of(cell_node(str))->data() + s.start; }

// UTF-8 of n units at p into out (which has room for all of it); with crlf a
// CR precedes each LF. Returns the bytes written.
uint64_t encode_units(const uint8_t* p, uint32_t unit, uint64_t n, uint8_t* out, bool crlf) {
    uint8_t* q = out;
    switch (unit) {
    case 1:
        for (uint64_t i = 0; i < n; i++) {
            uint8_t c = p[i];
            if (c < 0x80) {
                if (crlf && c == '\n') *q++ = '\r';
                *q++ = c;
            } else {
                *q++ = uint8_t(0xC0 | (c >> 6));
                *q++ = uint8_t(0x80 | (c & 0x3F));
            }
        }
        break;
    default:
        for (uint64_t i = 0; i < n; i++) {
            uint32_t cp = get_unit(p, unit, i);
            if (crlf && cp == '\n') *q++ = '\r';
            q += encode_utf8_char(cp, q);
        }
        break;
    }
    return uint64_t(q - out);
}

int32_t clamp32(uint64_t v) { return v > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(v); }

}  // namespace

uint8_t* get_cache(Cell& str, uint64_t size) {
    NodeId cache = str.data3;
    if (cache == 0) {
        cache = memory::alloc_bytes(size);
        str.data3 = cache;
    } else {
        SeriesBuffer* b = memory::buffer_of(cache);
        if (b->size < size) memory::expand_series(b, (size + 15) & ~uint64_t(15));
    }
    return memory::buffer_of(cache)->data();
}

uint8_t* to_utf8(Cell& str, int32_t& length) { return to_utf8(str, length, false); }

uint8_t* to_utf8(Cell& str, int32_t& length, bool crlf) {
    Span s = span_of(str);
    uint64_t n = limit_count(s.count, length);
    uint64_t per_unit = s.unit == 1 ? 2 : s.unit == 2 ? 3 : 4;
    uint8_t* out = get_cache(str, per_unit * (n + 1));
    uint64_t written = encode_units(units_of(str, s), s.unit, n, out, crlf);  // re-read after allocating
    out[written] = 0;
    length = clamp32(written);
    return out;
}

int64_t to_utf8_buffer(const Cell& str, uint8_t* out, int32_t max_units, bool nul) {
    Span s = span_of(str);
    uint64_t n = limit_count(s.count, max_units);
    uint64_t written = encode_units(units_of(str, s), s.unit, n, out, false);
    if (nul) out[written] = 0;
    return int64_t(written);
}

int64_t to_utf8_buffer(const Cell& str, uint8_t* out, int64_t room, int32_t max_units, bool nul) {
    Span s = span_of(str);
    uint64_t n = s.count;
    if (max_units > 0 && uint64_t(max_units) < n) n = uint64_t(max_units);
    const uint8_t* p = units_of(str, s);
    int64_t written = 0;
    for (uint64_t i = 0; i < n && written < room; i++) {
        int64_t left = room - written;
        written += encode_utf8_char(get_unit(p, s.unit, i), out + written, left > 4 ? 4 : int32_t(left));
    }
    if (nul) out[written] = 0;
    return written;
}

uint16_t* to_utf16(Cell& str) {
    int32_t count = -1;
    return to_utf16(str, count, true);
}

uint16_t* to_utf16(Cell& str, int32_t& count, bool crlf) {
    Span s = span_of(str);
    uint64_t n = limit_count(s.count, count);
    const uint8_t* p = units_of(str, s);
    uint64_t extra = uint64_t(utf16_extra_size(p, p + (n << unit_shift(s.unit)), s.unit));
    uint16_t* out = reinterpret_cast<uint16_t*>(get_cache(str, 2 * n + 2 + extra));
    p = units_of(str, s);  // the cache allocation may have moved the string
    uint16_t* q = out;
    switch (s.unit) {
    case 1:
        for (uint64_t i = 0; i < n; i++) {
            if (crlf && p[i] == '\n') *q++ = '\r';
            *q++ = p[i];
        }
        break;
    case 2:
        if (!crlf) {
            std::memcpy(q, p, n * 2);
            q += n;
        } else {
            for (uint64_t i = 0; i < n; i++) {
                uint16_t u = uint16_t(get_unit(p, 2, i));
                if (u == '\n') *q++ = '\r';
                *q++ = u;
            }
        }
        break;
    default:
        for (uint64_t i = 0; i < n; i++) {
            uint32_t cp = get_unit(p, 4, i);
            if (cp > 0x10FFFF) {
                count = 0;
                return nullptr;
            }
            if (crlf && cp == '\n') *q++ = '\r';
            q += encode_utf16_char(cp, reinterpret_cast<uint8_t*>(q));
        }
        break;
    }
    *q = 0;
    count = clamp32(uint64_t(q - out));
    return out;
}

}  // namespace kel::unicode
