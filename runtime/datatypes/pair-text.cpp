// pair! text: x, "x", y in decimal (10x20); form and mold write the same
// text.
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/pair-internal.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string.h"

namespace kel::pair {

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    integer::Text x = integer::to_text(x_of(value)), y = integer::to_text(y_of(value));
    char text[sizeof x.chars + sizeof y.chars + 1];
    uint32_t length = 0;
    for (uint32_t i = 0; i < x.length; ++i) text[length++] = x.chars[i];
    text[length++] = 'x';
    for (uint32_t i = 0; i < y.length; ++i) text[length++] = y.chars[i];
    string::append_c_string_part(buffer, text, int32_t(length));
    return limit - length;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

}  // namespace kel::pair
