// Drives the view backend on a real terminal for the tests: enters the
// backend's modes (raw mode, mouse reporting, the alternate screen in full
// screen or an inline frame, a hidden cursor), writes a frame, prints
// "drawn" on standard error, then ends by the way MODE names:
//
//   gui-probe MODE [inline]
//     leave          leaves the terminal, prints "left", reads one line as the
//                    next reader would and prints it as "next [line]"
//     exit0, exit3   end_process with 0 or 3 (what quit and quit/return reach)
//     runtime-error  system_quit with a runtime error status
//     uncaught       an error that no catcher takes
//     fault          a segmentation fault
//     wait           runs frames until a signal ends the process; after a stop
//                    and SIGCONT the modes come back and a frame is drawn
//                    whole (the frame then counts up)
//
// Every loop has a hard limit: the probe ends itself with 124 after 20 s.
// Built without sanitizer checks: its fault is raised on purpose.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/platform/input-reader.h"
#include "runtime/platform/process.h"
#include "view/terminal/input.h"
#include "view/terminal/os.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"
#include "view/terminal/terminal-modes.h"

namespace {

const char* mode;
bool inline_frame = false;
int frames = 0;

void draw() {
    using namespace kel::gui;
    size_buffer(0, 0, 12, 2);
    clear_buffer();
    std::string text = "frame " + std::to_string(++frames);
    for (size_t i = 0; i < text.size(); ++i) {
        ScreenCell& c = screen().at(int32_t(i), 0);
        c.code_point = uint8_t(text[i]);
        c.attributes = ATTR_BOLD | ATTR_UNDERLINE;
        c.foreground = COLOUR_PALETTE | 196;
    }
    screen().at(0, 1).code_point = 0x4E2D;
    screen().at(1, 1).attributes = ATTR_CONTINUATION;
    write_frame();
}

void run(void*) {
    using namespace kel;
    with_root_catch([] {
        gui::state().full_screen = !inline_frame;
        if (!gui::enter_terminal()) {
            std::fprintf(stderr, "no terminal\n");
            end_process(2);
        }
        gui::mouse_on();
        gui::enter_alternate_screen();
        gui::hide_cursor();
        draw();
        std::fprintf(stderr, "drawn\n");
        if (!std::strcmp(mode, "leave")) {
            gui::leave_terminal();
            std::fprintf(stderr, "left\n");
            std::u32string line;
            console::standard_input().read_line(line);
            std::string text;
            for (char32_t c : line) text += c < 0x80 ? char(c) : '?';
            std::fprintf(stderr, "next [%s]\n", text.c_str());
            end_process(0);
        }
        if (!std::strcmp(mode, "exit0")) end_process(0);
        if (!std::strcmp(mode, "exit3")) end_process(3);
        if (!std::strcmp(mode, "runtime-error")) system_quit(exit_status::OUT_OF_MEMORY, 0);
        if (!std::strcmp(mode, "uncaught")) fire(ErrorId::math_zero_divide);
        if (!std::strcmp(mode, "fault")) {
            volatile int* p = nullptr;
            *p = 1;
        }
        double stamp = gui::start_clock();
        while (gui::elapsed_ms(stamp) < 20000) {
            gui::wait_input(33);
            gui::read_console(false);
            if (gui::resume_after_stop()) {
                draw();
                std::fprintf(stderr, "resumed\n");
            }
        }
        end_process(124);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    mode = argv[1];
    inline_frame = argc > 2 && !std::strcmp(argv[2], "inline");
    kel::platform::init_process(argc, argv);
    kel::platform::run_on_large_stack(run, nullptr);
    kel::end_process(0);
}
