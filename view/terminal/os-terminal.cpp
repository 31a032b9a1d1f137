// The backend's interface on the Linux terminal: console/terminal for raw
// mode, the size, the signal flags and writing; the shared reader of
// standard input for reading, so bytes the console has buffered come first
// and no type-ahead is lost. Standard input is never made non-blocking
// (O_NONBLOCK belongs to the open file description, which the shell and
// standard output usually share): a read happens only when the reader holds
// bytes or poll reports the descriptor ready.
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "console/terminal.h"
#include "runtime/platform/input-reader.h"
#include "view/terminal/os.h"

namespace kel::gui {

namespace {

namespace terminal = console::terminal;

// 1 ready (POLLHUP and POLLERR count: the read then answers the end), 0 not
// within `ms`, -1 interrupted by a signal.
int32_t poll_input(int32_t ms) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int r = ::poll(&p, 1, ms < 0 ? 0 : ms);
    if (r < 0) return errno == EINTR ? -1 : 1;
    return r > 0 ? 1 : 0;
}

class TerminalOs final : public Os {
public:
    void write(std::string_view bytes) override { terminal::write_all(bytes); }

    int32_t wait_input(int32_t ms) override {
        if (console::standard_input().has_buffered()) return 1;
        return poll_input(ms);
    }

    int64_t read_input(uint8_t* dest, int64_t room) override {
        console::InputReader& in = console::standard_input();
        if (!in.has_buffered() && !in.ended() && poll_input(0) != 1) return -1;
        return in.read_bytes(dest, room);
    }

    void drop_input() override {
        tcflush(STDIN_FILENO, TCIFLUSH);
        console::InputReader& in = console::standard_input();
        uint8_t scratch[256];
        while (in.has_buffered()) in.read_bytes(scratch, sizeof scratch);
    }

    ScreenSize size() override {
        terminal::Size s = terminal::window_size();
        if (!s.known) return ScreenSize{};
        return ScreenSize{s.columns, s.rows};
    }

    bool input_gone() override {
        struct stat st {};
        if (fstat(STDIN_FILENO, &st) != 0) return true;
        if (!S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode)) return !isatty(STDIN_FILENO);
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) < 0) return false;
        return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    bool is_terminal() override { return terminal::input_mode() == terminal::InputMode::EDITOR; }
    bool enter() override { return terminal::raw_on(); }
    void leave() override { terminal::raw_off(); }
    void set_leave_sequence(std::string_view bytes) override { terminal::set_leave_sequence(bytes); }
    bool take_resized() override { return terminal::take_resized(); }
    bool take_continued() override { return terminal::take_continued(); }

    double now_ms() override {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
    }
};

Os* installed = nullptr;

}  // namespace

void Os::sleep(int32_t ms) {
    if (ms <= 0) return;
    timespec t{ms / 1000, long(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {}
}

Os& system_os() {
    static TerminalOs os;
    return os;
}

Os& os() { return installed ? *installed : system_os(); }

Os* install_os(Os* replacement) {
    Os* previous = installed;
    installed = replacement;
    return previous;
}

}  // namespace kel::gui
