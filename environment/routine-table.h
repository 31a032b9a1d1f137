// The routines of the boot environment: routine! values whose bodies are C++
// functions of the routine table (runtime/evaluator/routines.h). Each is
// described once, by its global word, its spec as Kel text (argument words,
// type blocks, doc strings and, for a routine that answers a machine value,
// `return: [logic!]`, `return: [integer!]`), its function and its result
// type id (-1: the function leaves its result in the frame's first cell).
//
// Start-up makes them at their places in the library's order: the general
// routines and the type predicates as global words, the routines held in
// `system` as fields of its sub-objects.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"
#include "runtime/evaluator/routines.h"

namespace kel::library {

struct RoutineDef {
    const char* word;
    const char* spec;
    routines::Routine fn;
    int32_t result_type;
};

// Pushes the routine! value made from the definition (its spec lexed from
// the text) and answers its cell on the argument stack.
Cell* push_routine(const RoutineDef& def);
// Sets each definition's global word to its routine! value.
void define_routines(std::span<const RoutineDef> defs);

// The general routines (quit-return ... write-stdout), in their order.
std::span<const RoutineDef> general_routines();
// The 62 type predicates: one per datatype, then one per named typeset.
std::span<const RoutineDef> type_predicates();
// Routines held in fields of `system`: the word is the field's path text
// (state/interpreted?, state/GC/active? ...).
std::span<const RoutineDef> system_routines();

}  // namespace kel::library
