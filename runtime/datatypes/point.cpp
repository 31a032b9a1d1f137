// point2D! and point3D!: makers, conversions, path access, pick, comparison
// and registration.
#include "runtime/datatypes/point.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/math-slots.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/point-internal.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"

namespace kel::point {

namespace {

// A point of the type with every axis f (z 0 for point2D!).
Cell uniform(uint32_t type, float f) { return type == TYPE_POINT3D ? make3(f, f, f) : make2(f, f); }

float number_axis(const Cell& c) {
    return type_of(c) == TYPE_INTEGER ? float(int32_t(c.data2)) : numbers::to_float32(cell_double(c));
}

// The first axes(type) values of the block, each an integer! or float!.
Cell from_block(uint32_t type, const Cell& spec) {
    Cell blk = spec;
    int n = axes(type);
    if (block::ks_length(blk) < n) fire(ErrorId::syntax_malconstruct, {spec});
    const Cell* items = block::ks_head(blk);
    Cell p = uniform(type, 0);
    for (int i = 0; i < n; ++i) {
        uint32_t t = type_of(items[i]);
        if (t != TYPE_INTEGER && t != TYPE_FLOAT) fire(ErrorId::syntax_malconstruct, {spec});
        set_axis(p, i, number_axis(items[i]));
    }
    return p;
}

Cell from_text(uint32_t type, const Cell& spec) {
    Cell value = none_value;
    value_from_text::load(&value, spec);
    if (type_of(value) != type) fire_bad_to_arg(type, spec);
    return value;
}

Cell axis_value(const Cell& p, int32_t field) { return float_::make_cell(double(axis(p, field - 1))); }

}  // namespace

Cell* push2(float x, float y) { return stack::push(make2(x, y)); }
Cell* push3(float x, float y, float z) { return stack::push(make3(x, y, z)); }

int32_t field_index(uint32_t type, const Cell& word, const Cell& value) {
    int32_t field = type == TYPE_POINT3D ? scalar_path::field_of(word, {words::Sym::x, words::Sym::y, words::Sym::z})
                                         : scalar_path::field_of(word, {words::Sym::x, words::Sym::y});
    if (field > 0) return field;
    if (type_of(value) == type) fire(ErrorId::script_cannot_use, {word, value});
    fire(ErrorId::script_invalid_path, {value, word});
}

void make(Cell* out, Cell*, Cell* spec, uint32_t type) {
    uint32_t from = type_of(*spec);
    Cell p;
    switch (from) {
    case TYPE_INTEGER:
    case TYPE_FLOAT:
        p = uniform(type, number_axis(*spec));
        break;
    case TYPE_BLOCK:
        p = from_block(type, *spec);
        break;
    case TYPE_PAIR: {
        float x = float(int32_t(spec->data2)), y = float(int32_t(spec->data3));
        p = type == TYPE_POINT3D ? make3(x, y, 0) : make2(x, y);
        break;
    }
    case TYPE_POINT2D:
        p = type == TYPE_POINT3D ? make3(axis(*spec, 0), axis(*spec, 1), 0) : make2(axis(*spec, 0), axis(*spec, 1));
        break;
    case TYPE_POINT3D:
        if (type != TYPE_POINT3D) fire_bad_to_arg(type, *spec);
        p = make3(axis(*spec, 0), axis(*spec, 1), axis(*spec, 2));
        break;
    case TYPE_STRING:
        p = from_text(type, *spec);
        break;
    default:
        fire_bad_to_arg(type, *spec);
    }
    *out = p;
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    uint32_t type = type_of(*parent);
    Cell path = step.path ? *step.path : none_value;
    int32_t field = 0;
    uint32_t element_type = type_of(*element);
    if (element_type == TYPE_INTEGER) {
        int32_t n = int32_t(element->data2);
        if (n >= 1 && n <= axes(type)) field = n;
    } else if (word::is_any_word(element_type)) {
        field = field_index(type, *element, path);
    }
    if (field == 0) fire(ErrorId::script_invalid_path, {path, *element});
    if (!value) {
        *out = axis_value(*parent, field);
        return;
    }
    Cell set = *value;
    uint32_t set_type = type_of(set);
    if (set_type != TYPE_INTEGER && set_type != TYPE_FLOAT)
        fire(ErrorId::script_invalid_type, {datatype::make(set_type)});
    Cell old = *parent;
    set_axis(*parent, field - 1, number_axis(set));
    scalar_path::tell_owner(step, old, *parent, set, field);
    *out = set;
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    uint32_t type = type_of(*value);
    int32_t field = index;
    if (index_cell && word::is_any_word(type_of(*index_cell))) field = field_index(type, *index_cell, *value);
    if (field < 1 || field > axes(type))
        fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    *out = axis_value(*value, field);
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t type = type_of(value1);
    Cell other = value2;
    if (type == TYPE_POINT2D && type_of(value2) == TYPE_PAIR)
        other = make2(float(int32_t(value2.data2)), float(int32_t(value2.data3)));
    else if (type_of(value2) != type)
        return COMP_NOT_COMPARABLE;
    int n = axes(type);
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
        for (int i = 0; i < n; ++i)
            if (!float_::almost_equal32(axis(value1, i), axis(other, i))) return 1;
        return 0;
    case COMP_STRICT_EQUAL:
        for (int i = 0; i < n; ++i)
            if (!(axis(value1, i) == axis(other, i))) return 1;
        return 0;
    case COMP_SAME:
        for (int i = 0; i < n; ++i)
            if (axis_word(value1, i) != axis_word(other, i)) return 1;
        return 0;
    default:
        break;
    }
    // The first axis whose difference is not (almost) zero decides; NaN
    // differences order as equal.
    float d = 0;
    for (int i = 0; i < n; ++i) {
        d = axis(value1, i) - axis(other, i);
        if (!float_::almost_equal32(d, 0.0f)) break;
    }
    return (d > 0) - (d < 0);
}

void init() {
    for (uint32_t type : {TYPE_POINT2D, TYPE_POINT3D}) {
        datatype::register_type(datatype::Record(type, 0, type == TYPE_POINT2D ? "point2D!" : "point3D!")
                                    .own<ACTION_MAKE>(make)
                                    .own<ACTION_RANDOM>(random)
                                    .own<ACTION_TO>(make)
                                    .own<ACTION_FORM>(form)
                                    .own<ACTION_MOLD>(mold)
                                    .own<ACTION_EVAL_PATH>(eval_path)
                                    .own<ACTION_COMPARE>(compare)
                                    .own<ACTION_ABSOLUTE>(absolute)
                                    .own<ACTION_ADD>(math_slot<do_math, MATH_ADD>)
                                    .own<ACTION_DIVIDE>(math_slot<do_math, MATH_DIVIDE>)
                                    .own<ACTION_MULTIPLY>(math_slot<do_math, MATH_MULTIPLY>)
                                    .own<ACTION_NEGATE>(negate)
                                    .own<ACTION_REMAINDER>(math_slot<do_math, MATH_REMAINDER>)
                                    .own<ACTION_ROUND>(round)
                                    .own<ACTION_SUBTRACT>(math_slot<do_math, MATH_SUBTRACT>)
                                    .own<ACTION_PICK>(pick)
                                    .own<ACTION_REVERSE>(reverse));
        number_services::row(type).math_with_number = do_math;
    }
}

}  // namespace kel::point
