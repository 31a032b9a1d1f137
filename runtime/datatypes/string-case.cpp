// The core of the uppercase and lowercase natives: the case of a char! or of
// the code points of a string changed in place.
#include <algorithm>

#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::string {

void change_case(Cell* value, const Cell* part, bool upper) {
    if (type_of(*value) == TYPE_CHAR) {
        value->data2 = unicode::change_char_case(value->data2, upper);
        return;
    }
    int64_t total = detail::units_of(*value);
    if (int32_t(value->data1) > total) value->data1 = uint32_t(int32_t(total));
    Cell s = *value;
    Rooted keep(s);
    int64_t head = detail::head_of(s);
    int64_t n = total - head;
    if (part) {
        int64_t count = series::part_count(s, *part);
        n = std::clamp<int64_t>(count, 0, n);
    }
    // The widest mapped code point decides the unit: the buffer widens once.
    uint32_t widest = 0;
    {
        SeriesBuffer* b = buffer(s);
        const uint8_t* p = b->head_ptr() + (uint64_t(head) << unicode::unit_shift(b->unit()));
        for (int64_t i = 0; i < n; ++i)
            widest = std::max(widest, unicode::change_char_case(unicode::get_unit(p, b->unit(), uint64_t(i)), upper));
    }
    SeriesBuffer* b = unicode::widen_for(cell_node(s), widest);
    uint32_t unit = b->unit();
    uint8_t* p = b->head_ptr() + (uint64_t(head) << unicode::unit_shift(unit));
    for (int64_t i = 0; i < n; ++i)
        detail::store_unit(p, unit, i, unicode::change_char_case(unicode::get_unit(p, unit, uint64_t(i)), upper));
    series::check(s, upper ? series::Change::uppercase : series::Change::lowercase, nullptr, int32_t(head), int32_t(n));
}

}  // namespace kel::string
