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

namespace kel::test {

// The type words and typesets that the natives' specs name and that no
// module registered yet, as the boot library will define them.
inline void install_native_types() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    const std::pair<const char*, uint32_t> types[] = {
        {"date!", TYPE_DATE}, {"money!", TYPE_MONEY}, {"map!", TYPE_MAP},     {"hash!", TYPE_HASH},
        {"file!", TYPE_FILE}, {"url!", TYPE_URL},     {"tag!", TYPE_TAG},     {"email!", TYPE_EMAIL},
        {"ref!", TYPE_REF},   {"vector!", TYPE_VECTOR}, {"image!", TYPE_IMAGE},
    };
    for (const auto& t : types)
        if (!datatype::word(t.second)) set_global(t.first, datatype::make(t.second));
    auto set_of = [](const char* name, std::initializer_list<uint32_t> ids) {
        Cell ts = typeset::make_empty();
        for (uint32_t id : ids) typeset::set_bit(ts, id);
        set_global(name, ts);
    };
    set_of("number!", {TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT});
    set_of("scalar!", {TYPE_CHAR, TYPE_INTEGER, TYPE_FLOAT, TYPE_PAIR, TYPE_PERCENT, TYPE_TUPLE, TYPE_TIME,
                       TYPE_DATE, TYPE_MONEY, TYPE_POINT2D, TYPE_POINT3D});
    set_of("any-string!", {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF});
    set_of("any-word!", {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE});
    set_of("any-list!", {TYPE_BLOCK, TYPE_PAREN, TYPE_HASH});
    set_of("any-path!", {TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH});
    set_of("any-point!", {TYPE_POINT2D, TYPE_POINT3D});
    set_of("series!", {TYPE_BLOCK, TYPE_PAREN, TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH, TYPE_HASH,
                       TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF, TYPE_BINARY, TYPE_VECTOR,
                       TYPE_IMAGE});
    Cell* saved = stack::state.top;
    const char* actions[][3] = {
        {"complement", "value [any-type!]", nullptr},
        {"copy", "value [any-type!] /part length [any-type!] /deep /types kind [any-type!]", nullptr},
        {"next", "series [any-type!]", nullptr},
        {"head", "series [any-type!]", nullptr},
        {"tail", "series [any-type!]", nullptr},
        {"mold", "value [any-type!] /only /all /flat /part limit [integer!]", nullptr},
        {"to", "type [any-type!] spec [any-type!]", nullptr},
        {"find", "series [any-type!] value [any-type!]", nullptr},
    };
    const int32_t indexes[] = {ACTION_COMPLEMENT, ACTION_COPY, ACTION_NEXT, ACTION_HEAD,
                               ACTION_TAIL,       ACTION_MOLD, ACTION_TO,   ACTION_FIND};
    for (size_t i = 0; i < std::size(indexes); ++i) make_callable(actions[i][0], TYPE_ACTION, indexes[i], actions[i][1]);
    stack::state.top = saved;
}

struct Natives : Evaluator {
    void SetUp() override {
        Evaluator::SetUp();
        install_native_types();
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
