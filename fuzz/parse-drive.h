// What the parse fuzz target does with one input, shared with the parse
// test program, which replays the committed corpus through it.
//
// The first byte picks the input (a string with one-, two- and four-byte
// characters, a binary!, or a block); every later byte picks a token of a
// small rule grammar: keywords, literals, a charset, counts, position words,
// nested blocks and a fixed set of harmless parens. The rule text is loaded
// by the lexer and run on a fresh copy of the input under a budget of
// state-machine steps (`while [none]` rightly never ends, and modifying rules
// inside searches rightly cost time quadratic in the steps, so the budget is
// small). Language errors are expected (a malformed rule is one); a crash, a
// hang, a sanitizer report or a non-local exit of another kind is a fault.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/none.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/parse/parser.h"
#include "tests/boot-library.h"

namespace kel::fuzz {

inline const char* const PARSE_TOKENS[] = {
    "skip",
    "any",
    "some",
    "opt",
    "while",
    "to",
    "thru",
    "ahead",
    "not",
    "into",
    "end",
    "none",
    "fail",
    "break",
    "reject",
    "|",
    "quote",
    "copy x",
    "set x",
    "collect",
    "collect into t",
    "collect after t",
    "collect set y",
    "keep",
    "keep pick",
    "insert",
    "insert only",
    "change",
    "change only",
    "remove",
    "if (true)",
    "if (none)",
    "case w",
    "to end",
    "thru end",
    "{a}",
    "{ab}",
    "{}",
    "#\"a\"",
    "#\"é\"",
    "#\"😀\"",
    "{€}",
    "#{61}",
    "#{C3A9}",
    "'a",
    "1",
    "2",
    "0",
    "3 5",
    "cs",
    "word!",
    "integer!",
    "(n: n + 1)",
    "(none)",
    "([1 2])",
    "p:",
    ":p",
    "<t>",
    "[",
    "]",
};
inline constexpr size_t PARSE_TOKEN_COUNT = sizeof PARSE_TOKENS / sizeof PARSE_TOKENS[0];

inline const char* const PARSE_INPUTS[] = {
    "{aab abc é€😀 12 <t> a}",
    "#{616162C3A9F09F988020313200}",
    "[a b 1 {x} [a 2] <t> #\"a\" [[a]]]",
};

// The rule text the bytes spell: tokens, with brackets kept balanced.
inline std::string parse_rules_of(const uint8_t* data, size_t size) {
    std::string rules = "[";
    int depth = 0;
    for (size_t i = 1; i < size && i < 200; ++i) {
        const char* t = PARSE_TOKENS[data[i] % PARSE_TOKEN_COUNT];
        if (t[0] == '[' && t[1] == 0) {
            if (depth >= 8) continue;
            ++depth;
        } else if (t[0] == ']' && t[1] == 0) {
            if (depth == 0) continue;
            --depth;
        }
        rules += ' ';
        rules += t;
    }
    while (depth-- > 0) rules += " ]";
    return rules + "]";
}

// Runs one input; answers false when something other than a language error
// left the parse.
inline bool drive_parse(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    test::boot_library();
    std::string text = std::string("x: y: none n: 0 w: true t: copy [] cs: make bitset! {ab€} input: copy ") +
        PARSE_INPUTS[data[0] % 3] + " rules: " + parse_rules_of(data, size);
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    int64_t old_budget = parser::set_step_budget(4000);
    uint32_t code = protect(catch_level::ROOT, [&] {
        Cell* code_block = stack::push(make_none());
        lexer::scan(code_block, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::Options{});
        if (interpreter::eval(*code_block, false)) system_throw(thrown::BREAK);
        parser::Request request;
        request.input = test::global_value("input");
        request.rules = test::global_value("rules");
        request.case_sensitive = data[0] & 4;
        Cell* out = stack::push(make_none());
        parser::process(out, request);
    });
    parser::set_step_budget(old_budget);
    stack::state.top = top;
    stack::state.arguments = arguments;
    if (code) handled();
    return code == 0 || code == thrown::ERROR;
}

}  // namespace kel::fuzz
