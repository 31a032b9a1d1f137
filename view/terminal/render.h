// The generic face render: a widget's background, image cells, UI string,
// text (or hint) aligned by its para, and its draw block, into the screen
// buffer; and the walk over a widget tree.
#pragma once
#include <cstdint>

#include "view/terminal/widgets.h"

namespace kel::gui {

// Draws the widget at cell x, y of the buffer with the render style's
// attribute bits (ATTR_ESCAPES: escapes in the text are interpreted,
// ATTR_NO_TEXT: the face's text is not drawn, plus any look bits).
void render_face(int32_t x, int32_t y, WidgetId widget, uint32_t style);

// Renders a widget and, in pane order, its children (hidden ones skipped),
// each at its position in the buffer.
void render_tree(WidgetId widget);

// Draws the current window into the buffer and writes the frame, when a
// redraw was asked for.
void draw_frame();

}  // namespace kel::gui
