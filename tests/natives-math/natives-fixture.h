// Shared by the tests of the logic, set, math, conversion and system
// natives: Kel code read by the real lexer, evaluated, and its value molded
// into text (or the error word of what it raised), so that each table row is
// written as the program and what it must give.
#pragma once
#include <string>
#include <utility>

#include "runtime/core/error-ids.h"
#include "runtime/io/lexer.h"
#include "tests/evaluator/evaluator-fixture.h"
#include "tests/natives/natives-library.h"

namespace kel::test {

struct Natives : Evaluator {
    void SetUp() override {
        Evaluator::SetUp();
        install_natives_library();
    }
};

// The code's value molded, or "error <id>" for the error it raises.
inline std::string outcome(const char* code) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    std::string text;
    uint32_t thrown = protect(catch_level::ERRORS, [&] {
        Cell* block = stack::push(make_none());
        lexer::scan(block, reinterpret_cast<const uint8_t*>(code), int64_t(std::strlen(code)), lexer::Options{});
        uint32_t status = interpreter::eval(*block, false);
        if (status) {
            text = "status " + std::to_string(status);
            return;
        }
        text = molded(*(stack::state.top - 1));
    });
    if (thrown) {
        handled();
        if (thrown != thrown::ERROR) return "thrown " + std::to_string(thrown);
        return std::string("error ") + error_id_word(error_in_flight().id);
    }
    return text;
}

struct Row {
    const char* code;
    const char* expected;
};

inline void expect_rows(std::initializer_list<Row> rows) {
    for (const Row& r : rows) EXPECT_EQ(outcome(r.code), r.expected) << r.code;
}

}  // namespace kel::test
