// The line editor: one line typed at the terminal with cursor movement,
// deletion, a history walk and completion, drawn through the display.
//
// Keys (console/keys.h): Enter accepts; Backspace (127, 8) deletes before
// the cursor; Left/Ctrl-B, Right/Ctrl-F, Home/Ctrl-A, End/Ctrl-E move;
// Delete removes the character under the cursor and Ctrl-K everything after
// it; Up/Ctrl-P and Down/Ctrl-N walk the history (Down shows the entry at
// the walk's place before lowering it, so the first Down after a run of Up
// shows the entry already on screen); Ctrl-C, Ctrl-D on an empty line and a
// failed read give the line "q"; Ctrl-D elsewhere deletes under the cursor
// (at the end of a line it does nothing); Esc ends the edit with ESC
// appended; TAB asks the completer and inserts a TAB when it finds nothing;
// any other character from TAB up is inserted; other keys are ignored.
// A completion with one text replaces the line; with several, the
// candidates are listed on the prompt's row (each followed by a blank) and
// the edit goes on in the same call on the next row, with the prompt, the
// completed line and the cursor where the completer put it. Only Enter,
// Ctrl-C, Ctrl-D on an empty line, Esc and a failed read end the edit, and
// nothing of one edit is carried into the next.
// Ctrl-Z leaves the text on screen, goes to a new line and stops the
// process; once it is continued the prompt and the line are drawn again on
// the line where the cursor then stands, and the edit goes on.
//
// Hidden input (`ask/hide`) shows "*" for every character, never asks the
// completer (TAB is a character) and never enters the history, so no part
// of the secret outlives the edit.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/display.h"

namespace kel::console {

// The accepted lines, newest first.
class History {
public:
    virtual ~History() = default;
    virtual int32_t count() = 0;
    virtual std::u32string entry(int32_t index) = 0;
};

// The completer's answer: no text (nothing found: the TAB is inserted), one
// text (the completed line, the cursor at `cursor`), or several (the first
// is the completed line with its cursor, the others are the candidates). A
// completer writes nothing to the terminal and leaves raw mode on.
struct Completions {
    std::vector<std::u32string> texts;
    size_t cursor = 0;
};
using Completer = void (*)(std::u32string_view line, size_t cursor, Completions& out);

// What the editor reads from and writes to.
class EditorTerminal {
public:
    virtual ~EditorTerminal() = default;
    virtual int32_t read_key() = 0;  // key codes; key::WAKE after a signal
    virtual void write(std::string_view bytes) = 0;
    virtual int32_t columns() = 0;
    virtual bool take_resized() = 0;
    virtual bool take_continued() = 0;
    // Stops the process as the terminal's suspend key would (raw mode turns
    // that key off), the terminal restored while it is stopped; returns once
    // it is continued, raw mode on again. A terminal without job control
    // does nothing.
    virtual void suspend() {}
};

enum class EditExit { ENTER, QUIT, ESCAPE };

struct EditResult {
    std::u32string text;
    size_t cursor = 0;
    EditExit exit = EditExit::ENTER;
    bool add_to_history = false;  // Enter on a new, not hidden, non-empty line
};

class LineEditor {
public:
    // Edits one line, the prompt starting `start_column` cells into the
    // current line of output. The line starts as `initial`.
    EditResult edit(EditorTerminal& terminal, std::u32string_view prompt, std::u32string_view initial, History& history,
                    bool hidden, int64_t start_column);

    Completer completer = nullptr;  // null: TAB is a character
};

// The editor of the process.
LineEditor& line_editor();

}  // namespace kel::console
