// string! find, select and path access: searching a string-like series (and
// binary!, and vector! through its hook) for a code point, a bitset's
// members, a number or a text, forward or backward.
#include <cstring>
#include <vector>

#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/text/case-folding.h"

namespace kel::string {

namespace {

using detail::at_position;

// What is searched for.
struct Needle {
    enum Kind { CODE_POINT, BITSET, NUMBER, PATTERN } kind = CODE_POINT;
    uint32_t cp = 0;
    std::vector<uint32_t> pattern;  // folded when folding applies
    NodeId bits = 0;  // bitset
    double number = 0;
};

// The search: a range of unit positions [low, high) of the series, a step
// (negative backward) and the refinements that shape the answer.
struct Search {
    int64_t low, high;
    int64_t step;
    bool backward, fold, tail, match;
};

bool in_bitset(NodeId bits, uint32_t c) {
    SeriesBuffer* b = memory::buffer_of(bits);
    if (uint64_t(c) >= b->used() * 8) return (b->flags & series_flag::COMPLEMENT) != 0;
    return (b->head_ptr()[c >> 3] & (0x80u >> (c & 7))) != 0;
}

void collect_pattern(Needle& n, const Cell& text, bool fold) {
    Span s = span_from_head(text);
    n.kind = Needle::PATTERN;
    n.pattern.resize(size_t(s.count));
    for (int64_t i = 0; i < s.count; ++i) {
        uint32_t c = s.at(i);
        n.pattern[size_t(i)] = fold ? unicode::upper_char(c) : c;
    }
}

// The needle for a value, and the length a select steps past it.
Needle needle_of(const Cell& series, const Cell& value_cell, bool fold, int64_t& length) {
    Cell value = value_cell;
    Rooted keep(value);
    Needle n;
    uint32_t type = type_of(value);
    uint32_t stype = type_of(series);
    length = 1;
    if (type == TYPE_CHAR) {
        n.cp = fold ? unicode::upper_char(value.data2) : value.data2;
    } else if (type == TYPE_BITSET) {
        n.kind = Needle::BITSET;
        n.bits = cell_node(value);
    } else if (type == TYPE_WORD) {
        Cell text{TYPE_STRING, 0, symbol::string_of(*symbol::get(int32_t(value.data2))), 0};
        Rooted keep_text(text);
        collect_pattern(n, text, fold);
        length = int64_t(n.pattern.size());
    } else if ((type == TYPE_INTEGER || type == TYPE_FLOAT) && (stype == TYPE_BINARY || stype == TYPE_VECTOR)) {
        n.kind = Needle::NUMBER;
        n.number = type == TYPE_INTEGER ? double(cell_integer(value)) : cell_double(value);
    } else if ((series::is_string_type(type) && type != TYPE_TAG) || type == TYPE_BINARY) {
        if (type == TYPE_BINARY && stype != TYPE_BINARY) fire(ErrorId::script_invalid_arg, {value});
        collect_pattern(n, value, fold);
        length = int64_t(n.pattern.size());
    } else {
        // Any other value, tag! included, is searched as its formed text; a
        // select steps past the whole formed text of a tag!.
        Cell text = make_unset();
        ks_make_at(text, 16);
        Rooted keep_text(text);
        form_value(value, text, false, INT32_MAX);
        collect_pattern(n, text, fold);
        if (type == TYPE_TAG) length = int64_t(n.pattern.size());
    }
    return n;
}

// Whether the pattern matches at position pos (all of it inside [.., limit)).
template <uint32_t U, bool FOLD>
bool pattern_at(const uint8_t* p, int64_t pos, int64_t limit, const std::vector<uint32_t>& pat) {
    int64_t n = int64_t(pat.size());
    if (pos + n > limit) return false;
    for (int64_t k = 0; k < n; ++k) {
        uint32_t c = unicode::get_unit(p, U, uint64_t(pos + k));
        if (FOLD) c = unicode::upper_char(c);
        if (c != pat[size_t(k)]) return false;
    }
    return true;
}

// The position found, or -1. p is the series' first unit.
template <uint32_t U, bool FOLD>
int64_t scan(const uint8_t* p, const Needle& n, const Search& s) {
    auto read = [p](int64_t i) {
        uint32_t c = unicode::get_unit(p, U, uint64_t(i));
        return FOLD ? unicode::upper_char(c) : c;
    };
    if (n.kind == Needle::PATTERN) {
        int64_t len = int64_t(n.pattern.size());
        if (!s.backward) {
            // One-byte text searched exactly: memchr finds the candidates.
            if (U == 1 && !FOLD && s.step == 1 && !s.match) {
                if (n.pattern[0] > 0xFF) return -1;
                int64_t pos = s.low;
                while (pos + len <= s.high) {
                    const void* hit = std::memchr(p + pos, int(n.pattern[0]), size_t(s.high - len + 1 - pos));
                    if (!hit) return -1;
                    pos = static_cast<const uint8_t*>(hit) - p;
                    if (pattern_at<U, FOLD>(p, pos, s.high, n.pattern)) return pos;
                    ++pos;
                }
                return -1;
            }
            for (int64_t pos = s.low; pos < s.high; pos += s.step) {
                if (read(pos) == n.pattern[0] && pattern_at<U, FOLD>(p, pos, s.high, n.pattern)) return pos;
                if (s.match) break;
            }
            return -1;
        }
        // Backward: pos is the last unit of the candidate.
        for (int64_t pos = s.high - 1; pos >= s.low; pos += s.step) {
            int64_t start = pos - (len - 1);
            if (start < s.low) return -1;
            if (pattern_at<U, FOLD>(p, start, s.high, n.pattern)) return start;
        }
        return -1;
    }
    auto hit = [&](int64_t pos) {
        switch (n.kind) {
        case Needle::CODE_POINT:
            return read(pos) == n.cp;
        case Needle::BITSET:
            return in_bitset(n.bits, unicode::get_unit(p, U, uint64_t(pos)));
        default:
            return double(unicode::get_unit(p, U, uint64_t(pos))) == n.number;
        }
    };
    if (!s.backward) {
        for (int64_t pos = s.low; pos < s.high; pos += s.step) {
            if (hit(pos)) return pos;
            if (s.match) break;
        }
        return -1;
    }
    for (int64_t pos = s.high - 1; pos >= s.low; pos += s.step)
        if (hit(pos)) return pos;
    return -1;
}

template <bool FOLD>
int64_t scan_unit(const uint8_t* p, uint32_t unit, const Needle& n, const Search& s) {
    switch (unit) {
    case 1:
        return scan<1, FOLD>(p, n, s);
    case 2:
        return scan<2, FOLD>(p, n, s);
    default:
        return scan<4, FOLD>(p, n, s);
    }
}

// Runs the search; answers the position found (-1 for none) and, through
// length, the length a select steps past.
int64_t search(const Cell& series, const Cell& value, const FindOptions& o, int64_t& length) {
    uint32_t stype = type_of(series);
    SeriesBuffer* b = memory::buffer_of(cell_node(series));
    int64_t total = series::total_units(b);
    if (total == 0) return -1;
    int64_t head = int32_t(series.data1);
    if (head >= total && !o.reverse) return -1;
    if (head < 0) head = 0;
    if (head > total) head = total;
    if (o.any || o.with) fire(ErrorId::internal_not_done);
    int64_t step = 1;
    if (o.skip) {
        if (type_of(*o.skip) != TYPE_INTEGER) series::fire_invalid_refine_arg(words::Ref::skip, *o.skip);
        step = cell_integer(*o.skip);
        if (step < 1) fire(ErrorId::script_out_of_range, {*o.skip});
    }
    Search s{head, total, step, false, false, o.tail, o.match};
    if (o.part) {
        int64_t count = series::part_count(series, *o.part);
        if (count < 1) return -1;
        if (o.reverse)
            s.low = head - count < 0 ? 0 : head - count;
        else
            s.high = head + count < total ? head + count : total;
    }
    if (o.reverse) {
        if (o.match) return -1;
        if (!o.part) s.low = 0;
        s.high = head;
        if (s.low >= s.high) return -1;
    }
    s.backward = o.last || o.reverse;
    if (s.backward) s.step = -step;
    s.fold = series::is_string_type(stype) && !o.case_sensitive && !o.same;

    if (stype == TYPE_VECTOR) {
        if (!services().vector_find) fire(ErrorId::internal_not_done);
        int64_t pos = services().vector_find(series, value, s.low, s.high, step, s.backward, s.match);
        length = 1;  // one element matched: select answers the next
        if (pos >= 0 && s.tail && !s.backward) pos += step;
        return pos;
    }
    Needle n = needle_of(series, value, s.fold, length);
    // An empty text is found nowhere.
    if (n.kind == Needle::PATTERN && n.pattern.empty()) return -1;
    b = memory::buffer_of(cell_node(series));
    const uint8_t* p = b->head_ptr();
    int64_t pos = s.fold ? scan_unit<true>(p, b->unit(), n, s) : scan_unit<false>(p, b->unit(), n, s);
    if (pos < 0) return -1;
    if (s.tail) {
        if (n.kind == Needle::PATTERN)
            pos += int64_t(n.pattern.size());
        else if (!s.backward)
            pos += step;
    }
    return pos;
}

}  // namespace

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    Cell s = *series;
    Rooted keep(s);
    int64_t length = 0;
    int64_t pos = search(s, *value, options, length);
    if (pos < 0) {
        *out = none_value;
        return;
    }
    int64_t total = detail::units_of(s);
    *out = at_position(s, pos < total ? pos : total);
}

