// map! form and mold. Keys and values are molded in both; removed pairs are
// skipped. A map met again inside itself writes the cycle marker.
#include "runtime/datatypes/map-internal.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::map {

namespace {

int64_t append_char(const Cell& target, uint32_t cp, int64_t limit) {
    string::append_char(string::buffer(target), cp);
    return limit - 1;
}

// How the pairs are laid out: with new_lines each pair stands on a line of
// its own at `indent` levels and ends with a line feed; otherwise pairs are
// separated by `separator`.
struct Layout {
    int32_t indent = 0;
    bool new_lines = false;
    uint32_t separator = '\n';
};

// Writes the live pairs; answers the budget left. The buffer is reached
// through the node after every mold (molding allocates).
int64_t write_pairs(const Cell& m, const Cell& target, const MoldOptions& options, int64_t limit, Layout layout) {
    bool first = true;
    for (uint64_t i = 0; i + 1 < buffer(m)->cell_count(); i += 2) {
        if (options.part && limit <= 0) break;
        Cell key = buffer(m)->cells()[i];
        if (removed(buffer(m)->cells()[i + 1])) continue;
        if (layout.new_lines)
            limit = mold_indent(target, layout.indent, limit);
        else if (!first)
            limit = append_char(target, layout.separator, limit);
        first = false;
        MoldOptions inner = options;
        inner.only = false;
        inner.indent = layout.indent;
        inner.limit = limit;
        key.header &= ~CELL_NEW_LINE;
        limit = actions::mold(key, target, inner);
        limit = append_char(target, ' ', limit);
        inner.limit = limit;
        // The value is read again: molding the key allocated.
        limit = actions::mold(buffer(m)->cells()[i + 1], target, inner);
        if (layout.new_lines) limit = append_char(target, '\n', limit);
    }
    return limit;
}

}  // namespace

int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    if (cycle_guard::detect(value, target, limit, false)) return limit;
    Rooted keep(value);
    cycle_guard::Scope walking(block_of(value));
    MoldOptions options;
    options.part = part;
    return write_pairs(value, target, options, limit, Layout{});
}

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (cycle_guard::detect(value, target, limit, true)) return limit;
    Rooted keep(value);
    cycle_guard::Scope walking(block_of(value));
    if (options.only) return write_pairs(value, target, options, limit, Layout{options.indent, false, '\n'});
    string::append_c_string(target, "#[");
    limit -= 2;
    if (key_count(value) > 0) {
        if (options.flat) {
            limit = write_pairs(value, target, options, limit, Layout{options.indent, false, ' '});
        } else {
            limit = append_char(target, '\n', limit);
            limit = write_pairs(value, target, options, limit, Layout{options.indent + 1, true, '\n'});
            if (options.indent > 0) limit = mold_indent(target, options.indent, limit);
        }
    }
    return append_char(target, ']', limit);
}

}  // namespace kel::map
