// round of integer!: to a multiple of an integer! scale, in 64 bits, so that
// the magnitudes of -2147483648 and of a result one step beyond the 32-bit
// range are exact; math/overflow only when the result itself does not fit.
#include <cstdlib>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer-internal.h"
#include "runtime/datatypes/integer.h"
#include "runtime/evaluator/actions.h"

namespace kel::integer {

namespace {

// The multiple of scale that the rounding rule picks for v. With m = |v|,
// r = m mod scale (not 0), the candidates are the magnitudes below (d) and
// above (u) m.
int64_t round_magnitude(int64_t v, int64_t scale, const RoundOptions& o) {
    int64_t m = v < 0 ? -v : v;
    int64_t r = m % scale;
    int64_t d = m - r, u = d + scale;
    int64_t s = v < 0 ? -1 : 1;
    if (o.down) return s * d;
    if (o.floor) return v > 0 ? d : -u;
    if (o.ceiling) return v > 0 ? u : -d;
    if (r < scale - r) return s * d;
    if (r > scale - r) return s * u;
    if (o.even) return (d / scale) % 2 != 0 ? s * u : s * d;
    if (o.half_down) return s * d;
    if (o.half_ceiling) return v > 0 ? u : -d;
    return s * u;
}

}  // namespace

void round(Cell* out, Cell* value, const RoundOptions& options) {
    int64_t v = get(*value);
    int64_t scale = 1;
    if (const Cell* to = options.scale) {
        uint32_t type = type_of(*to);
        if (type == TYPE_MONEY) actions::fire_not_related(ACTION_ROUND, TYPE_MONEY);
        if (type != TYPE_INTEGER) {
            // Any other scale rounds the value as a float!.
            Cell as_float = float_::make_cell(double(v));
            float_::round(out, &as_float, options);
            return;
        }
        scale = get(*to);
        if (scale < 0) scale = -scale;
        if (scale == 0) {
            *out = make_integer(int32_t(v));
            return;
        }
    }
    if (v % scale == 0) {
        *out = make_integer(int32_t(v));
        return;
    }
    int64_t result = round_magnitude(v, scale, options);
    if (result < INT32_MIN || result > INT32_MAX) fire(ErrorId::math_overflow);
    *out = make_integer(int32_t(result));
}

}  // namespace kel::integer
