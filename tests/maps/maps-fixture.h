// Shared by the map!, hash! and vector! tests: the evaluator's fixture on the
// boot library, Kel text loaded by the lexer (words bound to the global
// context) and evaluated, values molded and formed into text, and the errors
// code raises.
#pragma once
#include <string>

#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/map.h"
#include "runtime/hashing/hashtable.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {

// Adds every word symbol of the block (at any depth, map bodies included)
// to the global context, so that binding finds them all.
inline void add_words(const Cell& blk) {
    for (uint64_t i = 0; i < memory::buffer_of(cell_node(blk))->cell_count(); ++i) {
        Cell c = memory::buffer_of(cell_node(blk))->cells()[i];
        uint32_t t = type_of(c);
        if (t >= TYPE_WORD && t <= TYPE_GET_WORD)
            context::add_global(int32_t(c.data2), true, true);
        else if (t == TYPE_BLOCK || t == TYPE_PAREN || (t >= TYPE_PATH && t <= TYPE_GET_PATH) || t == TYPE_MAP)
            add_words(Cell{TYPE_BLOCK, 0, cell_node(c), 0});
    }
}

// The values of the text, loaded by the lexer and bound to the global
// context, in a block on the argument stack.
inline Cell* load_kel(const std::string& text) {
    Cell* b = load(text.c_str());
    add_words(*b);
    context::bind(*b, context::global(), false);
    return b;
}

// The first value of the text, on the argument stack.
inline Cell* value_of(const std::string& text) {
    Cell* b = load_kel(text);
    return stack::push(block::buffer(*b)->cells()[0]);
}

// Evaluates the text (loaded by the lexer) and answers its value; an error
// fails the test.
inline Cell eval_kel(const std::string& text) {
    Cell* code = load_kel(text);
    Cell result = make_unset();
    Cell* top = stack::state.top;
    uint32_t thrown_code = protect(catch_level::ERRORS, [&] {
        uint32_t s = interpreter::eval(*code, false);
        if (!s) result = *(stack::state.top - 1);
    });
    if (thrown_code) {
        handled();
        ADD_FAILURE() << text << ": error " << int(error_in_flight().id);
        stack::state.top = top;
    }
    stack::push(result);  // kept reachable for the caller
    return result;
}

// The id of the error the text raises (-1 for none); with `arg`, the
// error's first argument.
inline int fails_kel(const std::string& text, Cell* arg = nullptr) {
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    return error_of(
        [text] {
            Cell* code = load_kel(text);
            (void)interpreter::eval(*code, false);
        },
        arg);
}

inline std::string mold_text(const Cell& v, MoldOptions options = {}) {
    Cell* t = stack::push(Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0});
    actions::mold(v, *t, options);
    return text_of(*t);
}
inline std::string form_text(const Cell& v) {
    Cell* t = stack::push(Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0});
    actions::form(v, *t, false, INT32_MAX);
    return text_of(*t);
}

// The molded value of the text's evaluation.
inline std::string eval_mold(const std::string& text) { return mold_text(eval_kel(text)); }

using Collections = Evaluator;

}  // namespace kel::test
