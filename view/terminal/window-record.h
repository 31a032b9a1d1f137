// The record of one window of the terminal backend: the kind data of a
// window widget. It holds the window's extent in cells (the screen buffer
// takes this size), its widget, the widget that has or will get the focus
// in it and how many caret widgets it holds. The record lives as long as
// its window widget; the window list holds window widget ids, never
// records.
#pragma once
#include <cstdint>

namespace kel::gui {

using WidgetId = uint32_t;  // 0 is no widget

struct WindowRecord {
    // 0 at first, grown by every direct child made in the window and set to
    // the window's box when the window's size changes.
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    WidgetId widget = 0;
    WidgetId focus = 0;  // the remembered focus
    int32_t caret_widgets = 0;
};

}  // namespace kel::gui
