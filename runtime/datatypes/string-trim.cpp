// string! swap, take and trim, and the character stripping that binary! trim
// shares.
#include <vector>

#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"

namespace kel::string {

namespace {

using series::Change;

// Whitespace of head and tail trimming and of /lines.
bool in_w(uint32_t c) {
    if (c >= 1 && c <= 32) return true;
    switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x180E:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

// Blanks inside lines.
bool in_b(uint32_t c) { return c == ' ' || c == '\t' || (c > 32 && in_w(c)); }

std::vector<uint32_t> read_from_head(const Cell& s) {
    Span sp = span_from_head(s);
    std::vector<uint32_t> cps(size_t(sp.count));
    for (int64_t i = 0; i < sp.count; ++i) cps[size_t(i)] = sp.at(i);
    return cps;
}

// Replaces the units from the head by the code points (never more than were
// there, none wider than the unit).
void write_from_head(const Cell& s, const std::vector<uint32_t>& cps) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    int64_t head = detail::head_of(s);
    uint32_t unit = b->unit();
    uint8_t* p = b->head_ptr() + (uint64_t(head) << unicode::unit_shift(unit));
    for (size_t i = 0; i < cps.size(); ++i) detail::store_unit(p, unit, int64_t(i), cps[i]);
    b->tail = b->offset + (uint64_t(head + int64_t(cps.size())) << unicode::unit_shift(unit));
}

std::vector<uint32_t> trim_lines(const std::vector<uint32_t>& in) {
    std::vector<uint32_t> out;
    bool gap = false;
    for (uint32_t c : in) {
        if (in_w(c)) {
            gap = !out.empty();
            continue;
        }
        if (gap) out.push_back(' ');
        gap = false;
        out.push_back(c);
    }
    return out;
}

std::vector<uint32_t> trim_default(const std::vector<uint32_t>& in, bool head, bool tail) {
    size_t start = 0, end = in.size();
    bool only_tail = tail && !head, only_head = head && !tail;
    if (!only_tail)
        while (start < end && in_w(in[start])) ++start;
    bool line_feed = false;
    if (!only_head)
        while (end > start && in_w(in[end - 1])) line_feed |= in[--end] == '\n';
    std::vector<uint32_t> out;
    if (head || tail) {
        out.assign(in.begin() + long(start), in.begin() + long(end));
    } else {
        bool line_start = true;
        size_t blanks = 0;  // blanks held back: dropped when a line feed follows
        for (size_t i = start; i < end; ++i) {
            uint32_t c = in[i];
            if (c == '\n') {
                out.resize(out.size() - blanks);
                blanks = 0;
                out.push_back(c);
                line_start = true;
                continue;
            }
            if (in_b(c)) {
                if (line_start) continue;
                ++blanks;
            } else {
                blanks = 0;
                line_start = false;
            }
            out.push_back(c);
        }
    }
    if (line_feed && !tail) out.push_back('\n');
    return out;
}

}  // namespace

void strip_chars(const Cell& series, const Cell* set) {
    std::vector<uint32_t> members;
    if (!set) {
        members = {9, 10, 13, 32};
    } else if (type_of(*set) == TYPE_CHAR) {
        members = {set->data2};
    } else if (type_of(*set) == TYPE_INTEGER) {
        members = {uint32_t(cell_integer(*set))};
    } else {
        members = read_from_head(*set);
        if (members.empty()) return;
    }
    std::vector<bool> low(256, false);
    for (uint32_t m : members)
        if (m < 256) low[m] = true;
    auto in_set = [&](uint32_t c) {
        if (c < 256) return bool(low[c]);
        for (uint32_t m : members)
            if (m == c) return true;
        return false;
    };
    std::vector<uint32_t> kept;
    for (uint32_t c : read_from_head(series))
        if (!in_set(c)) kept.push_back(c);
    write_from_head(series, kept);
}

void trim(Cell* out, Cell* series_cell, const TrimOptions& o) {
    Cell s = *series_cell;
    Rooted keep(s);
    Cell with = o.with ? *o.with : none_value;
    Rooted keep_with(with);
    if (o.automatic) fire(ErrorId::internal_not_done);
    // The characters to strip come from a char!, an integer!, a string or a
    // binary!; any other value has no units to read.
    uint32_t wt = type_of(with);
    if (o.with && wt != TYPE_CHAR && wt != TYPE_INTEGER && wt != TYPE_BINARY && !series::is_string_type(wt))
        fire(ErrorId::script_invalid_arg, {with});
    bool told = series::check(s, Change::trim, nullptr, int32_t(detail::head_of(s)), 0) != 0;
    if (o.all || o.with)
        strip_chars(s, o.with ? &with : nullptr);
    else if (o.lines)
        write_from_head(s, trim_lines(read_from_head(s)));
    else
        write_from_head(s, trim_default(read_from_head(s), o.head, o.tail));
    if (told) series::check(s, Change::trimmed, nullptr, int32_t(detail::head_of(s)), 0);
    *out = s;
}

void swap(Cell* out, Cell* series1, Cell* series2) {
    Cell a = *series1;
    Rooted keep_a(a);
    Cell b = *series2;
    Rooted keep_b(b);
    uint32_t tb = type_of(b);
    if (!series::is_string_type(tb) && tb != TYPE_BINARY) fire(ErrorId::script_invalid_arg, {b});
    int64_t ha = detail::head_of(a), hb = detail::head_of(b);
    if (ha >= detail::units_of(a) || hb >= detail::units_of(b)) {
        *out = a;
        return;
    }
    uint32_t ca = span_from_head(a).at(0);
    uint32_t cb = span_from_head(b).at(0);
    // A binary! holds bytes: a code point beyond 255 cannot go in.
    if ((type_of(a) == TYPE_BINARY && cb > 0xFF) || (tb == TYPE_BINARY && ca > 0xFF))
        fire(ErrorId::script_invalid_arg, {b});
    bool told_a = series::check(a, Change::swap, &b, int32_t(ha), 1) != 0;
    bool told_b = series::check(b, Change::swap, &a, int32_t(hb), 1) != 0;
    // The owners' handlers may have changed either series.
    if (ha >= detail::units_of(a) || hb >= detail::units_of(b)) {
        *out = a;
        return;
    }
    ca = span_from_head(a).at(0);
    cb = span_from_head(b).at(0);
    if ((type_of(a) == TYPE_BINARY && cb > 0xFF) || (tb == TYPE_BINARY && ca > 0xFF))
        fire(ErrorId::script_invalid_arg, {b});
    auto put = [](const Cell& s, int64_t at, uint32_t cp) {
        SeriesBuffer* buf = memory::buffer_of(cell_node(s));
        uint8_t* p = buf->head_ptr() + (uint64_t(at) << unicode::unit_shift(buf->unit()));
        poke_char(buf, p, cp);
    };
    put(a, ha, cb);
    put(b, hb, ca);
    if (told_a) series::check(a, Change::swaped, &b, int32_t(ha), 1);
    if (told_b) series::check(b, Change::swaped, &a, int32_t(hb), 1);
    *out = a;
}

void take(Cell* out, Cell* series_cell, const TakeOptions& o) {
    Cell s = *series_cell;
    Rooted keep(s);
    if (!o.part && detail::units_of(s) - detail::head_of(s) <= 0) {
        *out = none_value;
        return;
    }
    auto series_take = reinterpret_cast<ActionSlot<ACTION_TAKE>::type>(datatype::slot(TYPE_SERIES, ACTION_TAKE));
    if (!series_take) fire(ErrorId::internal_not_done);
    Cell taken = none_value;
    series_take(&taken, &s, o);
    if (!o.part && type_of(taken) != TYPE_NONE && detail::units_of(taken) == 1) {
        Rooted keep_taken(taken);
        Cell first = detail::at_position(taken, 0);
        Cell unit = none_value;
        series::pick(&unit, &first, 1, nullptr);
        taken = unit;
    }
    *out = taken;
}

}  // namespace kel::string
