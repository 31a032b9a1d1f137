// A terminal for the view backend's tests, installed as its OS interface
// for the life of the object: input bytes come from a script, output is
// recorded and fed to a VT screen model of a fixed size (whose answers to
// "\033[6n" join the input), and a manual clock moves only when a wait runs
// out or the test moves it. The backend's state, its input queue and screen
// buffer are put back to their start when the object goes.
#pragma once
#include <cstdint>
#include <string>

#include "tests/console/vt-screen.h"
#include "view/terminal/input.h"
#include "view/terminal/os.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"

namespace kel::test {

class FakeTerminal final : public gui::Os {
public:
    explicit FakeTerminal(int rows = 24, int columns = 80, bool terminal = true)
        : screen(rows, columns), rows_(rows), columns_(columns), terminal_(terminal) {
        previous_ = gui::install_os(this);
        reset_backend();
    }
    ~FakeTerminal() override {
        reset_backend();
        gui::install_os(previous_);
    }

    // Bytes that arrive as input; `end_input` makes the next read answer the
    // end once the script is read.
    void type(const std::string& bytes) { input += bytes; }
    void end_input() { ended = true; }

    void write(std::string_view bytes) override {
        ++writes;
        output.append(bytes);
        screen.feed(bytes);
        if (answer_queries) input += screen.take_answers();
    }
    int32_t wait_input(int32_t ms) override {
        if (!input.empty() || ended) return 1;
        clock += ms;
        return 0;
    }
    int64_t read_input(uint8_t* dest, int64_t room) override {
        if (input.empty()) return ended ? 0 : -1;
        size_t n = std::min(input.size(), size_t(room));
        input.copy(reinterpret_cast<char*>(dest), n);
        input.erase(0, n);
        return int64_t(n);
    }
    void drop_input() override {
        dropped += input;
        input.clear();
    }
    gui::ScreenSize size() override { return gui::ScreenSize{columns_, rows_}; }
    bool is_terminal() override { return terminal_; }
    bool enter() override {
        raw = true;
        return true;
    }
    void leave() override {
        write(leave_bytes);
        raw = false;
    }
    void set_leave_sequence(std::string_view bytes) override { leave_bytes = bytes; }
    bool take_resized() override { return std::exchange(resized, false); }
    bool take_continued() override { return std::exchange(continued, false); }
    double now_ms() override { return clock; }
    void sleep(int32_t ms) override { clock += ms; }

    VtScreen screen;
    std::string input, output, dropped, leave_bytes;
    int writes = 0;
    double clock = 0;
    bool ended = false, raw = false, resized = false, continued = false;
    bool answer_queries = true;  // the model's answers join the input at once

private:
    static void reset_backend() {
        gui::clear_input();
        gui::reset_input_state();
        gui::reset_buffer();
        gui::state() = gui::State{};
    }

    int rows_, columns_;
    bool terminal_;
    gui::Os* previous_ = nullptr;
};

}  // namespace kel::test
