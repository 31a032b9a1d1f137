#include "runtime/evaluator/natives-logic.h"

#include <algorithm>
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/float32.h"

namespace kel::natives::logic_natives {

namespace {

using frame::args;
using frame::keep_first;
using frame::result;

inline bool is_float_like(uint32_t t) { return t == TYPE_FLOAT || t == TYPE_PERCENT; }
inline bool is_plain_number(uint32_t t) { return t == TYPE_INTEGER || is_float_like(t); }
inline bool is_nan_cell(const Cell& c) { return is_float_like(type_of(c)) && std::isnan(cell_double(c)); }

// same? ------------------------------------------------------------------------

bool tuples_same(const Cell& a, const Cell& b) {
    if (tuple::count(a) != tuple::count(b)) return false;
    for (uint32_t i = 0; i < tuple::count(a); ++i)
        if (tuple::byte_at(a, i) != tuple::byte_at(b, i)) return false;
    return true;
}

uint32_t same_native(bool, const int32_t*) {
    Cell* a = args();
    result(logic::make_cell(same_value(a[0], a[1])));
    return 0;
}

uint32_t not_native(bool, const int32_t*) {
    result(logic::make_cell(logic::is_false(args()[0])));
    return 0;
}

uint32_t type_q_native(bool, const int32_t* r) {
    uint32_t t = type_of(args()[0]);
    if (!frame::used(r, 0)) {
        result(datatype::make(t));
        return 0;
    }
    if (const Cell* w = datatype::word(t))
        result(*w);
    else if (const char* name = datatype::name(t))
        result(word::make_global(name));
    else
        result(none_value);
    return 0;
}

// max and min ---------------------------------------------------------------------

// One float32 component c1 against c2: max takes c2 when c1 < c2, min when
// c1 > c2, both when c2 is NaN; a NaN c1 is never replaced by a number.
float pick_float(float c1, float c2, bool max) {
    if (std::isnan(c2)) return c2;
    if (max ? c1 < c2 : c1 > c2) return c2;
    return c1;
}

int32_t pick_int(int32_t a, int32_t b, bool max) { return max ? std::max(a, b) : std::min(a, b); }

// Each axis of the point against the float f.
void point_with_float(Cell& p, float f, bool max) {
    for (int i = 0; i < point::axes(type_of(p)); ++i) point::set_axis(p, i, pick_float(point::axis(p, i), f, max));
}

void point_with_point(Cell& p, const Cell& q, bool max) {
    for (int i = 0; i < point::axes(type_of(p)); ++i)
        point::set_axis(p, i, pick_float(point::axis(p, i), point::axis(q, i), max));
}

// The componentwise cases, with the compound value in v (the frame's first
// cell) and the other in o. Answers false for a pair of types it does not
// handle.
bool compound_max_min(Cell& v, Cell& o, bool max) {
    for (;;) {
        uint32_t t = type_of(v);
        uint32_t u = type_of(o);
        switch (t) {
        case TYPE_PAIR:
            if (u == TYPE_FLOAT && !numbers::in_int32_range(cell_double(o))) {
                float f = numbers::to_float32(cell_double(o));
                o = point::make2(f, f);
                continue;  // as pair! with point2D!
            }
            if (u == TYPE_INTEGER || u == TYPE_FLOAT) {
                int32_t n = number_to_integer(o);
                v = pair::make_cell(pick_int(pair::x_of(v), n, max), pick_int(pair::y_of(v), n, max));
                return true;
            }
            if (u == TYPE_PAIR) {
                v = pair::make_cell(pick_int(pair::x_of(v), pair::x_of(o), max),
                                    pick_int(pair::y_of(v), pair::y_of(o), max));
                return true;
            }
            if (u == TYPE_POINT2D) {
                v = pair::to_point(v);
                continue;
            }
            return false;
        case TYPE_POINT2D:
        case TYPE_POINT3D:
            if (u == TYPE_INTEGER || u == TYPE_FLOAT) {
                point_with_float(v, numbers::to_float32(number_to_float(o)), max);
                return true;
            }
            if (t == TYPE_POINT2D && u == TYPE_PAIR) {
                point_with_point(v, pair::to_point(o), max);
                return true;
            }
            if (u == t) {
                point_with_point(v, o, max);
                return true;
            }
            return false;
        case TYPE_TUPLE: {
            uint8_t bytes[tuple::MAX_BYTES];
            tuple::read_bytes(v, bytes);
            uint32_t n = tuple::count(v);
            if (u == TYPE_INTEGER || u == TYPE_FLOAT) {
                int32_t k = std::clamp(number_to_integer(o), 0, 255);
                for (uint32_t i = 0; i < n; ++i) bytes[i] = uint8_t(pick_int(bytes[i], k, max));
            } else if (u == TYPE_TUPLE && tuple::count(o) == n) {
                for (uint32_t i = 0; i < n; ++i) bytes[i] = uint8_t(pick_int(bytes[i], tuple::byte_at(o, i), max));
            } else {
                return false;
            }
            v = tuple::make_cell(n, bytes);
            return true;
        }
        default:
            return false;
        }
    }
}

bool compound(uint32_t t) { return t == TYPE_PAIR || t == TYPE_POINT2D || t == TYPE_POINT3D || t == TYPE_TUPLE; }

uint32_t max_min(bool max) {
    Cell* a = args();
    // NaN wins against any plain number, from either side.
    if (is_nan_cell(a[0]) && is_plain_number(type_of(a[1]))) {
        keep_first();
        return 0;
    }
    if (is_nan_cell(a[1]) && is_plain_number(type_of(a[0]))) {
        result(a[1]);
        return 0;
    }
    uint32_t t1 = type_of(a[0]);
    bool swapped = (t1 == TYPE_INTEGER || t1 == TYPE_FLOAT) && compound(type_of(a[1]));
    if (swapped) std::swap(a[0], a[1]);
    if (compound_max_min(a[0], a[1], max)) {
        keep_first();
        return 0;
    }
    if (swapped) std::swap(a[0], a[1]);
    // Every other pair by the ordering; neither value is converted. A tie
    // gives the first value to max and the second to min.
    bool lesser = actions::compare(a[0], a[1], COMP_LESSER);
    result(max == lesser ? a[1] : a[0]);
    return 0;
}

uint32_t max_native(bool, const int32_t*) { return max_min(true); }
uint32_t min_native(bool, const int32_t*) { return max_min(false); }

// Signs of numbers ----------------------------------------------------------------

// -1, 0 or 1 for the number types of negative?, positive? and sign? (NaN
// gives 0); any other type is script/expect-arg for the argument `number`.
int32_t sign_of(const Cell& v) {
    switch (type_of(v)) {
    case TYPE_INTEGER: {
        int32_t n = cell_integer(v);
        return n > 0 ? 1 : n < 0 ? -1 : 0;
    }
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: {
        double d = cell_double(v);
        return d > 0.0 ? 1 : d < 0.0 ? -1 : 0;
    }
    case TYPE_MONEY:
        return need(services().money_sign)(v);
    default:
        fire(ErrorId::script_expect_arg,
             {stack::current_call_word(), datatype::make(type_of(v)), word::make_global("number")});
    }
}

uint32_t negative_native(bool, const int32_t*) {
    result(logic::make_cell(sign_of(args()[0]) < 0));
    return 0;
}

uint32_t positive_native(bool, const int32_t*) {
    result(logic::make_cell(sign_of(args()[0]) > 0));
    return 0;
}

uint32_t sign_native(bool, const int32_t*) {
    result(make_integer(sign_of(args()[0])));
    return 0;
}

uint32_t zero_native(bool, const int32_t*) {
    const Cell& v = args()[0];
    bool zero = false;
    switch (type_of(v)) {
    case TYPE_CHAR:
    case TYPE_INTEGER:
        zero = v.data2 == 0;
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        zero = cell_double(v) == 0.0;
        break;
    case TYPE_PAIR:
        zero = pair::x_of(v) == 0 && pair::y_of(v) == 0;
        break;
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        zero = true;
        for (int i = 0; i < point::axes(type_of(v)); ++i) zero = zero && point::axis(v, i) == 0.0f;
        break;
    case TYPE_TUPLE:
        zero = tuple::all_zero(v);
        break;
    case TYPE_MONEY:
        zero = need(services().money_sign)(v) == 0;
        break;
    default:
        break;
    }
    result(logic::make_cell(zero));
    return 0;
}

uint32_t nan_native(bool, const int32_t*) {
    result(logic::make_cell(is_nan_cell(args()[0])));
    return 0;
}

}  // namespace

bool same_value(const Cell& a, const Cell& b) {
    uint32_t t = type_of(a);
    if (t != type_of(b)) return false;
    switch (t) {
    case TYPE_DATATYPE:
    case TYPE_LOGIC:
    case TYPE_OBJECT:
        return a.data1 == b.data1;
    case TYPE_CHAR:
    case TYPE_INTEGER:
    case TYPE_BITSET:
        return a.data2 == b.data2;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_PAIR:
    case TYPE_TIME:
        return a.data2 == b.data2 && a.data3 == b.data3;
    case TYPE_TUPLE:
        return tuples_same(a, b);
    case TYPE_NONE:
    case TYPE_UNSET:
        return true;
    case TYPE_DATE:
    case TYPE_MONEY:
        // Identity is the type's own: a date's ignores its zone and time
        // flag, money's is its strict comparison.
        if (datatype::slot(t, ACTION_COMPARE)) return actions::compare_values(a, b, COMP_SAME) == 0;
        break;
    case TYPE_NATIVE:
    case TYPE_ACTION:
    case TYPE_POINT2D:
        return a.data1 == b.data1 && a.data2 == b.data2;
    case TYPE_OP:
        return a.data2 == b.data2 && a.data3 == b.data3;
    default:
        if (type_classes::of(t).series != type_classes::Series::none) return a.data1 == b.data1 && a.data2 == b.data2;
        break;
    }
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
}

int32_t number_to_integer(const Cell& value) {
    if (type_of(value) == TYPE_INTEGER) return cell_integer(value);
    numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(value));
    if (!c.ok) fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
    return c.value;
}

