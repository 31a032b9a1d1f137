// A read-only view of a string-like value's units from its head, shared by the
// string modules. A view holds a raw buffer address: it is good only until
// the next call that may allocate or run Kel code.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

namespace kel::string {

struct Span {
    const uint8_t* p;  // the unit at the head
    int64_t count;  // units from the head to the tail
    uint32_t unit;

    uint32_t at(int64_t i) const { return unicode::get_unit(p, unit, uint64_t(i)); }
};

// The units of a string-like value from its head, without changing the cell:
// a negative head reads from the first unit, a head past the tail gives none.
inline Span span_from_head(const Cell& str) {
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    uint32_t shift = unicode::unit_shift(b->unit());
    int64_t units = int64_t(b->used() >> shift);
    int64_t head = series::head_inside(str, units);
    return Span{b->head_ptr() + (head << shift), units - head, b->unit()};
}

}  // namespace kel::string
