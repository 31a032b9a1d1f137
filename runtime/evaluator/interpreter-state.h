// The interpreter's own state, shared by its modules (evaluation, calls,
// paths, the control natives and the tracer) and marked by its root step.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/context.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/memory/memory.h"

namespace kel::interpreter {

struct State {
    // The block being evaluated, its head index at the current expression:
    // an error's Near comes from it.
    Cell current_block{};
    // The value of a break/return in flight (unset for the others).
    Cell exit_value{};
    // The value and name of a throw in flight (name unset without /name).
    Cell thrown_value{};
    Cell thrown_name{};
    // The tracer function (unset when none) and the events it wants.
    Cell tracer{};
    uint32_t trace_mask = 0;
    int32_t tracer_locals = 0;
    // Events are being sent now / a traced evaluation is under way.
    bool tracing = false;
    bool trace = false;
    // The mark of frames opened by interpreted code: FRAME_INTERP, and 0
    // while library code runs (the body of a library function, the boot
    // library's own statements), so that `interpreted?` finds a frame of a
    // script's code.
    uint32_t interp_frame = stack::FRAME_INTERP;
    // While library code runs: whether the script code that called it was
    // being traced. A block of the caller's that the library evaluates
    // (library-code.h) is traced as that code was; `tracing?` answers it
    // inside the library.
    bool script_tracing = false;
};
extern State state;

// While it lives, the frames that code opens carry `mark` (FRAME_INTERP: a
// script's code; 0: library code); the mark before comes back on every
// road.
class FramesMarked {
public:
    explicit FramesMarked(uint32_t mark) : saved_(state.interp_frame) { state.interp_frame = mark; }
    ~FramesMarked() { state.interp_frame = saved_; }
    FramesMarked(const FramesMarked&) = delete;
    FramesMarked& operator=(const FramesMarked&) = delete;

private:
    uint32_t saved_;
};

// A position's cell and the code's tail, read through the node now.
inline Cell* code_at(NodeId node, int32_t index) { return memory::buffer_of(node)->cells() + index; }
inline int32_t code_tail(NodeId node) { return int32_t(memory::buffer_of(node)->cell_count()); }

// stack::push inlined for the evaluator's hot paths: the same limit check
// and overflow error, without the call.
inline Cell* push_value(const Cell& value) {
    if (stack::state.top >= stack::state.limit) [[unlikely]]
        stack::raise_overflow();
    Cell* c = stack::state.top++;
    *c = value;
    return c;
}

// The slot of a bound word when its context has values now, else null;
// raises nothing (the infix look-ahead asks every word after a value).
inline const Cell* peek(const Cell& w) {
    NodeId ctx = w.data1;
    int32_t index = int32_t(w.data3);
    if (!ctx || index < 0) return nullptr;
    const Cell* c = context::cell_of(ctx);
    if (!c->data2) return nullptr;
    if (c->header & context::VALUES_ON_STACK) return stack::state.bottom + (c->data2 - 1) + index;
    return memory::buffer_of(c->data2)->cells() + index;
}

// interpreter::eval_expression in its two instances (eval.cpp): without
// trace events and with them. The evaluator's own loops choose inline.
template <bool Traced>
[[nodiscard]] uint32_t expression(const Cell& code, int32_t& i, bool no_infix, bool passive);
extern template uint32_t expression<false>(const Cell&, int32_t&, bool, bool);
extern template uint32_t expression<true>(const Cell&, int32_t&, bool, bool);
[[nodiscard]] inline uint32_t next_expression(const Cell& code, int32_t& i, bool no_infix, bool passive) {
    if (state.tracing) [[unlikely]]
        return expression<true>(code, i, no_infix, passive);
    return expression<false>(code, i, no_infix, passive);
}

// Types whose values evaluate to themselves (the expression's default
// case): no word, path, paren, callable, op! or issue!.
inline constexpr uint64_t INERT_TYPES =
    ~((1ull << TYPE_WORD) | (1ull << TYPE_SET_WORD) | (1ull << TYPE_GET_WORD) | (1ull << TYPE_LIT_WORD) |
      (1ull << TYPE_PAREN) | (1ull << TYPE_PATH) | (1ull << TYPE_SET_PATH) | (1ull << TYPE_GET_PATH) |
      (1ull << TYPE_LIT_PATH) | (1ull << TYPE_NATIVE) | (1ull << TYPE_ACTION) | (1ull << TYPE_FUNCTION) |
      (1ull << TYPE_ROUTINE) | (1ull << TYPE_OP) | (1ull << TYPE_ISSUE) | 1ull);

// A block evaluation (interpreter::eval); `system` bodies leave the
// current-block cell alone and send no trace events. Its two instances
// (eval.cpp): the untraced one is chosen when no traced evaluation is under
// way as the block starts (it tests no event sites).
template <bool Traced>
[[nodiscard]] uint32_t block(const Cell& block, bool set, bool system);
extern template uint32_t block<false>(const Cell&, bool, bool);
extern template uint32_t block<true>(const Cell&, bool, bool);
[[nodiscard]] inline uint32_t eval_block(const Cell& code, bool set, bool system) {
    if (state.tracing && !system) [[unlikely]]
        return block<true>(code, set, system);
    return block<false>(code, set, system);
}

// The plain call of a callee met through a word in the code, untraced: no
// path, not infix. The arguments before the spec's first refinement are
// fetched in one straight loop (every refinement is unused: a function gets
// false and none cells for them) and a native is called from the table
// directly; a callee without its arity cache yet goes through eval_call.
[[nodiscard]] uint32_t call_plain(const Cell& fn, const Cell& code, int32_t& index, const Cell& name);

// With the callee's frame open: pushes the values as its arguments in
// order (none for missing ones, each checked against its type), every
// refinement off, the locals, and runs it.
// With `checked` false the values are pushed as they are, unchecked against
// the spec's types: the runtime's change handlers are called that way (a
// field new in a derived object reports an unset old value).
[[nodiscard]] uint32_t call_with_values(const Cell& fn, const Cell* values, int32_t count, int32_t* refinements,
                                        bool checked = true);

// Runs the callee whose frame is open and whose arguments (and, for a
// function! or routine!, refinement cells and locals) are pushed; natives
// and actions get the refinements. Answers the callee's status.
[[nodiscard]] uint32_t run_callee(const Cell& fn, const int32_t* refinements);

// Calls an op's function with its two operands already on the stack (the
// left one at `left`, the right one after it): the result replaces the left
// operand.
[[nodiscard]] uint32_t call_operands(const Cell& fn, const Cell& name, Cell* left);

// The most refinements any native or action takes.
inline constexpr int MAX_REFINEMENTS = 16;

// The refinement integers of one call, every one unused (-1) until the
// fetch sets those of the callee's spec: a native or action may read more
// refinements than a spec made with `make action!` names.
struct Refinements {
    int32_t at[MAX_REFINEMENTS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    operator int32_t*() { return at; }
};
static_assert(MAX_REFINEMENTS == 16, "Refinements lists one -1 per refinement");

// function! header flag of library functions: their bodies send no trace
// events and leave the current-block cell alone.
inline constexpr uint32_t FLAG_SYSTEM = 0x800;

}  // namespace kel::interpreter
