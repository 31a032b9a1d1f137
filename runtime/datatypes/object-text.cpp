// object!'s form and mold: the fields, name ": " value (form_fields, which
// error!'s report uses too); mold writes them inside make object! [ ],
// indented.
#include <cstring>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object-internal.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::object {

using detail::canonical;
using detail::ctx_of;
using detail::is_handler_symbol;
using detail::word_at;

namespace {

int64_t append_text(const Cell& buffer, const char* text, int64_t limit) {
    string::append_c_string(buffer, text);
    return limit - int64_t(std::strlen(text));
}

}  // namespace

int64_t form_fields(const Cell& obj_cell, const Cell& buffer, const MoldOptions& options, bool indent_each,
                    int32_t level, bool mold_mode) {
    Cell obj = obj_cell;
    Rooted keep(obj);
    int64_t limit = options.limit;
    uint32_t n = field_count(obj);
    if (n == 0) return limit;
    bool indent = indent_each && !options.flat && !options.only;
    const char* separator = options.flat ? " " : "\n";
    if (!options.flat && mold_mode && !options.only) limit = append_text(buffer, "\n", limit);
    NodeId ctx = ctx_of(obj);
    cycle_guard::Scope guard(ctx);  // popped however the walk ends
    for (uint32_t i = 0; i < n; ++i) {
        if (limit <= 0) break;
        Cell w = word_at(ctx, i);
        int32_t s = canonical(int32_t(w.data2));
        if (!options.all && is_handler_symbol(s)) continue;
        if (indent) limit = mold_indent(buffer, level, limit);
        w.header = TYPE_WORD;
        MoldOptions word_options;
        word_options.limit = limit;
        limit = actions::mold(w, buffer, word_options);
        limit = append_text(buffer, ": ", limit);
        Cell* slot = context::values_of(*context::cell_of(ctx)) + i;
        if (type_of(*slot) == 0) *slot = make_unset();
        Cell v = *slot;
        if (type_of(v) == TYPE_WORD) limit = append_text(buffer, "'", limit);
        MoldOptions o = options;
        o.only = false;
        o.limit = limit;
        o.indent = level;
        limit = actions::mold(v, buffer, o);
        if (indent || i + 1 < n) limit = append_text(buffer, separator, limit);
    }
    return limit;
}

int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    if (cycle_guard::detect(value, buffer, limit, false)) return limit;
    MoldOptions o;
    o.part = part;
    o.limit = limit;
    return form_fields(value, buffer, o, false, 0, false);
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = options.limit;
    if (cycle_guard::detect(value, buffer, limit, true)) return limit;
    if (!options.only) limit = append_text(buffer, "make object! [", limit);
    MoldOptions o = options;
    o.limit = limit;
    limit = form_fields(value, buffer, o, true, options.indent + 1, true);
    if (!options.flat && options.indent > 0) limit = mold_indent(buffer, options.indent, limit);
    if (!options.only) limit = append_text(buffer, "]", limit);
    return limit;
}

}  // namespace kel::object
