// The action slots of vector! (datatype.h: answers in `out`) and the helpers
// the files of the module share; not for other modules.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/vector.h"

namespace kel::vector {

// Action slots ------------------------------------------------------------------------

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void add();
void subtract();
void multiply();
void divide();
void remainder();
void and_t();
void or_t();
void xor_t();
void append(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append);
void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options);

}  // namespace kel::vector

namespace kel::vector::detail {

// Elements from the buffer's offset to its tail.
inline int64_t total(const Cell& v) { return series::total_units(buffer(v)); }
// The index clamped into 0 .. total.
inline int64_t head_of(const Cell& v) { return series::head_inside(v, total(v)); }
// The address of element i of the series (from the buffer's offset).
inline uint8_t* at(const Cell& v, int64_t i) {
    SeriesBuffer* b = buffer(v);
    return b->head_ptr() + uint64_t(i) * b->unit();
}
// The value can be stored in the vector (it has the element type); else
// script/invalid-arg with the value.
void check_element(const Cell& v, const Cell& value);
// Makes room for `count` more elements at the tail (the buffer may move);
// the tail does not move. A size past the series limit raises
// internal/no-memory.
void reserve(const Cell& v, int64_t count);
// Checks `count` elements for a byte size within 32 bits.
void check_size(int64_t count, uint32_t width);

}  // namespace kel::vector::detail
