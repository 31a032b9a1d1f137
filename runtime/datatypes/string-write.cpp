// Writing code points into string buffers: appending, poking, overwriting,
// inserting and removing units, widening the unit when a code point needs it,
// and copying one string onto the end of another.
#include <algorithm>
#include <cstring>

#include "runtime/core/system.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::string {

namespace {

void store(uint8_t* p, uint32_t unit, uint32_t cp) {
    switch (unit) {
    case 1:
        *p = uint8_t(cp);
        break;
    case 2: {
        uint16_t v = uint16_t(cp);
        std::memcpy(p, &v, 2);
        break;
    }
    case 4:
        std::memcpy(p, &cp, 4);
        break;
    default:
        no_switch_matched();
    }
}

// The unit an append at the tail needs: a one-byte buffer takes only ASCII,
// so that text appended to it stays valid Latin-1 and UTF-8 alike.
uint32_t unit_for_append(uint32_t unit, uint32_t cp) {
    if (cp > 0xFFFF) return 4;
    if (cp > 0x7F && unit == 1) return 2;
    return unit;
}

// The unit index of a code point at position `position` from the series start
// (negative positions count as 0, those past the tail as the tail).
uint64_t clamp_position(const SeriesBuffer* b, int64_t position, uint32_t shift) {
    uint64_t units = b->used() >> shift;
    if (position < 0) return 0;
    return uint64_t(position) > units ? units : uint64_t(position);
}

bool ascii_only(const char* text, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(text[i]) > 0x7F) return false;
    return true;
}

void append_bytes_as_chars(const Cell& str, const char* text, size_t n) {
    if (n == 0) return;
    SeriesBuffer* b = buffer(str);
    bool ascii;
    if (b->unit() == 1 && b->tail + n <= b->size) {
        // Copied first and checked on the way: the tail moves only when every
        // byte was ASCII.
        uint8_t* at = b->tail_ptr();
        uint8_t seen = 0;
        for (size_t i = 0; i < n; ++i) seen |= (at[i] = static_cast<uint8_t>(text[i]));
        if (seen < 0x80) {
            b->tail += n;
            return;
        }
        ascii = false;
    } else {
        ascii = ascii_only(text, n);
    }
    if (!ascii) {
        for (size_t i = 0; i < n; ++i) b = append_char(b, static_cast<unsigned char>(text[i]));
        return;
    }
    // ASCII fits every unit: reserve once, write each byte zero-extended.
    uint32_t unit = b->unit();
    uint8_t* at = alloc_tail_bytes(b, uint64_t(n) * unit);
    if (unit == 1) {
        std::memcpy(at, text, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) store(at + i * unit, unit, static_cast<unsigned char>(text[i]));
}

}  // namespace

SeriesBuffer* widen_to(SeriesBuffer* b, uint32_t unit, uint32_t target) {
    if (unit == 1 && target == 2) return unicode::widen_latin1_to_ucs2(b);
    if (unit == 1 && target == 4) return unicode::widen_latin1_to_ucs4(b);
    if (unit == 2 && target == 4) return unicode::widen_ucs2_to_ucs4(b);
    if (unit == target && (unit == 1 || unit == 2 || unit == 4)) return b;
    no_switch_matched();
}

SeriesBuffer* detail::append_char_widening(SeriesBuffer* b, uint32_t cp) {
    uint32_t unit = b->unit();
    uint32_t need = unit_for_append(unit, cp);
    if (need != unit) {
        b = widen_to(b, unit, need);
        unit = need;
    }
    NodeId node = b->node;
    if (b->tail + unit <= b->size) {
        store(b->tail_ptr(), unit, cp);
        b->tail += unit;
        return b;
    }
    uint8_t* at = alloc_tail_bytes(b, unit);
    store(at, unit, cp);
    return memory::buffer_of(node);
}

// Writes at a position widen only for what the unit cannot hold: one byte
// holds all of 0-255 (unicode::widen_for).
SeriesBuffer* poke_char(SeriesBuffer* b, uint8_t* address, uint32_t cp) {
    uint32_t unit = b->unit();
    uint64_t index = uint64_t(address - b->head_ptr()) >> unicode::unit_shift(unit);
    b = unicode::widen_for(b->node, cp);
    if (b->unit() != unit) {
        unit = b->unit();
        address = b->head_ptr() + (index << unicode::unit_shift(unit));
    }
    store(address, unit, cp);
    return b;
}

SeriesBuffer* overwrite_char(SeriesBuffer* b, int32_t position, uint32_t cp) {
    if (position < 0) return b;
    b = unicode::widen_for(b->node, cp);
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);
    uint64_t at = b->offset + (uint64_t(position) << shift);
    // Doubling until the unit fits: a position far past the tail must never
    // be written outside the data area.
    b = memory::grow_series(b, at + unit, 0);
    if (at >= b->tail) {
        // Units between the old tail and the position hold no text yet.
        memory::fill(b->tail_ptr(), b->data() + at, 0);
        b->tail = at + unit;
    }
    store(b->data() + at, unit, cp);
    return b;
}

SeriesBuffer* insert_char(SeriesBuffer* b, int32_t position, uint32_t cp) {
    b = unicode::widen_for(b->node, cp);
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);
    if (b->tail + unit > b->size) b = memory::expand_series(b, 0);
    uint64_t at = b->offset + (clamp_position(b, position, shift) << shift);
    std::memmove(b->data() + at + unit, b->data() + at, size_t(b->tail - at));
    store(b->data() + at, unit, cp);
    b->tail += unit;
    return b;
}

