// The slot of a field of an object the library makes (`system` and its
// sub-objects, the JSON and CSV contexts), for the C++ start-up steps and
// routines that read or set those fields by name. The slot is read now:
// re-read it after anything that may allocate. A value that is not an
// object, or a missing field, is a fault of the library (internal_fault).
#pragma once

#include <span>

#include "runtime/core/cell.h"
#include "runtime/evaluator/routines.h"

namespace kel::library {

Cell* field_slot(const Cell& obj, const char* name);

// Makes each routine of the table and sets it into the field of `obj` its
// word names (the platform objects' and TUI-helpers' routine fields).
void set_routine_fields(const Cell& obj, std::span<const routines::Entry> entries);

}  // namespace kel::library
