// ref!: "@" and a name (type id 50, parent string!). It stores the name like
// string! and inherits the string and series actions except append and path
// access; form writes the name, mold "@" and the name.
#pragma once
#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::ref {

// Registers ref! (id 50); string! must be registered first.
void init();

}  // namespace kel::ref