void remove_chars(const Cell& str, int32_t position, int32_t count) {
    SeriesBuffer* b = buffer(str);
    uint32_t shift = unicode::unit_shift(b->unit());
    uint64_t units = b->used() >> shift;
    if (position < 0 || count <= 0 || uint64_t(position) >= units) return;
    // A count reaching past the tail removes up to the tail.
    uint64_t n = uint64_t(count) > units - uint64_t(position) ? units - uint64_t(position) : uint64_t(count);
    uint8_t* at = b->head_ptr() + (uint64_t(position) << shift);
    uint64_t bytes = n << shift;
    std::memmove(at, at + bytes, size_t(b->tail_ptr() - (at + bytes)));
    b->tail -= bytes;
}

void remove_char(const Cell& str, int32_t position) { remove_chars(str, position, 1); }

SeriesBuffer* truncate_at(SeriesBuffer* b, int32_t count) {
    if (count < 0) return b;
    uint64_t end = b->offset + (uint64_t(count) << unicode::unit_shift(b->unit()));
    if (end <= b->size && b->tail > end) b->tail = end;
    return b;
}

Cell& ks_reset(Cell& str) {
    SeriesBuffer* b = buffer(str);
    b->flags = (b->flags & ~series_flag::UNIT_MASK) | 1u;
    b->tail = b->offset;
    str.data1 = 0;
    return str;
}

void move_chars(Cell& source, Cell& target, int32_t bytes) {
    if (bytes <= 0) return;
    Cell src = source;
    Rooted keep_source(src);
    Cell dst = target;
    Rooted keep_target(dst);
    SeriesBuffer* sb = buffer(src);
    uint32_t su = sb->unit();
    uint32_t sshift = unicode::unit_shift(su);
    int64_t units = int64_t(sb->used() >> sshift);
    int64_t head = series::head_inside(src, units);
    int64_t count = std::min<int64_t>(int64_t(bytes) >> sshift, units - head);
    if (count <= 0) return;
    // The result is that of inserting the code points one by one at the
    // target's head: the widest decides the target's unit; the gap for all of
    // them opens at once.
    uint32_t widest = 0;
    const uint8_t* from = sb->head_ptr() + (head << sshift);
    for (int64_t i = 0; i < count; ++i) widest = std::max(widest, unicode::get_unit(from, su, uint64_t(i)));
    SeriesBuffer* tb = unicode::widen_for(cell_node(dst), widest);
    uint32_t tu = tb->unit();
    uint32_t tshift = unicode::unit_shift(tu);
    uint64_t gap = uint64_t(count) << tshift;
    tb = memory::grow_series(tb, tb->tail + gap, 2 * (tb->tail + gap));
    uint64_t at = tb->offset + (clamp_position(tb, int32_t(dst.data1), tshift) << tshift);
    std::memmove(tb->data() + at + gap, tb->data() + at, size_t(tb->tail - at));
    // Growing the target may have moved the source.
    sb = buffer(src);
    from = sb->head_ptr() + (head << sshift);
    for (int64_t i = 0; i < count; ++i)
        store(tb->data() + at + (uint64_t(i) << tshift), tu, unicode::get_unit(from, su, uint64_t(i)));
    tb->tail += gap;
    remove_chars(src, int32_t(head), int32_t(count));
}

void copy_into(const Cell& target_cell, const Cell& source_cell, int32_t part, bool convert) {
    Cell target = target_cell;
    Cell source = source_cell;
    Rooted keep_target(target);
    Rooted keep_source(source);
    // A symbol's spelling is shared by every word of that symbol: it is read
    // from its first unit, never written.
    if (type_of(target) == TYPE_SYMBOL) kel::internal_fault();
    if (type_of(source) == TYPE_SYMBOL) source = Cell{TYPE_STRING, 0, symbol::string_of(source), 0};
    NodeId tn = cell_node(target);
    NodeId sn = cell_node(source);

    uint32_t tu = memory::buffer_of(tn)->unit();
    uint32_t su = memory::buffer_of(sn)->unit();
    if (tu < su) {
        widen_to(memory::buffer_of(tn), tu, su);
        tu = su;
    } else if (su < tu && !convert) {
        widen_to(memory::buffer_of(sn), su, tu);
        su = tu;
    }
    // With convert a narrower source is read unit by unit into the wider target.
    bool differ = tu != su;

    SeriesBuffer* sb = memory::buffer_of(sn);
    uint32_t sshift = unicode::unit_shift(su);
    int64_t head = int32_t(source.data1);
    if (head < 0) head = 0;
    int64_t count = int64_t(sb->used() >> sshift) - head;
    if (count <= 0) return;
    if (part >= 0 && part < count) count = part;
    if (count == 0) return;

    uint64_t bytes = uint64_t(count) << unicode::unit_shift(tu);
    SeriesBuffer* tb = memory::buffer_of(tn);
    tb = memory::grow_series(tb, tb->tail + bytes, 2 * (tb->tail + bytes));

    if (differ && convert) {
        for (int64_t i = 0; i < count; ++i) {
            sb = memory::buffer_of(sn);
            uint32_t cp = unicode::get_unit(sb->head_ptr() + (uint64_t(head) << sshift), su, uint64_t(i));
            tb = append_char(tb, cp);
        }
        return;
    }
    sb = memory::buffer_of(sn);
    std::memmove(tb->tail_ptr(), sb->head_ptr() + (uint64_t(head) << sshift), size_t(bytes));
    tb->tail += bytes;
}

void append_c_string(const Cell& str, const char* text) { append_bytes_as_chars(str, text, std::strlen(text)); }

void append_c_string_part(const Cell& str, const char* text, int32_t count) {
    if (count <= 0) return;
    append_bytes_as_chars(str, text, size_t(count));
}

}  // namespace kel::string
