// The two roads of break, continue, return and exit. Inside the evaluator
// they travel as statuses: every evaluating function answers 0 or the code
// (thrown::BREAK, CONTINUE, RETURN, EXIT) and its caller stops and passes
// it on. Across C++ that knows no statuses (a callback run for a sort, the
// lexer, parse or a change handler; an object's spec) they travel as an
// exception (`Thrown`) of the same code. Each boundary converts with one of
// these two helpers: `throw_status` where a status leaves Kel code for such
// C++, `catch_exits` where the exception comes back to code that answers
// statuses (a loop body, a function body, parse's caller).
#pragma once
#include <cstdint>

#include "runtime/core/system.h"

namespace kel::interpreter {

// The exits as bits of a mask.
inline constexpr uint32_t EXIT_BREAK = 1;
inline constexpr uint32_t EXIT_CONTINUE = 2;
inline constexpr uint32_t EXIT_RETURN = 4;
inline constexpr uint32_t EXIT_EXIT = 8;
inline constexpr uint32_t LOOP_EXITS = EXIT_BREAK | EXIT_CONTINUE;
inline constexpr uint32_t FUNCTION_EXITS = EXIT_RETURN | EXIT_EXIT;
inline constexpr uint32_t ALL_EXITS = LOOP_EXITS | FUNCTION_EXITS;

// The bit of a thrown code (0 for a code that is no exit).
inline constexpr uint32_t exit_bit(uint32_t code) {
    return code >= thrown::EXIT && code <= thrown::BREAK ? 1u << (thrown::BREAK - code) : 0;
}
static_assert(exit_bit(thrown::BREAK) == EXIT_BREAK && exit_bit(thrown::CONTINUE) == EXIT_CONTINUE &&
              exit_bit(thrown::RETURN) == EXIT_RETURN && exit_bit(thrown::EXIT) == EXIT_EXIT);

// A status on its way out of Kel code into C++ that knows no statuses:
// thrown on as the exception of its code (0 passes).
inline void throw_status(uint32_t status) {
    if (status) [[unlikely]]
        system_throw(status);
}

// Runs body (which answers a status) and answers its status; an exit of
// the mask that arrives as an exception is handled and answered as that
// status. Everything else passes.
template <class Body>
[[gnu::always_inline]] inline uint32_t catch_exits(uint32_t mask, Body&& body) {
    try {
        return body();
    } catch (const Thrown& t) {
        if (!(exit_bit(t.code) & mask)) throw;
        handled();
        return t.code;
    }
}

}  // namespace kel::interpreter
