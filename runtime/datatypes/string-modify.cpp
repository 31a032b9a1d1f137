// string! append, insert and change: text written into a string at its tail
// or at its position, with /part, /only and /dup, growing and widening the
// buffer once.
//
// The inserted text is one of: a code point (char!), the units of a
// string-like value from its head (a tag! with its brackets), or the formed
// text of any other value, formed at the target's own tail and then rotated
// into place. A string-like value on the target's own series is copied before
// the target changes, so it is read as it stood before the call.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"

namespace kel::string {

namespace {

using detail::store_unit;
using series::Change;

// A series size beyond the 32-bit limits.
[[noreturn]] void fire_no_memory() { fire(ErrorId::internal_no_memory); }

// The unit a char! needs when it is inserted: appended text keeps a one-byte
// buffer ASCII.
uint32_t char_unit(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x10000 ? 2 : 4; }

// Text to write: a code point, or units read from another series (by node,
// re-read after every allocation) or from a copy, a tag! with its brackets.
struct Text {
    bool is_char = false;
    uint32_t cp = 0;
    NodeId node = 0;
    int64_t start = 0;  // unit index in the source series
    std::vector<uint8_t> copy;  // the units, when the source is the target's series
    uint32_t unit = 1;  // of the units; the needed unit for a code point
    int64_t length = 0;  // units of the text proper
    bool tag = false;  // "<" text ">"

