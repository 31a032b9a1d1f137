// round of float!, percent! and time!.
//
// The value is divided by the unit (1.0, 0.01 for a percent!, or the /to
// scale), rounded to an integral double by the refinement's rule and
// multiplied back. A unit below half an ulp of the value leaves the value
// as it is. Scales of pair!, point2D! and point3D! have no meaning for a
// number and are script/invalid-arg. A finite value whose result becomes
// infinite is math/overflow, and so is a result for an integer! scale that
// does not fit 32 bits.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float-internal.h"
#include "runtime/datatypes/float.h"
#include "runtime/evaluator/actions.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::float_ {

namespace {

// x rounded to an integral double by the first rule set.
double round_integral(double x, const RoundOptions& o) {
    if (o.down) return std::trunc(x);
    if (o.floor) return std::floor(x);
    if (o.ceiling) return std::ceil(x);
    double ax = std::fabs(x);
    double below = std::floor(ax);
    double fraction = ax - below;
    double r;
    if (fraction > 0.5)
        r = below + 1;
    else if (fraction < 0.5)
        r = below;
    else if (o.even)
        r = std::fmod(below, 2.0) == 0.0 ? below : below + 1;
    else if (o.half_down)
        r = below;
    else if (o.half_ceiling)
        return x < 0 ? -below : below + 1;
    else
        r = below + 1;
    return std::copysign(r, x);
}

// x rounded to a multiple of the unit u (finite and above 0).
double round_to_unit(double x, double u, const RoundOptions& o) {
    if (u >= 1) return round_integral(x / u, o) * u;
    int e = 0;
    double m = std::frexp(u, &e);
    if (e <= -1022) {
        // 1 / u would overflow: scale by the exponent and the mantissa apart.
        double r = round_integral(std::ldexp(x, -e) / m, o);
        return std::ldexp(r * m, e);
    }
    double inverse = 1 / u;
    return round_integral(x * inverse, o) / inverse;
}

}  // namespace

void round(Cell* out, Cell* value, const RoundOptions& options) {
    uint32_t type = type_of(*value);
    double x = get(*value);
    double u = type == TYPE_PERCENT ? 0.01 : 1.0;
    uint32_t result_type = type;
    if (const Cell* scale = options.scale) {
        result_type = type_of(*scale);
        switch (result_type) {
        case TYPE_MONEY:
            actions::fire_not_related(ACTION_ROUND, TYPE_MONEY);
        case TYPE_INTEGER:
        case TYPE_FLOAT:
            // Numbers of percent: the value's unit is a hundredth.
            u = std::fabs(result_type == TYPE_INTEGER ? double(int32_t(scale->data2)) : get(*scale));
            if (type == TYPE_PERCENT) u /= 100;
            break;
        case TYPE_PERCENT:
        case TYPE_TIME:
            u = std::fabs(get(*scale));
            break;
        default:
            fire(ErrorId::script_invalid_arg, {*scale});
        }
    }
    if (u == 0 || u < std::fabs(x) * 0x1p-53) {
        *out = *value;
        return;
    }
    double r = round_to_unit(x, u, options);
    if (std::isinf(r) && std::isfinite(x)) fire(ErrorId::math_overflow);
    if (result_type == TYPE_INTEGER) {
        numbers::Int32Conversion n = numbers::trunc_to_int32(r);
        if (!n.ok) fire(ErrorId::math_overflow);
        *out = make_integer(n.value);
        return;
    }
    *out = make_cell(r, result_type);
}

}  // namespace kel::float_
