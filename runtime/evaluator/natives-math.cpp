#include "runtime/evaluator/natives-math.h"

#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/numbers/numeric.h"

namespace kel::natives::math {

namespace {

using frame::args;
using frame::keep_first;
using frame::used;

constexpr double PI = 3.141592653589793;
constexpr double HALF_PI = PI / 2.0;
// sin and cos results smaller than the double epsilon are 0.0, so that the
// angles whose value is exactly 0 give it on any C library.
constexpr double FLUSH = 2.220446049250313e-16;
constexpr double LN_2 = 0.6931471805599453;
constexpr double E = 2.718281828459045;

// The first argument cell made a float! in place (integer! converted
// exactly, percent! relabelled); answers its value.
double to_float_arg() {
    Cell& c = args()[0];
    double d = type_of(c) == TYPE_INTEGER ? double(cell_integer(c)) : cell_double(c);
    c = float_::make_cell(d);
    return d;
}

void set_float(double d) {
    args()[0] = float_::make_cell(d);
    keep_first();
}

// shift ---------------------------------------------------------------------------

// A negative count counts as 0; a count past 31 shifts every bit out (the
// sign bit fills an arithmetic right shift), never a C++ shift of 32 or more.
int32_t shift(int32_t data, int32_t bits, bool left, bool logical) {
    if (bits < 0) bits = 0;
    if (left) return bits > 31 ? 0 : int32_t(uint32_t(data) << bits);
    if (logical) return bits > 31 ? 0 : int32_t(uint32_t(data) >> bits);
    if (bits > 31) return data < 0 ? -1 : 0;
    return data >> bits;
}

uint32_t shift_native(bool, const int32_t* r) {
    Cell* a = args();
    frame::result(make_integer(shift(cell_integer(a[0]), cell_integer(a[1]), used(r, 0), used(r, 1))));
    return 0;
}

uint32_t to_hex_native(bool, const int32_t* r) {
    Cell* a = args();
    int32_t digits = 8;
    if (used(r, 0)) {
        const Cell& size = a[r[0]];
        digits = cell_integer(size);
        if (digits <= 0) fire(ErrorId::script_invalid_arg, {size});
        if (digits > 8) digits = 8;
    }
    static const char HEX[] = "0123456789ABCDEF";
    uint32_t v = uint32_t(cell_integer(a[0]));
    char text[9];
    for (int i = 0; i < 8; ++i) text[i] = HEX[(v >> (28 - 4 * i)) & 0xF];
    text[8] = 0;
    frame::result(word::issue_of(text + 8 - digits));
    return 0;
}

// Trigonometry ------------------------------------------------------------------------

// The angle argument in radians: degrees are reduced for the function of
// `mode` first (degree_to_radians).
double angle(const int32_t* r, int mode) {
    double d = to_float_arg();
    return used(r, 0) ? d : degree_to_radians(d, mode);
}

double flushed(double x) { return std::fabs(x) < FLUSH ? 0.0 : x; }

uint32_t sine_native(bool, const int32_t* r) {
    set_float(flushed(std::sin(angle(r, ANGLE_SINE))));
    return 0;
}

uint32_t cosine_native(bool, const int32_t* r) {
    set_float(flushed(std::cos(angle(r, ANGLE_COSINE))));
    return 0;
}

uint32_t tangent_native(bool, const int32_t* r) {
    double x = angle(r, ANGLE_TANGENT);
    if (x == HALF_PI)
        set_float(INFINITY);
    else if (x == -HALF_PI)
        set_float(-INFINITY);
    else
        set_float(std::tan(x));
    return 0;
}

template <double (*Fn)(double)>
uint32_t arc_native(bool, const int32_t* r) {
    double x = Fn(to_float_arg());
    set_float(used(r, 0) ? x : x * 180.0 / PI);
    return 0;
}

double arcsine(double x) { return std::asin(x); }
double arccosine(double x) { return std::acos(x); }
double arctangent(double x) { return std::atan(x); }

uint32_t arctangent2_native(bool, const int32_t* r) {
    Cell* a = args();
    auto as_double = [](const Cell& c) {
        return type_of(c) == TYPE_INTEGER ? double(cell_integer(c)) : cell_double(c);
    };
    double v = std::atan2(as_double(a[0]), as_double(a[1]));
    set_float(used(r, 0) ? v : v * (180.0 / PI));
    return 0;
}

// Logarithms, exponential, root -------------------------------------------------------
//
// Domain errors give the C library's NaN or infinity; nothing is raised.

template <double (*Fn)(double)>
uint32_t float_fn_native(bool, const int32_t*) {
    set_float(Fn(to_float_arg()));
    return 0;
}

double log_2(double x) { return std::log(x) / LN_2; }
double log_10(double x) { return std::log10(x); }
double log_e(double x) { return std::log(x); }
double exp_e(double x) { return std::pow(E, x); }
double square_root(double x) { return std::sqrt(x); }

}  // namespace

void register_natives(Entry* table) {
    table[SHIFT] = {shift_native, "shift",
                    R"spec("Perform a bit shift operation. Right shift (decreasing) by default"
                       data [integer!] bits [integer!]
                       /left "Shift bits to the left (increasing)"
                       /logical "Use logical shift (unsigned, fill with zero)")spec"};
    table[TO_HEX] = {to_hex_native, "to-hex",
                     R"spec("Converts numeric value to a hex issue! datatype (with leading # and 0's)"
                        value [integer!]
                        /size "Specify number of hex digits in result" length [integer!])spec"};
    table[SINE] = {sine_native, "sine",
                   R"spec("Returns the trigonometric sine" angle [float! integer!]
                      /radians "DEPRECATED: use `sin` native instead")spec"};
    table[COSINE] = {cosine_native, "cosine",
                     R"spec("Returns the trigonometric cosine" angle [float! integer!]
                        /radians "DEPRECATED: use `cos` native instead")spec"};
    table[TANGENT] = {tangent_native, "tangent",
                      R"spec("Returns the trigonometric tangent" angle [float! integer!]
                         /radians "DEPRECATED: use `tan` native instead")spec"};
    table[ARCSINE] = {arc_native<arcsine>, "arcsine",
                      R"spec("Returns the trigonometric arcsine in degrees in range [-90,90]"
                         sine [float! integer!] "in range [-1,1]"
                         /radians "DEPRECATED: use `asin` native instead")spec"};
    table[ARCCOSINE] = {arc_native<arccosine>, "arccosine",
                        R"spec("Returns the trigonometric arccosine in degrees in range [0,180]"
                           cosine [float! integer!] "in range [-1,1]"
                           /radians "DEPRECATED: use `acos` native instead")spec"};
    table[ARCTANGENT] = {arc_native<arctangent>, "arctangent",
                         R"spec("Returns the trigonometric arctangent in degrees in range [-90,90]"
                            tangent [float! integer!] "in range [-inf,+inf]"
                            /radians "DEPRECATED: use `atan` native instead")spec"};
    table[ARCTANGENT2] = {arctangent2_native, "arctangent2",
                          R"spec("Returns the smallest angle between the vectors (1,0) and (x,y) in degrees (-180,180]"
                             y [float! integer!] x [float! integer!]
                             /radians "DEPRECATED: use `atan2` native instead")spec"};
    table[LOG_2] = {float_fn_native<log_2>, "log-2",
                    R"spec("Return the base-2 logarithm" value [float! integer! percent!])spec"};
    table[LOG_10] = {float_fn_native<log_10>, "log-10",
                     R"spec("Returns the base-10 logarithm" value [float! integer! percent!])spec"};
    table[LOG_E] = {
        float_fn_native<log_e>, "log-e",
        R"spec("Returns the natural (base-E) logarithm of the given value" value [float! integer! percent!])spec"};
    table[EXP] = {
        float_fn_native<exp_e>, "exp",
        R"spec("Raises E (the base of natural logarithm) to the power specified" value [float! integer! percent!])spec"};
    table[SQUARE_ROOT] = {float_fn_native<square_root>, "square-root",
                          R"spec("Returns the square root of a number" value [float! integer! percent!])spec"};
}

}  // namespace kel::natives::math
