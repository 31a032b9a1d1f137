// A small library the tests make in place of the boot library, so that they
// run without booting it: the values of true, false and none, of the type
// words and of any-type!, the native! and action! values the tests call
// (with their specs), and the ops + - * = <> == < > <= >= made with
// `make op!` over add, subtract, multiply and the comparison natives. Installed once per process.
#pragma once
#include <utility>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/natives.h"
#include "tests/evaluator/kel-text.h"

namespace kel::test {

inline void set_global(const char* name, const Cell& value) {
    Cell w = word::make(symbol::make(name));
    context::set(w, value);
}

inline Cell global_value(const char* name) { return *context::get(word::make(symbol::make(name))); }

inline void make_callable(const char* name, uint32_t type, int32_t index, const char* spec) {
    Cell* saved = stack::state.top;
    Cell* spec_block = load(spec);
    Cell* pair = stack::push(make_none());
    block::make_at(*pair, 2);
    pair->header = TYPE_BLOCK;
    block::append_cell(*pair, *spec_block);
    block::append_cell(*pair, make_integer(index));
    Cell proto = datatype::make(type);
    Cell* out = stack::push(make_none());
    native::make(out, &proto, pair, type);
    set_global(name, *out);
    stack::state.top = saved;
}

inline void make_op(const char* name, const char* over) {
    Cell* saved = stack::state.top;
    Cell* callee = stack::push(global_value(over));
    Cell proto = datatype::make(TYPE_OP);
    Cell* out = stack::push(make_none());
    native::op_make(out, &proto, callee, TYPE_OP);
    set_global(name, *out);
    stack::state.top = saved;
}

inline void install_library() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    set_global("true", logic::make_cell(true));
    set_global("false", logic::make_cell(false));
    set_global("none", none_value);
    for (uint32_t t = 1; t <= datatype::highest(); ++t)
        if (const Cell* w = datatype::word(t)) {
            Cell word = *w;
            context::set(word, datatype::make(t));
        }
    // Type words also for the types a test program may not register.
    const std::pair<const char*, uint32_t> types[] = {
        {"block!", TYPE_BLOCK}, {"object!", TYPE_OBJECT}, {"error!", TYPE_ERROR}, {"paren!", TYPE_PAREN}, {"string!", TYPE_STRING}, {"word!", TYPE_WORD},
        {"integer!", TYPE_INTEGER}, {"float!", TYPE_FLOAT}, {"logic!", TYPE_LOGIC}, {"none!", TYPE_NONE},
    };
    for (const auto& t : types) set_global(t.first, datatype::make(t.second));
    Cell any = typeset::make_empty();
    for (uint32_t t = 1; t < TYPE_TOTAL; ++t) typeset::set_bit(any, t);
    set_global("any-type!", any);

    using namespace natives;
    struct Entry {
        const char* name;
        int32_t index;
        const char* spec;
    };
    natives::make_words();
    const Entry actions[] = {
        {"make", ACTION_MAKE, "type [any-type!] spec [any-type!]"},
        {"append", ACTION_APPEND, "series [any-type!] value [any-type!] /part length [any-type!] /only /dup count [integer!]"},
        {"insert", ACTION_INSERT, "series [any-type!] value [any-type!] /part length [any-type!] /only /dup count [integer!]"},
        {"sort", ACTION_SORT, "series [any-type!] /case /skip size [any-type!] /compare comparator [any-type!] /part length [any-type!] /all /reverse /stable"},
        {"at", ACTION_AT, "series [any-type!] index [any-type!]"},
        {"add", ACTION_ADD, "value1 [any-type!] value2 [any-type!]"},
        {"subtract", ACTION_SUBTRACT, "value1 [any-type!] value2 [any-type!]"},
        {"multiply", ACTION_MULTIPLY, "value1 [any-type!] value2 [any-type!]"},
        {"divide", ACTION_DIVIDE, "value1 [any-type!] value2 [any-type!]"},
        {"negate", ACTION_NEGATE, "number [any-type!]"},
        {"form", ACTION_FORM, "value [any-type!] /part limit [integer!]"},
        {"pick", ACTION_PICK, "series [any-type!] index [any-type!]"},
        {"length?", ACTION_LENGTH_Q, "series [any-type!]"},
        {"change", ACTION_CHANGE, "series [any-type!] value [any-type!] /part range [any-type!] /only /dup count [integer!]"},
        {"remove", ACTION_REMOVE, "series [any-type!] /part range [any-type!] /key key-arg [any-type!]"},
    };
    for (const Entry& e : actions) make_callable(e.name, TYPE_ACTION, e.index, e.spec);
    const char* ops[][2] = {{"+", "add"}, {"-", "subtract"}, {"*", "multiply"},
                            {"=", "equal?"}, {"<>", "not-equal?"}, {"==", "strict-equal?"},
                            {"<", "lesser?"}, {">", "greater?"}, {"<=", "lesser-or-equal?"},
                            {">=", "greater-or-equal?"}};
    for (auto& op : ops) make_op(op[0], op[1]);
}

}  // namespace kel::test
