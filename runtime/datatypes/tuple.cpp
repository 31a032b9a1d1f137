// tuple!: makers, conversions, comparison, path access, pick and
// registration.
#include "runtime/datatypes/tuple.h"
#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/math-slots.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tuple-internal.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/evaluator/stack.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/number-text.h"

namespace kel::tuple {

namespace {

// An element of a spec block: integer!, char! or float! (truncated toward
// zero), from 0 to 255.
uint8_t element_byte(const Cell& item, const Cell& spec) {
    int32_t n;
    switch (type_of(item)) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        n = int32_t(item.data2);
        break;
    case TYPE_FLOAT: {
        numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(item));
        if (!c.ok) fire_bad_to_arg(TYPE_TUPLE, spec);
        n = c.value;
        break;
    }
    default:
        fire_bad_to_arg(TYPE_TUPLE, spec);
    }
    if (n < 0 || n > 255) fire_bad_to_arg(TYPE_TUPLE, spec);
    return uint8_t(n);
}

Cell from_block(const Cell& spec) {
    Cell blk = spec;
    int32_t n = block::ks_length(blk);
    if (n > int32_t(MAX_BYTES)) fire_bad_to_arg(TYPE_TUPLE, spec);
    const Cell* items = block::ks_head(blk);
    uint8_t bytes[MAX_BYTES] = {};
    for (int32_t i = 0; i < n; ++i) bytes[i] = element_byte(items[i], spec);
    return make_cell(uint32_t(n), bytes);
}

// The index of a path element or pick index: 1 to the byte count.
uint32_t checked_index(const Cell& value, int32_t index, const Cell* index_cell) {
    if (index < 1 || uint32_t(index) > count(value))
        fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    return uint32_t(index);
}

}  // namespace

Cell make_cell(uint32_t n, const uint8_t* bytes) {
    if (n > MAX_BYTES) n = MAX_BYTES;
    uint32_t words[3] = {0, 0, 0};
    for (uint32_t i = 0; i < n; ++i) words[i / 4] |= uint32_t(bytes[i]) << (8 * (i % 4));
    return make_from_words(n, words[0], words[1], words[2]);
}

Cell make_from_words(uint32_t n, uint32_t word1, uint32_t word2, uint32_t word3) {
    if (n < MIN_BYTES) n = MIN_BYTES;
    if (n > MAX_BYTES) n = MAX_BYTES;
    return Cell{TYPE_TUPLE | (n << COUNT_SHIFT), word1, word2, word3};
}

Cell* push(uint32_t n, uint32_t word1, uint32_t word2, uint32_t word3) {
    return stack::push(make_from_words(n, word1, word2, word3));
}

Cell* push_from_ints(uint32_t n, const int32_t* values) {
    uint8_t bytes[MAX_BYTES] = {};
    if (n > MAX_BYTES) n = MAX_BYTES;
    for (uint32_t i = 0; i < n; ++i) bytes[i] = uint8_t(values[i]);
    return stack::push(make_cell(n, bytes));
}

