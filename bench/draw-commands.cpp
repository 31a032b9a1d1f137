// Drawing a block of 10,000 `line` and `box` commands into a face of
// 200x60 cells, against `foreach` walking the same block, in the same run.
// The drawing is timed around the face render's entry (the draw block of a
// widget whose clip is the whole face), the walk inside the interpreter
// with `dt`; each the median of several runs. Target: a ratio of at most
// 3.0.
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/kel-run.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "view/terminal/draw.h"

using namespace kel;

namespace {

constexpr int ROUNDS = 7;
constexpr int32_t WIDTH = 200, HEIGHT = 60;

}  // namespace

int main() {
    start_runtime();
    boot::build();
    // 5,000 lines and 5,000 boxes spread over the face and a little past it.
    bench::run_seconds(
        "cmds: make block! 30000 "
        "repeat i 5000 [ "
        "  append cmds reduce ['line as-pair i // 210 i // 67 as-pair i * 7 // 230 i * 3 // 70] "
        "  append cmds reduce ['box as-pair i * 5 // 190 i // 55 as-pair i * 11 // 205 i * 13 // 64] "
        "] "
        "0.0");
    Cell* top = stack::state.top;
    Cell* cmds = stack::push(*context::get(word::make(symbol::make("cmds"))));
    gui::ScreenBuffer face;
    face.width = WIDTH;
    face.height = HEIGHT;
    face.cells.resize(size_t(WIDTH) * HEIGHT);
    std::vector<double> times;
    for (int i = 0; i < ROUNDS; ++i) {
        gui::DrawContext ctx;
        ctx.target = &face;
        ctx.clip_right = WIDTH;
        ctx.clip_bottom = HEIGHT;
        auto start = std::chrono::steady_clock::now();
        if (gui::draw::render_block(ctx, *cmds) != 0) {
            std::printf("the block did not draw\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    stack::state.top = top;
    double ours = bench::median(times);
    double reference = bench::median_of("to float! dt [foreach v cmds []]", ROUNDS);
    std::printf("median of %d runs\n", ROUNDS);
    std::printf("%-40s %10.2f ms   %-16s %10.2f ms   ratio %.2f\n", "draw 10,000 line and box commands", ours * 1e3,
                "foreach walk", reference * 1e3, ours / reference);
    return 0;
}
