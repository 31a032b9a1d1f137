#include "view/terminal/terminal-modes.h"

#include <cstdio>

#include "runtime/platform/gui-hooks.h"
#include "view/terminal/input.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"

namespace kel::gui {

namespace {

constexpr const char* MOUSE_ON = "\033[?1000h\033[?1003h\033[?1015h\033[?1006h";
constexpr const char* MOUSE_OFF = "\033[?1006l\033[?1015l\033[?1003l\033[?1000l";
constexpr int32_t ANSWER_WAIT_MS = 100;

void write(const std::string& bytes) { os().write(bytes); }

void ask_cursor_position() {
    os().write("\033[6n");
    ++state().unanswered_queries;
}

}  // namespace

State& state() {
    static State s;
    return s;
}

void set_colour_depth(int32_t depth) { state().colour_depth = depth == 2 ? 2 : 4; }

ScreenSize measure() {
    ScreenSize size = os().size();
    if (size.columns <= 0 || size.rows <= 0) size = ScreenSize{};
    state().width = size.columns;
    state().height = size.rows;
    return size;
}

bool enter_terminal() {
    State& s = state();
    if (s.active) return true;
    if (!os().is_terminal() || !os().enter()) return false;
    measure();
    s.active = true;
    s.unanswered_queries = 0;
    update_leave_sequence();
    if (!s.full_screen) ask_cursor_position();
    return true;
}

void leave_terminal() {
    State& s = state();
    if (!s.active) return;
    // Late answers would reach the shell as text: take them from the input.
    double stamp = start_clock();
    while (s.unanswered_queries > 0) {
        int32_t left = ANSWER_WAIT_MS - int32_t(elapsed_ms(stamp));
        if (left <= 0) break;
        if (os().wait_input(left) != 1 && elapsed_ms(stamp) >= ANSWER_WAIT_MS) break;
        if (!read_console(true)) break;
        decode_input(nullptr);
    }
    os().leave();
    os().drop_input();
    clear_input();
    s.active = false;
    s.mouse = s.cursor_hidden = s.alternate_screen = false;
    s.frame_drawn = false;
    s.rows_above = 0;
    s.unanswered_queries = 0;
    os().set_leave_sequence("");
}

void mouse_on() {
    write(MOUSE_ON);
    state().mouse = true;
    update_leave_sequence();
}

void mouse_off() {
    write(MOUSE_OFF);
    state().mouse = false;
    update_leave_sequence();
}

void hide_cursor() {
    if (state().cursor_hidden) return;
    write("\033[?25l");
    state().cursor_hidden = true;
    update_leave_sequence();
}

void show_cursor() {
    if (!state().cursor_hidden) return;
    write("\033[?25h");
    state().cursor_hidden = false;
    update_leave_sequence();
}

void enter_alternate_screen() {
    State& s = state();
    if (!s.full_screen || s.alternate_screen) return;
    write("\033[?1049h\033[2J");
    s.alternate_screen = true;
    update_leave_sequence();
}

void leave_alternate_screen() {
    if (!state().alternate_screen) return;
    write("\033[?1049l");
    state().alternate_screen = false;
    update_leave_sequence();
}

void clear_alternate_screen() {
    if (!state().alternate_screen) return;
    write("\033[2J");
    std::fflush(nullptr);
}

bool resume_after_stop() {
    if (!os().take_continued()) return false;
    State& s = state();
    if (!s.active) return true;
    std::string bytes;
    if (s.alternate_screen) bytes += "\033[?1049h\033[2J";
    if (s.mouse) bytes += MOUSE_ON;
    if (s.cursor_hidden) bytes += "\033[?25l";
    if (!bytes.empty()) write(bytes);
    // The frame was taken off by the stop: draw it whole where the cursor is.
    s.frame_drawn = false;
    s.rows_above = 0;
    s.redraw = true;
    update_leave_sequence();
    return true;
}

void on_before_output() {
    State& s = state();
    if (!s.active) return;
    erase_frame();
    s.frame_drawn = false;
    std::fflush(nullptr);
    update_leave_sequence();
}

void on_after_output() {
    State& s = state();
    if (!s.active) return;
    s.redraw = true;
    ask_cursor_position();
}

std::string leave_sequence() {
    State& s = state();
    std::string out;
    if (!s.active) return out;
    out += '\x18';  // CAN: ends a sequence the terminal was given only part of
    if (s.mouse) out += MOUSE_OFF;
    if (s.cursor_hidden) out += "\033[?25h";
    if (s.alternate_screen) out += "\033[?1049l";
    out += "\033[0m";
    if (!s.alternate_screen) out += end_inline_area_bytes();
    return out;
}

void update_leave_sequence() { os().set_leave_sequence(leave_sequence()); }

double start_clock() { return os().now_ms(); }

double elapsed_ms(double stamp) { return os().now_ms() - stamp; }

}  // namespace kel::gui
