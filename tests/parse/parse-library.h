// What the boot library provides to the parse tests and benchmarks, made
// here so that they run without booting it: the test library (tests/evaluator/library.h:
// the natives of the table, parse among them, the ops and a few actions),
// the typesets and type words the natives' specs name, and the actions the
// parse cases use. Installed once per process.
#pragma once
#include <initializer_list>
#include <utility>

#include "runtime/datatypes/typeset.h"
#include "tests/evaluator/library.h"

namespace kel::test {

inline void install_parse_library() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // The typesets the natives' specs name, which the boot library will
    // define; they must exist before the native! words are made.
    auto typeset_of = [](std::initializer_list<uint32_t> types) {
        Cell ts = typeset::make_empty();
        for (uint32_t t : types) typeset::set_bit(ts, t);
        return ts;
    };
    set_global("any-block!", typeset_of({TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH, TYPE_HASH}));
    set_global("any-string!", typeset_of({TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF}));
    set_global("number!", typeset_of({TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT}));
    install_library();
    // Type words the test library does not make.
    const std::pair<const char*, uint32_t> later_types[] = {
        {"file!", TYPE_FILE}, {"url!", TYPE_URL}, {"tag!", TYPE_TAG}, {"email!", TYPE_EMAIL}, {"ref!", TYPE_REF},
        {"routine!", TYPE_ROUTINE}, {"function!", TYPE_FUNCTION}, {"hash!", TYPE_HASH}, {"binary!", TYPE_BINARY},
        {"bitset!", TYPE_BITSET}, {"char!", TYPE_CHAR}, {"datatype!", TYPE_DATATYPE}, {"typeset!", TYPE_TYPESET},
    };
    for (const auto& t : later_types)
        if (type_of(global_value(t.first)) == TYPE_UNSET) set_global(t.first, datatype::make(t.second));
    set_global("series!", typeset_of({TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH,
                                      TYPE_HASH, TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF,
                                      TYPE_BINARY, TYPE_VECTOR, TYPE_IMAGE}));
    natives::make_words();
    const char* series_spec = "series [any-type!]";
    struct Action {
        const char* name;
        int32_t index;
        const char* spec;
    };
    const Action actions[] = {
        {"copy", ACTION_COPY, "value [any-type!] /part length [any-type!] /deep /types kind [any-type!]"},
        {"head", ACTION_HEAD, series_spec},
        {"tail", ACTION_TAIL, series_spec},
        {"next", ACTION_NEXT, series_spec},
        {"index?", ACTION_INDEX_Q, series_spec},
        {"to", ACTION_TO, "type [any-type!] spec [any-type!]"},
        {"change", ACTION_CHANGE, "series [any-type!] value [any-type!] /part range [any-type!] /only /dup count [integer!]"},
        {"clear", ACTION_CLEAR, series_spec},
        {"mold", ACTION_MOLD, "value [any-type!] /only /all /flat /part limit [integer!]"},
    };
    for (const Action& a : actions) make_callable(a.name, TYPE_ACTION, a.index, a.spec);
}

}  // namespace kel::test
