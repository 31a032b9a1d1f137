// Shared by the natives' tests: the evaluator's fixture on the boot library,
// code loaded by the lexer, and tables of cases that compare a program's
// molded value (or the error it raises) with the expected text.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/error-ids.h"
#include "runtime/io/lexer.h"
#include "runtime/platform/console.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {

using NativesTest = Evaluator;

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
        Cell* code_block = load(text);
        if (uint32_t s = interpreter::eval(*code_block, false)) {
            out = "status " + std::to_string(s);
            return;
        }
        Cell v = *(stack::state.top - 1);
        if (type_of(v) == TYPE_UNSET)
            out = "unset";
        else if (type_of(v) == TYPE_ERROR)
            out = "error value " + error_name(error::id_of(v));
        else
            out = molded(v);
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
