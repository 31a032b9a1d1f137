// The draw dialect's interpreter: blocks such as [pen 255.0.0 box 1x1 10x4
// line 0x0 5x5 text 2x2 "Hi"], a keyword and its arguments, repeated.
//
// Every command's arguments are checked fully, also those of the commands
// a character grid cannot render (transformations, clipping, curves,
// images, shadows, gradients, shapes), so a block valid for the dialect is
// accepted and a malformed one raises the same error whatever is drawn.
//
// Errors: "DRAW - invalid input at:" (script/draw-invalid) with the
// command block positioned at the offending value, and "DRAW - infinite
// recursion at:" (script/draw-infinite) with a block drawn from inside
// itself. The walk guard is the runtime's cycle guard: every block pushes
// its node for the life of a scope, so the guard is back where it was on
// every way out, an error thrown through nested blocks included. While
// system/view/silent? is true an error stops the drawing without a report:
// the code STOPPED travels with catch? false, thrown::ERROR (no error made)
// with catch? true; the entries below take both.
//
// Set-words in a block are set, on every drawing, to the block positioned
// after them. Setting a word may run Kel code (an object's on-change):
// nothing here keeps a buffer address across it.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"
#include "view/terminal/draw-grid.h"
#include "view/terminal/text-layout.h"

namespace kel::gui::draw {

// The code of a silent stop of a drawing whose errors are raised.
inline constexpr uint32_t STOPPED = 1;

// Draws on an image (the `draw` function): with no target nothing is
// drawn; the block is checked and, unless catch?, its error raised. Nothing
// happens for commands that are not a block or an empty block.
void do_draw(const Cell& commands, bool catch_errors);

// The command loop over a block, with the context's state.
void parse_commands(DrawContext& ctx, const Cell& commands, bool catch_errors);

// Raises the draw error for the value at an absolute position of the block
// (position < 0: the block itself, drawn from inside itself).
[[noreturn]] void throw_error(const Cell& commands, int32_t position, bool catch_errors);

// A face's draw block in the face render: begin, the commands with catch?
// true, end. An error is printed once for the widget (ctx.widget) and its
// draw block: again when the face's `draw` holds another block, when the
// widget is new (a window shown again makes new widgets), or after
// `forget_error` for it. Answers the thrown code (0 when the block drew).
uint32_t render_block(DrawContext& ctx, const Cell& commands);
void forget_error(WidgetId widget);

// The face render's hook: the draw block of the widget's face, at cell
// (x, y) with the render's clip and style bits, into the screen buffer.
void render_face_block(WidgetId widget, int32_t x, int32_t y, const ClipRect& clip, const RenderStyle& style);

// Applies a rich-text style block ([1x5 bold 7x5 italic 12x1 0.0.255] as
// rtd-layout leaves it) to the widget's cells for `text` (a string!):
// ranges are 1-based character positions (one cell per character), cut to
// the text. Raises the draw errors as above (the rich-text widget passes
// catch? false and takes STOPPED).
void parse_text_styles(std::span<ScreenCell> run, const Cell& styles, const Cell& text, bool catch_errors);

}  // namespace kel::gui::draw
