#include "console/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/core/system.h"

namespace kel::console::terminal {

namespace {

termios saved_mode{};
termios raw_mode{};
volatile sig_atomic_t raw = 0;
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t continued = 0;

constexpr int EDIT_SIGNALS[] = {SIGTERM, SIGHUP, SIGCONT, SIGWINCH, SIGTSTP};
struct sigaction saved_actions[sizeof EDIT_SIGNALS / sizeof EDIT_SIGNALS[0]];

char leave_bytes[2][LEAVE_SEQUENCE_MAX];
size_t leave_lengths[2] = {0, 0};
volatile sig_atomic_t leave_index = 0;

// Async-signal-safe: write and tcsetattr are.
void write_leave_sequence() {
    int i = leave_index;
    const char* p = leave_bytes[i];
    size_t n = leave_lengths[i];
    while (n > 0) {
        ssize_t w = ::write(STDOUT_FILENO, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        p += w;
        n -= size_t(w);
    }
}

void restore_saved_mode() {
    if (raw) {
        raw = 0;
        write_leave_sequence();
        tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_mode);
    }
}

void on_end_signal(int signal) {
    restore_saved_mode();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(signal, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
}

// Gives the terminal back, stops by the default action and, once continued,
// takes this handler again; the SIGCONT handler has put raw mode back on.
void on_stop(int signal) {
    int saved_errno = errno;
    if (raw) {
        write_leave_sequence();
        tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_mode);
    }
    struct sigaction dfl {
    }, mine{};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(signal, &dfl, &mine);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    sigaction(signal, &mine, nullptr);
    errno = saved_errno;
}

void on_continue(int) {
    if (raw) tcsetattr(STDIN_FILENO, TCSADRAIN, &raw_mode);
    continued = 1;
}

void on_resize(int) { resized = 1; }

void install_handlers() {
    for (size_t i = 0; i < sizeof EDIT_SIGNALS / sizeof EDIT_SIGNALS[0]; ++i) {
        int s = EDIT_SIGNALS[i];
        struct sigaction sa {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the key reader wakes up
        sa.sa_handler = s == SIGCONT ? on_continue : s == SIGWINCH ? on_resize : s == SIGTSTP ? on_stop : on_end_signal;
        sigaction(s, nullptr, &saved_actions[i]);
        // A signal the process was told to ignore stays ignored.
        if ((s == SIGTERM || s == SIGHUP || s == SIGTSTP) && saved_actions[i].sa_handler == SIG_IGN) continue;
        sigaction(s, &sa, nullptr);
    }
}

void restore_handlers() {
    for (size_t i = 0; i < sizeof EDIT_SIGNALS / sizeof EDIT_SIGNALS[0]; ++i)
        sigaction(EDIT_SIGNALS[i], &saved_actions[i], nullptr);
}

bool term_is_dumb() {
    const char* term = std::getenv("TERM");
    return term && std::strcmp(term, "dumb") == 0;
}

}  // namespace

bool output_is_terminal() { return isatty(STDOUT_FILENO) != 0; }

InputMode input_mode() {
    if (!isatty(STDIN_FILENO)) return InputMode::REDIRECTED;
    if (!output_is_terminal() || term_is_dumb()) return InputMode::CANONICAL;
    return InputMode::EDITOR;
}

bool raw_on() {
    if (raw) return true;
    if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) return false;
    raw_mode = saved_mode;
    raw_mode.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
    raw_mode.c_iflag &= ~tcflag_t(ICRNL | IXON | ISTRIP);
    raw_mode.c_cc[VMIN] = 1;
    raw_mode.c_cc[VTIME] = 0;
    install_handlers();
    set_exit_hook(restore_saved_mode);
    raw = 1;
    if (tcsetattr(STDIN_FILENO, TCSADRAIN, &raw_mode) != 0) {
        raw = 0;
        restore_handlers();
        return false;
    }
    resized = 0;
    continued = 0;
    return true;
}

void raw_off() {
    if (!raw) return;
    restore_saved_mode();
    restore_handlers();
}

bool raw_active() { return raw != 0; }

// `raw` stays set while the process is stopped, so that the SIGCONT handler
// applies raw mode again; it is applied here too, for a stop that never
// happened.
void suspend() {
    if (!raw) return;
    tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_mode);
    raise(SIGTSTP);  // this thread takes it: it is stopped before raise returns
    tcsetattr(STDIN_FILENO, TCSADRAIN, &raw_mode);
}

Size window_size() {
    Size size;
    winsize ws{};
    if ((ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 || ioctl(STDIN_FILENO, TIOCGWINSZ, &ws) == 0) && ws.ws_col > 0 &&
        ws.ws_row > 0) {
        size.columns = ws.ws_col;
        size.rows = ws.ws_row;
        size.known = true;
    } else if (ws.ws_col > 0) {
        size.columns = ws.ws_col;
    }
    return size;
}

void set_leave_sequence(std::string_view bytes) {
    int next = 1 - leave_index;
    size_t n = bytes.size() < LEAVE_SEQUENCE_MAX ? bytes.size() : LEAVE_SEQUENCE_MAX;
    std::memcpy(leave_bytes[next], bytes.data(), n);
    leave_lengths[next] = n;
    leave_index = next;
}

bool take_resized() {
    bool r = resized != 0;
    resized = 0;
    return r;
}

bool take_continued() {
    bool r = continued != 0;
    continued = 0;
    return r;
}

namespace {

void write_to(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t n = bytes.size();
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        p += w;
        n -= size_t(w);
    }
}

}  // namespace

void write_all(std::string_view bytes) { write_to(STDOUT_FILENO, bytes); }

void write_error(std::string_view bytes) { write_to(STDERR_FILENO, bytes); }

void set_title(std::string_view title) {
    if (!output_is_terminal()) return;
    std::string_view open = "\x1b]2;", close = "\x07";
    std::string bytes;
    bytes.reserve(title.size() + 6);
    bytes.append(open);
    // Control characters would end or corrupt the sequence.
    for (char c : title)
        if (uint8_t(c) >= 32 && c != 127) bytes.push_back(c);
    bytes.append(close);
    write_all(bytes);
}

}  // namespace kel::console::terminal