void select(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    Cell s = *series;
    Rooted keep(s);
    FindOptions o = options;
    o.tail = false;
    o.match = false;
    int64_t length = 0;
    int64_t pos = search(s, *value, o, length);
    if (pos < 0 || pos + length >= detail::units_of(s)) {
        *out = none_value;
        return;
    }
    Cell after = at_position(s, pos + length);
    actions::pick(out, &after, 1, nullptr);
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell s = *parent;
    Rooted keep(s);
    Cell key = *element;
    Rooted keep_key(key);
    Cell path = step.path ? *step.path : none_value;
    Rooted keep_path(path);
    if (type_of(key) == TYPE_INTEGER) {
        if (value)
            actions::poke(out, &s, cell_integer(key), value, &key);
        else
            actions::pick(out, &s, cell_integer(key), &key);
        return;
    }
    if (type_of(key) == TYPE_WORD) fire(ErrorId::script_invalid_path, {path, key});
    FindOptions o;
    o.case_sensitive = step.case_sensitive;
    if (!value) {
        select(out, &s, &key, o);
        return;
    }
    int64_t length = 0;
    int64_t pos = search(s, key, o, length);
    if (pos < 0) fire(ErrorId::script_bad_path_set, {path, key});
    // The unit the get reads: just past the whole key.
    Cell found = at_position(s, pos);
    Cell v = *value;
    Rooted keep_value(v);
    actions::poke(out, &found, int32_t(length + 1), &v, nullptr);
}

}  // namespace kel::string
