// Text in a drawing: `text` of the draw dialect lays a string, or the text
// of a face, out into the screen cells at a point relative to the widget.
//
// The text layout itself belongs to the widgets' face render; until the
// render installs its layout (`install_text_layout`) a plain one stands
// in: one cell per column of each character's display width, a line feed
// or the clip's right edge starting a new line at the text's column, every
// cell cut to the clip rectangle and the screen. A face is drawn through
// the face hook the widgets install; the plain one draws the face's `text`
// when it is a string.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "view/terminal/draw-grid.h"

namespace kel::gui {

inline constexpr uint32_t PARA_WRAP = 0x20;

// What `text` hands the layout: the cell attributes (the render flags with
// escape interpretation, 0x1000), the para flags (wrap, 0x20), the
// foreground colour word and the run of styled cells drawn in place of a
// string (a rich-text widget's cells), or none.
struct TextStyle {
    uint32_t attributes = 0;
    uint32_t para_flags = PARA_WRAP;
    uint32_t foreground = 0;
    const CellRun* run = nullptr;
};

// Lays the text (a string!, or none with a cell run) out at screen cell
// (x, y) inside the context's clip rectangle.
using TextLayout = void (*)(const DrawContext& ctx, const Cell& text, int64_t x, int64_t y, const TextStyle& style);
// Draws a face object at (x, y): its widget, or a light temporary one
// registered nowhere, supplies the para flags and the cell run.
using FaceTextLayout = void (*)(const DrawContext& ctx, const Cell& face, int64_t x, int64_t y, TextStyle style);

// Installs the layouts; null puts the plain ones back. Answer the ones
// they replace.
TextLayout install_text_layout(TextLayout layout);
FaceTextLayout install_face_text_layout(FaceTextLayout layout);

// `text` of the draw dialect: (x, y) relative to the origin, the text a
// string! or a face object. The foreground is the font's colour when one is
// set, else the pen colour while the pen is on, else the default.
void draw_text(DrawContext& ctx, GridPoint at, const Cell& text);

}  // namespace kel::gui
