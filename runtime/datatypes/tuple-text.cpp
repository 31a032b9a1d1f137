// tuple! text: the bytes in decimal, "." apart (1.2.3); form and mold write
// the same text.
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/tuple-internal.h"
#include "runtime/datatypes/tuple.h"

namespace kel::tuple {

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    char text[MAX_BYTES * 4];
    int32_t length = 0;
    for (uint32_t i = 0; i < count(value); ++i) {
        if (i > 0) text[length++] = '.';
        integer::Text n = integer::to_text(byte_at(value, i));
        for (uint32_t k = 0; k < n.length; ++k) text[length++] = n.chars[k];
    }
    string::append_c_string_part(buffer, text, length);
    return limit - length;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

}  // namespace kel::tuple
