// Reading a string's code points: positions, lengths, searches and the
// matches the parse engine asks for at a string's head.
#include <cstring>

#include "runtime/core/system.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::string {

namespace {

// The head as a unit index that lies inside the series: a negative head reads
// from the first unit, a head past the tail is clamped in the cell.
int64_t clamped_head(Cell& str, SeriesBuffer* b, uint32_t shift) {
    int64_t units = int64_t(b->used() >> shift);
    if (int32_t(str.data1) > units) str.data1 = uint32_t(int32_t(units));
    return series::head_inside(str, units);
}

// The units of a string-like value from its (clamped) head.
struct Span {
    const uint8_t* p;
    int64_t count;
    uint32_t unit;
};

Span span_of(Cell& str) {
    SeriesBuffer* b = buffer(str);
    uint32_t shift = unicode::unit_shift(b->unit());
    int64_t head = clamped_head(str, b, shift);
    return Span{b->head_ptr() + (head << shift), int64_t(b->used() >> shift) - head, b->unit()};
}

}  // namespace

uint32_t get_char(const uint8_t* p, uint32_t unit) {
    switch (unit) {
    case 1:
        return *p;
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        no_switch_matched();
    }
}

uint32_t get_char_at(const Cell& str, int32_t offset) {
    SeriesBuffer* b = buffer(str);
    uint32_t shift = unicode::unit_shift(b->unit());
    return get_char(b->head_ptr() + (int64_t(offset) << shift), b->unit());
}

uint8_t* ks_head(Cell& str) {
    SeriesBuffer* b = buffer(str);
    uint32_t shift = unicode::unit_shift(b->unit());
    return b->head_ptr() + (clamped_head(str, b, shift) << shift);
}

uint8_t* ks_tail(const Cell& str) { return buffer(str)->tail_ptr(); }

bool ks_tail_q(const Cell& str) { return series::ks_tail_q(str); }

int32_t ks_length(Cell& str) { return series::length_in_units(str, false); }

int32_t ks_abs_length(const Cell& str) { return series::ks_abs_length(str); }

bool ks_skip(Cell& str, int32_t n) { return series::ks_skip(str, n); }

bool ks_next(Cell& str) { return series::ks_skip(str, 1); }

int32_t find_char(Cell& str, uint32_t cp) {
    Span s = span_of(str);
    switch (s.unit) {
    case 1: {
        if (cp > 0xFF) return -1;
        const void* hit = s.count > 0 ? std::memchr(s.p, int(cp), size_t(s.count)) : nullptr;
        return hit ? int32_t(static_cast<const uint8_t*>(hit) - s.p) : -1;
    }
    case 2:
    case 4:
        for (int64_t i = 0; i < s.count; ++i)
            if (unicode::get_unit(s.p, s.unit, uint64_t(i)) == cp) return int32_t(i);
        return -1;
    default:
        no_switch_matched();
    }
}

bool has_char(Cell& str, uint32_t cp, int32_t skip, bool case_sensitive) {
    Span s = span_of(str);
    // A step below one would never leave the head.
    int64_t step = skip < 1 ? 1 : skip;
    if (!case_sensitive) cp = unicode::upper_char(cp);
    for (int64_t i = 0; i < s.count; i += step) {
        uint32_t c = unicode::get_unit(s.p, s.unit, uint64_t(i));
        if (!case_sensitive) c = unicode::upper_char(c);
        if (c == cp) return true;
    }
    return false;
}

bool starts_with_c_string(Cell& str, const char* text) {
    Span s = span_of(str);
    size_t n = std::strlen(text);
    if (int64_t(n) > s.count) return false;
    for (size_t i = 0; i < n; ++i)
        if (unicode::get_unit(s.p, s.unit, i) != static_cast<unsigned char>(text[i])) return false;
    return true;
}

bool head_in_bitset(Cell& str, const Cell& bitset) {
    Span s = span_of(str);
    if (s.count <= 0) return false;
    uint32_t c = unicode::get_unit(s.p, s.unit, 0);
    SeriesBuffer* bits = memory::buffer_of(cell_node(bitset));
    uint64_t bytes = bits->used();
    if (uint64_t(c) >= bytes * 8) return (bits->flags & series_flag::COMPLEMENT) != 0;
    return (bits->head_ptr()[c >> 3] & (0x80u >> (c & 7))) != 0;
}

bool tag_brackets_at(Cell& str, const Cell& tag) {
    Cell t = tag;
    int64_t tag_length = ks_length(t);
    Span s = span_of(str);
    // The closing bracket must lie inside the string.
    if (tag_length + 1 >= s.count) return false;
    return unicode::get_unit(s.p, s.unit, 0) == '<' && unicode::get_unit(s.p, s.unit, uint64_t(tag_length + 1)) == '>';
}

bool match_value(Cell& str, const Cell& value, int32_t op) {
    uint32_t type = type_of(value);
    if (type == TYPE_CHAR) {
        Span s = span_of(str);
        if (s.count <= 0) return false;
        uint32_t a = unicode::get_unit(s.p, s.unit, 0);
        uint32_t c = value.data2;
        if (op != COMP_STRICT_EQUAL) {
            a = unicode::upper_char(a);
            c = unicode::upper_char(c);
        }
        return a == c;
    }
    if (type == TYPE_TAG) {
        if (!tag_brackets_at(str, value)) return false;
        // The text after the "<"; the cell passed in keeps its head.
        Cell inside = str;
        inside.data1 += 1;
        return compare_strings(inside, value, op, true) == 0;
    }
    if (series::is_string_type(type)) return compare_strings(str, value, op, true) == 0;
    return false;
}

}  // namespace kel::string
