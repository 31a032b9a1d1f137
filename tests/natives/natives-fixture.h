// Shared by the natives' tests: the evaluator's stand-in library with the
// typeset and datatype words the natives' specs name and a few more
// actions, code loaded by the real lexer, and tables of cases that compare
// a program's molded value (or the error it raises) with the expected text.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/error-ids.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/io/lexer.h"
#include "runtime/platform/console.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {

// A typeset word of the boot library, made from type ids.
inline void define_typeset(const char* name, std::initializer_list<uint32_t> types) {
    Cell ts = typeset::make_empty();
    for (uint32_t t : types) typeset::set_bit(ts, t);
    set_global(name, ts);
}

// What the natives' specs and these tests name beyond the evaluator's test
// library. Installed once per process.
inline void install_natives_library() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    const std::pair<const char*, uint32_t> types[] = {
        {"map!", TYPE_MAP}, {"hash!", TYPE_HASH}, {"image!", TYPE_IMAGE}, {"vector!", TYPE_VECTOR},
        {"binary!", TYPE_BINARY}, {"function!", TYPE_FUNCTION}, {"native!", TYPE_NATIVE},
        {"action!", TYPE_ACTION}, {"op!", TYPE_OP}, {"pair!", TYPE_PAIR}, {"char!", TYPE_CHAR},
        {"path!", TYPE_PATH}, {"file!", TYPE_FILE}, {"url!", TYPE_URL},
    };
    for (const auto& t : types) set_global(t.first, datatype::make(t.second));
    define_typeset("any-word!", {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE});
    define_typeset("any-path!", {TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH});
    define_typeset("any-block!", {TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH,
                                  TYPE_HASH});
    define_typeset("any-object!", {TYPE_OBJECT, TYPE_ERROR, TYPE_PORT});
    define_typeset("any-function!", {TYPE_NATIVE, TYPE_ACTION, TYPE_OP, TYPE_FUNCTION, TYPE_ROUTINE});
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
    };
    for (const Entry& e : actions) make_callable(e.name, TYPE_ACTION, e.index, e.spec);
}

struct NativesTest : Evaluator {
    void SetUp() override {
        Evaluator::SetUp();
        install_natives_library();
    }
};

// The text's values loaded by the lexer into a block on the argument stack.
inline Cell* load_kel(const char* text) {
    Cell* b = stack::push(make_none());
    lexer::scan(b, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    return b;
}

// "category/id" of an error id.
inline std::string error_name(ErrorId id) {
    return std::string(error_categories[unsigned(category_of(id))].word) + "/" + error_id_word(id);
}

// Evaluates the text and answers the molded value, "error category/id" for
// an error, "status <code>" for a break, continue, return or exit that
// reached the top, "throw" for a throw; both stacks are given back.
inline std::string outcome(const char* text) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    std::string out;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* code_block = load_kel(text);
        if (uint32_t s = interpreter::eval(*code_block, false)) {
            out = "status " + std::to_string(s);
            return;
        }
        Cell v = *(stack::state.top - 1);
        if (type_of(v) == TYPE_UNSET) out = "unset";
        else if (type_of(v) == TYPE_ERROR) out = "error value " + error_name(error::id_of(v));
        else out = molded(v);
    });
    if (code) {
        handled();
        out = code == thrown::ERROR ? "error " + error_name(error_in_flight().id) : "throw";
    }
    return out;
}

struct Case {
    const char* code;
    // The molded value, "unset", "error value category/id" for an error!
    // value, or "error category/id" for an error raised.
    const char* expected;
};

inline void expect_cases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(outcome(c.code), c.expected) << c.code;
}

// What the console receives while the body runs.
template <class Body>
std::string console_output(Body&& body) {
    static std::string* sink;
    std::string text;
    sink = &text;
    console::set_writer([](int, const void* data, size_t size) -> ssize_t {
        sink->append(static_cast<const char*>(data), size);
        return ssize_t(size);
    });
    struct PutBack {
        ~PutBack() { console::set_writer(nullptr); }
    } put_back;
    body();
    return text;
}

}  // namespace kel::test
