// The general routines of the boot environment: process exit, quiet
// assignment, bit shifts, the current directory, directory creation, file
// existence and raw output.
#include "environment/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/simple-io.h"

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

// file! values come with the files datatype; until it registers, paths are
// strings.
uint32_t file_type() { return datatype::name(TYPE_FILE) ? TYPE_FILE : TYPE_STRING; }

Result get_current_dir(const Arg*, int32_t) {
    Cell* out = result_cell();
    simple_io::get_current_dir(out, file_type());
    return {};
}
Result set_current_dir(const Arg* a, int32_t) {
    simple_io::set_current_dir(*a[0].cell);
    return {};
}
Result create_dir(const Arg* a, int32_t) {
    simple_io::create_dir(*a[0].cell);
    return {};
}
Result exists(const Arg* a, int32_t) { return {simple_io::exists(*a[0].cell) ? 1 : 0}; }
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

Result write_stdout(const Arg* a, int32_t) {
    simple_io::write_stdout(*a[0].cell);
    return {};
}

const RoutineDef GENERAL[] = {
    {"quit-return",
     R"~("Stops evaluation and exits the program with a given status" status [integer!] "Process termination value to return")~",
     quit_return, -1},
    {"set-quiet",
     R"~("Set an object's field to a value without triggering eventual object's events" word [any-type!] value [any-type!] return: [any-type!])~",
     set_quiet, -1},
    {"set-slot-quiet",
     R"~("Set a value in series without triggering eventual owner's events" series [any-type!] value [any-type!])~",
     set_slot_quiet, -1},
    {"shift-right", R"~("Shift bits to the right" data [integer!] bits [integer!])~", shift_right, TYPE_INTEGER},
    {"shift-left", R"~("Shift bits to the left" data [integer!] bits [integer!])~", shift_left, TYPE_INTEGER},
    {"shift-logical", R"~("Shift bits to the right (unsigned)" data [integer!] bits [integer!])~", shift_logical,
     TYPE_INTEGER},
    {"get-current-dir", R"~("Returns the platform's current directory for the process")~", get_current_dir, -1},
    {"set-current-dir", R"~("Sets the platform's current process directory" path [file!])~", set_current_dir, -1},
    {"create-dir", R"~("Create the given directory" path [file!])~", create_dir, -1},
    {"exists?", R"~("Returns TRUE if the file exists" path [file!] return: [logic!])~", exists, TYPE_LOGIC},
    {"as-color", R"~("Combine R, G and B values into a tuple" r [integer!] g [integer!] b [integer!])~", as_color, -1},
    {"as-ipv4", R"~("Combine a, b, c and d values into a tuple" a [integer!] b [integer!] c [integer!] d [integer!])~",
     as_ipv4, -1},
    {"as-rgba",
     R"~("Combine R, G, B and A color components into a tuple" r [integer!] g [integer!] b [integer!] a [integer!])~",
     as_ipv4, -1},
    {"write-stdout", R"~("Write data to STDOUT" data [any-type!])~", write_stdout, -1},
};

}  // namespace

std::span<const RoutineDef> general_routines() { return GENERAL; }

}  // namespace kel::library
