// tuple! arithmetic, complement, random and reverse.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/tuple-internal.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/random.h"

namespace kel::tuple {

namespace {

// A byte through the integer op core: an overflowing result is 255 when
// positive, else 0; a division truncates; the result clamped to 0..255.
uint8_t integer_byte(int32_t left, int32_t right, int32_t op) {
    Cell scratch = make_integer(0);
    int32_t r = integer::do_math(left, right, op, op == MATH_DIVIDE ? nullptr : &scratch);
    if (type_of(scratch) != TYPE_INTEGER) return cell_double(scratch) > 0 ? 255 : 0;
    return uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
}

// A byte through float!'s op core, clamped in double before it is
// truncated; NaN gives 0.
uint8_t float_byte(double left, double right, int32_t op) {
    double r = float_::do_math(left, right, op);
    if (std::isnan(r)) return 0;
    r = r < 0 ? 0 : r > 255 ? 255 : r;
    return uint8_t(numbers::trunc_to_int32(r).value);
}

}  // namespace

void do_math(int32_t op, bool number_left) {
    Cell* frame = stack::arguments();
    const Cell right = frame[1];
    uint32_t rt = type_of(right);
    if (number_left && (op == MATH_SUBTRACT || op == MATH_DIVIDE)) actions::fire_not_related(action_of_math_op(op), rt);
    uint8_t a[MAX_BYTES], r[MAX_BYTES] = {};
    read_bytes(frame[0], a);
    uint32_t n = count(frame[0]);
    switch (rt) {
    case TYPE_INTEGER: {
        int32_t v = int32_t(right.data2);
        for (uint32_t i = 0; i < n; ++i) r[i] = number_left ? integer_byte(v, a[i], op) : integer_byte(a[i], v, op);
        break;
    }
    case TYPE_FLOAT:
    case TYPE_PERCENT: {
        double f = cell_double(right);
        for (uint32_t i = 0; i < n; ++i) r[i] = number_left ? float_byte(f, a[i], op) : float_byte(a[i], f, op);
        break;
    }
    case TYPE_TUPLE: {
        uint8_t b[MAX_BYTES];
        read_bytes(right, b);
        if (count(right) > n) n = count(right);
        for (uint32_t i = 0; i < n; ++i) r[i] = integer_byte(a[i], b[i], op);
        break;
    }
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(rt)});
    }
    frame[0] = make_cell(n, r);
}

void complement(Cell* out, Cell* value) {
    uint8_t bytes[MAX_BYTES];
    read_bytes(*value, bytes);
    for (uint32_t i = 0; i < count(*value); ++i) bytes[i] = uint8_t(~bytes[i]);
    *out = make_cell(count(*value), bytes);
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    if (options.seed) {
        random::seed(int32_t(value->data1 ^ value->data2 ^ value->data3));
        *out = unset_value;
        return;
    }
    uint8_t bytes[MAX_BYTES];
    read_bytes(*value, bytes);
    // From 0 to the byte: one of b + 1 values.
    for (uint32_t i = 0; i < count(*value); ++i) bytes[i] = uint8_t(random::uniform(bytes[i] + 1, options.secure) - 1);
    *out = make_cell(count(*value), bytes);
}

void reverse(Cell* out, Cell* value, Cell* part, Cell* skip) {
    uint32_t n = count(*value);
    if (part) {
        if (type_of(*part) != TYPE_INTEGER)
            fire(ErrorId::script_invalid_refine_arg, {words::refinement(words::Ref::part), *part});
        int32_t p = int32_t(part->data2);
        if (p < 0) fire(ErrorId::script_out_of_range, {*part});
        if (uint32_t(p) < n) n = uint32_t(p);
    }
    uint32_t group = 1;
    if (skip) {
        const Cell& refinement = words::refinement(words::Ref::skip);
        if (type_of(*skip) != TYPE_INTEGER) fire(ErrorId::script_invalid_refine_arg, {refinement, *skip});
        int32_t s = int32_t(skip->data2);
        if (s < 1) fire(ErrorId::script_out_of_range, {*skip});
        if (uint32_t(s) == n) {
            *out = *value;
            return;
        }
        if (n < uint32_t(s) || n % uint32_t(s) != 0) fire(ErrorId::script_invalid_refine_arg, {refinement, *skip});
        group = uint32_t(s);
    }
    uint8_t bytes[MAX_BYTES], reversed[MAX_BYTES];
    read_bytes(*value, bytes);
    read_bytes(*value, reversed);
    uint32_t groups = n / group;
    for (uint32_t g = 0; g < groups; ++g)
        for (uint32_t k = 0; k < group; ++k) reversed[g * group + k] = bytes[(groups - 1 - g) * group + k];
    Cell r = make_cell(count(*value), reversed);
    r.header |= value->header & ~(CELL_TYPE_MASK | COUNT_MASK);
    *out = r;
}

}  // namespace kel::tuple