    int64_t full() const { return is_char ? 1 : tag ? length + 2 : length; }
    const uint8_t* base() const {
        if (!copy.empty() || node == 0) return copy.data();
        SeriesBuffer* b = memory::buffer_of(node);
        return b->head_ptr() + (uint64_t(start) << unicode::unit_shift(unit));
    }
    uint32_t at(const uint8_t* p, int64_t i) const {
        if (is_char) return cp;
        if (tag) {
            if (i == 0) return '<';
            if (i == length + 1) return '>';
            --i;
        }
        return unicode::get_unit(p, unit, uint64_t(i));
    }
};

bool is_formed_block(uint32_t type) { return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH; }

// The text of a char!, string-like or tag! value; false for values that are
// formed.
bool direct_text(const Cell& target, const Cell& value, Text& t) {
    uint32_t type = type_of(value);
    if (type == TYPE_CHAR) {
        t.is_char = true;
        t.cp = value.data2;
        t.unit = char_unit(t.cp);
        return true;
    }
    if (!series::is_string_type(type)) return false;
    SeriesBuffer* b = memory::buffer_of(cell_node(value));
    t.unit = b->unit();
    t.start = series::head_inside(value, series::total_units(b));
    t.length = series::total_units(b) - t.start;
    t.tag = type == TYPE_TAG;
    if (cell_node(value) == cell_node(target)) {
        // The target's own units: copied now, before anything moves them.
        const uint8_t* p = b->head_ptr() + (uint64_t(t.start) << unicode::unit_shift(t.unit));
        t.copy.assign(p, p + (t.length << unicode::unit_shift(t.unit)));
        if (t.copy.empty()) t.copy.reserve(1);
        t.node = 0;
    } else {
        t.node = cell_node(value);
    }
    return true;
}

// Makes room for a string of new_units units of at least the given unit:
// grows the buffer when it is too small (to twice its size when that is
// enough), then widens in place. One copy of the data at most.
SeriesBuffer* prepare(NodeId node, int64_t new_units, uint32_t unit) {
    SeriesBuffer* b = memory::buffer_of(node);
    uint32_t old = b->unit();
    uint32_t final_unit = std::max(old, unit);
    int64_t bytes = new_units * int64_t(final_unit);
    if (new_units > INT32_MAX || bytes > INT32_MAX) fire_no_memory();
    uint64_t need = b->offset + uint64_t(bytes) + final_unit;
    if (need > b->size) b = memory::expand_series(b, need < 2 * b->size ? 2 * b->size : (need + 15) & ~uint64_t(15));
    if (final_unit != old) b = widen_to(b, old, final_unit);
    return b;
}

// Replaces `removed` units at `at` by the text written `dup` times. The text
// before `at` and after the removed range stays intact.
void write_text(const Cell& target, int64_t at, int64_t removed, const Text& t, int64_t count, int64_t dup) {
    NodeId node = cell_node(target);
    int64_t len = series::total_units(memory::buffer_of(node));
    int64_t written = count * dup;
    SeriesBuffer* b = prepare(node, len - removed + written, t.unit);
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);
    uint8_t* p = b->head_ptr();
    std::memmove(p + ((at + written) << shift), p + ((at + removed) << shift), size_t((len - at - removed) << shift));
    const uint8_t* src = t.base();  // re-read: growing may have moved it
    if (!t.is_char && !t.tag && t.unit == unit) {
        std::memcpy(p + (at << shift), src, size_t(count << shift));
    } else {
        for (int64_t i = 0; i < count; ++i) store_unit(p + (at << shift), unit, i, t.at(src, i));
    }
    // An empty text has nothing to repeat, however large dup is.
    if (count > 0)
        for (int64_t k = 1; k < dup; ++k)
            std::memcpy(p + ((at + k * count) << shift), p + (at << shift), size_t(count << shift));
    b->tail = b->offset + (uint64_t(len - removed + written) << shift);
}

int64_t length_of(const Cell& s) { return series::total_units(memory::buffer_of(cell_node(s))); }

// Forms one value at the target's tail within the budget (none when budget
// is negative); a text that overshoots is cut back. Answers the units added.
int64_t form_at_tail(const Cell& target, const Cell& value, int64_t budget) {
    int64_t before = length_of(target);
    form_value(value, target, false, INT32_MAX);
    int64_t added = length_of(target) - before;
    if (budget >= 0 && added > budget) {
        truncate_at(memory::buffer_of(cell_node(target)), int32_t(before + budget));
        added = budget;
    }
    return added;
}

// Forms a block's values (from its head) or any other value at the target's
// tail. part_values: the part counts values (append without /only); else it
// is one budget of code points. part -1: no limit.
int64_t form_values(const Cell& target, const Cell& value_cell, int64_t part, bool part_values) {
    Cell value = value_cell;
    Rooted keep(value);
    int64_t before = length_of(target);
    int64_t left = part < 0 ? INT32_MAX : part;
    if (!is_formed_block(type_of(value))) {
        form_at_tail(target, value, part_values ? -1 : left);
        return length_of(target) - before;
    }
    int64_t head = detail::head_of(value);
    for (int64_t i = head; left >= 1; ++i) {
        SeriesBuffer* b = memory::buffer_of(cell_node(value));
        if (i >= int64_t(b->cell_count())) break;
        Cell item = b->cells()[i];
        Rooted keep_item(item);
        int64_t added = form_at_tail(target, item, part_values ? -1 : left);
        left -= part_values ? 1 : added;
    }
    return length_of(target) - before;
}

// Moves the formed text [from, from + count) at the tail to `at`, followed by
// room for dup - 1 more copies that are then filled: [text x dup][after].
void place_formed(const Cell& target, int64_t at, int64_t from, int64_t count, int64_t dup) {
    NodeId node = cell_node(target);
    int64_t len = length_of(target);
    int64_t extra = count * (dup - 1);
    SeriesBuffer* b = prepare(node, len + extra, 1);
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);
    b->tail += uint64_t(extra) << shift;
    uint8_t* p = b->head_ptr();
    // Exchanges inside a string are rotations over its units.
    auto rotate = [&](auto* units) { std::rotate(units + at, units + from, units + len + extra); };
    switch (unit) {
    case 1:
        rotate(p);
        break;
    case 2:
        rotate(reinterpret_cast<uint16_t*>(p));
        break;
    default:
        rotate(reinterpret_cast<uint32_t*>(p));
        break;
    }
    if (count > 0)
        for (int64_t k = 1; k < dup; ++k)
            std::memcpy(p + ((at + k * count) << shift), p + (at << shift), size_t(count << shift));
}

int32_t notice_part(int64_t part) { return part < 0 ? 1 : int32_t(part); }

