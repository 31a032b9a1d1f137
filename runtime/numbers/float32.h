// Doubles narrowed to 32-bit floats, for the axes of point2D! and point3D!
// and the 32-bit elements of vectors.
//
// A C++ conversion of a double outside the float range is undefined
// behaviour; this one is defined for every double and gives what IEEE
// round-to-nearest gives: the nearest float, an infinity for values at or
// beyond the float maximum plus half its last unit, NaN for NaN.
#pragma once
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kel::numbers {

inline float to_float32(double d) {
    if (std::isnan(d)) return NAN;
    // FLT_MAX plus half a unit in its last place: the first value that
    // rounds to infinity (the tie goes to the even neighbour, infinity).
    constexpr double OVERFLOW_EDGE = 0x1.ffffffp127;
    double magnitude = std::fabs(d);
    if (magnitude >= OVERFLOW_EDGE) return d < 0 ? -INFINITY : INFINITY;
    if (magnitude > double(FLT_MAX)) return d < 0 ? -FLT_MAX : FLT_MAX;
    return static_cast<float>(d);
}

inline uint32_t float32_bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

inline float float32_of_bits(uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

}  // namespace kel::numbers
