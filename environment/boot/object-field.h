// The slot of a field of an object the library makes (`system` and its
// sub-objects, the JSON and CSV contexts), for the C++ start-up steps and
// routines that read or set those fields by name. The slot is read now:
// re-read it after anything that may allocate. A value that is not an
// object, or a missing field, is a fault of the library (internal_fault).
#pragma once

#include "runtime/core/cell.h"

namespace kel::library {

Cell* field_slot(const Cell& obj, const char* name);

}  // namespace kel::library
