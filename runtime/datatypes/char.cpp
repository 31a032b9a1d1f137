// char!: conversions, text, comparison and arithmetic.
#include "runtime/datatypes/char.h"

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/char-escape.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/math-slots.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::char_ {

namespace {

uint32_t checked(int64_t n, const Cell& spec) {
    if (n < 0 || n > int64_t(MAX_CODE_POINT)) fire(ErrorId::script_out_of_range, {spec});
    return uint32_t(n);
}

// The code point at the string's position.
uint32_t from_text(const Cell& spec) {
    int32_t head = int32_t(cell_head(spec));
    if (head < 0) head = 0;
    if (head >= string::ks_abs_length(spec)) fire_bad_to_arg(TYPE_CHAR, spec);
    return string::get_char_at(spec, head);
}

// One UTF-8 sequence from the binary's head; a malformed or cut-off sequence
// is access/invalid-utf8.
uint32_t from_binary(const Cell& spec) {
    Cell bin = spec;  // the head is clamped in the copy
    int32_t n = string::ks_length(bin);
    if (n == 0) fire_bad_to_arg(TYPE_CHAR, spec);
    const uint8_t* head = string::ks_head(bin);
    int32_t length = unicode::utf8_seq_length(head[0]);
    if (length == 0) length = 1;
    if (length > n) unicode::fire_invalid_encoding(head, n);
    int32_t available = length;
    int32_t cp = unicode::decode_utf8_char(head, available);
    if (cp < 0) unicode::fire_invalid_encoding(head, length);
    return uint32_t(cp);
}

}  // namespace

Cell* make_in(const Cell& block, uint32_t code_point) {
    Cell* c = alloc_block_tail(block);
    *c = make_cell(code_point);
    return c;
}

Cell* push(uint32_t code_point) { return stack::push(make_cell(code_point)); }

// make and to (the same function).
static void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    uint32_t type = type_of(*spec);
    uint32_t cp;
    switch (type) {
    case TYPE_CHAR:
    case TYPE_INTEGER:
        cp = checked(int32_t(spec->data2), *spec);
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT: {
        // Truncated toward zero; NaN and values beyond 32 bits are out of
        // range as much as any other value above the last code point.
        numbers::Int32Conversion n = numbers::trunc_to_int32(cell_double(*spec));
        if (!n.ok) fire(ErrorId::script_out_of_range, {*spec});
        cp = checked(n.value, *spec);
        break;
    }
    case TYPE_BINARY:
        cp = from_binary(*spec);
        break;
    default:
        if (!type_classes::holds_code_points(type)) fire_bad_to_arg(TYPE_CHAR, *spec);
        cp = from_text(*spec);
    }
    *out = make_cell(cp);
}

static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    string::append_char(string::buffer(buffer), get(value));
    return limit - 1;
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    string::append_c_string_part(buffer, "#\"", 2);
    char_escape::mold_char(buffer, get(value), options.all);
    string::append_c_string_part(buffer, "\"", 1);
    return options.limit - 4;
}

// No case folding: #"a" and #"A" differ under every op. A char! equals the
// integer! of its code point under = but not under == or find's equality.
static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t type = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_FIND) && type != TYPE_CHAR) return 1;
    if (type != TYPE_CHAR && type != TYPE_INTEGER) return COMP_NOT_COMPARABLE;
    int64_t a = get(value1), b = int32_t(value2.data2);
    if (type == TYPE_CHAR) b = get(value2);
    return (a > b) - (a < b);
}

// The op core on the current frame: the char! in the first cell, the other
// operand in the second; the result replaces the first cell's code point.
static void do_math(int32_t op) {
    Cell* frame = stack::arguments();
    const Cell& right = frame[1];
    int32_t operand;
    switch (type_of(right)) {
    case TYPE_CHAR:
    case TYPE_INTEGER:
        operand = int32_t(right.data2);
        break;
    case TYPE_FLOAT: {
        numbers::Int32Conversion n = numbers::trunc_to_int32(cell_double(right));
        if (!n.ok) fire(ErrorId::math_overflow);
        operand = n.value;
        break;
    }
    case TYPE_VECTOR:
        number_services::hand_over(op);
        return;
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(right))});
    }
    // A division always truncates: the op core gets no result cell to turn
    // into a float!. For the other ops the scratch cell turns into a float!
    // when the 32-bit result overflows.
    Cell scratch = make_integer(0);
    int32_t r = integer::do_math(int32_t(get(*frame)), operand, op, op == MATH_DIVIDE ? nullptr : &scratch);
    if (type_of(scratch) != TYPE_INTEGER || r < 0 || uint32_t(r) > MAX_CODE_POINT) fire(ErrorId::math_overflow);
    frame->data2 = uint32_t(r);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_CHAR, TYPE_INTEGER, "char!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_TO>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_ADD>(math_slot_of<do_math, MATH_ADD>)
                                .own<ACTION_DIVIDE>(math_slot_of<do_math, MATH_DIVIDE>)
                                .own<ACTION_MULTIPLY>(math_slot_of<do_math, MATH_MULTIPLY>)
                                .own<ACTION_REMAINDER>(math_slot_of<do_math, MATH_REMAINDER>)
                                .own<ACTION_SUBTRACT>(math_slot_of<do_math, MATH_SUBTRACT>)
                                .own<ACTION_AND_T>(math_slot_of<do_math, MATH_AND>)
                                .own<ACTION_OR_T>(math_slot_of<do_math, MATH_OR>)
                                .own<ACTION_XOR_T>(math_slot_of<do_math, MATH_XOR>)
                                .inherit_all<ACTION_RANDOM, ACTION_ABSOLUTE, ACTION_EVEN_Q, ACTION_ODD_Q>());
}

}  // namespace kel::char_
