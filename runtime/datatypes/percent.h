// percent!: a float! shown as a percentage (type id 38, parent float!). The
// cell holds the fraction, not the number of percent: 50% is 0.5 in payload
// words 2-3. Everything but form and mold is float!'s.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::percent {

inline double get(const Cell& c) { return cell_double(c); }
inline Cell make_cell(double d) {
    Cell c{TYPE_PERCENT, 0, 0, 0};
    set_cell_double(c, d);
    return c;
}
// The frame's first cell becomes the percent! d.
Cell* box(double d);
// A new percent! on the argument stack.
Cell* push(double d);
// A new percent! at the block's tail from the two halves of its bit pattern,
// high half first: the KELBIN decoder's maker.
Cell* make_in(const Cell& block, uint32_t high, uint32_t low);

// Registers percent! (id 38); float! must be registered first.
void init();

}  // namespace kel::percent
