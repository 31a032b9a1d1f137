// Checked conversion of doubles to 32-bit integers.
//
// Every place where the runtime turns a double into an int32_t goes through
// here: a C++ cast of a NaN or of a value outside the int32 range is
// undefined behaviour, and on x86 would quietly give 0x80000000. The helpers
// answer whether the value fits; each caller raises its own error when it
// does not (to integer! script/type-limit, round math/overflow, ...).
#pragma once
#include <cstdint>

namespace kel::numbers {

// The value lies in [-2147483648.0, 2147483647.0]; NaN does not. This is
// the range test of `to integer!`: 2147483647.5 is outside even though its
// truncation would fit.
inline bool in_int32_range(double x) { return x >= -2147483648.0 && x <= 2147483647.0; }

struct Int32Conversion {
    int32_t value;  // 0 when !ok
    bool ok;
};

// The value truncated toward zero, when it lies in the int32 range (above).
inline Int32Conversion trunc_to_int32(double x) {
    if (!in_int32_range(x)) return {0, false};
    return {static_cast<int32_t>(x), true};
}

}  // namespace kel::numbers
