// Everything the terminal backend asks of the operating system, behind one
// interface: writing, waiting for and reading input, the window size,
// whether the process runs on a terminal, entering and leaving raw mode,
// the signal flags, a monotonic millisecond clock and the leave sequence
// the terminal layer writes on every way out of the process.
//
// The real implementation (os-terminal.cpp) sits on console/terminal and the
// shared reader of standard input; tests install a fake with scripted input,
// recorded output, a fixed size and a manual clock.
#pragma once
#include <cstdint>
#include <string_view>

namespace kel::gui {

struct ScreenSize {
    int32_t columns = 80;
    int32_t rows = 24;
};

class Os {
public:
    virtual ~Os() = default;

    // Writes every byte (one write call where the system allows).
    virtual void write(std::string_view bytes) = 0;
    // Waits until input is ready or `ms` milliseconds have passed: 1 ready
    // (also at the end of input), 0 timed out, -1 a signal ended the wait.
    virtual int32_t wait_input(int32_t ms) = 0;
    // Reads what is ready without blocking: the count, 0 at the end of input,
    // -1 when nothing is ready.
    virtual int64_t read_input(uint8_t* dest, int64_t room) = 0;
    // Drops every byte of input not read yet (the terminal's queue and any
    // bytes buffered by the process).
    virtual void drop_input() = 0;
    // The window size; 80x24 when the terminal does not tell.
    virtual ScreenSize size() = 0;
    // Input and output are a terminal that can show the backend's modes.
    virtual bool is_terminal() = 0;
    // Raw mode on (false when it cannot be) and off again; leaving writes the
    // leave sequence first.
    virtual bool enter() = 0;
    virtual void leave() = 0;
    // The bytes written before the terminal's mode is restored, on leaving
    // and on every other way out of the process.
    virtual void set_leave_sequence(std::string_view bytes) = 0;
    // Signal flags, cleared by reading them.
    virtual bool take_resized() = 0;
    virtual bool take_continued() = 0;
    // Milliseconds of a monotonic clock.
    virtual double now_ms() = 0;
    // Sleeps for `ms` milliseconds (frames while no terminal is active);
    // the system's sleep unless a fake keeps its own clock.
    virtual void sleep(int32_t ms);
    // Whether standard input, while it is no terminal, can bring nothing
    // more (the system's: a pipe or socket whose writer has gone, a file, a
    // device, a closed descriptor); false unless an interface says so.
    virtual bool input_gone() { return false; }
};

// The system's terminal.
Os& system_os();
// The interface in use: the system's unless a test installed another.
Os& os();
// Installs an interface (nullptr: the system's again); answers the one it
// replaces, nullptr for the system's.
Os* install_os(Os* replacement);

}  // namespace kel::gui
