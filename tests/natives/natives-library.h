// What the natives' specs and their tests name beyond the evaluator's test
// library (tests/evaluator/library.h): the typeset words of the boot
// library, datatype words the test library does not make, and a few more
// actions. One stand-in for the boot library, shared by every natives test
// program and the benchmarks.
#pragma once
#include <utility>

#include "runtime/datatypes/typeset.h"
#include "tests/evaluator/library.h"

namespace kel::test {

// A typeset word of the boot library, made from type ids.
inline void define_typeset(const char* name, std::initializer_list<uint32_t> types) {
    Cell ts = typeset::make_empty();
    for (uint32_t t : types) typeset::set_bit(ts, t);
    set_global(name, ts);
}

// Installed once per process, after the evaluator's test library.
inline void install_natives_library() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    install_library();
    const std::pair<const char*, uint32_t> types[] = {
        {"map!", TYPE_MAP},       {"hash!", TYPE_HASH},   {"image!", TYPE_IMAGE},   {"vector!", TYPE_VECTOR},
        {"binary!", TYPE_BINARY}, {"function!", TYPE_FUNCTION}, {"native!", TYPE_NATIVE},
        {"action!", TYPE_ACTION}, {"op!", TYPE_OP},       {"pair!", TYPE_PAIR},     {"char!", TYPE_CHAR},
        {"path!", TYPE_PATH},     {"file!", TYPE_FILE},   {"url!", TYPE_URL},       {"date!", TYPE_DATE},
        {"money!", TYPE_MONEY},   {"tag!", TYPE_TAG},     {"email!", TYPE_EMAIL},   {"ref!", TYPE_REF},
    };
    for (const auto& t : types) set_global(t.first, datatype::make(t.second));
    define_typeset("number!", {TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT});
    define_typeset("scalar!", {TYPE_CHAR, TYPE_INTEGER, TYPE_FLOAT, TYPE_PAIR, TYPE_PERCENT, TYPE_TUPLE, TYPE_TIME,
                               TYPE_DATE, TYPE_MONEY, TYPE_POINT2D, TYPE_POINT3D});
    define_typeset("any-string!", {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF});
    define_typeset("any-word!", {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE});
    define_typeset("any-list!", {TYPE_BLOCK, TYPE_PAREN, TYPE_HASH});
    define_typeset("any-path!", {TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH});
    define_typeset("any-block!", {TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH,
                                  TYPE_HASH});
    define_typeset("any-object!", {TYPE_OBJECT, TYPE_ERROR, TYPE_PORT});
    define_typeset("any-function!", {TYPE_NATIVE, TYPE_ACTION, TYPE_OP, TYPE_FUNCTION, TYPE_ROUTINE});
    define_typeset("any-point!", {TYPE_POINT2D, TYPE_POINT3D});
    define_typeset("series!", {TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH,
                               TYPE_HASH, TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF,
                               TYPE_BINARY, TYPE_VECTOR, TYPE_IMAGE});
    struct Entry {
        const char* name;
        int32_t index;
        const char* spec;
    };
    const Entry actions[] = {
        {"even?", ACTION_EVEN_Q, "number [any-type!]"},
        {"clear", ACTION_CLEAR, "series [any-type!]"},
        {"copy", ACTION_COPY, "value [any-type!] /part length [any-type!] /deep /types kind [any-type!]"},
        {"head", ACTION_HEAD, "series [any-type!]"},
        {"tail", ACTION_TAIL, "series [any-type!]"},
        {"next", ACTION_NEXT, "series [any-type!]"},
        {"index?", ACTION_INDEX_Q, "series [any-type!]"},
        {"mold", ACTION_MOLD, "value [any-type!] /only /all /flat /part limit [integer!]"},
        {"change", ACTION_CHANGE, "series [any-type!] value [any-type!] /part range [any-type!] /only /dup count [integer!]"},
        {"poke", ACTION_POKE, "series [any-type!] index [any-type!] value [any-type!]"},
        {"complement", ACTION_COMPLEMENT, "value [any-type!]"},
        {"to", ACTION_TO, "type [any-type!] spec [any-type!]"},
        // Every refinement the action reads: the interpreter fills only
        // those the spec names.
        {"find", ACTION_FIND,
         "series [any-type!] value [any-type!] /part length [any-type!] /only /case /same /any /with wild [any-type!] "
         "/skip size [any-type!] /last /reverse /tail /match"},
    };
    for (const Entry& e : actions) make_callable(e.name, TYPE_ACTION, e.index, e.spec);
}

}  // namespace kel::test
