#include "runtime/datatypes/triple.h"

#include <cstring>

#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"

namespace kel::triple {

static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    static constexpr char OPEN[] = "make triple! [";
    char text[sizeof OPEN + 3 * 12 + 2];
    int32_t length = int32_t(sizeof OPEN - 1);
    std::memcpy(text, OPEN, size_t(length));
    for (uint32_t word : {value.data1, value.data2, value.data3}) {
        if (length > int32_t(sizeof OPEN - 1)) text[length++] = ' ';
        integer::Text n = integer::to_text(int32_t(word));
        std::memcpy(text + length, n.chars, n.length);
        length += int32_t(n.length);
    }
    text[length++] = ']';
    string::append_c_string_part(buffer, text, length);
    return limit - length;
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_TRIPLE, 0, "triple!").own<ACTION_FORM>(form).own<ACTION_MOLD>(mold));
}

}  // namespace kel::triple
