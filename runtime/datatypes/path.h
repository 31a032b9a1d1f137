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

// make of the four path types: a number gives an empty path with room for
// that many values (truncated; 0 gives 1; negative or NaN raises
// script/out-of-range); a block-like value gives a path of its values.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
// to: object!, map! and typeset! give a one-segment path; everything else
// converts as to block! does, typed as the target (a block-like value gives
// its values, a string is loaded, a word or a number is the one segment).
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// "(", the values molded as a block's, ")"; with only? no parentheses.
int64_t paren_mold(Cell value, Cell buffer, const MoldOptions& options);

// Registers the four path types and paren!. block! must be registered first
// for its actions to be inherited.
void init();

}  // namespace kel::path
