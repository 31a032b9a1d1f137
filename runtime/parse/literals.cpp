// Matching one literal rule, datatype rules, repetitions of one literal and
// `to`/`thru` searches for one literal.
//
// The loops read the input's units (or cells) through a view taken after the
// last allocation; nothing in them allocates or runs Kel code. A search for
// a string-like or binary! value is one Knuth-Morris-Pratt pass over the
// compared units (folded to upper case unless the comparison is strict), so
// its time is linear in the input plus the rule and the first match it finds
// is the first position where the value matches.
#include <vector>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/lexer.h"
#include "runtime/parse/engine.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::parser {

namespace {

// The units of the input's series from its start (a view: good until the
// next allocation).
struct Units {
    const uint8_t* p;
    uint32_t unit;
    uint32_t at(int64_t i) const { return unicode::get_unit(p, unit, uint64_t(i)); }
};

Units units_of(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    return Units{b->head_ptr(), b->unit()};
}

// A bitset's bits (a view, good until the next allocation): a code point
// past its bits is in it only when the bitset is complemented.
struct Bits {
    const uint8_t* p;
    uint64_t count;
    bool complement;
    bool has(uint32_t c) const { return c >= count ? complement : (p[c >> 3] & (0x80u >> (c & 7))) != 0; }
};

Bits bits_of(const Cell& bitset) {
    SeriesBuffer* b = memory::buffer_of(cell_node(bitset));
    return Bits{b->head_ptr(), b->used() * 8, (b->flags & series_flag::COMPLEMENT) != 0};
}

bool in_bitset(const Cell& bits, uint32_t c) { return bits_of(bits).has(c); }

// Units from `at` while they are in the bitset, up to `end`: the first unit
// not in it, or `end`.
int64_t span_in_bitset(const Units& u, const Bits& bits, int64_t at, int64_t end) {
    if (u.unit == 1) {
        while (at < end && bits.has(u.p[at])) ++at;
        return at;
    }
    while (at < end && bits.has(u.at(at))) ++at;
    return at;
}

inline uint32_t fold(uint32_t c, bool strict) { return strict ? c : unicode::upper_char(c); }

bool is_text_rule(uint32_t t) { return series::is_string_type(t); }

// Units of a series value from its head.
int32_t length_from_head(const Cell& v) {
    int32_t n = series::ks_abs_length(v) - int32_t(v.data1);
    return n < 0 ? 0 : n;
}

// The bytes a string-like or binary! rule matches in binary! input.
int32_t byte_length(const Cell& rule) {
    if (type_of(rule) == TYPE_BINARY) return length_from_head(rule);
    return int32_t(binary::measure(rule, -1, false));
}

bool block_match(const Cell& cell, const Cell& rule, int32_t op) {
    uint32_t rt = type_of(rule);
    int32_t o = op;
    if (rt == TYPE_LIT_WORD || rt == TYPE_LIT_PATH) o = op == COMP_STRICT_EQUAL ? COMP_CASE_MATCH : COMP_MATCH;
    return actions::compare(cell, rule, o);
}

// The compared units of a string-like or binary! rule in the input's terms:
// code points (folded unless strict) for text input, bytes for binary!
// input. A tag! is searched with its brackets. False when the rule cannot
// match this input at all.
bool needle_of(const Engine& e, const Cell& rule, std::vector<uint32_t>& out) {
    uint32_t rt = type_of(rule);
    bool tag = rt == TYPE_TAG;
    bool strict = e.op == COMP_STRICT_EQUAL;
    if (tag) out.push_back('<');
    if (e.kind == Kind::bytes) {
        int64_t n = rt == TYPE_BINARY ? length_from_head(rule) : binary::measure(rule, -1, false);
        std::vector<uint8_t> bytes(size_t(n) + 1);
        if (rt == TYPE_BINARY) {
            Units u = units_of(rule);
            for (int64_t i = 0; i < n; ++i) bytes[size_t(i)] = uint8_t(u.at(int32_t(rule.data1) + i));
        } else {
            binary::write(bytes.data(), rule, -1, false);
        }
        for (int64_t i = 0; i < n; ++i) out.push_back(bytes[size_t(i)]);
    } else {
        if (rt == TYPE_BINARY) return false;
        Units u = units_of(rule);
        int32_t from = int32_t(rule.data1) < 0 ? 0 : int32_t(rule.data1);
        int32_t n = length_from_head(rule);
        for (int32_t i = 0; i < n; ++i) out.push_back(fold(u.at(from + i), strict));
    }
    if (tag) out.push_back('>');
    return true;
}

// The first position in [from, limit) at which the needle lies whole before
// limit, or -1.
int64_t kmp_search(const Engine& e, const std::vector<uint32_t>& needle, int32_t from, int32_t limit) {
    size_t m = needle.size();
    if (int64_t(limit) - from < int64_t(m)) return -1;
    if (m == 0) return from;
    std::vector<size_t> fail(m, 0);
    for (size_t i = 1, k = 0; i < m; ++i) {
        while (k && needle[i] != needle[k]) k = fail[k - 1];
        if (needle[i] == needle[k]) ++k;
        fail[i] = k;
    }
    bool strict = e.op == COMP_STRICT_EQUAL || e.kind == Kind::bytes;
    Units u = units_of(e.input);
    size_t k = 0;
    for (int64_t i = from; i < limit; ++i) {
        uint32_t c = fold(u.at(i), strict);
        while (k && c != needle[k]) k = fail[k - 1];
        if (c == needle[k]) ++k;
        if (k == m) return i + 1 - int64_t(m);
    }
    return -1;
}

}  // namespace

