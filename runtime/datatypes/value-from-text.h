// Loading one whole value from the text of a string, for the conversions
// that take a string apart the way the lexer reads source (`to percent!`,
// `to time!`, `to pair!`, `to tuple!`, `to point2D!` of a string).
//
// The lexer fills the seam when it starts; until then a load raises
// internal/not-done. The loader writes the value read into `out`, or none
// when the text does not hold exactly one value.
#pragma once
#include "runtime/core/cell.h"

namespace kel::value_from_text {

using Loader = void (*)(Cell* out, const Cell& text);

// Installs the loader; answers the one it replaces.
Loader install(Loader loader);
// The value held by the string from its head to its tail, or none.
void load(Cell* out, const Cell& text);

}  // namespace kel::value_from_text
