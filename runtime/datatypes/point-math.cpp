// point2D! and point3D!: arithmetic, absolute, negate, round, random and
// reverse.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/point-internal.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/numbers/random.h"

namespace kel::point {

namespace {

using numbers::to_float32;

// One float per axis from the right operand of a point of `type`; with a
// float! or percent! operand also its double in `scalar`.
void operand_axes(uint32_t type, const Cell& right, float (&v)[3], const double*& scalar, double& storage) {
    uint32_t rt = type_of(right);
    scalar = nullptr;
    if (rt == type) {
        for (int i = 0; i < 3; ++i) v[i] = axis(right, i);
        return;
    }
    switch (rt) {
    case TYPE_PAIR:
        if (type != TYPE_POINT2D) break;
        v[0] = float(int32_t(right.data2));
        v[1] = float(int32_t(right.data3));
        v[2] = 0;
        return;
    case TYPE_INTEGER:
        v[0] = v[1] = v[2] = float(int32_t(right.data2));
        return;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        storage = cell_double(right);
        scalar = &storage;
        v[0] = v[1] = v[2] = to_float32(storage);
        return;
    default:
        break;
    }
    fire(ErrorId::script_invalid_type, {datatype::make(rt)});
}

// The scale of one axis for round: a float! of the scale's axis.
Cell axis_scale(const Cell& scale, int i) {
    switch (type_of(scale)) {
    case TYPE_PAIR:
        return float_::make_cell(double(int32_t(i == 0 ? scale.data2 : scale.data3)));
    case TYPE_POINT2D:
        return float_::make_cell(i < 2 ? double(axis(scale, i)) : 0.0);
    default:
        return float_::make_cell(double(axis(scale, i)));
    }
}

// Whether a scale of this type gives each axis of a point of `type` its own.
bool per_axis_scale(uint32_t type, uint32_t scale_type) {
    if (scale_type == TYPE_POINT2D || scale_type == TYPE_POINT3D) return true;
    return scale_type == TYPE_PAIR && type == TYPE_POINT2D;
}

}  // namespace

void do_math(int32_t op, bool number_left) {
    Cell* frame = stack::arguments();
    Cell p = frame[0];
    uint32_t type = type_of(p);
    float v[3];
    const double* scalar;
    double storage;
    operand_axes(type, frame[1], v, scalar, storage);
    for (int i = 0; i < axes(type); ++i) {
        double a = axis(p, i);
        double r;
        if (scalar && (op == MATH_MULTIPLY || op == MATH_DIVIDE)) {
            // A float factor or divisor counts in double, not rounded first.
            r = op == MATH_MULTIPLY ? a * *scalar : number_left ? *scalar / a : a / *scalar;
        } else {
            r = number_left ? float_::do_math(v[i], a, op) : float_::do_math(a, v[i], op);
        }
        set_axis(p, i, to_float32(r));
    }
    frame[0] = p;
}

void absolute() {
    Cell* p = stack::arguments();
    for (int i = 0; i < axes(type_of(*p)); ++i) set_axis(*p, i, std::fabs(axis(*p, i)));
}

// 0.0 minus each axis: a zero axis stays positive zero.
void negate(Cell* out, Cell* value) {
    Cell p = *value;
    for (int i = 0; i < axes(type_of(p)); ++i) set_axis(p, i, 0.0f - axis(p, i));
    *out = p;
}

void reverse(Cell* out, Cell* value, Cell*, Cell*) {
    Cell p = *value;
    int last = axes(type_of(p)) - 1;
    uint32_t first = axis_word(p, 0);
    axis_word(p, 0) = axis_word(p, last);
    axis_word(p, last) = first;
    *out = p;
}

void round(Cell* out, Cell* value, const RoundOptions& options) {
    Cell p = *value;
    uint32_t type = type_of(p);
    const Cell* scale = options.scale;
    if (scale && type_of(*scale) == TYPE_MONEY) actions::fire_not_related(ACTION_ROUND, TYPE_MONEY);
    bool per_axis = scale && per_axis_scale(type, type_of(*scale));
    // An integer! scale counts as its float!: the axes stay floats and never
    // have to fit 32 bits.
    Cell common{};
    if (scale && type_of(*scale) == TYPE_INTEGER)
        common = float_::make_cell(double(int32_t(scale->data2)));
    else if (scale)
        common = *scale;
    for (int i = 0; i < axes(type); ++i) {
        Cell a = float_::make_cell(double(axis(p, i)));
        Cell own = per_axis ? axis_scale(*scale, i) : common;
        RoundOptions o = options;
        o.scale = scale ? &own : nullptr;
        Cell r;
        float_::round(&r, &a, o);
        set_axis(p, i, numbers::to_float32(cell_double(r)));
    }
    *out = p;
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    Cell p = *value;
    int n = axes(type_of(p));
    if (options.seed) {
        uint8_t bytes[12];
        for (int i = 0; i < n; ++i) {
            uint32_t w = axis_word(p, i);
            for (int k = 0; k < 4; ++k) bytes[4 * i + k] = uint8_t(w >> (8 * k));
        }
        random::seed(int32_t(hashtable::murmur3_x86_32(bytes, size_t(4 * n))));
        *out = unset_value;
        return;
    }
    for (int i = 0; i < n; ++i) {
        float a = axis(p, i);
        if (a != 0) set_axis(p, i, to_float32(float_::random_scaled(double(a), options.secure)));
    }
    *out = p;
}

}  // namespace kel::point
