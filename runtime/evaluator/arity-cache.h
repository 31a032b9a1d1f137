// The arity cache of a callee, and the steps of a call that read it: every
// caller of a native, action, function or routine (calls from code and
// paths, operators, apply, callbacks) reads the callee's spec through it.
//
// The cache is a block in the callee's more block (cell 2), built from the
// spec when a function is made (natives and actions: at make once the
// library has defined the type words, see native::fix_arities; routines: on
// the first call) and walked on every call: one typeset! per
// argument word in spec order (the types its block allows, or the default
// typeset; the argument's kind in header bits 20-21: 0 evaluated, 1
// get-word taken as is, 2 lit-word quoted), a copy of each refinement but
// /local (for natives and actions payload word 3 holds its ordinal, 1 for
// the first), then two integer!s: the size of the local group (/local and
// its words) and the number of refinements. Once built it is what calls
// follow, whatever later happens to the spec block.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/memory/memory.h"

namespace kel::interpreter {

inline constexpr uint32_t ARG_KIND_SHIFT = 20;
inline constexpr uint32_t ARG_KIND_MASK = 0x300000;
inline constexpr uint32_t ARG_NORMAL = 0;
inline constexpr uint32_t ARG_GET = 1;
inline constexpr uint32_t ARG_LIT = 2;

// The kind of an argument entry.
inline uint32_t arg_kind(const Cell& entry) { return (entry.header & ARG_KIND_MASK) >> ARG_KIND_SHIFT; }

// The callee's more block: its body (cell 1 for a function) and its cache.
inline Cell* more_of(const Cell& fn) { return memory::buffer_of(fn.data3)->cells(); }

// A function or routine takes a frame cell for each refinement (false or
// true) and for each refinement argument; a native or action gets the
// argument index of each used refinement instead.
inline bool takes_refinement_cells(uint32_t type) { return type == TYPE_FUNCTION || type == TYPE_ROUTINE; }

NodeId build_arity_cache(const Cell& fn);

// The callee's cache node, built on the first call.
inline NodeId arity_cache(const Cell& fn) {
    const Cell& cache = more_of(fn)[1];
    if (type_of(cache) == TYPE_BLOCK) [[likely]]
        return cell_node(cache);
    return build_arity_cache(fn);
}

// The size of the local group and the number of refinements, from the
// cache's two closing counts.
inline int32_t cache_locals(NodeId cache) { return cell_integer(*code_at(cache, code_tail(cache) - 2)); }
inline int32_t cache_refinements(NodeId cache) { return cell_integer(*code_at(cache, code_tail(cache) - 1)); }

// The word of the k-th argument or refinement of the spec (spec order,
// /local and what follows it not counted): the argument named in errors.
Cell spec_word(const Cell& fn, int32_t k);

// The name errors give the call: the naming word, or the word `<anon>`.
Cell call_name(const Cell& name);

// The entry index of the refinement named by the element's symbol, or -1.
int32_t find_refinement(NodeId cache, int32_t symbol);

// The refinement an element names (a path element, or apply's inline
// /name) switched on or off in the call whose frame is open:
// script/no-refine for a name the spec lacks (the call named by `name`),
// script/dup-refine (naming `culprit`) for one given twice. A function or
// routine gets the truth in the refinement's frame cell; a native or action
// that is given it gets the argument index its arguments start at (the
// stack's top). Answers the refinement's entry index, which is also its
// place among the arguments and refinements (its frame cell for a
// function).
int32_t set_refinement(const Cell& fn, NodeId cache, const Cell& element, bool truth, int32_t* refinements,
                       const Cell& name, const Cell& culprit);

// The value just pushed for argument `arg` (1-based) of the refinement at
// `place`: a function or routine takes it into its frame cell (none when
// the refinement is off) and it leaves the stack; a native or action keeps
// it pushed when the refinement is on.
void place_refinement_argument(const Cell& fn, int32_t place, int32_t arg, bool truth);

}  // namespace kel::interpreter
