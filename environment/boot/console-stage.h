// The C++ side of the console stage of start-up: the console's routines
// (console/routines.h) and two routines of the console script itself,
//
//   _do-code code [block!]
//       evaluates the block as a script's code: the frames it opens are
//       marked as interpreted (system/state/interpreted? is true inside)
//       and the current-block cell follows it, so an error report's Near
//       shows the script's expression, not the console's. Its value is
//       the routine's result; a return, exit or break that reaches it
//       leaves unset.
//   _replace-file from [file!] to [file!]
//       rename(2): moves `from` over `to` in one step, replacing it; an
//       access/cannot-open error names `to` when it fails. With a file
//       written beside the target first, a crash leaves either the old
//       file or the new one, never half of one.

#pragma once
#include <span>

#include "environment/boot/routine-table.h"

namespace kel::library {

// `_do-code` and `_replace-file`.
std::span<const RoutineDef> console_stage_routines();

// Defines the console's routines, `_do-code` and `_replace-file`.
void install_console_routines();

}  // namespace kel::library
