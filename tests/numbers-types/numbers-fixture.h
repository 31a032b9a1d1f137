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
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-text.h"
#include "runtime/numbers/random.h"
#include "runtime/text/unicode.h"
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
// A bare cell of another type (its payload is never read here).
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

// A new block! of the cells; keep it reachable (frame or Rooted).
inline Cell block_of(std::initializer_list<Cell> cells) {
    Cell blk;
    block::make_at(blk, int32_t(cells.size()));
    Rooted keep(blk);
    for (const Cell& c : cells) block::append_cell(blk, c);
    return blk;
}

// A word! of the name, bound in the global context.
inline Cell W(const char* name) { return word::make(symbol::make(name)); }

inline std::string error_text(int code) {
    ErrorId e = ErrorId(code);
    return std::string(error_categories[int(category_of(e))].word) + "/" + error_id_word(e);
}

// The text of a string of any unit, as UTF-8.
inline std::string utf8_of(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::string text;
    for (const uint8_t* p = b->head_ptr(); p < b->tail_ptr(); p += b->unit()) {
        uint8_t bytes[4];
        int32_t n = unicode::encode_utf8_char(string::get_char(p, b->unit()), bytes);
        text.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return text;
}

// "integer! 3", "float! 3.5", "percent! 50%", "time! 0:00:01.5".
inline std::string describe(const Cell& value) {
    Cell out = new_string();
    Rooted keep(out);
    actions::mold(value, out, MoldOptions{});
    return std::string(datatype::name(type_of(value))) + " " + utf8_of(out);
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

// A plain action of the left value's type on the frame [left, right].
template <int A>
std::string plain(Cell left, Cell right) {
    return outcome([&](Cell& result) {
        Frame frame{left, right};
        actions::slot_for<A>(type_of(left))();
        result = frame[0];
    });
}

inline std::string add(Cell a, Cell b) { return plain<ACTION_ADD>(a, b); }
inline std::string subtract(Cell a, Cell b) { return plain<ACTION_SUBTRACT>(a, b); }
inline std::string multiply(Cell a, Cell b) { return plain<ACTION_MULTIPLY>(a, b); }
inline std::string divide(Cell a, Cell b) { return plain<ACTION_DIVIDE>(a, b); }
inline std::string remainder(Cell a, Cell b) { return plain<ACTION_REMAINDER>(a, b); }
inline std::string power(Cell a, Cell b) { return plain<ACTION_POWER>(a, b); }

// An action of the (out, value) shape on a frame holding the value.
inline std::string unary(void (*action)(Cell*, Cell*), Cell value) {
    return outcome([&](Cell& result) {
        Frame frame{value};
        action(&frame[0], &frame[0]);
        result = frame[0];
    });
}

inline std::string negate(Cell a) { return unary(actions::negate, a); }
inline std::string complement(Cell a) { return unary(actions::complement, a); }

inline std::string absolute(Cell a) { return plain<ACTION_ABSOLUTE>(a, none_value); }

// to / make <type> spec; the spec sits in a frame cell so that a string
// spec stays reachable.
inline std::string to(uint32_t type, Cell spec, bool make = false) {
    return outcome([&](Cell& result) {
        Frame frame{datatype::make(type), spec};
        if (make)
            actions::make(&frame[0], &frame[0], &frame[1]);
        else
            actions::to(&frame[0], &frame[0], &frame[1]);
        result = frame[0];
    });
}
inline std::string to_text(uint32_t type, const char* text, bool make = false) {
    return to(type, text_cell(text), make);
}

// parent/element read through eval-path.
inline std::string get_path(Cell parent, Cell element) {
    return outcome([&](Cell& result) {
        Frame frame{parent, element};
        actions::eval_path(&result, &frame[0], &frame[1], nullptr, PathStep{});
    });
}

// parent/element: value through eval-path: the answer; `parent` becomes the
// changed scalar when the set succeeds.
inline std::string set_path(Cell& parent, Cell element, Cell value, const PathStep& step = {}) {
    return outcome([&](Cell& result) {
        Frame frame{parent, element, value};
        actions::eval_path(&result, &frame[0], &frame[1], &frame[2], step);
        parent = frame[0];
    });
}

// pick value index, the index an integer! or a word.
inline std::string pick(Cell value, Cell index) {
    return outcome([&](Cell& result) {
        Frame frame{value, index};
        int32_t i = type_of(index) == TYPE_INTEGER ? cell_integer(index) : 0;
        actions::pick(&result, &frame[0], i, &frame[1]);
    });
}

// reverse with /part and /skip cells, none for a refinement not given.
inline std::string reverse(Cell value, Cell part = none_value, Cell skip = none_value) {
    return outcome([&](Cell& result) {
        Frame frame{value, part, skip};
        Cell* p = type_of(part) == TYPE_NONE ? nullptr : &frame[1];
        Cell* s = type_of(skip) == TYPE_NONE ? nullptr : &frame[2];
        actions::reverse(&frame[0], &frame[0], p, s);
        result = frame[0];
    });
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
        actions::slot_for<ACTION_ROUND>(type_of(value))(&frame[0], &frame[0], options);
        result = frame[0];
    });
}
inline std::string round_to(Cell value, Cell scale, RoundOptions options = {}) {
    return outcome([&](Cell& result) {
        Frame frame{value, scale};
        options.scale = &frame[1];
        actions::slot_for<ACTION_ROUND>(type_of(value))(&frame[0], &frame[0], options);
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

// Stands in for the lexer's loader of whole values while it lives: every
// text loads as `loaded` (none: the text is no single value).
struct ScriptedLoader {
    static inline Cell loaded = none_value;
    ScriptedLoader() : previous(value_from_text::install(load)) {}
    ~ScriptedLoader() { value_from_text::install(previous); }
    static void load(Cell* out, const Cell&) { *out = loaded; }
    value_from_text::Loader previous;
};

struct NumbersTest : ::testing::Test {
    static void SetUpTestSuite() { start_runtime(); }
};

}  // namespace kel::test
