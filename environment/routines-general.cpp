// The general routines of the boot environment: process exit, quiet
// assignment, bit shifts, tuple builders and the float formatter's modes. The file layer's routines
// (current directory, directory creation, existence, raw output) are the
// runtime's own (runtime/evaluator/routines-files.cpp).
#include "environment/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/stack-state.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

// The frame's first cell, which a routine with no arguments must make.
Cell* result_cell() {
    Cell* out = stack::state.arguments;
    if (stack::state.top == out) stack::push(make_none());
    return out;
}

[[noreturn]] void refuse(const Cell& value, int32_t argument) {
    fire(ErrorId::script_expect_arg,
         {stack::current_call_word(), datatype::make(type_of(value)), stack::call_arg_word(argument)});
}

Result quit_return(const Arg* a, int32_t) { end_process(a[0].integer); }

Result set_quiet(const Arg* a, int32_t) {
    Cell& word = *a[0].cell;
    uint32_t t = type_of(word);
    if (t != TYPE_WORD && t != TYPE_SET_WORD && t != TYPE_GET_WORD && t != TYPE_LIT_WORD) refuse(word, 1);
    Cell value = *a[1].cell;
    context::set_in(word, value, word.data1, false);
    stack::state.arguments[0] = value;
    return {};
}

Result set_slot_quiet(const Arg* a, int32_t) {
    const Cell& series = *a[0].cell;
    uint32_t t = type_of(series);
    bool any_block = t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_PATH || t == TYPE_LIT_PATH ||
                     t == TYPE_SET_PATH || t == TYPE_GET_PATH;
    if (!any_block) refuse(series, 1);
    if (block::ks_length(series) > 0) *block::ks_abs_at(series, int32_t(series.data1)) = *a[1].cell;
    return {};
}

// A negative count shifts by nothing; counts past 31 leave only the sign
// (arithmetic right shift) or nothing.
int32_t bit_count(int32_t bits) { return bits < 0 ? 0 : bits; }
Result shift_right(const Arg* a, int32_t) {
    int32_t n = bit_count(a[1].integer), data = a[0].integer;
    return {n > 31 ? (data < 0 ? -1 : 0) : data >> n};
}
Result shift_left(const Arg* a, int32_t) {
    int32_t n = bit_count(a[1].integer);
    return {n > 31 ? 0 : int32_t(uint32_t(a[0].integer) << n)};
}
Result shift_logical(const Arg* a, int32_t) {
    int32_t n = bit_count(a[1].integer);
    return {n > 31 ? 0 : int32_t(uint32_t(a[0].integer) >> n)};
}

// The components of a colour or address tuple: the first negative one is
// refused; a colour takes each modulo 256.
Result make_tuple(const Arg* a, int32_t count, bool wrap) {
    uint8_t bytes[4];
    for (int32_t i = 0; i < count; ++i) {
        if (a[i].integer < 0) fire(ErrorId::script_invalid_arg, {make_integer(a[i].integer)});
        bytes[i] = uint8_t(wrap ? a[i].integer % 256 : a[i].integer);
    }
    *result_cell() = tuple::make_cell(uint32_t(count), bytes);
    return {};
}
Result as_color(const Arg* a, int32_t) { return make_tuple(a, 3, true); }
Result as_ipv4(const Arg* a, int32_t) { return make_tuple(a, 4, false); }

// The float formatter's two modes, which the handler of
// system/options/float keeps in step with its fields.
Result set_float_flags(const Arg* a, int32_t) {
    float_::set_pretty_print(a[0].integer != 0);
    float_::set_full_support(a[1].integer != 0);
    return {};
}

const RoutineDef GENERAL[] = {
    {"quit-return",
     R"~("Stops evaluation and exits the program with a given status" status [integer!] "Process termination value to return")~",
     -1, quit_return},
    {"set-quiet",
     R"~("Set an object's field to a value without triggering eventual object's events" word [any-type!] value [any-type!] return: [any-type!])~",
     -1, set_quiet},
    {"set-slot-quiet",
     R"~("Set a value in series without triggering eventual owner's events" series [any-type!] value [any-type!])~",
     -1, set_slot_quiet},
    {"shift-right", R"~("Shift bits to the right" data [integer!] bits [integer!])~", TYPE_INTEGER, shift_right},
    {"shift-left", R"~("Shift bits to the left" data [integer!] bits [integer!])~", TYPE_INTEGER, shift_left},
    {"shift-logical", R"~("Shift bits to the right (unsigned)" data [integer!] bits [integer!])~", TYPE_INTEGER,
     shift_logical},
    {"as-color", R"~("Combine R, G and B values into a tuple" r [integer!] g [integer!] b [integer!])~", -1, as_color},
    {"as-ipv4", R"~("Combine a, b, c and d values into a tuple" a [integer!] b [integer!] c [integer!] d [integer!])~",
     -1, as_ipv4},
    {"as-rgba",
     R"~("Combine R, G, B and A color components into a tuple" r [integer!] g [integer!] b [integer!] a [integer!])~",
     -1, as_ipv4},
    {"_set-float-flags", R"~("Internal Use Only" pretty? [logic!] full? [logic!])~", -1, set_float_flags},
};

}  // namespace

std::span<const RoutineDef> general_routines() { return GENERAL; }

}  // namespace kel::library
