// The terminal as a whole for the view backend: its start, the colour depth,
// entering and leaving the backend's modes, the switches (mouse reporting,
// cursor visibility, the alternate screen), the size, the millisecond
// clock and the print hooks that keep the runtime's output readable while a
// window is on screen.
//
// The terminal becomes active only when input and output are a terminal
// that can show the modes (console/terminal's EDITOR input mode); otherwise
// nothing is read from standard input and no escape byte is written.
//
// Whatever the backend has switched on is taken back on every way out of the
// process: after each change the leave sequence (CAN, mouse reporting off,
// the cursor shown, the main screen, the SGR reset and, inline, the move
// below the drawn rows) is composed again and handed to the terminal layer,
// which writes it before it restores the saved mode.
#pragma once
#include <cstdint>
#include <string>

#include "view/terminal/os.h"

namespace kel::gui {

// The backend's start: the colour depth from `TUI-helpers/check-color-support`
// (the library must be built) and the print hooks installed. Runs once.
void start();
// The backend's start at every start-up of the process (the library's
// systems-level step): `start`, the dispatch's services, and the terminal's
// size measured. Nothing is written to the terminal and nothing is read.
void init();
// Calls `TUI-helpers/check-color-support`: 4 (true colour) or 2 (the
// 256-colour palette).
int32_t check_colour_support();
// Stores the colour depth (2, or 4 for any other value).
void set_colour_depth(int32_t depth);

// Measures the terminal (80x24 when it does not tell) into the state and
// answers the size.
ScreenSize measure();

// Enters raw mode and marks the terminal active, only when it is not active
// and is a terminal; inline, asks for the cursor position ("\033[6n") so the
// drawing area starts at the cursor's row. Answers whether it is active.
bool enter_terminal();
// Waits up to 100 ms for the cursor-position answers not received yet,
// consuming them, writes the leave sequence and restores the saved mode,
// then drops all pending input. Nothing happens when not active.
void leave_terminal();

void mouse_on();
void mouse_off();
void hide_cursor();
void show_cursor();
void enter_alternate_screen();
void leave_alternate_screen();
void clear_alternate_screen();

// After SIGCONT: the terminal layer has put raw mode back; the modes the
// backend had on are written again and the next frame is drawn whole.
// Answers whether the process was continued.
bool resume_after_stop();

// The print hooks: before the runtime writes, the frame is erased and the
// C streams flushed; after it, a redraw is requested and the cursor's new
// row asked for.
void on_before_output();
void on_after_output();

// The leave sequence for the current modes.
std::string leave_sequence();
// Hands the current leave sequence to the terminal layer.
void update_leave_sequence();

// Clock stamps in milliseconds.
double start_clock();
double elapsed_ms(double stamp);

}  // namespace kel::gui
