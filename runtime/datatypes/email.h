// email!: a user name and a host joined by "@" (type id 45, parent string!).
// It stores its text like string! and inherits every string and series
// action; form and mold write the text as it is. Its own action is path
// access: an integer! element picks and pokes as for a string!; `user` and
// `host` (any case) read a new string! of the text before the first "@" and
// after it (the whole text and an empty string when there is none), and a
// set-path changes that part of the email! itself.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::email {

// Registers email! (id 45); string! must be registered first.
void init();

}  // namespace kel::email
