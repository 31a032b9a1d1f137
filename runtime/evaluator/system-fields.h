// Reading the fields of the global `system` object from C++, by symbol and
// field lookup at every use: nothing keeps a cell address, so a library that
// replaces a sub-object or a list is seen at once. Callers may keep the
// symbol ids of the names (symbols never move or die).
#pragma once
#include <cstdint>
#include <initializer_list>

#include "runtime/core/cell.h"

namespace kel::system_fields {

// The value at a path of field symbols below `system` (symbol::make of
// "locale", "months"), or none! when `system` is no object!, a step names no
// field or a value on the way is no object!.
Cell get(std::initializer_list<int32_t> path);

}  // namespace kel::system_fields
