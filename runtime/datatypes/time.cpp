// time!: makers, conversions, parts, path access, pick and registration.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/time-internal.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::time_ {

namespace {

// [hours minutes seconds], at most three values: integers, the seconds may be
// a float!; only the hours may be negative, and then the whole time is.
double from_block(const Cell& spec) {
    Cell blk = spec;
    int32_t count = block::ks_length(blk);
    if (count > 3) fire_bad_to_arg(TYPE_TIME, spec);
    const Cell* items = block::ks_head(blk);
    double parts[3] = {0, 0, 0};
    for (int32_t i = 0; i < count; ++i) {
        uint32_t type = type_of(items[i]);
        if (type == TYPE_INTEGER)
            parts[i] = double(int32_t(items[i].data2));
        else if (type == TYPE_FLOAT && i == 2)
            parts[i] = cell_double(items[i]);
        else
            fire_bad_to_arg(TYPE_TIME, spec);
        if (i > 0 && parts[i] < 0) fire_bad_to_arg(TYPE_TIME, spec);
    }
    double seconds = std::fabs(parts[0]) * 3600 + parts[1] * 60 + parts[2];
    return parts[0] < 0 ? -seconds : seconds;
}

double from_text(const Cell& spec) {
    Cell value = none_value;
    value_from_text::load(&value, spec);
    if (type_of(value) != TYPE_TIME) fire_bad_to_arg(TYPE_TIME, spec);
    return get(value);
}

// The part of a field: hours and minutes as integer!, seconds as float!.
// Hours beyond 32 bits cannot be an integer!: script/type-limit.
Cell field_value(double t, int32_t field) {
    switch (field) {
    case 1: {
        numbers::Int32Conversion h = numbers::trunc_to_int32(hour_part(t));
        if (!h.ok) fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
        return make_integer(h.value);
    }
    case 2:
        return make_integer(minute_part(t));
    default:
        return float_::make_cell(second_part(t));
    }
}

}  // namespace

Cell* make_at(Cell& cell, double seconds) {
    set_type(cell, TYPE_TIME);
    cell.data1 = 0;
    set_cell_double(cell, seconds);
    return &cell;
}

Cell* make_in(const Cell& block, uint32_t high, uint32_t low) {
    Cell* c = alloc_block_tail(block);
    *c = Cell{TYPE_TIME, 0, low, high};
    return c;
}

Cell* push(double seconds) { return stack::push(make_cell(seconds)); }

double hour_part(double seconds) { return std::trunc(seconds / 3600); }
int32_t minute_part(double seconds) {
    numbers::Int32Conversion m = numbers::trunc_to_int32(std::floor(std::fmod(std::fabs(seconds), 3600) / 60));
    return m.value;  // 0 for NaN and the infinities, which have no minutes
}
double second_part(double seconds) { return std::fmod(seconds, 60); }

double with_part(double t, int32_t part, double v) {
    switch (part) {
    case 1:
        return t - 3600 * (std::trunc(t / 3600) - v);
    case 2:
        return t - (t < 0 ? -60 : 60) * (std::floor(std::fmod(std::fabs(t), 3600) / 60) - v);
    default:
        return t - (std::fmod(t, 60) - v);
    }
}

int32_t field_index(const Cell& word, const Cell& value) {
    int32_t field = scalar_path::field_of(word, {words::Sym::hour, words::Sym::minute, words::Sym::second});
    if (field > 0) return field;
    if (type_of(value) == TYPE_TIME) fire(ErrorId::script_cannot_use, {word, value});
    return -1;
}

void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    uint32_t type = type_of(*spec);
    double seconds;
    switch (type) {
    case TYPE_TIME:
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        seconds = cell_double(*spec);
        break;
    case TYPE_INTEGER:
        seconds = double(int32_t(spec->data2));
        break;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH:
        seconds = from_block(*spec);
        break;
    default:
        if (!type_classes::holds_code_points(type)) fire_bad_to_arg(TYPE_TIME, *spec);
        seconds = from_text(*spec);
    }
    *out = make_cell(seconds);
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : none_value;
    int32_t field = -1;
    if (type_of(*element) == TYPE_INTEGER) {
        int32_t n = int32_t(element->data2);
        if (n >= 1 && n <= 3) field = n;
    } else {
        field = field_index(*element, path);
    }
    if (field < 0) fire(ErrorId::script_invalid_path, {path, *element});
    if (!value) {
        *out = field_value(get(*parent), field);
        return;
    }
    Cell set = *value;
    uint32_t type = type_of(set);
    if (type != TYPE_INTEGER && (field < 3 || type != TYPE_FLOAT)) fire(ErrorId::script_invalid_arg, {set});
    double v = type == TYPE_INTEGER ? double(int32_t(set.data2)) : cell_double(set);
    Cell old = *parent;
    set_cell_double(*parent, with_part(get(old), field, v));
    scalar_path::tell_owner(step, old, *parent, set, field);
    *out = set;
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    int32_t field = index;
    if (index_cell && word::is_any_word(type_of(*index_cell))) field = field_index(*index_cell, *value);
    if (field < 1 || field > 3) fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    *out = field_value(get(*value), field);
}

void init() {
    datatype::register_type(
        datatype::Record(TYPE_TIME, TYPE_FLOAT, "time!")
            .own<ACTION_MAKE>(make)
            .own<ACTION_TO>(make)
            .own<ACTION_FORM>(form)
            .own<ACTION_MOLD>(mold)
            .own<ACTION_EVAL_PATH>(eval_path)
            .own<ACTION_ADD>(add)
            .own<ACTION_DIVIDE>(divide)
            .own<ACTION_MULTIPLY>(multiply)
            .own<ACTION_ROUND>(round)
            .own<ACTION_SUBTRACT>(subtract)
            .own<ACTION_EVEN_Q>(even)
            .own<ACTION_ODD_Q>(odd)
            .own<ACTION_PICK>(pick)
            .inherit_all<ACTION_RANDOM, ACTION_COMPARE, ACTION_ABSOLUTE, ACTION_NEGATE, ACTION_REMAINDER>());
}

}  // namespace kel::time_
