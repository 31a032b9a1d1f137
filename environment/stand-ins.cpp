// Stand-ins for natives the library calls that the native table does not
// hold yet (do, reduce, print, prin, not, type?, value?, get, set, same?,
// union, transcode, get-env, uppercase). Each is a routine! with the native's spec, defined only when
// its word has no value once the natives are made: as soon as the real
// native is registered, its stand-in is never made. They do what the
// library needs of the native and no more.
#include "environment/stand-ins.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "environment/library-steps.h"
#include "environment/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/hooks.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/string-actions.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/word.h"
#include "runtime/text/unicode.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

Cell* frame() { return stack::state.arguments; }
// A refinement's logic! cell in a routine's frame (routines get one cell per
// refinement, then its arguments).
bool flag(int32_t cell) { return frame()[cell].data1 != 0 && type_of(frame()[cell]) == TYPE_LOGIC; }

// A status that leaves Kel code through C++ travels as an exception.
void pass_on(uint32_t status) {
    if (status) system_throw(status);
}

Result do_(const Arg* a, int32_t) {
    Cell value = *a[0].cell;
    switch (type_of(value)) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
        pass_on(interpreter::eval(value, true));
        break;
    case TYPE_ERROR:
        fire_value(value, error::id_of(value));
    default:
        break;
    }
    return {};
}

// The values of the block's expressions, in a new block in the frame's first
// cell.
void reduce_into_frame(const Cell& code_cell) {
    Cell code = code_cell;
    Rooted keep_code(code);
    Cell* out = stack::push(make_none());
    block::make_at(*out, 8);
    out->header = TYPE_BLOCK;
    int32_t index = int32_t(code.data1);
    while (index < int32_t(block::buffer(code)->cell_count())) {
        Cell* mark = stack::state.top;
        pass_on(interpreter::eval_expression(code, index, false, false));
        block::append_cell(*out, *(stack::state.top - 1));
        stack::state.top = mark;
    }
    frame()[0] = *out;
}

Result reduce(const Arg* a, int32_t) {
    Cell value = *a[0].cell;
    if (type_of(value) == TYPE_BLOCK) reduce_into_frame(value);
    return {};
}

void output(const Cell& value, bool newline) {
    Cell v = value;
    if (type_of(v) == TYPE_BLOCK) {
        reduce_into_frame(v);
        v = frame()[0];
    }
    Rooted keep(v);
    Cell* text = stack::push(make_none());
    string::ks_make_at(*text, 16);
    actions::form(v, *text, false, INT32_MAX);
    run_print_hooks(*text, newline);
    frame()[0] = unset_value;
}

Result print(const Arg* a, int32_t) {
    output(*a[0].cell, true);
    return {};
}
Result prin(const Arg* a, int32_t) {
    output(*a[0].cell, false);
    return {};
}

bool truthy(const Cell& v) { return !(type_of(v) == TYPE_NONE || (type_of(v) == TYPE_LOGIC && !v.data1)); }
Result not_(const Arg* a, int32_t) { return {truthy(*a[0].cell) ? 0 : 1}; }

Result type_q(const Arg* a, int32_t) {
    frame()[0] = datatype::make(type_of(*a[0].cell));
    return {};
}

Result value_q(const Arg* a, int32_t) {
    const Cell& w = *a[0].cell;
    if (!word::is_any_word(type_of(w))) return {1};
    return {type_of(*context::get(w)) != TYPE_UNSET ? 1 : 0};
}

Result get(const Arg* a, int32_t) {
    Cell w = *a[0].cell;
    Cell v = *context::get(w);
    if (type_of(v) == TYPE_UNSET && !flag(1)) fire(ErrorId::script_no_value, {w});
    frame()[0] = v;
    return {};
}

Result set(const Arg* a, int32_t) {
    Cell& w = *a[0].cell;
    Cell v = *a[1].cell;
    if (type_of(v) == TYPE_UNSET && !flag(2)) fire(ErrorId::script_need_value, {w});
    w.header = TYPE_WORD;
    context::set(w, v);
    frame()[0] = v;
    return {};
}

Result uppercase(const Arg* a, int32_t) {
    string::change_case(a[0].cell, nullptr, true);
    return {};
}

Result same_q(const Arg* a, int32_t) { return {actions::compare(*a[0].cell, *a[1].cell, COMP_SAME) ? 1 : 0}; }

Result union_(const Arg* a, int32_t) {
    Cell ts = typeset::make_empty();
    for (uint32_t t = 1; t < TYPE_TOTAL; ++t)
        if (typeset::has(*a[0].cell, t) || typeset::has(*a[1].cell, t)) typeset::set_bit(ts, t);
    frame()[0] = ts;
    return {};
}

// transcode source /next /one /prescan /scan /part length /into out /trace
// callback: frame cells 0 source, 1 next, 2 one, 3 prescan, 4 scan, 5 part,
// 6 length, 7 into, 8 out, 9 trace, 10 callback.
Result transcode(const Arg* a, int32_t) {
    lexer::TranscodeOptions o;
    o.next = flag(1);
    o.one = flag(2);
    o.prescan = flag(3);
    o.scan = flag(4);
    if (flag(5)) o.part = &frame()[6];
    if (flag(7)) o.into = &frame()[8];
    if (flag(9)) o.trace = &frame()[10];
    Cell source = *a[0].cell;
    Rooted keep(source);
    Cell* out = stack::push(make_none());
    lexer::transcode(out, source, o);
    frame()[0] = *out;
    return {};
}

Result get_env(const Arg* a, int32_t) {
    Cell name = *a[0].cell;
    std::string key;
    if (type_of(name) == TYPE_STRING || type_of(name) == TYPE_WORD) {
        Rooted keep(name);
        Cell* text = stack::push(make_none());
        string::ks_make_at(*text, 16);
        actions::form(name, *text, false, INT32_MAX);
        string::Span span = string::span_from_head(*text);
        for (int64_t i = 0; i < span.count; ++i) key += char(span.at(i));
    }
    const char* value = key.empty() ? nullptr : std::getenv(key.c_str());
    if (!value) {
        frame()[0] = none_value;
        return {};
    }
    frame()[0] = *push_utf8(value);
    return {};
}

const RoutineDef STAND_INS[] = {
    {"get-env", "var [any-type!]", -1, get_env},
    {"do", "value [any-type!]", -1, do_},
    {"reduce", "value [any-type!]", -1, reduce},
    {"print", "value [any-type!]", -1, print},
    {"prin", "value [any-type!]", -1, prin},
    {"not", "value [any-type!]", TYPE_LOGIC, not_},
    {"type?", "value [any-type!]", -1, type_q},
    {"value?", "value [any-type!]", TYPE_LOGIC, value_q},
    {"get", "word [any-type!] /any", -1, get},
    {"set", "word [any-type!] value [any-type!] /any", -1, set},
    {"uppercase", "string [any-type!]", -1, uppercase},
    {"same?", "value1 [any-type!] value2 [any-type!]", TYPE_LOGIC, same_q},
    {"union", "set1 [any-type!] set2 [any-type!]", -1, union_},
    {"transcode",
     "src [any-type!] /next /one /prescan /scan /part length [any-type!] /into out [any-type!] /trace callback [any-type!]",
     -1, transcode},
};

}  // namespace

void define_stand_ins() {
    for (const RoutineDef& def : STAND_INS) {
        Cell w = context::add_global(symbol::make(def.word), false, true);
        if (type_of(*context::get(w)) == TYPE_UNSET) routines::make_words({&def, 1});
    }
}

}  // namespace kel::library
