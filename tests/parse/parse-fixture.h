// Shared by the parse tests: a started runtime with the test library
// (tests/evaluator/library.h: the natives of the table, parse among them,
// and a few actions) plus the actions the parse cases use, code loaded by
// the lexer (chars, binaries and wide strings included) and evaluated, and
// tables of cases: code whose value must be true, code that must raise an
// error.
#pragma once
#include <cstring>

#include "runtime/io/lexer.h"
#include "tests/evaluator/evaluator-fixture.h"

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
    // Type words of datatypes whose modules are not registered yet.
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

struct Parse : Evaluator {
    void SetUp() override {
        Evaluator::SetUp();
        install_parse_library();
    }
};

// The text loaded by the lexer into a block on the argument stack.
inline Cell* lex(const char* text) {
    Cell* b = stack::push(make_none());
    lexer::scan(b, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    return b;
}

// Evaluates the text; an error fails the test and gives unset.
inline Cell eval_text(const char* text) {
    Cell* top = stack::state.top;
    Cell result = make_unset();
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* code_block = lex(text);
        if (!interpreter::eval(*code_block, false)) result = *(stack::state.top - 1);
    });
    if (code) {
        handled();
        ADD_FAILURE() << text << ": error " << int(error_in_flight().id);
    }
    stack::state.top = top;
    return result;
}

// The id of the error the text raises (-1 for none); with arg, its first
// argument.
inline int error_in(const char* text, Cell* arg = nullptr) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    return error_of(
        [text] {
            Cell* code_block = lex(text);
            (void)interpreter::eval(*code_block, false);
        },
        arg);
}

struct TrueCase {
    const char* code;
    bool expected;
};
struct ErrorCase {
    const char* code;
    ErrorId error;
};

inline void expect_truths(std::initializer_list<TrueCase> cases) {
    for (const TrueCase& c : cases) {
        Cell v = eval_text(c.code);
        EXPECT_EQ(type_of(v), TYPE_LOGIC) << c.code;
        EXPECT_EQ(v.data1 != 0, c.expected) << c.code;
    }
}

inline void expect_errors(std::initializer_list<ErrorCase> cases) {
    for (const ErrorCase& c : cases) EXPECT_EQ(error_in(c.code), id(c.error)) << c.code;
}

}  // namespace kel::test
