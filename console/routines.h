// The console's routines: the language's way to the line editor and to
// standard input. `install_routines` defines them as global words:
//
//   _set-buffer-history line [string!] hist [block!]
//       the string the next line goes to and the history block
//       (newest first) it walks and enters accepted lines into
//   _read-input prompt [string!] hidden? [logic!]
//       reads one line (console/console-input.h) and appends it to the
//       string; a line accepted with Enter that is new, not hidden and not
//       empty is inserted, as that same string value, at the head of the
//       history. When the input has ended before anything was read, the
//       string stays as it was. Before and after the edit, a terminal that
//       answers with its size sets `system/console/size`
//   _terminate-console               does nothing on this system
//   input-stdin                      a new string: the next line of input
//   _read-end                        how the last `_read-input` ended: the
//       word `line` (a line was read), `ended` (the input had ended before
//       anything was read) or `left` (the editor was left with Ctrl-C,
//       Ctrl-D on an empty line, or a read that failed; the line is "q").
//       Only the console loop asks, so on a terminal it also makes
//       Control-C halt the command being evaluated from then on, instead
//       of ending the process (runtime/core/interrupt.h)
//   _warn text [string!]             writes the text and a line feed to
//       standard error
//   _terminal?                       whether the console reads a terminal
//       through its line editor
//
// `read-stdin` is the file layer's (runtime/evaluator/routines-files.cpp);
// it reads through the same shared reader of standard input.
//
// The routine of `system/console/init` (str [string!]) is made by
// `make_init_routine`: it sets the window title (OSC 2, only on a terminal,
// never fatal) and stores the window size, 80x50 when the terminal gives
// none, into `system/console/size` when that field exists.
//
// `install_routines` also installs the line editor's completer: at every
// TAB it calls `complete-input` of the global `kel-complete-ctx` (looked up
// then, by name) with a new string of the line, its index at the cursor, and
// true, and reads the answer block (strings and file! values: the new line,
// its index the cursor, then the candidates) at once. No such function, an
// error or any other throw out of the call (a halt included), or an answer
// of another shape is no candidate, so the editor inserts the TAB.
//
// The string and the block given to `_set-buffer-history` are held in root
// cells until the next call, so a caller that drops them between the two
// routines cannot leave the editor writing into freed memory.
#pragma once
#include <span>

#include "runtime/core/cell.h"
#include "runtime/evaluator/routines.h"

namespace kel::console {

// The routines above, for the routine table.
std::span<const routines::Entry> console_routines();

// Defines their global words.
void install_routines();

// Pushes the init routine on the argument stack and answers it.
Cell* push_init_routine();
// The init routine's spec text.
inline constexpr const char INIT_ROUTINE_SPEC[] = "str [string!]";

}  // namespace kel::console
