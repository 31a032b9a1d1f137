// The terminal backend's `system/view/platform`: the 28 routines of its
// fields, each forwarding to the backend (widgets, dispatch, the event loop,
// text layout). The object itself and its four Kel members come from
// view/platform.kel, shared with every backend; the library's
// `@view-platform` step sets these routines into it unless KEL_VIEW is
// "record", which selects the recording platform.
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::gui {

std::span<const routines::Entry> platform_routines();

// Sets the routines into the fields of system/view/platform.
void install_platform();

}  // namespace kel::gui
