// native! (21), action! (22) and op! (23): the built-in callables and the
// infix operators made from any callable.
//
// native!/action! cell: word 1 the table index (native 1-107, action 1-62),
// not an address; word 2 the node of the spec block; word 3 the node of a
// two-cell more block: a copy of the context! cell of a context made from
// the spec (kind 1, values on the stack), then the interpreter's
// argument-fetching cache (none until filled).
//
// op! cell: the wrapped native!, action!, function! or routine! payload with
// the wrapped type id in header bits 16-23 and the wrapped callable's own
// header flags in bits 8-15 (a function's library, trace and no-trace
// flags), so that a call through the op runs the callable as a call through
// its word does. An op made from a function or routine also stores a copy
// of it in cell 4 of its more block.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::native {

inline constexpr int32_t NATIVE_COUNT = 107;
inline constexpr int32_t ACTION_TABLE_COUNT = 62;
inline constexpr uint32_t OP_WRAPPED_SHIFT = 16;

inline constexpr uint32_t OP_CALLEE_FLAGS = 0xFF00;

inline uint32_t wrapped_type(const Cell& op) { return (op.header >> OP_WRAPPED_SHIFT) & 0xFF; }
// The callable an op wraps, with its own header flags.
inline Cell op_callee(const Cell& op) {
    Cell callee = op;
    callee.header = wrapped_type(op) | (op.header & OP_CALLEE_FLAGS);
    return callee;
}

// make of native! and action!: from a block of exactly [spec-block index].
// Anything else (a spec that is not a block of two, a first value that is
// not a block, an index that is not an integer in range) raises
// script/bad-make-arg with the prototype and the spec. The one slot called
// directly from outside: the native table (runtime/evaluator/natives.cpp)
// makes its native! and action! values with it at start-up.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
// The native! or action! value of the table index over the spec block
// (its node, which the caller keeps reachable): the cell make gives.
Cell from_spec(uint32_t type, int32_t index, NodeId spec);
// The arity cache of a native or action (how calls take its arguments) is
// built from its spec once and kept: the spec block is the one reflection
// shares (spec-of), and editing it must not change the native's arguments.
// At start-up the type words of the specs have no values until the library
// defines them; from then on (this call) make builds the cache at once, and
// this call builds it for every native and action of the global context
// that has none yet.
void fix_arities();
// fix_arities has run: a callable made now gets its arity cache at once.
bool arities_fixed();
// The spec (its node) makes a valid op.
bool op_valid_spec(NodeId spec);

// Appends the block value molded (a block! cell on the node, head 0).
int64_t mold_spec(NodeId spec, const Cell& buffer, int64_t limit);

// Registers native!, action! and op!.
void init();

}  // namespace kel::native
