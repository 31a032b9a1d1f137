#include "view/terminal/draw-text.h"

#include <algorithm>

#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string.h"
#include "runtime/text/char-width.h"
#include "view/terminal/colour.h"
#include "view/terminal/draw-symbols.h"

namespace kel::gui {

namespace {

// The plain layout: wraps at the clip's right edge (or cuts the line
// without wrapping), never writes outside the clip or the screen, and walks
// at most the text's characters.
void plain_layout(const DrawContext& ctx, const Cell& text, int64_t x, int64_t y, const TextStyle& style) {
    if (type_of(text) != TYPE_STRING || !ctx.target) return;
    ScreenBuffer& s = *ctx.target;
    int64_t left = std::max<int64_t>({ctx.clip_left, 0, x}), top = std::max<int64_t>(ctx.clip_top, 0);
    int64_t right = std::min<int64_t>(ctx.clip_right, s.width), bottom = std::min<int64_t>(ctx.clip_bottom, s.height);
    if (left >= right || top >= bottom) return;
    Cell str = text;
    int32_t n = string::ks_length(str), head = int32_t(str.data1);
    int64_t column = x, line = y;
    bool wrap = style.para_flags & PARA_WRAP;
    for (int32_t i = 0; i < n && line < bottom; ++i) {
        uint32_t cp = string::get_char_at(str, head + i);
        if (cp == '\n') {
            column = x;
            ++line;
            continue;
        }
        int64_t width = unicode::char_width(cp);
        if (column + width > right && column > x) {
            if (!wrap) continue;
            column = x;
            ++line;
            if (line >= bottom) break;
        }
        if (line >= top && column >= left && column + width <= right) {
            ScreenCell& c = s.at(int32_t(column), int32_t(line));
            c.code_point = cp;
            c.foreground = style.foreground;
            c.attributes = style.attributes & ~(ATTR_ESCAPES | ATTR_NO_TEXT);
            for (int64_t k = 1; k < width; ++k) s.at(int32_t(column + k), int32_t(line)).attributes = ATTR_CONTINUATION;
        }
        column += width;
    }
}

TextLayout text_layout = plain_layout;

// The plain face layout: the face's `text` when it is a string.
void plain_face_layout(const DrawContext& ctx, const Cell& face, int64_t x, int64_t y, TextStyle style) {
    Cell text = object::field_value(face, draw_words::id(draw_words::TEXT));
    text_layout(ctx, text, x, y, style);
}

FaceTextLayout face_layout = plain_face_layout;

}  // namespace

TextLayout install_text_layout(TextLayout layout) {
    TextLayout old = text_layout;
    text_layout = layout ? layout : plain_layout;
    return old;
}

FaceTextLayout install_face_text_layout(FaceTextLayout layout) {
    FaceTextLayout old = face_layout;
    face_layout = layout ? layout : plain_face_layout;
    return old;
}

void draw_text(DrawContext& ctx, GridPoint at, const Cell& text) {
    if (!ctx.target) return;
    TextStyle style;
    style.attributes = ctx.render_flags | ATTR_ESCAPES;
    style.foreground = ctx.font_colour_set ? ctx.text_colour : ctx.pen_on ? ctx.pen_colour : 0;
    int64_t x = int64_t(ctx.origin_x) + at.x, y = int64_t(ctx.origin_y) + at.y;
    if (type_of(text) == TYPE_OBJECT)
        face_layout(ctx, text, x, y, style);
    else
        text_layout(ctx, text, x, y, style);
}

}  // namespace kel::gui