bool match_literal(Engine& e, const Cell& rule) {
    uint32_t rt = type_of(rule);
    if (at_end(e)) {
        return e.kind == Kind::text && (rt == TYPE_STRING || rt == TYPE_FILE || rt == TYPE_URL) &&
            length_from_head(rule) == 0;
    }
    int32_t advance = 0;
    bool matched = false;
    Cell in = e.input;
    switch (e.kind) {
    case Kind::bytes:
        if (rt == TYPE_BITSET) {
            matched = binary::byte_in_bitset(in, rule);
            advance = 1;
        } else {
            matched = binary::match(in, rule, e.op);
            // The bytes matched: a string's UTF-8 form, never its code points.
            if (matched) advance = rt == TYPE_CHAR ? 1 : byte_length(rule);
        }
        break;
    case Kind::text:
        // One unit against a char! or bitset! (the position is before the
        // tail here), read in place.
        if (rt == TYPE_BITSET) {
            matched = in_bitset(rule, units_of(in).at(head(e)));
            advance = 1;
        } else if (rt == TYPE_CHAR) {
            bool strict = e.op == COMP_STRICT_EQUAL;
            matched = fold(units_of(in).at(head(e)), strict) == fold(rule.data2, strict);
            advance = 1;
        } else {
            matched = string::match_value(in, rule, e.op);
            if (matched) advance = rt == TYPE_CHAR ? 1 : length_from_head(rule) + (rt == TYPE_TAG ? 2 : 0);
        }
        break;
    case Kind::block:
        matched = block_match(*block::ks_abs_at(e.input, head(e)), rule, e.op);
        advance = 1;
        break;
    }
    if (matched) {
        int64_t to = int64_t(head(e)) + advance;
        int32_t tail = input_tail(e);
        set_head(e, to > tail ? tail : int32_t(to));
    }
    return matched;
}

