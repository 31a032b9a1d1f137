// The math natives: shift, to-hex, the trigonometric natives (degrees unless
// /radians: the angle is reduced with degree_to_radians, sine and cosine
// results below the double epsilon are 0.0, tangent of exactly +-pi/2 is
// +-infinity), log-2, log-10, log-e, exp and square-root (the C library's
// results, NaN and infinities included, never an error).
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::math {

void register_natives(Entry* table);

}  // namespace kel::natives::math
