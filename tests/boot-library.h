// The environment a script finds, for the test programs, benchmarks and fuzz
// targets that run Kel code: a started runtime with the boot library built
// once per process by `boot::build()` (the type, native and action words, the
// embedded library and its insulation), as the kel executable builds it
// before it launches; global words read and set by name; and Kel text
// loaded by the lexer, as `load` reads it. Free of GoogleTest, so that
// benchmarks and fuzz targets include it too.
//
// KEL_GC_STRESS collects at every allocation only once the library is built,
// as in kel (KEL_GC_STRESS=boot checks the build itself under stress).
#pragma once
#include <cstdint>
#include <cstring>

#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/memory.h"

namespace kel::test {

inline void boot_library() {
    start_runtime();
    static bool built = false;
    if (built) return;
    built = true;
    bool stress = memory::state.stress;
    memory::state.stress = false;
    boot::build();
    memory::state.stress = stress;
}

// Sets the global word of that name (adding it when new).
inline void set_global(const char* name, const Cell& value) {
    Cell w = word::make(symbol::make(name));
    context::set(w, value);
}

inline Cell global_value(const char* name) { return *context::get(word::make(symbol::make(name))); }

// The text's values loaded by the lexer into a new block on the argument
// stack, where it stays reachable while the caller's frame holds it.
inline Cell* load(const char* text) {
    Cell* b = stack::push(make_none());
    lexer::scan(b, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    return b;
}

}  // namespace kel::test
