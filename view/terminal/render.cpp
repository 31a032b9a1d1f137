#include "view/terminal/render.h"

#include "view/terminal/colour.h"

namespace kel::gui {

void default_render(int32_t x, int32_t y, WidgetId widget) { render_face(x, y, widget, ATTR_ESCAPES); }

void render_face(int32_t, int32_t, WidgetId, uint32_t) {}

void render_tree(WidgetId) {}

void draw_frame() {}

}  // namespace kel::gui
