#include "view/terminal/draw-text.h"

#include "runtime/memory/roots.h"
#include "view/terminal/draw.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/render.h"
#include "view/terminal/text-layout.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

namespace {

// The cells of a rich-text face that has no widget: its characters on its
// colour, styled by its `data` block.
CellRun light_cells(const Cell& face, const Cell& text, bool catch_errors) {
    std::u32string chars = text_of(text);
    uint32_t background = face_colour(facet(face, Facet::color));
    CellRun cells;
    cells.reserve(chars.size());
    for (char32_t c : chars) cells.push_back(ScreenCell{uint32_t(c), background, 0, 0});
    Cell data = facet(face, Facet::data);
    if (!cells.empty() && type_of(data) == TYPE_BLOCK) {
        Rooted keep(data);
        draw::parse_text_styles(cells, data, text, catch_errors);
    }
    return cells;
}

}  // namespace

void draw_text(DrawContext& ctx, GridPoint at, const Cell& text, bool catch_errors) {
    if (!ctx.target) return;
    RenderStyle style;
    style.attributes = ctx.render_flags | ATTR_ESCAPES;
    style.para = PARA_WRAP;
    style.foreground = ctx.font_colour_set ? ctx.text_colour : ctx.pen_on ? ctx.pen_colour : 0;
    ClipRect clip{ctx.clip_left, ctx.clip_top, ctx.clip_right, ctx.clip_bottom};
    int32_t x = to_cells(double(ctx.origin_x) + at.x), y = to_cells(double(ctx.origin_y) + at.y);
    if (type_of(text) != TYPE_OBJECT) {
        layout_text(text_of(text), x, y, clip, style);
        return;
    }
    Cell face = text;
    Rooted keep_face(face);
    Cell para = facet(face, Facet::para);
    if (type_of(para) == TYPE_OBJECT) style.para = para_flags(para);
    Cell str = facet(face, Facet::text);
    if (type_of(str) != TYPE_STRING) return;
    Rooted keep_text(str);
    if (face_type(face) != symbol_of("rich-text")) {
        layout_text(text_of(str), x, y, clip, style);
        return;
    }
    if (Widget* w = find_widget(face_handle(face))) {
        layout_cells(w->kind_data.cells, x, y, clip, style);
        return;
    }
    layout_cells(light_cells(face, str, catch_errors), x, y, clip, style);
}

}  // namespace kel::gui
