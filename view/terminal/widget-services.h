// What the widgets ask of the rest of the backend: focus, the current
// window, redraws, timers, the event loop and the dispatch of events to the
// view engine. The event loop and dispatch install their functions here;
// until then (and in the widgets' own tests) each member has a plain
// default that keeps the widget pointers consistent and sends no event.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

struct WidgetServices {
    // Gives the widget the focus in its window (the focus events are sent
    // by the dispatch's version). Default: the flags and pointers only.
    void (*set_focus)(WidgetId widget) = nullptr;
    // Picks the current window after a window was hidden or destroyed.
    // Default: the last window of the list that is not hidden.
    void (*pick_current_window)() = nullptr;
    // Asks for a redraw of the widget's window (0: the focused widget's).
    // Default: the redraw request is set.
    void (*request_redraw)(WidgetId widget) = nullptr;
    // A timer for the widget at the face's `rate`; removing it. Default:
    // nothing.
    void (*set_rate)(WidgetId widget, const Cell& rate) = nullptr;
    void (*remove_timer)(WidgetId widget) = nullptr;
    // Ends the innermost running event loop. Default: nothing.
    void (*post_quit_msg)() = nullptr;
    // One widget's event: its own handler, then the view engine (`awake`).
    // Answers 0, 1 when an actor answered done, 2 when the widget was
    // destroyed. Default: 0, nothing sent.
    int32_t (*mouse_event)(uint32_t type, WidgetId widget, float x, float y, uint32_t flags) = nullptr;
    // `select` or `change` of a list-like widget with `picked` set, to the
    // view engine only. Default: 0, nothing sent.
    int32_t (*select_event)(uint32_t type, WidgetId widget, int32_t picked) = nullptr;
};

// The services in use: the defaults filled in for every member left null.
WidgetServices& services();
// Installs services (null members take the defaults); answers the ones
// replaced.
WidgetServices install_services(const WidgetServices& replacement);

// Event type numbers the widgets send or handle.
inline constexpr uint32_t EVENT_DOWN = 1;
inline constexpr uint32_t EVENT_UP = 2;
inline constexpr uint32_t EVENT_CLICK = 9;
inline constexpr uint32_t EVENT_OVER = 12;
inline constexpr uint32_t EVENT_KEY = 13;
inline constexpr uint32_t EVENT_FOCUS = 17;
inline constexpr uint32_t EVENT_UNFOCUS = 18;
inline constexpr uint32_t EVENT_SELECT = 25;
inline constexpr uint32_t EVENT_CHANGE = 26;
inline constexpr uint32_t EVENT_TIME = 33;

}  // namespace kel::gui
