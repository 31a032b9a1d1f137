// integer! text: the decimal digits, with a sign when negative; form and
// mold write the same text.
#include <charconv>

#include "runtime/datatypes/integer-internal.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"

namespace kel::integer {

Text to_text(int32_t n) {
    Text t;
    auto r = std::to_chars(t.chars, t.chars + sizeof t.chars, n);
    t.length = uint32_t(r.ptr - t.chars);
    return t;
}

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    Text t = to_text(get(value));
    string::append_c_string_part(buffer, t.chars, int32_t(t.length));
    return limit - t.length;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

}  // namespace kel::integer
