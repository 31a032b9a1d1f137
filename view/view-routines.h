// The view engine's global routines, made as global words at statement 19
// of the library's order: `find-flag?`, which the face model uses to test a
// face's flags (a word or a block of words).
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::view {

std::span<const routines::Entry> view_routines();

// find-flag? facet flag: a word facet equal to the flag (case-insensitive),
// or a block holding a word or lit-word equal to it; false for anything else.
bool find_flag(const Cell& facet, const Cell& flag);

}  // namespace kel::view
