// pair!: makers, conversions, path access, pick, comparison and
// registration.
#include "runtime/datatypes/pair.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/math-slots.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/pair-internal.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::pair {

namespace {

// A double truncated toward zero; NaN, the infinities and values beyond 32
// bits are script/invalid-arg with `culprit`.
int32_t truncated(double d, const Cell& culprit) {
    numbers::Int32Conversion n = numbers::trunc_to_int32(d);
    if (!n.ok) fire(ErrorId::script_invalid_arg, {culprit});
    return n.value;
}

// An integer! or float! element of a spec block.
int32_t number_of(const Cell& c) {
    return type_of(c) == TYPE_INTEGER ? int32_t(c.data2) : truncated(cell_double(c), c);
}

Cell from_block(const Cell& spec) {
    Cell blk = spec;
    if (block::ks_length(blk) < 2) fire(ErrorId::syntax_malconstruct, {spec});
    const Cell* items = block::ks_head(blk);
    for (int i = 0; i < 2; ++i) {
        uint32_t t = type_of(items[i]);
        if (t != TYPE_INTEGER && t != TYPE_FLOAT) fire(ErrorId::syntax_malconstruct, {spec});
    }
    Cell first = items[0], second = items[1];
    return make_cell(number_of(first), number_of(second));
}

Cell component_value(const Cell& p, int32_t field) { return make_integer(field == 1 ? x_of(p) : y_of(p)); }

}  // namespace

Cell* make_at(Cell& cell, int32_t x, int32_t y) {
    set_type(cell, TYPE_PAIR);
    cell.data2 = uint32_t(x);
    cell.data3 = uint32_t(y);
    return &cell;
}

Cell* make_in(const Cell& block, int32_t x, int32_t y) {
    Cell* c = alloc_block_tail(block);
    *c = make_cell(x, y);
    return c;
}

Cell* push(int32_t x, int32_t y) { return stack::push(make_cell(x, y)); }

Cell to_point(const Cell& pair) { return point::make2(float(x_of(pair)), float(y_of(pair))); }

int32_t field_index(const Cell& word, const Cell& value) {
    int32_t field = scalar_path::field_of(word, {words::Sym::x, words::Sym::y});
    if (field > 0) return field;
    if (type_of(value) == TYPE_PAIR) fire(ErrorId::script_cannot_use, {word, value});
    fire(ErrorId::script_invalid_path, {value, word});
}

void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    Cell p;
    switch (type_of(*spec)) {
    case TYPE_PAIR:
        p = *spec;
        break;
    case TYPE_INTEGER:
        p = make_cell(int32_t(spec->data2), int32_t(spec->data2));
        break;
    case TYPE_FLOAT: {
        int32_t n = truncated(cell_double(*spec), *spec);
        p = make_cell(n, n);
        break;
    }
    case TYPE_BLOCK:
        p = from_block(*spec);
        break;
    case TYPE_POINT2D:
        p = make_cell(truncated(point::axis(*spec, 0), *spec), truncated(point::axis(*spec, 1), *spec));
        break;
    case TYPE_STRING: {
        Cell value = none_value;
        value_from_text::load(&value, *spec);
        if (type_of(value) != TYPE_PAIR) fire_bad_to_arg(TYPE_PAIR, *spec);
        p = value;
        break;
    }
    default:
        fire_bad_to_arg(TYPE_PAIR, *spec);
    }
    *out = make_cell(x_of(p), y_of(p));
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : none_value;
    int32_t field = 0;
    uint32_t element_type = type_of(*element);
    if (element_type == TYPE_INTEGER) {
        int32_t n = int32_t(element->data2);
        if (n == 1 || n == 2) field = n;
    } else if (word::is_any_word(element_type)) {
        field = field_index(*element, path);
    }
    if (field == 0) fire(ErrorId::script_invalid_path, {path, *element});
    if (!value) {
        *out = component_value(*parent, field);
        return;
    }
    Cell set = *value;
    if (type_of(set) != TYPE_INTEGER) fire(ErrorId::script_invalid_type, {datatype::make(type_of(set))});
    Cell old = *parent;
    if (field == 1)
        parent->data2 = set.data2;
    else
        parent->data3 = set.data2;
    scalar_path::tell_owner(step, old, *parent, set, field);
    *out = set;
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    int32_t field = index;
    if (index_cell && word::is_any_word(type_of(*index_cell))) field = field_index(*index_cell, *value);
    if (field != 1 && field != 2) fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    *out = component_value(*value, field);
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    switch (type_of(value2)) {
    case TYPE_POINT2D:
        return point::compare(to_point(value1), value2, op);
    case TYPE_PAIR:
        break;
    default:
        return COMP_NOT_COMPARABLE;
    }
    int32_t a = x_of(value1), b = x_of(value2);
    if (a == b) {
        a = y_of(value1);
        b = y_of(value2);
    }
    return (a > b) - (a < b);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_PAIR, 0, "pair!")
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
                                .own<ACTION_AND_T>(math_slot<do_math, MATH_AND>)
                                .own<ACTION_OR_T>(math_slot<do_math, MATH_OR>)
                                .own<ACTION_XOR_T>(math_slot<do_math, MATH_XOR>)
                                .own<ACTION_PICK>(pick)
                                .own<ACTION_REVERSE>(reverse));
    number_services::row(TYPE_PAIR).math_with_number = do_math;
}

}  // namespace kel::pair
