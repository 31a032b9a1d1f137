// The view engine's entry points for a face's widget: making it from the
// face, applying facet changes, destroying it with its pane tree, and the
// small questions the Kel side asks of a face's widget.
//
// A face's `state` block holds [handle dirty-mask ...]; the handle (class
// window) holds the widget's id. Every function here takes faces as cells
// that stay reachable for the call (an argument frame or a root guard) and
// holds widget ids, never records, across a call into Kel.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

// Dirty-mask bits of the facets that an update applies.
inline constexpr uint32_t DIRTY_OFFSET = 0x2;
inline constexpr uint32_t DIRTY_SIZE = 0x4;
inline constexpr uint32_t DIRTY_IMAGE = 0x10;
inline constexpr uint32_t DIRTY_DATA = 0x80;
inline constexpr uint32_t DIRTY_ENABLED = 0x100;
inline constexpr uint32_t DIRTY_VISIBLE = 0x200;
inline constexpr uint32_t DIRTY_SELECTED = 0x400;
inline constexpr uint32_t DIRTY_FLAGS = 0x800;
inline constexpr uint32_t DIRTY_RATE = 0x10000;
inline constexpr uint32_t DIRTY_PARA = 0x40000;
inline constexpr uint32_t DIRTY_DRAW = 0x400000;

// Makes the widget of a face under a parent widget (0 for a window, whose
// parent is the screen). The face's pair offset becomes a point2D and a
// window's offset 0x0. Raises script/invalid-arg for an unknown flag word.
WidgetId OS_make_view(const Cell& face, WidgetId parent);
// Applies the facets of the face's dirty mask to its widget (the mask is
// set to 0), runs the widget's UI hook with `system/view/auto-sync?` off and
// asks for a redraw.
void OS_update_view(const Cell& face);
// A change in place of a facet's series: `pane` and most changes update the
// view; a text-list's removals keep its first shown line and `selected`
// within the data that stays.
void OS_update_facet(const Cell& face, const Cell& word, const Cell& value, const Cell& action, const Cell& added,
                     int32_t index, int32_t part);
// Destroys the widget tree of the face (its `state` and its pane tree's
// become none); with `empty` the running event loop is asked to end.
void OS_destroy_view(const Cell& face, bool empty);
// A font field changed: name, size, style, angle or anti-alias? (0-based
// places 0, 1, 2, 4, 6) make the font's `state` none.
void update_font(const Cell& font, int32_t field);
// The para of a face changed: the para bit joins the face's dirty mask.
void update_para(const Cell& face, int32_t flags);

bool has_focus(WidgetId widget);
// The kind data as an integer: a text-list's first shown line, else 0.
int32_t widget_data(WidgetId widget);
// Sets the widget's UI string (nothing for no widget).
void set_widget_ui(WidgetId widget, NodeId string_node);

// The platform entries this backend has nothing to do for.
void OS_draw_face(const Cell& face);
void update_scroller(const Cell& scroller, int32_t flags);
void set_dark_mode(const Cell& face, bool dark);
Cell get_text_alt(const Cell& face);
Cell OS_request_color(const Cell& colour);

// The image of a face for `to image!`: a terminal has none, so the answer is
// always false and the conversion refuses the face.
bool face_to_image(const Cell& face, Cell* out);

}  // namespace kel::gui
