// The pieces both readers share.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {

void refuse_unrecorded(uint32_t type) {
    switch (type) {
    case TYPE_ROUTINE:
    case TYPE_HANDLE:
    case TYPE_PORT:
    case TYPE_EVENT:
    case TYPE_TRIPLE:
        fire(ErrorId::access_no_codec, {datatype::make(type)});
    default:
        break;
    }
}

bool series_reference_fits(uint32_t t, const Cell& c, uint32_t head) {
    using type_classes::Series;
    uint32_t rt = type_of(c);
    Series kind = type_classes::of(t).series;
    bool fits = kind == Series::bytes ? rt == TYPE_BINARY : type_classes::of(rt).series == kind;
    if (!fits) return false;
    SeriesBuffer* b = memory::buffer_of(cell_node(c));
    uint32_t unit = kind == Series::cells ? sizeof(Cell) : b->unit();
    return head <= b->used() / unit;
}

bool units_ok(const uint8_t* data, uint32_t n, uint32_t unit) {
    if (unit != 4) return true;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t cp;
        std::memcpy(&cp, data + 4 * size_t(i), 4);
        if (cp > 0x10FFFF) return false;
    }
    return true;
}

void append_string(const Cell& parent, uint32_t header, uint32_t head, const uint8_t* data, uint32_t n, uint32_t unit) {
    Cell s{header & CELL_TYPE_MASK, 0, 0, 0};
    Rooted keep(s);
    string::make_at(s, int32_t(n), unit);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::memcpy(b->head_ptr(), data, size_t(n) * unit);
    b->tail = b->offset + uint64_t(n) * unit;
    s.header = header;
    s.data1 = head;
    block::append_cell(parent, s);
}

}  // namespace kel::kelbin
