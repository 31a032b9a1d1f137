// Shared by the number type tests: cells of every number type, plain and
// typed actions run on an argument frame, and each result described as the
// language shows it: "<datatype> <mold>", or "<category>/<id>" for an error.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/core/error-ids.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-text.h"
#include "runtime/numbers/random.h"
#include "tests/datatypes/datatype-fixture.h"
#include "tests/support.h"

namespace kel::test {

inline Cell I(int32_t n) { return make_integer(n); }
inline Cell F(double d) { return float_::make_cell(d); }
inline Cell P(double d) { return float_::make_cell(d, TYPE_PERCENT); }
inline Cell T(double seconds) { return float_::make_cell(seconds, TYPE_TIME); }
inline Cell C(uint32_t code_point) { return Cell{TYPE_CHAR, 0, code_point, 0}; }
// An issue! laid out as words are: word 2 the symbol, word 3 index -1.
inline Cell issue(const char* spelling) { return Cell{TYPE_ISSUE, 0, uint32_t(symbol::make(spelling)), ~0u}; }
// A cell of a type that has no module yet (its payload is never read here).
inline Cell other(uint32_t type) { return Cell{type, 0, 0, 0}; }

inline const double NaN = std::nan("");
inline const double INF = HUGE_VAL;

// A new string! holding the ASCII text; keep it reachable (frame or Rooted).
inline Cell text_cell(const char* text, uint32_t type = TYPE_STRING) {
    Cell s{type, 0, memory::alloc_codepoints(std::strlen(text) + 1, 1), 0};
    Rooted keep(s);
    string::append_c_string(s, text);
    return s;
}

inline std::string error_text(int code) {
    ErrorId e = ErrorId(code);
    return std::string(error_categories[int(category_of(e))].word) + "/" + error_id_word(e);
}

// "integer! 3", "float! 3.5", "percent! 50%"; a time! (no module yet) shows
// its seconds as the shortest double text.
inline std::string describe(const Cell& value) {
    uint32_t type = type_of(value);
    std::string name = datatype::name(type)   ? datatype::name(type)
                       : type == TYPE_TIME ? "time!"
                                           : "type-" + std::to_string(type);
    if (!datatype::slot(type, ACTION_MOLD)) return name + " " + dtoa::float_to_string(cell_double(value), 0, true);
    Cell out = new_string();
    Rooted keep(out);
    actions::mold(value, out, MoldOptions{});
    return name + " " + text_of(out);
}

// Runs body, which leaves its answer in `result`: the description of the
// answer, or of the error raised.
template <class Body>
std::string outcome(Body&& body) {
    Cell result = none_value;
    Rooted keep(result);
    int error = error_of([&] { body(result); });
    return error >= 0 ? error_text(error) : describe(result);
}

// The type whose slots act for a value: its own, or, for a time! before its
// module exists, float!'s, through which time! routes its arithmetic and
// rounding.
inline uint32_t acting_type(const Cell& value) {
    uint32_t type = type_of(value);
    return type == TYPE_TIME && !datatype::slot(type, ACTION_ADD) ? TYPE_FLOAT : type;
}

// A plain action of the left value's type on the frame [left, right].
template <int A>
std::string plain(Cell left, Cell right) {
    return outcome([&](Cell& result) {
        Frame frame{left, right};
        actions::slot_for<A>(acting_type(left))();
        result = frame[0];
    });
}

inline std::string add(Cell a, Cell b) { return plain<ACTION_ADD>(a, b); }
inline std::string subtract(Cell a, Cell b) { return plain<ACTION_SUBTRACT>(a, b); }
inline std::string multiply(Cell a, Cell b) { return plain<ACTION_MULTIPLY>(a, b); }
inline std::string divide(Cell a, Cell b) { return plain<ACTION_DIVIDE>(a, b); }
inline std::string remainder(Cell a, Cell b) { return plain<ACTION_REMAINDER>(a, b); }
inline std::string power(Cell a, Cell b) { return plain<ACTION_POWER>(a, b); }

inline std::string negate(Cell a) {
    return outcome([&](Cell& result) {
        Frame frame{a};
        actions::negate(&frame[0], &frame[0]);
        result = frame[0];
    });
}

inline std::string absolute(Cell a) { return plain<ACTION_ABSOLUTE>(a, none_value); }

// to / make <type> spec; the spec sits in a frame cell so that a string
// spec stays reachable.
inline std::string to(uint32_t type, Cell spec, bool make = false) {
    return outcome([&](Cell& result) {
        Frame frame{datatype::make(type), spec};
        if (make) actions::make(&frame[0], &frame[0], &frame[1]);
        else actions::to(&frame[0], &frame[0], &frame[1]);
        result = frame[0];
    });
}
inline std::string to_text(uint32_t type, const char* text, bool make = false) {
    return to(type, text_cell(text), make);
}

// Options with one rounding rule set: rule(&RoundOptions::even).
inline RoundOptions rule(bool RoundOptions::*flag) {
    RoundOptions o;
    o.*flag = true;
    return o;
}

inline const RoundOptions ROUND_EVEN = rule(&RoundOptions::even);
inline const RoundOptions ROUND_DOWN = rule(&RoundOptions::down);
inline const RoundOptions ROUND_HALF_DOWN = rule(&RoundOptions::half_down);
inline const RoundOptions ROUND_FLOOR = rule(&RoundOptions::floor);
inline const RoundOptions ROUND_CEILING = rule(&RoundOptions::ceiling);
inline const RoundOptions ROUND_HALF_CEILING = rule(&RoundOptions::half_ceiling);

inline std::string round(Cell value, RoundOptions options = {}) {
    return outcome([&](Cell& result) {
        Frame frame{value};
        actions::slot_for<ACTION_ROUND>(acting_type(value))(&frame[0], &frame[0], options);
        result = frame[0];
    });
}
inline std::string round_to(Cell value, Cell scale, RoundOptions options = {}) {
    return outcome([&](Cell& result) {
        Frame frame{value, scale};
        options.scale = &frame[1];
        actions::slot_for<ACTION_ROUND>(acting_type(value))(&frame[0], &frame[0], options);
        result = frame[0];
    });
}

// The form text of a value.
inline std::string form(const Cell& value) {
    Cell out = new_string();
    Rooted keep(out);
    int64_t rest = actions::form(value, out, false, 1000);
    std::string text = text_of(out);
    EXPECT_EQ(1000 - rest, int64_t(text.size())) << text;
    return text;
}

// A binary! of the bytes.
inline Cell binary(std::initializer_list<uint8_t> bytes) {
    Cell b{TYPE_BINARY, 0, memory::alloc_bytes(bytes.size() + 1), 0};
    SeriesBuffer* buf = memory::buffer_of(cell_node(b));
    for (uint8_t byte : bytes) buf->data()[buf->tail++] = byte;
    return b;
}

// A random source that replays scripted draws (cyclically) and records its
// seed; installed for the life of the guard.
struct ScriptedDraws {
    static inline std::vector<int32_t> draws;
    static inline size_t next_index = 0;
    static inline int32_t seeded = 0;
    static void seed(int32_t s) { seeded = s; }
    static int32_t next(bool) { return draws[next_index++ % draws.size()]; }

    random::Source saved = random::source();
    explicit ScriptedDraws(std::initializer_list<int32_t> values) {
        draws = values;
        next_index = 0;
        random::source().seed = seed;
        random::source().next = next;
    }
    ~ScriptedDraws() { random::source() = saved; }
    void replay(std::initializer_list<int32_t> values) {
        draws = values;
        next_index = 0;
    }
};

struct NumbersTest : ::testing::Test {
    static void SetUpTestSuite() { start_runtime(); }
};

}  // namespace kel::test
