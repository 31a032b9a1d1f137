// Small numeric routines of the systems layer.
#pragma once
#include <cstdint>

namespace kel {

// value rounded up to a multiple of alignment, a power of two.
constexpr uint64_t align_up(uint64_t value, uint64_t alignment) { return (value + alignment - 1) & ~(alignment - 1); }

// Modes of degree_to_radians: the function whose argument is converted.
inline constexpr int ANGLE_TANGENT = 0;
inline constexpr int ANGLE_COSINE = 1;
inline constexpr int ANGLE_SINE = 2;

// An angle in degrees reduced to the range where the function of `mode` is
// computed most exactly, in radians: first modulo 360 into [-180, 180]; then,
// beyond +-90, the tangent shifts by 180 and the sine reflects (180 - A), both
// preserving the function's value; the cosine keeps the angle.
double degree_to_radians(double angle, int mode);

}  // namespace kel
