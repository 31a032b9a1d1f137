// The draw module's start-up (the library's `@draw` step): its words are
// interned and `draw-on-image` is made, the routine through which `draw`
// runs a block on an image until the platform's `draw-image` does.
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::gui {

// draw-on-image image cmds: nothing for an image of width or height 0;
// else the commands are checked (their error raised; no pixel changes on
// the grid) and the image's owner is told of a change of the whole image.
std::span<const routines::Entry> draw_routines();

// What the platform's `draw-image` does on the terminal (and
// `draw-on-image` until it does): nothing for an image of width or height
// 0; else the commands are checked, their error raised, and the owner told
// of a change of the whole image (no pixel changes on the grid).
void draw_on_image(const Cell& img, const Cell& cmds);

// Interns the dialect's words and makes the routines.
void start_draw();

}  // namespace kel::gui
