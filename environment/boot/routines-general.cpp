// The general routines of the boot environment: process exit, quiet
// assignment, bit shifts, the float formatter's modes, the operating
// system's description, tuple builders, UTF-8 character counting, the
// clipboard and the runtime's introspection (argument stack, call frames,
// tracing, the last print's line end). The file layer's routines (current directory, directory creation,
// existence, raw output) are the runtime's own
// (runtime/evaluator/routines-files.cpp); general_routines interleaves them
// in the library's order.
#include <cstring>
#include <vector>

#include "environment/boot/library-steps.h"
#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/natives-print.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/clipboard.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/os-info.h"

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
    // No context, or one without values (a function's outside its call).
    if (!word.data1 || !context::cell_of(word.data1)->data2) fire(ErrorId::script_not_in_context, {word});
    Cell value = *a[1].cell;
    context::set_in(word, value, word.data1, false);
    stack::state.arguments[0] = value;
    return {};
}

Result set_slot_quiet(const Arg* a, int32_t) {
    const Cell& series = *a[0].cell;
    uint32_t t = type_of(series);
    // Not a hash!: its table would not see the cell change.
    if (!type_families::is_any_block(t) || t == TYPE_HASH) refuse(series, 1);
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

Result last_lf(const Arg*, int32_t) {
    *result_cell() = logic::make_cell(natives::print::last_lf());
    return {};
}

// An object of the fields name, arch, version and build.
Result os_info(const Arg*, int32_t) {
    platform::OsInfo info = platform::os_info();
    Cell* out = result_cell();
    Cell* saved = stack::top();
    Cell* obj = stack::push(make_none());
    object::make_at(*obj, 8);
    obj->data2 = uint32_t(object::new_class_id());
    object::store_owner(*obj);
    Cell* name = push_utf8(info.name);
    context::add_or_set(obj->data1, symbol::make("name"), *name);
    context::add_or_set(obj->data1, symbol::make("arch"), word::make(symbol::make(info.arch)));
    context::add_or_set(obj->data1, symbol::make("version"), tuple::make_cell(3, info.version));
    context::add_or_set(obj->data1, symbol::make("build"), make_integer(info.build));
    *out = *obj;
    stack::pop(uint32_t(stack::top() - saved));
    return {};
}

// The UTF-8 characters from start's position up to pos's position (an
// index into start's series), never past that series' tail. A step reads a
// lead byte and the continuation bytes that follow it, as many as the lead
// announces: an invalid or cut sequence is one step too.
Result count_chars(const Arg* a, int32_t) {
    const Cell& start = *a[0].cell;
    SeriesBuffer* b = binary::buffer(start);
    const uint8_t* bytes = b->head_ptr();
    int64_t tail = int64_t(b->used());
    int64_t i = std::max<int64_t>(int32_t(start.data1), 0);
    int64_t end = std::min<int64_t>(int32_t(a[1].cell->data1), tail);
    int32_t count = 0;
    while (i < end) {
        uint8_t lead = bytes[i++];
        int follow = lead >= 0xF0 && lead < 0xF8 ? 3
            : lead >= 0xE0 && lead < 0xF0        ? 2
            : lead >= 0xC0 && lead < 0xE0        ? 1
                                                 : 0;
        for (; follow > 0 && i < tail && (bytes[i] & 0xC0) == 0x80; --follow) ++i;
        ++count;
    }
    return {count};
}

// Introspection counts in cells of the argument stack, from its bottom.
Result stack_size(const Arg*, int32_t) { return {int32_t(stack::state.top - stack::state.bottom)}; }
Result frame_index(const Arg*, int32_t) { return {int32_t(stack::state.arguments - stack::state.bottom)}; }

// A copy of the idx-th cell from the bottom (1-based), below the routine's
// own argument; none elsewhere.
Result pick_stack(const Arg* a, int32_t) {
    int32_t idx = a[0].integer;
    int64_t size = stack::state.top - stack::state.bottom;
    *result_cell() = idx > 0 && idx < size ? stack::state.bottom[idx - 1] : make_none();
    return {};
}

Result collect_calls(const Arg* a, int32_t) {
    stack::collect_calls(*a[0].cell);
    return {};
}

// Events are sent now; inside a library function, for the script code that
// called it (the library's own body is silent either way).
bool tracing_now() {
    using interpreter::state;
    return state.tracing || (state.interp_frame == 0 && state.script_tracing);
}

Result tracing(const Arg*, int32_t) {
    *result_cell() = logic::make_cell(tracing_now());
    return {};
}

// `trace` with a logic!: pauses or resumes the delivery of events for the
// script code that called it. Events resume only while a traced evaluation
// is under way.
Result set_tracing(const Arg* a, int32_t) {
    using interpreter::state;
    bool on = a[0].integer != 0 && state.trace;
    (state.interp_frame ? state.tracing : state.script_tracing) = on;
    *result_cell() = logic::make_cell(on);
    return {};
}

// The clipboard (runtime/io/clipboard.h): the desktop's, or one inside the
// process when there is no display.
Result read_clipboard(const Arg*, int32_t) {
    Cell value = make_none();
    Rooted keep(value);
    clipboard::read(&value);
    *result_cell() = value;
    return {};
}
Result write_clipboard(const Arg* a, int32_t) {
    Cell data = *a[0].cell;
    Rooted keep(data);
    return {clipboard::write(data) ? 1 : 0};
}

const RoutineDef GENERAL[] = {
    {"quit-return",
     R"~("Stops evaluation and exits the program with a given status" status [integer!] "Process termination value to return")~",
     -1, quit_return},
    {"set-quiet",
     R"~("Set an object's field to a value without triggering eventual object's events" word [any-type!] value [any-type!] return: [any-type!])~",
     -1, set_quiet},
    {"set-slot-quiet",
     R"~("Set a value in series without triggering eventual owner's events" series [any-type!] value [any-type!])~", -1,
     set_slot_quiet},
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
    {"_set-tracing", R"~("Internal Use Only" on? [logic!])~", -1, set_tracing},
    {"last-lf?", R"~("Internal Use Only")~", -1, last_lf},
    {"os-info", R"~("Returns detailed operating system version information")~", -1, os_info},
    {"count-chars",
     R"~("Count UTF-8 encoded characters between two positions in a binary series" start [binary!] pos [binary!] return: [integer!])~",
     TYPE_INTEGER, count_chars},
    {"stack-size?", "return: [integer!]", TYPE_INTEGER, stack_size},
    {"pick-stack", "idx [integer!]", -1, pick_stack},
    {"frame-index?", "return: [integer!]", TYPE_INTEGER, frame_index},
    {"collect-calls", "blk [block!]", -1, collect_calls},
    {"tracing?", "", -1, tracing},
    {"read-clipboard",
     R"~("Return the contents of the system clipboard" return: [any-type!] "false on failure, none if empty, otherwise: string!, block! of files!, or an image!")~",
     -1, read_clipboard},
    {"write-clipboard",
     R"~("Write content to the system clipboard" data [any-type!] "string!, block! of files!, an image! or none!" return: [logic!] "indicates success")~",
     TYPE_LOGIC, write_clipboard},
};

// The library's order of the routines; those it does not name
// (_set-float-flags, _set-tracing, read-stdin) follow.
constexpr const char* ORDER[] = {
    "quit-return",  "set-quiet",       "set-slot-quiet",  "shift-right",    "shift-left",      "shift-logical",
    "last-lf?",     "get-current-dir", "set-current-dir", "create-dir",     "exists?",         "os-info",
    "as-color",     "as-ipv4",         "as-rgba",         "count-chars",    "stack-size?",     "pick-stack",
    "frame-index?", "collect-calls",   "tracing?",        "read-clipboard", "write-clipboard", "write-stdout",
};

const RoutineDef* find_def(std::span<const RoutineDef> defs, const char* word) {
    for (const RoutineDef& d : defs)
        if (std::strcmp(d.word, word) == 0) return &d;
    return nullptr;
}

}  // namespace

std::span<const RoutineDef> general_routines() {
    static const std::vector<RoutineDef> ordered = [] {
        std::vector<RoutineDef> out;
        for (const char* word : ORDER) {
            const RoutineDef* d = find_def(GENERAL, word);
            out.push_back(d ? *d : *find_def(routines::file_routines(), word));
        }
        for (std::span<const RoutineDef> defs : {std::span<const RoutineDef>(GENERAL), routines::file_routines()})
            for (const RoutineDef& d : defs)
                if (!find_def(out, d.word)) out.push_back(d);
        return out;
    }();
    return ordered;
}

}  // namespace kel::library
