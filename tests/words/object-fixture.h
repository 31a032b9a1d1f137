// Shared by the object and error tests: a stand-in for the evaluator that
// performs only `set-word: literal` assignments (chained set-words take the
// same value; a lit-word gives its word, a lit-path its path), removed when
// the evaluator arrives; and a recorder of change-handler calls.
#pragma once
#include <vector>

#include "runtime/datatypes/object.h"
#include "tests/words/words-fixture.h"

namespace kel::test {

inline void stand_in_evaluate(const Cell& block_cell) {
    Cell blk = block_cell;
    Rooted keep(blk);
    int32_t length = block::ks_length(blk);
    auto at = [&](int32_t i) { return block::ks_abs_at(blk, int32_t(blk.data1) + i)[0]; };
    for (int32_t i = 0; i < length; ++i) {
        if (type_of(at(i)) != TYPE_SET_WORD) continue;
        int32_t k = i;
        while (k < length && type_of(at(k)) == TYPE_SET_WORD) ++k;
        if (k >= length) break;
        Cell value = at(k);
        if (type_of(value) == TYPE_LIT_WORD) set_type(value, TYPE_WORD);
        if (type_of(value) == TYPE_LIT_PATH) set_type(value, TYPE_PATH);
        Rooted keep_value(value);
        for (int32_t s = i; s < k; ++s) {
            Cell w = at(s);
            context::set(w, value);
        }
        i = k;
    }
}

struct HandlerCall {
    Cell handler;
    std::vector<Cell> args;
    int32_t locals;
    uint32_t tracing;
};

inline std::vector<HandlerCall>& handler_calls() {
    static std::vector<HandlerCall> calls;
    return calls;
}

inline void record_handler_call(const Cell& handler, const Cell* args, int count, int32_t locals, uint32_t tracing) {
    handler_calls().push_back({handler, std::vector<Cell>(args, args + count), locals, tracing});
}

struct Objects : Words {
    object::EvaluatorServices saved;
    void SetUp() override {
        Words::SetUp();
        saved = object::evaluator_services();
        object::evaluator_services().evaluate = stand_in_evaluate;
        object::evaluator_services().call_handler = record_handler_call;
        handler_calls().clear();
    }
    void TearDown() override {
        object::evaluator_services() = saved;
        Words::TearDown();
    }
};

inline Cell yes() { return Cell{TYPE_LOGIC, 1, 0, 0}; }
inline Cell no() { return Cell{TYPE_LOGIC, 0, 0, 0}; }
inline Cell sw(const char* name) { return global_word(name, TYPE_SET_WORD); }
inline Cell lw(const char* name) { return global_word(name, TYPE_LIT_WORD); }

// make object! (or make proto) from the cells, kept on the argument stack.
inline Cell make_object(std::initializer_list<Cell> spec, const Cell* proto = nullptr) {
    Cell* s = block_of(spec);
    Cell p = proto ? *proto : datatype::make(TYPE_OBJECT);
    Cell out = make_none();
    actions::make(&out, &p, s);
    return *stack::push(out);
}

}  // namespace kel::test
