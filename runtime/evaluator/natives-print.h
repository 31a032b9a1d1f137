// print, prin, reduce and compose.
//
// print and prin reduce a block into the print buffer, one block made at
// start-up that nested prints share: each call appends after what the
// outer calls left in it and clears only its own part, on every road, so
// a print inside a printed block writes its own line and leaves the outer
// values intact. The text leaves through the output hooks.
//
// reduce and compose keep their source and their target on the argument
// stack while the code they evaluate runs; their positions are re-read
// after every evaluation, so code that changes either block is seen as it
// is then.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::print {

// Makes the print buffer (once) and stores print, prin, reduce and compose
// at their indexes of the table.
void register_natives(Entry* table);

// Whether the last print or prin ended its output with a line break (false
// before any output).
bool last_lf();

}  // namespace kel::natives::print
