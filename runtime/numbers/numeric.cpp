#include "runtime/numbers/numeric.h"

#include <cmath>
#include <numbers>

namespace kel {

double degree_to_radians(double a, int mode) {
    a = std::fmod(a, 360.0);
    if (a > 180.0 || a < -180.0) a += a >= 0.0 ? -360.0 : 360.0;
    if (a > 90.0 || a < -90.0) {
        if (mode == ANGLE_TANGENT)
            a += a >= 0.0 ? -180.0 : 180.0;
        else if (mode == ANGLE_SINE)
            a = a >= 0.0 ? 180.0 - a : -180.0 - a;
    }
    return a * std::numbers::pi / 180.0;
}

}  // namespace kel
