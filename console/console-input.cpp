#include "console/console-input.h"

#include "runtime/platform/input-reader.h"
#include "console/keys.h"
#include "runtime/core/print.h"
#include "runtime/platform/console.h"

namespace kel::console {

int32_t StandardTerminal::read_key() { return console::read_key(standard_input()); }

// The runtime's output buffer is empty whenever one of its writers has
// returned, so these bytes follow everything printed before.
void StandardTerminal::write(std::string_view bytes) { terminal::write_all(bytes); }

int32_t StandardTerminal::columns() { return terminal::window_size().columns; }
bool StandardTerminal::take_resized() { return terminal::take_resized(); }
bool StandardTerminal::take_continued() { return terminal::take_continued(); }
void StandardTerminal::suspend() { terminal::suspend(); }

namespace {

// `echoed`: the input is a terminal in canonical mode, whose echo of the
// line feed leaves the cursor at the start of a line.
LineRead read_plain(std::u32string_view prompt, bool show_prompt, bool echoed) {
    if (show_prompt && !prompt.empty()) write_utf8(prompt.data(), prompt.size() * 4, 4, false);
    LineRead r;
    r.ended = !standard_input().read_line(r.text);
    if (echoed) reset_output_column();
    return r;
}

}  // namespace

LineRead read_line(std::u32string_view prompt, History& history, bool hidden, EditorTerminal* terminal) {
    terminal::InputMode mode = terminal::input_mode();
    if (mode == terminal::InputMode::REDIRECTED) return read_plain(prompt, false, false);
    if (mode == terminal::InputMode::CANONICAL || !terminal::raw_on())
        return read_plain(prompt, terminal::output_is_terminal(), true);
    StandardTerminal standard;
    EditResult e = line_editor().edit(terminal ? *terminal : standard, prompt, {}, history, hidden, output_column());
    terminal::raw_off();
    print_line({});
    LineRead r;
    r.text = std::move(e.text);
    r.exit = e.exit;
    r.add_to_history = e.add_to_history;
    return r;
}

terminal::Size init_console(std::string_view title) {
    terminal::set_title(title);
    return terminal::window_size();
}

}  // namespace kel::console
