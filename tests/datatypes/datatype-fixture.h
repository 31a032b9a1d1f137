// Shared by the datatype tests: a started runtime with the simple types
// registered, strings to form into, an argument frame to run plain actions
// in, and a way to run code that raises a language error.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "environment/start.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/core/fire.h"
#include "runtime/memory/memory.h"
#include "runtime/core/system.h"

namespace kel::test {

inline void boot_simple_types() {
    start_runtime();
    datatype::init();
    unset::init();
    none::init();
    logic::init();
}

// A new empty string! of one-byte units.
inline Cell new_string() { return Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0}; }

// The text of a string whose code points are all ASCII.
inline std::string text_of(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    EXPECT_EQ(b->unit(), 1u);
    return std::string(reinterpret_cast<const char*>(b->head_ptr()), b->used());
}

// Opens an argument frame at the stack top holding the given cells and
// closes it again when it goes out of scope.
class Frame {
public:
    explicit Frame(std::initializer_list<Cell> cells)
        : saved_arguments_(stack::state.arguments), saved_top_(stack::state.top) {
        stack::state.arguments = stack::state.top;
        for (const Cell& c : cells) stack::push(c);
    }
    ~Frame() {
        stack::state.arguments = saved_arguments_;
        stack::state.top = saved_top_;
    }
    Cell& operator[](int i) { return stack::state.arguments[i]; }

private:
    Cell* saved_arguments_;
    Cell* saved_top_;
};

// Runs body; answers the id of the language error it raised, or -1 when it
// raised none.
template <class Body>
int raised(Body&& body) {
    uint32_t code = protect(catch_level::ERRORS, body);
    if (code == 0) return -1;
    EXPECT_EQ(code, thrown::ERROR);
    handled();
    return int(pending_error.id);
}

inline int id(ErrorId e) { return int(e); }

}  // namespace kel::test
