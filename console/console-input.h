// Reading one line for `ask`, whatever standard input is:
// - the line editor, when input and output are terminals and TERM is not
//   "dumb": raw mode on for the edit only, the prompt drawn by the editor
//   from the column the output stands in, and a line feed after the edit;
// - canonical mode (TERM=dumb, or a terminal input with a redirected
//   output): the terminal echoes, and the prompt is written (plain, through
//   the runtime's output) only when the output is a terminal; Control-C,
//   when the console keeps its session on it, gives "q" as in the editor;
// - redirected input: one UTF-8 line from the shared reader, no prompt.
// No escape sequence is ever written to a redirected output.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "console/line-editor.h"
#include "console/terminal.h"

namespace kel::console {

struct LineRead {
    std::u32string text;
    EditExit exit = EditExit::ENTER;
    bool add_to_history = false;
    bool ended = false;  // the input had ended: nothing was read
};

// `terminal` replaces the standard terminal under the editor (probes).
LineRead read_line(std::u32string_view prompt, History& history, bool hidden, EditorTerminal* terminal = nullptr);

// The console's start: the window title (OSC 2 on a terminal only) and the
// window size, 80x50 when the terminal gives none.
terminal::Size init_console(std::string_view title);

// The terminal as the editor sees it: keys from the shared reader of
// standard input, writes to standard output.
class StandardTerminal final : public EditorTerminal {
public:
    int32_t read_key() override;
    void write(std::string_view bytes) override;
    int32_t columns() override;
    bool take_resized() override;
    bool take_continued() override;
    void suspend() override;
};

}  // namespace kel::console
