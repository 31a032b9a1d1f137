// Checks shared by both readers on scalar values built from a record: a
// value is taken only when its own module would have made it.
#pragma once
#include "runtime/core/cell.h"

namespace kel::kelbin {

// False for a datatype! of an unregistered id, a char! above U+10FFFF, a
// date! whose packed word its module refuses or whose time is not finite,
// a money! with an unknown currency or a digit nibble above 9, a tuple!
// outside 1-12 bytes. Other types pass.
bool scalar_ok(const Cell& c);

}  // namespace kel::kelbin
