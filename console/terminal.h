// The Linux terminal under the console: raw mode and its restore, the
// window size, the signals that matter while a line is edited, writes, and
// the window title. The terminal backend of the view engine shares it.
//
// Raw mode clears ICANON, ECHO, ISIG, IEXTEN, ICRNL, IXON and ISTRIP, sets
// VMIN 1 and VTIME 0 and keeps OPOST; it is applied with TCSADRAIN (never
// TCSAFLUSH, so pasted type-ahead survives) and is on only while a line is
// edited. The saved mode is put back by `raw_off`, and on every other end of
// the process: `end_process` and the fault and interrupt handlers run the
// exit hook (async-signal-safe: one write of the leave sequence, then one
// tcsetattr), SIGTERM and SIGHUP restore and then end the process by the
// default action of the same signal, SIGTSTP restores and then stops the
// process by the default action. SIGCONT puts raw mode on again (a shell may
// have reset the terminal while the process was stopped) and sets a flag for
// the editor or the view backend to redraw; SIGWINCH only sets a flag. No
// handler restarts the interrupted read.
//
// The leave sequence is what a user of raw mode (the view backend) has put on
// the screen and must take back before the shell gets the terminal: mouse
// reporting, the alternate screen, a hidden cursor. The user keeps it
// current; it is empty by default.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kel::console::terminal {

// How lines are read: the editor (input and output are terminals and TERM
// is not "dumb"), the terminal's canonical mode (TERM=dumb, or a terminal
// input with a redirected output: the terminal echoes), or redirected input
// read as lines of bytes.
enum class InputMode { EDITOR, CANONICAL, REDIRECTED };
InputMode input_mode();
bool output_is_terminal();

// Saves the mode of standard input and applies raw mode; false when
// standard input is no terminal. Installs the signal handlers of an edit.
bool raw_on();
// Puts the saved mode back and the signal handlers of the process.
void raw_off();
bool raw_active();

struct Size {
    int32_t columns = 80;
    int32_t rows = 50;
    bool known = false;  // the terminal answered with a size above 0x0
};
// The window's size from TIOCGWINSZ on standard output, else standard
// input; 80 columns when the width is unknown, 80x50 when neither is known.
Size window_size();

// Stops the process with SIGTSTP, the saved mode in place while it is
// stopped, and returns once it is continued with raw mode on again. Where
// the stop is discarded (a process group that no shell controls) it returns
// at once. Only while raw mode is on.
void suspend();

// Sets the bytes written before the saved mode is restored (at most
// LEAVE_SEQUENCE_MAX; longer is cut). Two buffers and an index switched last,
// so a signal handler always writes a whole sequence.
inline constexpr size_t LEAVE_SEQUENCE_MAX = 256;
void set_leave_sequence(std::string_view bytes);

// Flags set by the signal handlers, cleared by reading them.
bool take_resized();
bool take_continued();

// Writes every byte to standard output, resuming after partial writes and
// interrupted calls; a failure drops the rest.
void write_all(std::string_view bytes);
// The same to standard error.
void write_error(std::string_view bytes);

// Sets the window title with OSC 2 when standard output is a terminal;
// otherwise nothing is written. Never fails: a terminal that ignores the
// sequence keeps its title.
void set_title(std::string_view title);

}  // namespace kel::console::terminal
