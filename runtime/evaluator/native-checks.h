// The argument checks of a native called with `check` set: every mandatory
// argument, and every argument of a used refinement, must have a type of the
// typeset its spec's type block names (an argument without a type block:
// any type but unset!). A mismatch raises script/expect-arg with the
// native's word, the value's datatype and the argument's word. The checks
// are read from the native's registered spec text, once per native, with
// the typeset and datatype words as the global context holds them then.
#pragma once
#include <cstdint>

namespace kel::natives {

// Checks the current argument frame against the spec of native `index`
// (the refinement integers as the native gets them).
void check_arguments(int32_t index, const int32_t* refinements);

}  // namespace kel::natives
