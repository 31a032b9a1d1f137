// What the backend reads and writes of the view engine's objects:
// `system/view` fields, the platform's `mouse-event?` and the first screen
// face's size. Each read is a copy of the cell, good until the value
// changes; nothing here calls into Kel.
#pragma once
#include "runtime/core/cell.h"
#include "view/terminal/os.h"

namespace kel::gui {

// A field of system/view (none when there is no such object or field).
Cell system_view_field(const char* name);
// A field of the global `TUI-helpers` context (an internal/not-done error
// when there is no such context).
Cell tui_helper(const char* name);
// A field of system/view/platform.
Cell platform_field(const char* name);
// Whether system/view/platform/mouse-event? is true.
bool platform_mouse_event();
// The first screen face of system/view/screens takes the size (nothing when
// there is none).
void set_screen_size(ScreenSize size);

}  // namespace kel::gui
