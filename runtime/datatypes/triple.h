// triple!: three 32-bit integers in one cell (type id 31, no parent), the
// records of the parse engine's frame stack. The type exists so that such
// cells can sit in blocks and be written: it has form and mold only, both
// "make triple! [1 -2 300]".
//
// Cell: header type 31; payload words 1, 2 and 3 the three signed integers.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::triple {

inline Cell make_cell(int32_t a, int32_t b, int32_t c) {
    return Cell{TYPE_TRIPLE, uint32_t(a), uint32_t(b), uint32_t(c)};
}

// Registers triple! (id 31).
void init();

}  // namespace kel::triple
