// One call's place on both stacks, the same for every call the runtime
// makes (from code, from a path, as an operator, through apply, or as a
// callback of C++ code): the callee's result slot, then its call frame,
// whose first cell receives the callee's result. When the call succeeds the
// result moves into the slot, which becomes the caller's last value; on any
// other road (a status or an exception) the frame guard drops the frame
// and the cells above the slot.
//
// The frame's kind follows the callee: a function! opens a function frame
// with its context (whose values index the frame saves and puts back); any
// other callee (native, action, routine, an op's callee) a native frame.
// Who opens the frame decides its interpreted mark: a call the evaluator
// makes for the code it runs carries state.interp_frame (FRAME_INTERP while
// a script's code runs, 0 inside library code); a callback that runtime C++
// makes (call_function: sort comparators, change handlers, the tracer; the
// lexer callback) carries none, since no interpreted code opened it, so
// `do`, `try` and `interpreted?` (stack::eval_below) do not count it.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"

namespace kel::interpreter {

// Who opens a call frame: the evaluator for the code it runs, or runtime
// C++ calling back into Kel.
enum class Opener : uint8_t { CODE, RUNTIME };

// The kind and flags of the frame a call of a callee of the type opens.
[[gnu::always_inline]] inline uint32_t call_frame_kind(uint32_t type, Opener opener) {
    uint32_t kind = type == TYPE_FUNCTION ? stack::KIND_FUNCTION : stack::KIND_NATIVE;
    return opener == Opener::CODE ? kind | state.interp_frame : kind;
}

// The function context a call of fn (of the type) saves and puts back (0:
// none).
[[gnu::always_inline]] inline NodeId call_frame_context(const Cell& fn, uint32_t type) {
    return type == TYPE_FUNCTION ? fn.data1 : 0;
}

class CalleeFrame {
public:
    // Pushes a copy of the callee as the result slot and opens its frame
    // above it. fn must not lie in a buffer the push may move (a copy).
    // `type` is fn's type, for a caller that knows it already.
    [[gnu::always_inline]] CalleeFrame(const Cell& fn, uint32_t type, const Cell& name, Opener opener)
        : slot_(push_value(fn)), frame_(name, call_frame_kind(type, opener), call_frame_context(fn, type)) {}
    [[gnu::always_inline]] CalleeFrame(const Cell& fn, const Cell& name, Opener opener)
        : CalleeFrame(fn, type_of(fn), name, opener) {}

    // An operator's call: the left operand at `left`, the stack's last
    // value, is the result slot and the frame's first argument.
    [[gnu::always_inline]] CalleeFrame(Cell* left, const Cell& fn, const Cell& name)
        : slot_(top_at(left)),
          frame_(name, call_frame_kind(type_of(fn), Opener::CODE), call_frame_context(fn, type_of(fn))) {
        stack::state.top = left + 1;
    }

    CalleeFrame(const CalleeFrame&) = delete;
    CalleeFrame& operator=(const CalleeFrame&) = delete;

    Cell* slot() const { return slot_; }

    // Closes the frame: the callee's result is the stack's last value.
    [[gnu::always_inline]] void close() { frame_.keep(); }
    // Moves the result of the closed frame into the slot, which becomes the
    // caller's last value.
    [[gnu::always_inline]] void settle() {
        *slot_ = *(stack::state.top - 1);
        stack::state.top = slot_ + 1;
    }
    [[gnu::always_inline]] void finish() {
        close();
        settle();
    }
    // Closes the frame and answers the result, dropping the slot too: the
    // stack is back where it stood before the call.
    [[gnu::always_inline]] Cell take() {
        close();
        Cell result = *(stack::state.top - 1);
        stack::state.top = slot_;
        return result;
    }

private:
    static Cell* top_at(Cell* left) {
        stack::state.top = left;
        return left;
    }

    Cell* slot_;
    stack::OpenFrame frame_;
};

}  // namespace kel::interpreter
