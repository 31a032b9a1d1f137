// The conversion natives: dehex, enhex (percent coding), debase, enbase
// (the base codecs), uppercase, lowercase (the strings' case change),
// as-pair, as-point2D, as-point3D, as-money, to-local-file, size?,
// new-line, new-line?, as and extend.
//
// as-pair refuses every float that is no 32-bit integer once truncated
// (NaN, infinities and finite values beyond the range alike) with
// script/invalid-arg. size? answers the whole 64-bit size that stat()
// gives: integer! up to 2,147,483,647, float! above.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::convert {

void register_natives(Entry* table);

}  // namespace kel::natives::convert
