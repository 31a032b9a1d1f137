#include "console/console-input.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "console/keys.h"
#include "runtime/core/interrupt.h"
#include "runtime/core/print.h"
#include "runtime/platform/console.h"
#include "runtime/platform/input-reader.h"

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

// Waits until standard input has bytes (or has ended) and answers false,
// or answers true when Control-C was requested meanwhile. SIGINT is blocked
// but for the wait itself (ppoll), so a request that comes between the test
// and the wait is never lost.
bool interrupted_while_waiting() {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    pthread_sigmask(SIG_BLOCK, &block, &old);
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (!interrupt::requested && ppoll(&p, 1, nullptr, &old) < 0 && errno == EINTR) {}
    bool interrupted = interrupt::requested != 0;
    interrupt::requested = 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return interrupted;
}

// One line from a terminal in canonical mode. Control-C, once the console
// keeps its session on it (the terminal sends SIGINT and drops the typed
// line), leaves the line as the editor's Ctrl-C does: "q". Answers false at
// the end of input before anything was read.
bool read_canonical(LineRead& r) {
    InputReader& input = standard_input();
    bool any = false;
    for (;;) {
        if (interrupt::session_kept && !input.has_buffered() && !input.ended() && interrupted_while_waiting()) {
            r.text.assign(1, U'q');
            r.exit = EditExit::QUIT;
            return true;
        }
        int32_t c = input.next_code_point(false);
        if (c < 0) return any;
        any = true;
        if (c == '\n') return true;
        r.text.push_back(char32_t(c));
    }
}

// `echoed`: the input is a terminal in canonical mode, whose echo of the
// line feed leaves the cursor at the start of a line.
LineRead read_plain(std::u32string_view prompt, bool show_prompt, bool echoed) {
    // A Control-C from before the prompt (while a result was printed) is
    // not one typed at it.
    if (echoed) interrupt::requested = 0;
    if (show_prompt && !prompt.empty()) write_utf8(prompt.data(), prompt.size() * 4, 4, false);
    LineRead r;
    r.ended = echoed ? !read_canonical(r) : !standard_input().read_line(r.text);
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
