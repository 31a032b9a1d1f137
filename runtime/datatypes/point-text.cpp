// point2D! and point3D! text: the axes between parentheses, ", " apart, in
// float!'s friendly text for point coordinates ((1, 2.5)); form and mold
// write the same text.
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/point-internal.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/string.h"

namespace kel::point {

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    char text[3 * sizeof(float_::Text::chars) + 8];
    int32_t length = 0;
    text[length++] = '(';
    for (int i = 0; i < axes(type_of(value)); ++i) {
        if (i > 0) {
            text[length++] = ',';
            text[length++] = ' ';
        }
        float_::Text t = float_::to_text(double(axis(value, i)), float_::TEXT_POINT);
        for (uint32_t k = 0; k < t.length; ++k) text[length++] = t.chars[k];
    }
    text[length++] = ')';
    string::append_c_string_part(buffer, text, length);
    return limit - length;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

}  // namespace kel::point
