// Terminal frames: a 200 x 60 window of 600 faces with varied colours and
// text, drawn inline to a pseudo-terminal whose master a thread drains.
// Prints:
// 1. the full redraw (rendering the widget tree, composing, the write)
//    against one write(2) of the same bytes in the same run;
// 2. the redraw after one key typed into a 10-cell field (the key's
//    handling, rendering, composing, the write) against one write(2) of the
//    same bytes;
// 3. the bytes of a frame and the frames per second a typing user causes
//    (one redraw per key);
// and how a full redraw divides into rendering and composing.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/bench.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/handle.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "tests/boot-library.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/os.h"
#include "view/terminal/render.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"
#include "view/terminal/tui-helpers.h"
#include "view/terminal/view-lifecycle.h"
#include "view/terminal/widget-services.h"
#include "view/terminal/widgets.h"

using namespace kel;

namespace {

constexpr int COLUMNS = 200, ROWS = 60;

void write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t k = ::write(fd, p, n);
        if (k <= 0) std::abort();
        p += k;
        n -= size_t(k);
    }
}

// The backend's output goes to the pseudo-terminal; the last frame is kept.
class PtyOs final : public gui::Os {
public:
    explicit PtyOs(int fd) : fd_(fd) {}
    void write(std::string_view bytes) override {
        last.assign(bytes);
        write_all(fd_, bytes.data(), bytes.size());
    }
    int32_t wait_input(int32_t) override { return 0; }
    int64_t read_input(uint8_t*, int64_t) override { return -1; }
    void drop_input() override {}
    gui::ScreenSize size() override { return {COLUMNS, ROWS}; }
    bool is_terminal() override { return true; }
    bool enter() override { return true; }
    void leave() override {}
    void set_leave_sequence(std::string_view) override {}
    bool take_resized() override { return false; }
    bool take_continued() override { return false; }
    double now_ms() override { return 0; }
    std::string last;

private:
    int fd_;
};

Cell* kel_value(const std::string& code) {
    Cell* slot = stack::push(make_none());
    Cell* block = stack::push(make_none());
    lexer::scan(block, reinterpret_cast<const uint8_t*>(code.data()), int64_t(code.size()), lexer::Options{});
    if (interpreter::eval(*block, false)) std::abort();
    *slot = stack::top()[-1];
    stack::pop(uint32_t(stack::top() - (slot + 1)));
    return slot;
}

// Gives the face and its pane widgets, as `show` does.
gui::WidgetId realize(const Cell& face_in, gui::WidgetId parent) {
    Cell* face = stack::push(face_in);
    gui::WidgetId id = gui::OS_make_view(*face, parent);
    Cell* state = kel_value("reduce [none 0 none]");
    handle::make_at(*block::ks_abs_at(*state, 0), int32_t(id), handle::CLASS_WINDOW);
    *gui::facet_slot(*face, gui::Facet::state) = *state;
    for (int32_t i = 0;; ++i) {
        Cell pane = gui::facet(*face, gui::Facet::pane);
        if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
        realize(*block::ks_abs_at(pane, int32_t(pane.data1) + i), id);
    }
    return id;
}

// 60 rows of 10 faces 20 cells wide: text faces in colours, some bold or
// reversed through escapes, and a field at the top left.
const char* WINDOW = R"(
    colours: [255.0.0 0.128.0 0.0.255 200.200.0 0.200.200 128.0.128 90.90.90 250.250.250]
    faces: make block! 600
    append faces make face! [type: 'field offset: 0x0 size: 10x1 text: copy "" flags: [focusable]]
    repeat row 60 [
        repeat col 10 [
            if any [row > 1 col > 1] [
                append faces make face! [
                    type: 'text offset: as-pair col - 1 * 20 row - 1 size: 20x1
                    color: pick colours row + col % 8 + 1
                    font: make font! [color: pick colours row * col % 8 + 1]
                    text: rejoin either odd? col [["^[[1m" row "/" col " bold"]] [["cell " row "," col " text"]]
                ]
            ]
        ]
    ]
    make face! [type: 'window size: 200x60 pane: faces]
)";

}  // namespace

int main() {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) return 1;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        char buffer[65536];
        while (!stop.load()) {
            ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;
        }
    });

    test::boot_library();
    PtyOs pty(slave);
    gui::install_os(&pty);
    gui::install_tui_helpers();
    gui::State& s = gui::state();
    s.active = true;
    s.width = COLUMNS;
    s.height = ROWS;

    Cell* window = kel_value(WINDOW);
    gui::pointers().current_window = realize(*window, 0);
    Cell pane = gui::facet(*window, gui::Facet::pane);
    gui::WidgetId field = gui::face_handle(*block::ks_abs_at(pane, int32_t(pane.data1)));

    auto redraw = [&] {
        s.redraw = true;
        gui::draw_frame();
    };
    redraw();
    std::string frame = pty.last;
    constexpr int ROUNDS = 200;
    double full = bench::best_of(ROUNDS, redraw);
    double full_write = bench::best_of(ROUNDS, [&] { write_all(slave, frame.data(), frame.size()); });

    // A key into the field: its own handling, then the redraw. The text is
    // emptied by backspaces when the field is full, so every key is drawn.
    int32_t typed = 0;
    auto type_key = [&] {
        gui::EventRecord record{field, 0, 0, typed % 10 == 9 ? 8 : 'a' + typed % 26, 0};
        gui::find_widget(field)->event(field, int32_t(gui::EVENT_KEY), record);
        ++typed;
        redraw();
    };
    double key = bench::best_of(ROUNDS, type_key);
    std::string key_frame = pty.last;
    double key_write = bench::best_of(ROUNDS, [&] { write_all(slave, key_frame.data(), key_frame.size()); });

    double render_only = bench::best_of(ROUNDS, [&] {
        gui::clear_buffer();
        gui::render_tree(gui::pointers().current_window);
    });
    std::string composed;
    double compose_only = bench::best_of(ROUNDS, [&] {
        composed.clear();
        gui::compose_frame(composed);
    });
    std::printf("of a full redraw: rendering %.3f ms, composing %.3f ms\n", render_only * 1e3, compose_only * 1e3);
    bench::report("full redraw 200x60, 599 faces", full, full_write, "write(2) of the bytes");
    bench::report("redraw after a key in a 10-cell field", key, key_write, "write(2) of the bytes");
    std::printf("bytes per frame %zu; frames per second while typing %.0f\n", frame.size(), 1.0 / key);

    gui::install_os(nullptr);
    stop.store(true);
    close(slave);
    close(master);
    drain.join();
    return 0;
}
