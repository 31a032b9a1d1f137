// The generic face render and the frame: a widget's background, image
// cells, UI string, text (or hint) aligned by its para and its draw block,
// drawn into the screen buffer; the walk over a widget tree; the frame of
// the current window.
//
// Colours: a face's `color` is its background and its font's `color` its
// foreground, each a tuple mapped onto the 256-colour palette (a 3-byte
// tuple is opaque; a fully transparent one is the terminal's default). A
// font whose colour is no tuple gives the default foreground, so text
// stays readable on dark and light terminals alike.
//
// Rendering calls into Kel only through the draw block's hook; every walk
// holds widget ids and faces on the argument stack, never records.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "view/terminal/text-layout.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

// Draws the widget at cell x, y of the buffer with the render style's
// attribute bits (ATTR_ESCAPES: escapes in the text are interpreted,
// ATTR_NO_TEXT: the face's text is not drawn, plus look bits such as
// ATTR_REVERSE or ATTR_PASSWORD).
void render_face(int32_t x, int32_t y, WidgetId widget, uint32_t style);

// The cells a widget at x, y may draw into: its box, cut at its parent's
// edges when the parent is no window, and at the buffer's.
ClipRect clip_box(int32_t x, int32_t y, WidgetId widget);

// Fills the cells of the rectangle (cut at the buffer) with spaces of the
// background colour; their foreground and attributes stay.
void fill_box(int32_t x1, int32_t y1, int32_t width, int32_t height, uint32_t background);

// Where a widget is drawn: the sum of the left and top of it and its
// ancestors below the window, truncated.
CellOffset widget_position(WidgetId widget);

// Renders a widget and, in pane order, its children (hidden ones with
// their children skipped), each at its position in the buffer.
void render_tree(WidgetId widget);

// Once per frame: keeps the drawing area on the terminal and, when a redraw
// was asked for, draws the current window into the buffer and writes the
// frame with the caret in place.
void draw_frame();

// The colour word of a face colour (a tuple; 0 for anything else), on the
// 256-colour palette.
uint32_t face_colour(const Cell& colour);

// The widget's image cells from an image: the image scaled to the box's
// width x twice its height, each cell a lower half block with the upper
// pixel as background and the lower as foreground (a space on the default
// background where the upper pixel is fully transparent). Nothing for a box
// below 1x1 or an empty image.
void make_image_cells(WidgetId widget, const Cell& image);

// The draw dialect's entry for a face's non-empty `draw` block, run last by
// the generic render with the clip and the style; null until the draw
// module installs it (the block is then skipped).
using DrawFaceBlock = void (*)(WidgetId widget, int32_t x, int32_t y, const ClipRect& clip, const RenderStyle& style);
extern DrawFaceBlock draw_face_block;

}  // namespace kel::gui