double number_to_float(const Cell& value) {
    if (type_of(value) == TYPE_INTEGER) return double(cell_integer(value));
    return cell_double(value);
}

void register_natives(Entry* table) {
    table[SAME_Q] = {
        same_native, "same?",
        R"spec("Returns TRUE if two values have the same identity" value1 [any-type!] value2 [any-type!])spec"};
    table[NOT] = {not_native, "not",
                  R"spec("Returns the logical complement of a value (truthy or falsy)" value [any-type!])spec"};
    table[TYPE_Q] = {type_q_native, "type?",
                     R"spec("Returns the datatype of a value" value [any-type!]
                        /word "Return a word value, rather than a datatype value")spec"};
    table[MAX] = {
        max_native, "max",
        R"spec("Returns the greater of the two values" value1 [scalar! series!] value2 [scalar! series!])spec"};
    table[MIN] = {
        min_native, "min",
        R"spec("Returns the lesser of the two values" value1 [scalar! series!] value2 [scalar! series!])spec"};
    table[NEGATIVE_Q] = {negative_native, "negative?",
                         R"spec("Returns TRUE if the number is negative" number [number! money! time!])spec"};
    table[POSITIVE_Q] = {positive_native, "positive?",
                         R"spec("Returns TRUE if the number is positive" number [number! money! time!])spec"};
    table[SIGN_Q] = {
        sign_native, "sign?",
        R"spec("Returns sign of N as 1, 0, or -1 (to use as a multiplier)" number [number! money! time!])spec"};
    table[ZERO_Q] = {zero_native, "zero?",
                     R"spec("Returns TRUE if the value is zero"
                        value [number! money! pair! time! char! tuple! any-point!])spec"};
    table[NAN_Q] = {nan_native, "NaN?", R"spec("Returns TRUE if the number is Not-a-Number" value [number!])spec"};
}

}  // namespace kel::natives::logic_natives
