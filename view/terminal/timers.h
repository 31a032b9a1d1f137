// Face timers: a face with a `rate` gets a `time` event every interval.
//
// Timers are records in one list, in the order they were added; each holds
// its target widget's id, its interval and the milliseconds elapsed since it
// last fired. The event loop advances them all once per frame by the real
// time the frame took (33 ms when no input cut it short). A timer fires at
// most once per frame, however long the frame was, and its count restarts
// at 0 when it fires, so a 100 ms timer fires on every fourth 33 ms frame.
//
// A callback may add or remove timers (an actor that sets a rate, a window
// that unviews itself). Removing a timer during a pass only marks it; the
// pass skips marked timers, writes only timers still live, and the marked
// ones are swept when the pass ends. Outside a pass a removal sweeps at once.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::gui {

// What a timer does when it fires: called with its target widget's id.
using TimerCallback = void (*)(uint32_t widget);

// Appends a repeating timer for the widget (an interval below 1 ms fires on
// every frame).
void add_timer(uint32_t widget, int32_t interval_ms, TimerCallback callback);
// Removes the last-added live timer of the widget (one at most).
void remove_timer(uint32_t widget);
// Removes every timer of the widget (the widget is destroyed).
void remove_timers_of(uint32_t widget);
// Applies a face's `rate`: an integer n > 0 adds a timer of 1000 / n ms, a
// time! t > 0 one of t in whole milliseconds, none removes the widget's
// timer; anything else (an integer or time <= 0, another type) raises
// script/invalid-facet-type with the value. An earlier timer of the widget
// stays; the caller removes it when the rate changes.
void set_rate(uint32_t widget, const Cell& rate, TimerCallback callback);
// Advances every timer by the elapsed milliseconds, firing those due.
void run_timers(int32_t elapsed_ms);
// The live timers.
size_t timer_count();
// Drops every timer (the backend's window state is reset, tests).
void clear_timers();

}  // namespace kel::gui
