// block! form and mold.
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

int64_t append_char(const Cell& target, uint32_t cp, int64_t limit) {
    string::append_char(string::buffer(target), cp);
    return limit - 1;
}

// The last code point of the string, or 0 when it is empty.
uint32_t last_char(const Cell& target) {
    int32_t n = string::ks_abs_length(target);
    return n > 0 ? string::get_char_at(target, n - 1) : 0;
}

}  // namespace

int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    if (cycle_guard::detect(value, target, limit, false)) return limit;
    Rooted keep(value);
    detail::Walking walking(cell_node(value));
    // Forming allocates: the buffer is reached through the node each time.
    for (int64_t i = detail::head_of(value); i < int64_t(buffer(value)->cell_count()); ++i) {
        if (part && limit <= 0) break;
        limit = actions::form(buffer(value)->cells()[i], target, part, limit);
        if (i + 1 < int64_t(buffer(value)->cell_count())) {
            uint32_t last = last_char(target);
            if (last != '\n' && last != '\r' && last != '\t') limit = append_char(target, ' ', limit);
        }
    }
    return limit;
}

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (cycle_guard::detect(value, target, limit, true)) return limit;
    if (!options.only) limit = append_char(target, '[', limit);
    MoldOptions each = options;
    each.limit = limit;
    limit = mold_each(value, target, each);
    if (!options.only) limit = append_char(target, ']', limit);
    return limit;
}

int64_t mold_each(Cell value, Cell target, const MoldOptions& options) {
    int64_t limit = options.limit;
    int32_t indent = options.indent;
    Rooted keep(value);
    detail::Walking walking(cell_node(value));
    bool opened = false;
    // A head at or past the tail molds nothing.
    int64_t first = int32_t(value.data1) < 0 ? 0 : int32_t(value.data1);
    for (int64_t i = first; i < int64_t(buffer(value)->cell_count()); ++i) {
        if (options.part && limit <= 0) return limit;
        Cell c = buffer(value)->cells()[i];
        bool is_first = i == first;
        if (!options.flat && (c.header & CELL_NEW_LINE)) {
            // A marker on the first value opens the block on lines of its own,
            // its values one level deeper; a later one breaks the line.
            if (!options.only && is_first) {
                opened = true;
                ++indent;
            }
            if (!options.only || !is_first) limit = append_char(target, '\n', limit);
            limit = mold_indent(target, indent, limit);
        } else if (!is_first) {
            limit = append_char(target, ' ', limit);
        }
        MoldOptions inner = options;
        inner.only = false;
        inner.limit = limit;
        inner.indent = indent;
        limit = actions::mold(c, target, inner);
    }
    if (opened) {
        --indent;
        limit = append_char(target, '\n', limit);
        limit = mold_indent(target, indent, limit);
    }
    return limit;
}

}  // namespace kel::block