Cell make_rgba(int32_t r, int32_t g, int32_t b, int32_t a) {
    uint8_t bytes[4] = {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
    return make_cell(a == -1 ? 3 : 4, bytes);
}

Cell from_binary(const Cell& binary) {
    Cell bin = binary;  // the head is clamped in the copy
    int32_t n = string::ks_length(bin);
    if (n > int32_t(MAX_BYTES)) n = int32_t(MAX_BYTES);
    return make_cell(uint32_t(n), string::ks_head(bin));
}

// Every byte of the spelling is looked at whole: a character beyond ASCII is
// never taken for the digit its low bits spell.
Cell from_issue(const Cell& issue) {
    uint32_t length = 0;
    const uint8_t* spelling = symbol::spelling(int32_t(issue.data2), &length);
    if (length != 3 && length != 6 && length != 8) fire(ErrorId::script_invalid_data, {issue});
    int digits[8];
    for (uint32_t i = 0; i < length; ++i) {
        digits[i] = numbers::hex_digit_value(spelling[i]);
        if (digits[i] < 0) fire(ErrorId::script_invalid_data, {issue});
    }
    uint8_t bytes[4];
    if (length == 3) {
        for (int i = 0; i < 3; ++i) bytes[i] = uint8_t(digits[i] * 17);
        return make_cell(3, bytes);
    }
    for (uint32_t i = 0; i < length / 2; ++i) bytes[i] = uint8_t(digits[2 * i] << 4 | digits[2 * i + 1]);
    return make_cell(length / 2, bytes);
}

bool all_zero(const Cell& value) {
    for (uint32_t i = 0; i < count(value); ++i)
        if (byte_at(value, i) != 0) return false;
    return true;
}

void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    uint32_t type = type_of(*spec);
    Cell t;
    switch (type) {
    case TYPE_TUPLE:
        t = *spec;
        break;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH:
        t = from_block(*spec);
        break;
    case TYPE_ISSUE:
        t = from_issue(*spec);
        break;
    case TYPE_BINARY:
        t = from_binary(*spec);
        break;
    default: {
        if (!type_classes::holds_code_points(type)) fire_bad_to_arg(TYPE_TUPLE, *spec);
        Cell value = none_value;
        value_from_text::load(&value, *spec);
        if (type_of(value) != TYPE_TUPLE) fire_bad_to_arg(TYPE_TUPLE, *spec);
        t = value;
    }
    }
    uint8_t bytes[MAX_BYTES];
    read_bytes(t, bytes);
    *out = make_cell(count(t), bytes);
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t) {
    if (type_of(value2) != TYPE_TUPLE) return COMP_NOT_COMPARABLE;
    uint8_t a[MAX_BYTES], b[MAX_BYTES];
    read_bytes(value1, a);
    read_bytes(value2, b);
    for (uint32_t i = 0; i < MAX_BYTES; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int32_t length(Cell* value) { return int32_t(count(*value)); }

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    uint32_t i = checked_index(*value, index, index_cell);
    *out = make_integer(byte_at(*value, i - 1));
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    if (type_of(*element) != TYPE_INTEGER) fire(ErrorId::script_invalid_type, {datatype::make(type_of(*element))});
    Cell index_cell = *element;
    uint32_t index = checked_index(*parent, int32_t(index_cell.data2), &index_cell);
    if (!value) {
        *out = make_integer(byte_at(*parent, index - 1));
        return;
    }
    Cell set = *value;
    uint8_t bytes[MAX_BYTES];
    uint32_t n = count(*parent);
    read_bytes(*parent, bytes);
    switch (type_of(set)) {
    case TYPE_INTEGER: {
        int32_t v = int32_t(set.data2);
        bytes[index - 1] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
        break;
    }
    case TYPE_NONE:
        // The tuple ends before the index, never below three bytes.
        for (uint32_t i = index - 1; i < MAX_BYTES; ++i) bytes[i] = 0;
        n = index - 1;
        break;
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(set))});
    }
    Cell old = *parent;
    Cell changed = make_cell(n, bytes);
    changed.header |= old.header & ~(CELL_TYPE_MASK | COUNT_MASK);  // the new-line marker stays
    *parent = changed;
    scalar_path::tell_owner(step, old, *parent, set, int32_t(index));
    *out = set;
}

void init() {
    datatype::register_type(datatype::Record(TYPE_TUPLE, 0, "tuple!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_EVAL_PATH>(eval_path)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_ADD>(math_slot<do_math, MATH_ADD>)
                                .own<ACTION_DIVIDE>(math_slot<do_math, MATH_DIVIDE>)
                                .own<ACTION_MULTIPLY>(math_slot<do_math, MATH_MULTIPLY>)
                                .own<ACTION_REMAINDER>(math_slot<do_math, MATH_REMAINDER>)
                                .own<ACTION_SUBTRACT>(math_slot<do_math, MATH_SUBTRACT>)
                                .own<ACTION_AND_T>(math_slot<do_math, MATH_AND>)
                                .own<ACTION_COMPLEMENT>(complement)
                                .own<ACTION_OR_T>(math_slot<do_math, MATH_OR>)
                                .own<ACTION_XOR_T>(math_slot<do_math, MATH_XOR>)
                                .own<ACTION_LENGTH_Q>(length)
                                .own<ACTION_PICK>(pick)
                                .own<ACTION_REVERSE>(reverse));
    number_services::row(TYPE_TUPLE).math_with_number = do_math;
}

}  // namespace kel::tuple
