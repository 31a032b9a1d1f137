#include "view/terminal/event-loop.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/evaluator/stack-state.h"
#include "view/terminal/dispatch.h"
#include "view/terminal/render.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"
#include "view/terminal/system-view.h"
#include "view/terminal/terminal-modes.h"
#include "view/terminal/timers.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

namespace {

int32_t depth = 0;
// Set by a frame that found no terminal and standard input gone.
bool no_input = false;
Dispatch* installed_target = nullptr;

constexpr int32_t DOUBLE_CLICK_CAP_MS = 800;

// Milliseconds between two clock stamps as a count for the timers: never
// negative, at most a day.
int32_t whole_ms(double from, double to) {
    double d = std::floor(to - from);
    return !(d > 0) ? 0 : d > 86400000.0 ? 86400000 : int32_t(d);
}

void start_outermost() {
    State& s = state();
    reset_input_state();
    s.click_state = 0;
    s.double_click_ms = 0;
    // Entering measures the terminal: the first screen face takes its size.
    if (enter_terminal()) set_screen_size(ScreenSize{s.width, s.height});
    enter_alternate_screen();
    request_redraw(0);
    bool wanted = platform_mouse_event();
    if (wanted != s.mouse && s.active) wanted ? mouse_on() : mouse_off();
}

void end_outermost() {
    // The leave sequence ends the inline area, switches the mouse off,
    // leaves the alternate screen and shows the cursor.
    leave_terminal();
    read_console(false);
    clear_input();
    if (no_windows()) {
        reset_buffer();
        reset_windows();
        State& s = state();
        s.click_state = 0;
        s.double_click_ms = 0;
        s.mouse = false;
    }
}

// One frame; `previous` is the clock stamp of the previous frame's end of
// waiting. Answers false when the loop is to stop at once (no_wait with
// nothing to read).
bool frame(bool no_wait, double& previous, int64_t& read) {
    State& s = state();
    resume_after_stop();
    if (os().take_resized()) handle_resize();
    read = read_console(true);
    if (no_wait && read < 1) return false;
    // Without a terminal nothing is read; once standard input can bring
    // nothing more, no user can ever answer the window: it gets Escape (the
    // global esc function closes the windows, a dialog answers none) and
    // every level ends.
    if (!s.active && os().input_gone()) {
        no_input = true;
        event_target().key(27, false);
    }
    if (!no_wait) {
        int32_t left = FRAME_MS - whole_ms(previous, os().now_ms());
        if (left > 0) {
            if (s.active && !input_ended())
                wait_input(left);
            else
                os().sleep(left);
        }
    }
    double now = os().now_ms();
    int32_t elapsed = whole_ms(previous, now);
    previous = now;
    run_timers(elapsed);
    draw_frame();
    decode_input(&event_target());
    if (s.click_state == 2 && s.double_click_ms < DOUBLE_CLICK_CAP_MS)
        s.double_click_ms = std::min(DOUBLE_CLICK_CAP_MS, s.double_click_ms + elapsed);
    release_dead_widgets();
    return true;
}

// Runs one frame inside a catcher of every throw; a throw ends the level.
bool guarded_frame(bool no_wait, double& previous, int64_t& read, int32_t entry_depth) {
    bool go_on = true;
    Cell* top = stack::state.top;
    uint32_t code = protect(catch_level::ROOT, [&] { go_on = frame(no_wait, previous, read); });
    stack::state.top = top;
    if (code == 0) return go_on;
    handled();
    if (code == thrown::ERROR) print_error_in_flight();
    depth = std::min(depth, entry_depth);
    return false;
}

}  // namespace

bool do_events(bool no_wait) {
    State& s = state();
    bool nested = no_wait || s.active || depth > 0;
    int32_t entry_depth = depth;
    if (!no_wait) ++depth;
    // An inner loop keeps the queue: the outer loop's decoding took the
    // item that opened it off the queue, and what follows is typed for the
    // window now on top, or after it closes for the one below.
    if (!nested) start_outermost();
    int64_t read = 0;
    double previous = os().now_ms();
    while (guarded_frame(no_wait, previous, read, entry_depth)) {
        if (input_ended() || std::exchange(no_input, false)) depth = 0;
        if (no_wait || depth <= entry_depth) break;
    }
    no_input = false;
    if (!nested) end_outermost();
    return read > 0;
}

void post_quit_msg() {
    if (depth > 0) --depth;
}

int32_t loop_depth() { return depth; }

void run_events_once() {
    if (state().active) do_events(true);
}

Dispatch* install_dispatch(Dispatch* target) { return std::exchange(installed_target, target); }

Dispatch& event_target() { return installed_target ? *installed_target : backend_dispatch(); }

void handle_resize() {
    ScreenSize size = measure();
    set_screen_size(size);
    if (!state().active) return;
    event_target().resize(size.columns, size.rows);
    if (state().alternate_screen) draw_frame();
}

}  // namespace kel::gui