// append: the value's text at the tail. Answers the units added (0: nothing).
int64_t append_text(Cell& s, const Cell& value, const AppendOptions& o, bool notify) {
    bool told = notify && series::check(s, Change::append, &value, int32_t(length_of(s)), notice_part(o.part)) != 0;
    int64_t old = length_of(s);
    int64_t dup = o.dup < 1 ? 1 : o.dup;
    Text t;
    if (direct_text(s, value, t)) {
        int64_t count = t.full();
        if (o.part >= 0 && o.part < count) count = o.part;
        if (count > 0) write_text(s, old, 0, t, count, dup);
    } else {
        int64_t count = form_values(s, value, o.part, !o.only);
        if (count > 0 && dup > 1) place_formed(s, old, old, count, dup);
    }
    int64_t added = length_of(s) - old;
    if (told) series::check(s, Change::appended, &value, int32_t(old), notice_part(o.part));
    return added;
}

}  // namespace

void append_insert(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& o, bool append) {
    Cell s = *series_cell;
    Rooted keep(s);
    Cell value = *value_cell;
    Rooted keep_value(value);
    if (append) {
        if (append_text(s, value, o, true) > 0) s.data1 = 0;
        *out = s;
        return;
    }
    int64_t len = length_of(s);
    int64_t at = detail::head_of(s);
    bool told = series::check(s, Change::insert, &value, int32_t(at), notice_part(o.part)) != 0;
    len = length_of(s);
    if (at > len) at = len;
    int64_t dup = o.dup < 1 ? 1 : o.dup;
    if (at == len) {
        append_text(s, value, o, false);
    } else {
        Text t;
        if (direct_text(s, value, t)) {
            int64_t count = t.full();
            if (o.part >= 1 && o.part < count) count = o.part;
            if (count > 0) write_text(s, at, 0, t, count, dup);
        } else {
            int64_t count = form_values(s, value, o.part, false);
            if (count > 0) place_formed(s, at, len, count, dup);
        }
    }
    int64_t written = length_of(s) - len;
    if (told) series::check(s, Change::inserted, &value, int32_t(at), notice_part(o.part));
    s.data1 = uint32_t(int32_t(std::min(at + written, length_of(s))));
    *out = s;
}

void change(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& o) {
    Cell s = *series_cell;
    Rooted keep(s);
    Cell value = *value_cell;
    Rooted keep_value(value);
    int64_t len = length_of(s);
    int64_t at = detail::head_of(s);
    int64_t rest = len - at;
    int64_t part = o.part;
    if (part > rest) part = rest;
    int64_t dup = o.dup < 1 ? 1 : o.dup;
    int64_t each = series::is_block_type(type_of(value)) ? detail::units_of(value) - detail::head_of(value) : 1;
    int64_t announce = part >= 0 ? part : std::min(rest, each * dup);
    bool told = series::check(s, Change::change, &value, int32_t(at), int32_t(announce)) != 0;
    len = length_of(s);
    if (at > len) at = len;
    rest = len - at;
    if (part > rest) part = rest;
    int64_t written;
    if (at == len) {
        AppendOptions whole{-1, o.only, o.dup};
        written = append_text(s, value, whole, false);
    } else {
        Text t;
        if (direct_text(s, value, t)) {
            int64_t count = t.full();
            written = count * dup;
            int64_t removed = part >= 0 ? part : std::min(rest, written);
            write_text(s, at, removed, t, count, dup);
        } else {
            int64_t from = len;
            int64_t count = form_values(s, value, -1, false);
            written = count * dup;
            int64_t removed = part >= 0 ? part : std::min(rest, written);
            // Close up the removed range; the formed text moves down with it.
            remove_chars(s, int32_t(at), int32_t(removed));
            place_formed(s, at, from - removed, count, dup);
        }
    }
    if (told) series::check(s, Change::changed, &value, int32_t(at), int32_t(written));
    s.data1 = uint32_t(int32_t(std::min(at + written, length_of(s))));
    *out = s;
}

}  // namespace kel::string
