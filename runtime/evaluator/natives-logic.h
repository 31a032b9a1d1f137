// The identity, logic and number-sign natives: same?, not, type?, max, min,
// negative?, positive?, sign?, zero? and NaN?.
//
// max and min take pair!, point2D!, point3D! and tuple! values apart
// component by component against a number or a value of their kind (the
// compound value first, whatever the written order), let NaN win from
// either side against a plain number, and order every other pair of values
// by the comparison without converting either.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::logic_natives {

void register_natives(Entry* table);

// Identity by the fields that make a value: the type, then per type the
// truth value, code point, integer, the bits of a double, the head and node
// of a series, the bytes of a tuple ... (0.0 and -0.0 differ; two NaNs of
// the same bits are the same).
bool same_value(const Cell& a, const Cell& b);

// integer! as it is; a float! truncated toward zero, or script/type-limit
// (integer!) when it is NaN, infinite or outside the 32-bit range.
int32_t number_to_integer(const Cell& value);
// integer! converted exactly, float! as it is.
double number_to_float(const Cell& value);

}  // namespace kel::natives::logic_natives
