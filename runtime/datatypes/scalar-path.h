// Path access shared by the scalars whose parts have names or positions
// (time!, pair!, point2D!, point3D!, tuple!): their field words, and telling
// the owner after a set-path changed a part.
//
// A set-path changes the scalar in the parent cell in place; the owner to
// tell is the value the scalar came from (the step's grand-parent): an
// object! through its on-change* handler with the field word that held the
// scalar (the step's previous element), the old and the new scalar, when the
// step asks for change events; any other series through the ownership check
// with the word `set-path`, the value set and the part's index. The path
// walker stores the changed scalar back into its holder without telling
// that owner again.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/runtime-words.h"

namespace kel::scalar_path {

// The 1-based position of the word's symbol among the names (letter case
// ignored), or 0 when it names none of them or is no word.
int32_t field_of(const Cell& word, std::initializer_list<words::Sym> names);

// Tells the owner of the scalar that its part `index` was set to `part`:
// old and new are the whole scalar before and after. Nothing happens without
// a grand-parent. May run Kel code.
void tell_owner(const PathStep& step, const Cell& old_value, const Cell& new_value, const Cell& part, int32_t index);

}  // namespace kel::scalar_path
