// function! (24): callables written in the language.
//
// function! cell: header 24 (bit 9 no-trace, bit 10 trace, from the spec's
// attribute block); word 1 the node of its context (kind 1, values on the
// argument stack, one word per spec word in spec order; the context's owner
// cell holds a copy of the function); word 2 the spec block's node (read
// from position 0); word 3 the node of a five-cell more block: the body (a
// deep copy, or none), the interpreter's argument-fetching cache (unset
// until filled), unset, unset (an op made from the function stores it
// here), unset. Every function runs interpreted: cells 3 and 5 stay unset.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::function {

inline constexpr uint32_t FLAG_NO_TRACE = 0x200;
inline constexpr uint32_t FLAG_TRACE = 0x400;

// Header flags that every function made from now on gets besides its own
// (the boot library sets its library flag while it is evaluated); answers
// the flags it replaces.
uint32_t set_made_flags(uint32_t flags);

// Checks a spec and answers its trace flags; a broken rule raises
// script/bad-func-def with the spec (or script/invalid-type-spec,
// script/no-value, script/dup-vars). Nothing is made before the check.
uint32_t validate_spec(const Cell& spec);
// Makes the function on the argument stack (its top) and answers its
// context node. body may be null (no body); ctx 0 makes the context from
// the spec and binds the body copy to it.
NodeId push(const Cell& spec, const Cell* body, NodeId ctx, uint32_t flags);
// Appends to the spec, after /local, every set-word and loop word of the
// body that the spec does not name yet (names after /extern excluded);
// answers the block of added words (on the argument stack).
Cell* add_auto_locals(Cell& spec, const Cell& body);
// Size of the local group from a position of the spec: 1 for /local plus 1
// per word after it; 0 without /local, or -1 when ask is set.
int32_t count_locals(NodeId spec, int32_t start, bool ask);
// Pushes the local group of a call made by runtime code: false for the
// /local refinement, then n - 1 nones.
void push_locals(int32_t n);

// Registers function! (parent context!).
void init();

}  // namespace kel::function
