// string! form and mold. form copies the code points; mold writes the text
// between double quotes or braces with the control characters and the
// delimiters escaped by caret sequences. Also the escape of one code point,
// which char! mold writes too (runtime/datatypes/char-escape), and the form
// of any value into a string, which to string! and the natives use.
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/char-escape.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

namespace kel::string {

namespace {

void put(const Cell& target, uint32_t cp) { append_char(buffer(target), cp); }

}  // namespace

int64_t form_value(const Cell& value, const Cell& target, bool part, int64_t limit) {
    uint32_t type = type_of(value);
    if (auto fn = datatype::slot(type, ACTION_FORM))
        return reinterpret_cast<ActionSlot<ACTION_FORM>::type>(fn)(value, target, part, limit);
    switch (type) {
    case TYPE_CHAR:
        if (!part || limit > 0) append_char(buffer(target), value.data2);
        return limit - 1;
    default:
        if (series::is_string_type(type)) return form(value, target, part, limit);
        fire(ErrorId::script_expect_arg, {make_integer(ACTION_FORM), datatype::make(type), make_none()});
    }
}

int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    Rooted keep(value);
    int64_t length = span_from_head(value).count;
    if (!part)
        copy_into(target, value, -1, true);
    else if (limit > 0)
        copy_into(target, value, limit >= length ? -1 : int32_t(limit), true);
    return limit - length;
}

void mold_char(const Cell& target, uint32_t cp, bool all) { char_escape::mold_char(target, cp, all); }

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    Rooted keep_value(value);
    Rooted keep_target(target);
    Span whole = span_from_head(value);
    int64_t extent = whole.count;
    if (options.part && options.limit != 0) {
        int64_t budget = options.limit < 0 ? 0 : options.limit;
        if (budget < extent) extent = budget;
    }
    // The extent's code points, read once: the writes below may move the
    // value's buffer (it may be the target's).
    std::vector<uint32_t> text(static_cast<size_t>(extent));
    int64_t quotes = 0, lines = 0;
    for (int64_t i = 0; i < extent; ++i) {
        uint32_t c = whole.at(i);
        text[size_t(i)] = c;
        quotes += c == '"';
        lines += c == '\n';
    }
    bool braces = lines >= 3 || quotes > 0 || whole.count >= 50;
    if (!braces) {
        put(target, '"');
        for (uint32_t c : text) mold_char(target, c, options.all);
        put(target, '"');
        return options.limit - extent - 2;
    }
    // Each "{" that has a partner in the extent: the one where a scan from it,
    // counting "{" up and "}" down, returns to zero. Matched in one pass.
    std::vector<bool> partnered(static_cast<size_t>(extent), false);
    std::vector<int64_t> open;
    for (int64_t i = 0; i < extent; ++i) {
        if (text[size_t(i)] == '{')
            open.push_back(i);
        else if (text[size_t(i)] == '}' && !open.empty()) {
            partnered[size_t(open.back())] = true;
            open.pop_back();
        }
    }
    put(target, '{');
    int64_t depth = 0;
    bool balanced = true;
    for (int64_t i = 0; i < extent; ++i) {
        uint32_t c = text[size_t(i)];
        if (c == '{') {
            if (balanced && partnered[size_t(i)]) {
                ++depth;
                put(target, '{');
            } else {
                balanced = false;
                append_c_string(target, "^{");
            }
        } else if (c == '}') {
            if (depth > 0) {
                --depth;
                put(target, '}');
            } else {
                append_c_string(target, "^}");
            }
        } else if (c == '"') {
            put(target, '"');
        } else {
            mold_char(target, c, options.all);
        }
    }
    put(target, '}');
    return options.limit - extent - 2;
}

}  // namespace kel::string
