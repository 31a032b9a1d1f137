// Text in a drawing: `text` of the draw dialect lays a string, or the text
// of a face, out into the screen buffer at a point relative to the widget,
// through the face render's text layout, cut to the context's clip.
#pragma once
#include "runtime/core/cell.h"
#include "view/terminal/draw-grid.h"

namespace kel::gui {

// (x, y) relative to the origin; the text a string! or a face object. The
// style: the render flags with escapes interpreted, wrapping, and the
// font's colour when one is set, else the pen's while it is on, else the
// default. A face gives its para flags; a rich-text face draws its cell
// run: its widget's, or, for a face without a widget, cells built for this
// call alone (its text on its colour, styled by its `data`), registered
// nowhere. Style errors are raised with catch?.
void draw_text(DrawContext& ctx, GridPoint at, const Cell& text, bool catch_errors);

}  // namespace kel::gui
