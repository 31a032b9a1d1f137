// tag!: a string written between angle brackets (type id 44, parent
// string!). It stores its text like string! and inherits every string and
// series action; its own are form and mold, which both write "<", the text
// and ">".
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::tag {

// Registers tag! (id 44); string! must be registered first.
void init();

}  // namespace kel::tag
