// Event dispatch: decoded input and timer ticks become events for faces.
//
// Every event goes first to the widget's own handler (field editing, list
// moves ...) and then to the view engine's `system/view/awake`; keys go to
// `awake` first (as key-down, then key) and to the widget's handler only
// when no actor answered `done`. A dispatch step answers 0 (not handled), 1
// (an actor answered `done`) or 2 (the widget was destroyed during the
// call); 2 stops every further step. Steps hold widget ids, never widget
// records, across a call into Kel, and look the id up again after it.
//
// Pointer events find the deepest widget under the pointer (the last face
// of a pane drawn is hit first) and bubble up to the window until one is
// `done`. A press makes its widget the pressed widget; while the button is
// held the pointer's moves outside it reach it as `over` with `away`, and
// the release is captured by it. Two releases within 500 ms of each other
// make a double click.
//
// Windows: the list holds the window widgets, the top-most last; the
// current window is drawn and receives input. The focus of each window is
// remembered while another window is current.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "view/terminal/input.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

// Dispatch results.
inline constexpr int32_t NOT_HANDLED = 0;
inline constexpr int32_t HANDLED = 1;
inline constexpr int32_t DESTROYED = 2;

// The dispatch of decoded input to faces.
Dispatch& backend_dispatch();
// Installs the dispatch's functions into the widgets' services.
void install_dispatch_services();

// Calls `system/view/awake` with a backend event for the record's widget;
// an error of the call is caught and counts as not handled.
int32_t awake_event(uint32_t type, EventRecord& record, uint32_t flags);
// A key to the widget (0: the focused widget): a special-key code with
// `special`, 10 with `special` is Shift-Tab (tab with shift).
void key_event(WidgetId widget, int32_t key, bool special);
// One widget's event: its own handler, then `awake`.
int32_t mouse_event(uint32_t type, WidgetId widget, float x, float y, uint32_t flags);
// A press or release at window coordinates (the decoder's action).
void button_action(uint32_t type, float x, float y, uint32_t flags);
// A pointer move at window coordinates.
int32_t over_event(uint32_t type, WidgetId widget, float x, float y, uint32_t flags, bool top);
int32_t wheel_event(float delta, WidgetId widget, float x, float y, uint32_t flags);
// The timer callback: a `time` event.
void time_event(WidgetId widget);
// `select` or `change` of a list-like widget, to `awake` only.
int32_t select_event(uint32_t type, WidgetId widget, int32_t value);
// Gives the widget the focus in its window (see the focus rules).
void set_focus(WidgetId widget);

// Windows.
void activate_window(WidgetId window);
void pick_current_window();
void OS_show_window(WidgetId widget);
// Sets the redraw request when the widget's window (0: the focused
// widget's) is the current window.
void request_redraw(WidgetId widget);
// No window is listed.
bool no_windows();
// Empties the window list and the widget pointers (the backend's window
// state is reset).
void reset_windows();

// A face's rate applied as a timer that sends `time` events.
void set_face_rate(WidgetId widget, const Cell& rate);

}  // namespace kel::gui
