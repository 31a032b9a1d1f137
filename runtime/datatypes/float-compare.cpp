// Comparison of the float family: tolerant equality, exact strict equality,
// bit identity for same?, and orderings in which NaN is never lesser or
// greater.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "runtime/datatypes/float-internal.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/number-services.h"

namespace kel::float_ {

namespace {

uint64_t bits_of(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// Keys that grow with the values: 2^63 plus the pattern of a value with the
// sign clear, 2^64 minus the pattern of one with the sign set. Both zeros
// map to 2^63; neighbouring doubles have neighbouring keys.
uint64_t ordered_key(double d) {
    uint64_t p = bits_of(d);
    return (p >> 63) ? 0 - p : p + (uint64_t(1) << 63);
}

}  // namespace

bool is_nan(double d) { return std::isnan(d); }
bool is_nan32(float f) { return f != f; }
bool nan_or_inf(double d) { return !std::isfinite(d); }

bool almost_equal(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return false;
    if (a == b) return true;
    if (std::fabs(a - b) < DBL_EPSILON) return true;
    uint64_t ka = ordered_key(a), kb = ordered_key(b);
    return (ka > kb ? ka - kb : kb - ka) <= 10;
}

bool almost_equal32(float a, float b) {
    if (a != a || b != b) return false;
    if (a == b) return true;
    int32_t ia, ib;
    std::memcpy(&ia, &a, sizeof ia);
    std::memcpy(&ib, &b, sizeof ib);
    int32_t ma = ia & 0x7FFFFFFF, mb = ib & 0x7FFFFFFF;
    if (ma >= 0x7F7FFFFF || mb >= 0x7F7FFFFF) {
        int32_t gap = ma > mb ? ma - mb : mb - ma;
        return (ia < 0) == (ib < 0) && gap < 0x100000;
    }
    if (ma == 0 && mb == 0) return true;
    // Ordered like the doubles' keys, in 64 bits so that no difference wraps.
    int64_t ka = ia < 0 ? int64_t(INT32_MIN) - ia : ia;
    int64_t kb = ib < 0 ? int64_t(INT32_MIN) - ib : ib;
    int64_t d = ka - kb;
    return d >= -10 && d <= 10;
}

int32_t compare_double(uint32_t type1, double a, const Cell& value2, int32_t op) {
    uint32_t type2 = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) && type1 != type2) return 1;
    double b;
    switch (type2) {
    case TYPE_INTEGER:
        b = double(int32_t(value2.data2));
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        b = cell_double(value2);
        break;
    default:
        return COMP_NOT_COMPARABLE;
    }
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
        return almost_equal(a, b) ? 0 : 1;
    case COMP_STRICT_EQUAL:
        return a == b ? 0 : 1;
    case COMP_SAME:
        return bits_of(a) == bits_of(b) ? 0 : 1;
    default:
        break;
    }
    if (std::isnan(a) || std::isnan(b)) {
        // Every ordering test with a NaN is false; sorting and find take a
        // NaN as equal to anything.
        if (op == COMP_LESSER || op == COMP_LESSER_EQUAL) return 1;
        if (op == COMP_GREATER || op == COMP_GREATER_EQUAL) return -1;
        return 0;
    }
    return (a > b) - (a < b);
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t type1 = type_of(value1);
    if (type_of(value2) == TYPE_MONEY) {
        if (op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND) return 1;
        return number_services::compare_number(value1, value2, op);
    }
    return compare_double(type1, cell_double(value1), value2, op);
}

}  // namespace kel::float_
