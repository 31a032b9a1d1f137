// Shared by the datatype tests: a started runtime with the simple types
// registered and strings to form into (tests/support.h has the argument
// frame and errors caught as ids).
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "environment/boot/start.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/memory.h"
#include "tests/support.h"

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

// The first argument of an action's expect-arg error raised outside any
// call: the word of the action's name (the index for slot 8, which has none).
inline bool names_action(const Cell& c, int action) {
    const char* name = actions::action_name(action);
    if (!*name) return type_of(c) == TYPE_INTEGER && cell_integer(c) == action;
    return type_of(c) == TYPE_WORD && symbol::resolve(int32_t(c.data2)) == symbol::resolve(symbol::make(name));
}

}  // namespace kel::test
