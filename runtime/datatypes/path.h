// The path family (path! 25, lit-path! 26, set-path! 27, get-path! 28) and
// paren! (6): blocks with their own type. They share the block payload
// (head index, series node) and inherit block!'s actions, except that paths
// have no random, sort or trim and paren! no trim.
//
// A path's values are its segments; its text is the segments formed or
// molded one after the other, separated by "/", with "'" or ":" before
// (lit-path, get-path) or ":" after (set-path). A path that contains itself
// is written with the cycle marker.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/datatype.h"

namespace kel::path {

inline bool is_path(uint32_t t) { return type_families::is_any_path(t); }

// Registers the four path types and paren!. block! must be registered first
// for its actions to be inherited.
void init();

}  // namespace kel::path
