// The routines of the `TUI-helpers` context through which the Kel side of
// the backend reaches a face's widget: `focused?`, `widget-data` and
// `set-face-ui`. Their fields are made by view/terminal/helpers.kel; the
// backend's start sets the routines into them.
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::gui {

std::span<const routines::Entry> tui_helper_routines();

// Sets the routines into the fields of `TUI-helpers` (an internal fault
// when the context or a field is missing).
void install_tui_helpers();

}  // namespace kel::gui
