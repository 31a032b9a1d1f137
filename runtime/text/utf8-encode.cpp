// Encoding single code points as UTF-8 and UTF-16, and the lengths that
// exports size their buffers by.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::unicode {

void fire_invalid_encoding(const uint8_t* p, int64_t n) {
    uint8_t bytes[4];
    int32_t k = n < 4 ? (n < 0 ? 0 : int32_t(n)) : 4;
    std::memcpy(bytes, p, size_t(k));  // before allocating: p may be in a series
    NodeId node = memory::alloc_bytes(uint64_t(k));
    SeriesBuffer* b = memory::buffer_of(node);
    std::memcpy(b->head_ptr(), bytes, size_t(k));
    b->tail = b->offset + uint64_t(k);
    fire(ErrorId::access_invalid_utf8, {Cell{TYPE_BINARY, 0, node, 0}});
}

void fire_invalid_char(uint32_t cp) { fire(ErrorId::script_invalid_char, {make_integer(int32_t(cp))}); }

int32_t utf8_cp_length(uint32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    if (cp < 0x10000) return 3;
    if (cp <= 0x10FFFF) return 4;
    fire_invalid_char(cp);
}

int64_t utf8_units_length(const uint8_t* p, const uint8_t* end, uint32_t unit) {
    uint64_t count = uint64_t(end - p) >> unit_shift(unit);
    int64_t total = 0;
    switch (unit) {
    case 1:
        for (uint64_t i = 0; i < count; i++) total += 1 + (p[i] >> 7);
        break;
    default:
        for (uint64_t i = 0; i < count; i++) total += utf8_cp_length(get_unit(p, unit, i));
        break;
    }
    return total;
}

int32_t encode_utf8_char(uint32_t cp, uint8_t* out) {
    if (cp < 0x80) {
        out[0] = uint8_t(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = uint8_t(0xC0 | (cp >> 6));
        out[1] = uint8_t(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = uint8_t(0xE0 | (cp >> 12));
        out[1] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
        out[2] = uint8_t(0x80 | (cp & 0x3F));
        return 3;
    }
    if (cp <= 0x10FFFF) {
        out[0] = uint8_t(0xF0 | (cp >> 18));
        out[1] = uint8_t(0x80 | ((cp >> 12) & 0x3F));
        out[2] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
        out[3] = uint8_t(0x80 | (cp & 0x3F));
        return 4;
    }
    fire_invalid_char(cp);
}

int32_t encode_utf8_char(uint32_t cp, uint8_t* out, int32_t room) {
    uint8_t seq[4];
    int32_t n = encode_utf8_char(cp, seq);
    if (room < 1) return 0;
    if (n > room) n = room;
    std::memcpy(out, seq, size_t(n));
    return n;
}

int32_t encode_utf16_char(uint32_t cp, uint8_t* out) {
    if (cp < 0x10000) {
        out[0] = uint8_t(cp);
        out[1] = uint8_t(cp >> 8);
        return 1;
    }
    if (cp <= 0x10FFFF) {
        uint32_t high = 0xD800 + ((cp - 0x10000) >> 10);
        uint32_t low = 0xDC00 + (cp & 0x3FF);
        out[0] = uint8_t(high);
        out[1] = uint8_t(high >> 8);
        out[2] = uint8_t(low);
        out[3] = uint8_t(low >> 8);
        return 2;
    }
    return 0;
}

int64_t utf16_extra_size(const uint8_t* p, const uint8_t* end, uint32_t unit) {
    uint64_t count = uint64_t(end - p) >> unit_shift(unit);
    int64_t extra = 0;
    for (uint64_t i = 0; i < count; i++) {
        uint32_t cp = get_unit(p, unit, i);
        if (cp == '\n' || cp > 0xFFFF) extra += 2;
    }
    return extra;
}

uint16_t* ascii_to_utf16(const char* text, uint16_t* out) {
    uint16_t* q = out;
    for (const uint8_t* p = reinterpret_cast<const uint8_t*>(text); *p; p++) *q++ = *p;
    *q = 0;
    return out;
}

}  // namespace kel::unicode
