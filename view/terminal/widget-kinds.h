// The widget kinds: the face types with a look or behaviour of their own
// in the terminal (window, base, field, button, progress, text-list,
// rich-text, group-box, check, radio). A kind's init, run when the widget
// is made, sets its callbacks (UI hook, render, event handler) and its
// kind data; every other type keeps the defaults and is drawn by the
// generic face render.
//
// Four kinds build their look in Kel: the UI makers of `TUI-helpers`
// (view/terminal/helpers.kel) set the face's text or answer the widget's
// UI string.
#pragma once
#include <cstdint>

#include "view/terminal/widgets.h"

namespace kel::gui {

// Runs the init of the widget's kind (by its type symbol).
void init_kind(WidgetId widget);

// Glyphs.
inline constexpr uint32_t GLYPH_TOP_LEFT = 0x250C, GLYPH_TOP_RIGHT = 0x2510, GLYPH_BOTTOM_LEFT = 0x2514,
                          GLYPH_BOTTOM_RIGHT = 0x2518;
inline constexpr uint32_t GLYPH_ROUND_TOP_LEFT = 0x256D, GLYPH_ROUND_TOP_RIGHT = 0x256E,
                          GLYPH_ROUND_BOTTOM_LEFT = 0x2570, GLYPH_ROUND_BOTTOM_RIGHT = 0x256F;
inline constexpr uint32_t GLYPH_VERTICAL = 0x2502, GLYPH_HORIZONTAL = 0x2500;

// The rich-text style parser of the draw module: applies the style runs of
// a rich-text face's `data` to its cell run. Null until the draw module
// installs it; the cells then keep their characters and background only.
using RichTextStyles = void (*)(WidgetId widget);
extern RichTextStyles rich_text_styles;

}  // namespace kel::gui