bool match_type(Engine& e, const Cell& rule) {
    if (at_end(e)) return false;
    bool is_typeset = type_of(rule) == TYPE_TYPESET;
    auto fits = [&](uint32_t t) { return is_typeset ? typeset::has(rule, t) : t == datatype::type_of_value(rule); };
    if (e.kind == Kind::block) {
        if (!fits(type_of(*block::ks_abs_at(e.input, head(e))))) return false;
        set_head(e, head(e) + 1);
        return true;
    }
    // binary! input: one token scanned by the lexer, nothing loaded.
    lexer::Options o;
    o.one = true;
    o.scan = true;
    Cell from = e.input;
    lexer::Result r = lexer::scan_binary(nullptr, from, int64_t(limit_of(e)) - head(e), o);
    if (r.type <= 0 || r.consumed <= 0 || !fits(uint32_t(r.type))) return false;
    int64_t to = int64_t(head(e)) + r.consumed;
    int32_t tail = input_tail(e);
    set_head(e, to > tail ? tail : int32_t(to));
    return true;
}

bool loop_token(Engine& e, const Cell& rule, int32_t min, int32_t max) {
    uint32_t rt = type_of(rule);
    int32_t tail = input_tail(e);
    int32_t at = head(e);
    if (tail - at <= 0 || tail - at < min) return min <= 0;
    int32_t limit = limit_of(e);
    int64_t count = 0;
    auto room = [&] { return at < limit && (max < 0 || count < max); };
    if (e.kind != Kind::block && (rt == TYPE_CHAR || rt == TYPE_BITSET)) {
        Units u = units_of(e.input);
        bool strict = e.op == COMP_STRICT_EQUAL || e.kind == Kind::bytes;
        if (rt == TYPE_CHAR) {
            uint32_t want = fold(rule.data2, strict);
            while (room() && fold(u.at(at), strict) == want) ++at, ++count;
        } else {
            int64_t end = max < 0 || int64_t(limit) - at <= max ? limit : int64_t(at) + max;
            int64_t stop = span_in_bitset(u, bits_of(rule), at, end);
            count = stop - at;
            at = int32_t(stop);
        }
    } else if (e.kind != Kind::block) {
        if (!is_text_rule(rt) && rt != TYPE_BINARY) return min == 0;
        if (length_from_head(rule) == 0) return true;
        for (;;) {
            if (!room()) break;
            Cell in = e.input;
            in.data1 = uint32_t(at);
            bool ok = e.kind == Kind::bytes ? binary::match(in, rule, e.op) : string::match_value(in, rule, e.op);
            if (!ok) break;
            at += e.kind == Kind::bytes ? byte_length(rule) : length_from_head(rule) + (rt == TYPE_TAG ? 2 : 0);
            if (at > tail) at = tail;
            ++count;
        }
    } else {
        while (room() && block_match(*block::ks_abs_at(e.input, at), rule, e.op)) ++at, ++count;
    }
    set_head(e, at);
    return count >= min;
}

bool find_token(Engine& e, const Cell& rule, bool thru) {
    uint32_t rt = type_of(rule);
    int32_t from = head(e);
    int32_t limit = limit_of(e);
    int64_t found = -1;
    int32_t length = 1;
    if (e.kind == Kind::block) {
        for (int32_t i = from; i < limit; ++i)
            if (block_match(*block::ks_abs_at(e.input, i), rule, e.op)) {
                found = i;
                break;
            }
    } else if (rt == TYPE_CHAR || rt == TYPE_BITSET) {
        Units u = units_of(e.input);
        bool strict = e.op == COMP_STRICT_EQUAL || e.kind == Kind::bytes;
        uint32_t want = fold(rule.data2, strict);
        for (int32_t i = from; i < limit; ++i) {
            uint32_t c = u.at(i);
            if (rt == TYPE_CHAR ? fold(c, strict) == want : in_bitset(rule, c)) {
                found = i;
                break;
            }
        }
    } else if (is_text_rule(rt) || rt == TYPE_BINARY) {
        std::vector<uint32_t> needle;
        if (needle_of(e, rule, needle)) {
            length = int32_t(needle.size());
            found = kmp_search(e, needle, from, limit);
        }
    }
    if (found < 0) {
        // A literal matched across the part limit earlier: the search has
        // nothing left to pass and matches where it stands.
        return e.part > 0 && from > limit;
    }
    set_head(e, int32_t(found) + (thru ? length : 0));
    return true;
}

}  // namespace kel::parser
