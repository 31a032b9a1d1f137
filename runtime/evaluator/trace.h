// Trace events: what the interpreter reports to a tracer function while a
// traced evaluation runs. Every event site tests `state.tracing` first, so
// with tracing off an event costs one predictable branch.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::interpreter::trace {

enum Event : uint32_t {
    INIT = 1,
    END = 2,
    PROLOG = 4,
    EPILOG = 8,
    ENTER = 16,
    EXIT = 32,
    OPEN = 64,
    RETURN = 128,
    FETCH = 256,
    PUSH = 512,
    SET = 1024,
    CALL = 2048,
    ERROR = 4096,
    THROW = 8192,
    CATCH = 16384,
    EXPR = 32768,
};
inline constexpr uint32_t ALL_EVENTS = 0x1FFFF;

// The events a tracer wants: the words of the block that opens its body,
// or every event when its body opens with anything else.
uint32_t mask_of(const Cell& tracer);
// Starts a traced evaluation with the tracer (a function! or routine!) and
// sends init; does nothing while one is under way.
void install(const Cell& tracer);
// Sends end and stops tracing.
void finish();

// Sends one event to the tracer when its mask holds it. code is the code
// block (null: none), index the position in it (-1: none), reference and
// value may be null.
void event(uint32_t bit, const Cell* code, int32_t index, const Cell* reference, const Cell* value);

}  // namespace kel::interpreter::trace
