// string! set operations: unique, union, intersect, exclude and difference
// over code points, or over records of /skip units keyed by their first unit.
#include <unordered_set>

#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/text/case-folding.h"

namespace kel::string {

namespace {

constexpr int32_t UNIQUE = 8, UNION = 9, INTERSECT = 10, EXCLUDE = 11, DIFFERENCE = 12;

// The keys of a series: the units at its head, head + size ... folded to
// upper case unless case_sensitive, as has-char? compares them.
std::unordered_set<uint32_t> keys_of(const Cell& s, int64_t size, bool case_sensitive) {
    std::unordered_set<uint32_t> keys;
    Span sp = span_from_head(s);
    for (int64_t i = 0; i < sp.count; i += size) {
        uint32_t c = sp.at(i);
        keys.insert(case_sensitive ? c : unicode::upper_char(c));
    }
    return keys;
}

}  // namespace

void set_operation(Cell* out, const Cell& first_cell, const Cell& second_cell, bool case_sensitive, const Cell* skip,
                   int32_t op) {
    Cell first = first_cell;
    Rooted keep_first(first);
    Cell second = second_cell;
    Rooted keep_second(second);
    int64_t size = 1;
    if (skip) {
        size = type_of(*skip) == TYPE_INTEGER ? cell_integer(*skip) : 0;
        if (size < 1) series::fire_invalid_refine_arg(words::Ref::skip, *skip);
    }
    int64_t total = span_from_head(first).count;
    if (op == UNION) total += span_from_head(second).count;
    if (total == 0) {
        *out = first;
        return;
    }
    Cell result = make_unset();
    ks_make_at(result, int32_t(std::min<int64_t>(total, INT32_MAX)));
    Rooted keep_result(result);
    std::unordered_set<uint32_t> kept;
    auto pass = [&](const Cell& from, const Cell* other, bool invert) {
        std::unordered_set<uint32_t> others;
        if (other) others = keys_of(*other, size, case_sensitive);
        int64_t count = span_from_head(from).count;
        for (int64_t i = 0; i < count; i += size) {
            uint32_t key = span_from_head(from).at(i);
            uint32_t folded = case_sensitive ? key : unicode::upper_char(key);
            if (other && (others.count(folded) != 0) == invert) continue;
            if (!kept.insert(folded).second) continue;
            int64_t end = std::min(i + size, count);
            for (int64_t k = i; k < end; ++k) append_char(buffer(result), span_from_head(from).at(k));
        }
    };
    switch (op) {
    case UNIQUE:
        pass(first, nullptr, false);
        break;
    case UNION:
        pass(first, nullptr, false);
        pass(second, nullptr, false);
        break;
    case INTERSECT:
        pass(first, &second, false);
        break;
    case EXCLUDE:
        pass(first, &second, true);
        break;
    case DIFFERENCE:
        pass(first, &second, true);
        pass(second, &first, true);
        break;
    default:
        no_switch_matched();
    }
    *out = result;
}

}  // namespace kel::string
