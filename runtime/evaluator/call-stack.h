// The call stack: one record per active call, loop, try, catch and block
// evaluation, in a fixed array of 12,000 frames that never moves.
//
// A frame is six 32-bit fields: the symbol of the word that names it, its
// kind and flags, the caller's argument frame (an index from the argument
// stack's bottom), the naming word's context node, the called function's
// context node (0 for none) and that context's values index when the frame
// was opened. Nothing refers to a frame by address: an error's `stack` field
// and the searches below use frame indexes.
//
// Opening a frame starts a new argument frame at the argument stack's top.
// Every frame is closed by the `OpenFrame` guard that opened it, on every
// exit path: the guard's close forms keep, copy or drop the callee's result;
// when the guard dies with its frame still open (a status or an exception
// passed) it drops the frame and everything above it, writing each
// function frame's saved values index back into its context, and puts the
// argument stack back where it stood when the frame was opened.
//
// Both stacks raise internal/stack-overflow at their capacity minus a
// reserve. The reserve is opened only while that error is being made (the
// error path may push cells and open frames) and is closed again as the
// throw leaves `raise_overflow`.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-families.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/memory.h"

namespace kel::stack {

inline constexpr uint32_t FRAME_COUNT = 12000;
inline constexpr uint32_t FRAME_RESERVE = 100;
inline constexpr uint32_t CELL_RESERVE = 400;

// Frame kinds (low four bits of `kind`) and flags.
enum FrameKind : uint32_t {
    KIND_FUNCTION = 1,  // a function! call
    KIND_NATIVE = 2,  // a native, action, op or routine call; a body
    KIND_TRY = 4,  // try: errors stop here
    KIND_TRY_ALL = 5,  // try/all: nothing but errors passes it
    KIND_CATCH = 6,  // catch: thrown values stop here
    KIND_EVAL = 7,  // a block evaluated by the interpreter
    KIND_LOOP = 8,  // a loop: break and continue stop here
};
inline constexpr uint32_t FRAME_KIND_MASK = 0xF;
inline constexpr uint32_t FRAME_RETURN_TARGET = 0x10;  // return and exit stop here
inline constexpr uint32_t FRAME_INTERP = 0x80;  // opened by the interpreter

struct CallFrame {
    uint32_t symbol;
    uint32_t kind;
    uint32_t saved_arguments;
    NodeId word_context;
    NodeId function_context;
    uint32_t saved_values;
};

struct CallStack {
    CallFrame frames[FRAME_COUNT];
    uint32_t top = 0;  // next free frame
    uint32_t limit = FRAME_COUNT - FRAME_RESERVE;
    // The frame a `throw` recorded for the where-lookup of the error that
    // may follow; FRAME_COUNT when none.
    uint32_t saved_throw_frame = FRAME_COUNT;
    // The height when the last error was raised. The records up to it stay
    // marked by the root step: that error's Stack line and try/keep read
    // them after the throw has left them. (Every record below a raise's
    // height was a live frame then, and is either that frame or a newer
    // live one since.)
    uint32_t kept = 0;
};
extern CallStack calls;

inline uint32_t kind_of(const CallFrame& f) { return f.kind & FRAME_KIND_MASK; }
inline uint32_t index_of(const Cell* c) { return uint32_t(c - state.bottom); }

// Installs the call stack's root step and caches the names it skips.
void init_calls();

// Raises internal/stack-overflow with both reserves open while the error is
// made; they close again as the throw leaves.
[[noreturn]] void raise_overflow();

namespace detail {
// The spelling that names an unnamed frame (`<anon>`), set by init_calls.
extern uint32_t anon_symbol;
[[noreturn]] void frame_out_of_order();
}  // namespace detail

// Opens a frame named by `name` (a word of any type; another value names
// it `<anon>`): the caller's argument frame is saved, a new one starts at
// the top. With a function context its values index is saved too.
inline uint32_t open_frame(const Cell& name, uint32_t kind, NodeId function_context = 0) {
    uint32_t i = calls.top;
    if (i >= calls.limit) [[unlikely]]
        raise_overflow();
    CallFrame& f = calls.frames[i];
    uint32_t t = type_of(name);
    if (type_families::is_all_word(t)) [[likely]] {
        f.symbol = name.data2;
        f.word_context = name.data1;
    } else {
        f.symbol = detail::anon_symbol;
        f.word_context = 0;
    }
    f.kind = kind;
    f.saved_arguments = index_of(state.arguments);
    f.function_context = function_context;
    // A context's first cell sits at the start of its data (context.h).
    f.saved_values = function_context ? reinterpret_cast<Cell*>(memory::buffer_of(function_context)->data())->data2 : 0;
    calls.top = i + 1;
    state.arguments = state.top;
    return i;
}

// Drops every frame from `index` up: each function frame's context gets its
// saved values index back; the argument stack returns to where it stood
// when frame `index` was opened (its callee's cells dropped).
void drop_frames(uint32_t index);

// Pops the top frame `index` (a broken order is an internal fault), writes
// its function context back and answers the callee's first cell.
inline Cell* pop_frame(uint32_t index) {
    if (calls.top != index + 1) [[unlikely]]
        detail::frame_out_of_order();
    const CallFrame& f = calls.frames[index];
    if (f.function_context)
        reinterpret_cast<Cell*>(memory::buffer_of(f.function_context)->data())->data2 = f.saved_values;
    Cell* callee = state.arguments;
    calls.top = index;
    state.arguments = state.bottom + f.saved_arguments;
    return callee;
}

// Pops the top frame, which must be `index`, keeping the callee's first cell
// as the caller's last value (top = callee's frame + 1), writing its
// function context back.
inline void close_keep(uint32_t index) { state.top = pop_frame(index) + 1; }
// The same, then the callee's first cell becomes the caller's first cell.
inline void close_set_last(uint32_t index) {
    Cell* callee = pop_frame(index);
    *state.arguments = *callee;
    state.top = callee + 1;
}
// Pops the frame; the callee's cells and the caller's frame are dropped
// (top = the caller's first cell).
inline void close_reset(uint32_t index) {
    pop_frame(index);
    state.top = state.arguments;
}

// The RAII guard of a frame: opened by the constructor, closed by exactly
// one close form or, failing that, dropped by the destructor.
class OpenFrame {
public:
    OpenFrame(const Cell& name, uint32_t kind, NodeId function_context = 0)
        : index_(open_frame(name, kind, function_context)) {}
    ~OpenFrame() {
        if (calls.top > index_) [[unlikely]]
            drop_frames(index_);
    }
    OpenFrame(const OpenFrame&) = delete;
    OpenFrame& operator=(const OpenFrame&) = delete;
    uint32_t index() const { return index_; }
    void keep() { close_keep(index_); }
    void set_last() { close_set_last(index_); }
    void reset() { close_reset(index_); }

private:
    uint32_t index_;
};

// Searches down from below the top frame (the searching native's own) for
// the target of a non-local exit, and answers its index. Meeting a try/all
// frame or the bottom first raises the throw-category error (break,
// continue, return or throw with `value` as its argument) with both stacks
// as they were: nothing is popped by a search.
uint32_t find_loop(bool for_continue);
uint32_t find_return_target();
uint32_t find_catch(const Cell& value);

// Answers whether a frame opened by the interpreter lies below `from` (the
// top when FRAME_COUNT); with one_only only the frame just below is asked.
bool eval_below(uint32_t from, bool one_only);

// The word that names the innermost call (frames named `<body>` and
// `<anon>` skipped), starting at the frame a `throw` recorded when there is
// one (which is then cleared); the word `<not-found>` when no frame names
// one.
Cell current_call_word();

// The n-th word (1-based) of the spec of the function the innermost named
// frame calls, counting its arguments and its refinements; <anon> when that
// frame's word holds no callable or its spec has fewer words.
Cell call_arg_word(int32_t n);

// The word naming frame i: its symbol in the frame's word context when the
// context has it, else an unbound word of the symbol.
Cell frame_word(uint32_t i);
// The frame is named `<body>` or `<anon>`: listings and searches skip it.
bool is_anonymous(uint32_t i);

// Appends to the block, from the innermost call outwards and never the
// bottom frame: for each named frame its word (bound to the frame's
// function context when that has the name, else the global word) and the
// index of its saved argument frame (an integer!).
void collect_calls(const Cell& block);
// Appends to the block, from the bottom frame up to (not including) `end`,
// the words of the named frames; with level 1 only those whose value is a
// function!. `end` may lie above the top: an error's stack index is read
// after the throw has left those frames, whose records nothing has
// overwritten before the report.
void collect_call_words(int32_t level, const Cell& block, uint32_t end);
// Forms those words into the string, each followed by a space, within the
// budget; answers the budget left. The Stack line of an error report.
int64_t form_calls(int32_t level, uint32_t end, const Cell& string, int64_t budget);

}  // namespace kel::stack
