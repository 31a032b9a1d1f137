// vector! form and mold: the elements from the index, one space apart. form
// writes float and percent elements as friendly text; mold writes the
// shortest text that loads back as the same element. mold
// writes the short form `make vector! [1 2 3]` only when an element remains
// from the index and the width is the type's default; otherwise the type,
// the width and an inner block, so that the text loads back as a vector of
// the same element type and width.
#include <string>

#include "runtime/datatypes/char-escape.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/memory/roots.h"

namespace kel::vector {

namespace {

int64_t append_text(const Cell& target, const char* text, uint32_t n, int64_t limit) {
    string::append_c_string_part(target, text, int32_t(n));
    return limit - int64_t(n);
}

// Writes the elements from the index; answers the budget left.
int64_t write_elements(const Cell& v, const Cell& target, bool part, int64_t limit, bool mold, bool all) {
    uint32_t type = element_type(v);
    for (int64_t i = detail::head_of(v); i < detail::total(v); ++i) {
        if (part && limit <= 0) break;
        if (i > detail::head_of(v)) limit = append_text(target, " ", 1, limit);
        uint32_t w = width(v);
        const uint8_t* at = detail::at(v, i);
        switch (type) {
        case TYPE_CHAR: {
            uint32_t cp = get_char(at, w);
            if (mold) string::append_c_string(target, "#\"");
            char_escape::mold_char(target, cp, all);
            if (mold) string::append_c_string(target, "\"");
            limit -= mold ? 4 : 1;
            break;
        }
        case TYPE_INTEGER: {
            integer::Text t = integer::to_text(get_integer(at, w));
            limit = append_text(target, t.chars, t.length, limit);
            break;
        }
        default: {
            double x = get_float(at, w);
            if (mold) {
                // The shortest text that loads back as the same element.
                std::string t = float_::exact_text(x, type == TYPE_PERCENT, w == 4);
                limit = append_text(target, t.data(), uint32_t(t.size()), limit);
                break;
            }
            int mode = type == TYPE_PERCENT ? (w == 4 ? float_::TEXT_PERCENT32 : float_::TEXT_PERCENT)
                : w == 4                    ? float_::TEXT_FLOAT32
                                            : float_::TEXT_FLOAT;
            float_::Text t = float_::to_text(type == TYPE_PERCENT ? x * 100 : x, mode);
            limit = append_text(target, t.chars, t.length, limit);
            break;
        }
        }
    }
    return limit;
}

const char* type_name(uint32_t type) {
    switch (type) {
    case TYPE_CHAR:
        return "char!";
    case TYPE_INTEGER:
        return "integer!";
    case TYPE_FLOAT:
        return "float!";
    default:
        return "percent!";
    }
}

}  // namespace

int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    Rooted keep(value);
    return write_elements(value, target, part, limit, false, false);
}

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    Rooted keep(value);
    int64_t limit = options.limit;
    if (!options.only) limit = append_text(target, "make vector! [", 14, limit);
    bool short_form =
        detail::total(value) - detail::head_of(value) > 0 && width(value) == default_width(element_type(value));
    if (short_form) {
        limit = write_elements(value, target, options.part, limit, true, options.all);
        if (!options.only) limit = append_text(target, "]", 1, limit);
        return limit;
    }
    std::string head = std::string(type_name(element_type(value))) + " " + std::to_string(width(value) * 8) + " [";
    limit = append_text(target, head.c_str(), uint32_t(head.size()), limit);
    limit = write_elements(value, target, options.part, limit, true, options.all);
    limit = append_text(target, "]", 1, limit);
    if (!options.only) limit = append_text(target, "]", 1, limit);
    return limit;
}

}  // namespace kel::vector
