// Shared by the word, context and object tests: a started runtime whose
// argument stack is given back after each test, words made by name, values
// formed and molded into text, and the errors they raise.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>

#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"
#include "tests/process.h"
#include "tests/support.h"

namespace kel::test {

struct Words : ::testing::Test {
    Cell* saved_top = nullptr;
    void SetUp() override {
        test::boot();
        saved_top = stack::state.top;
    }
    void TearDown() override { stack::state.top = saved_top; }
};

inline int32_t sym(const char* name) { return symbol::make(name); }

// A global word of the type (word! bound to the global context, retyped).
inline Cell global_word(const char* name, uint32_t type = TYPE_WORD) {
    Cell w = word::make(sym(name));
    w.header = type;
    return w;
}

// The UTF-8 text of a string from its head.
inline std::string text_of(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::string out;
    uint32_t unit = b->unit();
    for (uint64_t i = int32_t(s.data1); i < b->used() / unit; ++i) {
        uint32_t cp = unicode::get_unit(b->head_ptr(), unit, i);
        uint8_t bytes[4];
        int n = unicode::encode_utf8_char(cp, bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return out;
}

// A new empty string on the argument stack.
inline Cell* new_buffer() {
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, 16);
    return s;
}

inline std::string formed(const Cell& value, int64_t* left = nullptr, int64_t limit = INT32_MAX) {
    Cell v = value;
    Rooted keep(v);
    Cell* b = new_buffer();
    int64_t l = actions::form(v, *b, limit != INT32_MAX, limit);
    if (left) *left = l;
    return text_of(*b);
}

inline std::string molded(const Cell& value, MoldOptions options = {}, int64_t* left = nullptr) {
    Cell v = value;
    Rooted keep(v);
    Cell* b = new_buffer();
    int64_t l = actions::mold(v, *b, options);
    if (left) *left = l;
    return text_of(*b);
}

// The error a body raises (its id, or -1), with the argument stack given
// back as it was.
template <class Body>
int raised(Body&& body) {
    Restore<Cell*> top(stack::state.top);
    return error_of(body);
}

// A new block on the argument stack holding the cells.
inline Cell* block_of(std::initializer_list<Cell> cells) {
    Cell* b = stack::push(make_none());
    block::make_at(*b, int32_t(cells.size()));
    b->header = TYPE_BLOCK;
    for (const Cell& c : cells) block::append_cell(*b, c);
    return b;
}

inline Cell flt(double d) {
    Cell c{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(c, d);
    return c;
}

// make (or to, with `to`) of the type from the spec; the answer stays on the
// argument stack.
inline Cell made(uint32_t type, const Cell& spec, bool to = false) {
    Cell proto = datatype::make(type);
    Cell s = spec;
    Rooted keep(s);
    Cell out = make_none();
    if (to)
        actions::to(&out, &proto, &s);
    else
        actions::make(&out, &proto, &s);
    return *stack::push(out);
}

// tests/probes/words-probe run with a mode: its standard output and end.
inline ProcessResult run_words_probe(const char* mode) {
    Command c;
    c.argv = {program_path("words-probe"), mode};
    return run_process(c);
}

}  // namespace kel::test
