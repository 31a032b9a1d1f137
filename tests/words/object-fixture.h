// Shared by the object and error tests: specs are evaluated by the
// interpreter; change-handler calls are recorded instead of run.
#pragma once
#include <string>
#include <vector>

#include "runtime/datatypes/object.h"
#include "tests/words/words-fixture.h"

namespace kel::test {

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

// A get-word of a new global word holding the value: a function put in a
// spec this way is assigned, not called.
inline Cell quoted(const Cell& value) {
    static int count = 0;
    std::string name = "quoted-" + std::to_string(++count);
    Cell w = global_word(name.c_str());
    context::set(w, value);
    w.header = TYPE_GET_WORD;
    return w;
}

// make object! (or make proto) from the cells, kept on the argument stack.
inline Cell make_object(std::initializer_list<Cell> spec, const Cell* proto = nullptr) {
    Cell* s = block_of(spec);
    Cell p = proto ? *proto : datatype::make(TYPE_OBJECT);
    Cell out = make_none();
    actions::make(&out, &p, s);
    return *stack::push(out);
}

}  // namespace kel::test
