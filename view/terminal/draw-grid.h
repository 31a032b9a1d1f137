// The draw operations on the character grid: what the draw interpreter
// asks of the backend, carried out on the screen buffer's cells.
//
// Lines, circles and ellipses are full blocks (U+2588) in the pen colour,
// boxes are box-drawing characters, filled areas are spaces on the fill
// colour. Every drawing operation does nothing when the context has no
// target (drawing on an image, the block of a pattern pen).
//
// Coordinates are relative to the context's origin (the widget's top-left
// cell) and every cell written lies inside the context's clip rectangle and
// the screen buffer. Coordinates are 32-bit and computed in 64 bits; every
// line, span and outline is clipped before it is walked, so an operation's
// work is bounded by the screen's size, never by how far outside it the
// coordinates reach. Radii and sizes above MAX_EXTENT cells are clamped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "view/terminal/screen.h"
#include "view/terminal/window-record.h"

namespace kel::gui {

inline constexpr int64_t MAX_EXTENT = 1000000;

inline constexpr uint32_t FULL_BLOCK = 0x2588;

struct GridPoint {
    int32_t x = 0, y = 0;
};

// One per drawing, made by its caller (the face render or an image
// drawing). The fields from `pen_on` on are the drawing's state, set by
// `draw_begin` and the setters.
struct DrawContext {
    ScreenBuffer* target = nullptr;  // null: nothing is drawn
    WidgetId widget = 0;  // the widget drawn on; 0 for none
    int32_t origin_x = 0, origin_y = 0;  // screen cell of the widget's top-left corner
    int32_t clip_left = 0, clip_top = 0, clip_right = 0, clip_bottom = 0;  // right and bottom exclusive
    bool pen_on = true;
    uint32_t pen_colour = 0;  // colour words (view/terminal/colour.h)
    uint32_t fill_colour = 0;
    bool fill_on = false;
    uint32_t text_colour = 0;
    bool font_colour_set = false;  // a font's colour wins over the pen's for text
    uint32_t render_flags = 0;  // the text-style flags of the widget's render (0x1000 generic)
};

// Pen on with colour 0, fill off, no font colour.
void draw_begin(DrawContext& ctx);

// The pen and fill setters: `rgba` is a packed colour (r in the lowest
// byte); off? switches the pen or fill off. The pen colour is also the text
// colour unless a font colour is set.
void set_pen_colour(DrawContext& ctx, uint32_t rgba, bool off);
void set_fill_colour(DrawContext& ctx, uint32_t rgba, bool off);
// A font's colour (a packed colour) becomes the text colour; with none the
// font colour is no longer set.
void set_font_colour(DrawContext& ctx, const uint32_t* rgba);

// Each consecutive pair of points joined by a line; nothing while the pen is
// off.
void draw_line(DrawContext& ctx, const GridPoint* points, size_t count);
// The line of full blocks from (x0, y0) to (x1, y1) in screen cells, the
// cells of the full walk that lie in the clip rectangle and on the screen.
void plot_line(DrawContext& ctx, int64_t x0, int64_t y0, int64_t x1, int64_t y1);
// A box outline with the pen, its cells filled with the fill colour.
void draw_box(DrawContext& ctx, GridPoint a, GridPoint b);
// A filled triangle (scan lines) and its three edges.
void draw_triangle(DrawContext& ctx, const GridPoint (&points)[3]);
// An ellipse twice as wide as high around the centre; nothing for r <= 0.
void draw_circle(DrawContext& ctx, GridPoint centre, int64_t radius);
// An ellipse inside the box at `upper_left` of `size`.
void draw_ellipse(DrawContext& ctx, GridPoint upper_left, GridPoint size);
// The ellipse outline and fill around (cx, cy) in screen cells with the
// half axes a and b.
void plot_ellipse(DrawContext& ctx, int64_t cx, int64_t cy, int64_t a, int64_t b);

// The cell setters of a rich-text cell run: the range from `start` over
// `length` cells, cut to the run; a colour word or an attribute bit for
// every cell of it.
void style_cells_foreground(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t rgba);
void style_cells_background(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t rgba);
void style_cells_attribute(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t bit);

}  // namespace kel::gui
