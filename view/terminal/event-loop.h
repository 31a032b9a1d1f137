// The event loop: frames of 33 ms on the terminal layer's monotonic clock.
// Each frame reads the input that is ready, waits for input for the rest of
// the frame, advances the timers and the double-click count by the real
// time since the previous frame, draws the current window when a redraw was
// requested and decodes the input into events.
//
// Loops nest: an actor that opens a modal window runs an inner loop. The
// depth counts the loops that wait; `post_quit_msg` lowers it (never below
// 0) and a level ends when the depth falls to what it was on entry. The end
// of input ends every level.
//
// The outermost loop enters the terminal's modes (and the alternate screen
// for a full-screen window) and gives the terminal back when it ends; it
// starts with the mouse buttons released. An inner loop leaves the input
// queue as it is: nothing typed behind a modal window is lost.
//
// A throw out of a frame never passes the loop: an error is printed as the
// console prints one and ends the level; a halt or any other throw ends the
// level. `quit` ends the process, and the terminal layer writes the leave
// sequence on the way out.
#pragma once
#include <cstdint>

#include "view/terminal/input.h"

namespace kel::gui {

inline constexpr int32_t FRAME_MS = 33;

// Runs the loop; with `no_wait`, one frame and only when input is ready.
// Answers whether the last read of the loop found input.
bool do_events(bool no_wait);
// Ends the running loop level after its current frame.
void post_quit_msg();
// The loops running.
int32_t loop_depth();
// One pass without waiting, only while the terminal is active (the `wait`
// native's hook).
void run_events_once();

// Where decoded input goes: the backend's dispatch to faces unless a test
// installed another. Answers the one it replaces (nullptr: the backend's).
Dispatch* install_dispatch(Dispatch* target);
Dispatch& event_target();

// The terminal's size changed: measured again, the first screen face takes
// it and every window gets a `resize` event.
void handle_resize();

}  // namespace kel::gui
