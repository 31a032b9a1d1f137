#include "view/terminal/render.h"

#include <algorithm>
#include <cstdio>

#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"
#include "view/terminal/terminal-modes.h"

namespace kel::gui {

DrawFaceBlock draw_face_block = nullptr;

namespace {

constexpr uint32_t LOWER_HALF_BLOCK = 0x2584;

int32_t box_width(const Widget& w) { return std::max(0, to_cells(double(w.right) - double(w.left))); }
int32_t box_height(const Widget& w) { return std::max(0, to_cells(double(w.bottom) - double(w.top))); }

// The string of a UI string node.
Cell string_of_node(NodeId node) { return Cell{TYPE_STRING, 0, node, 0}; }

// The value after the word in a block, or none.
Cell option_after(const Cell& options, const char* word) {
    if (type_of(options) != TYPE_BLOCK) return make_none();
    int32_t head = int32_t(options.data1), n = block::ks_length(options);
    for (int32_t i = 0; i + 1 < n; ++i)
        if (is_word(*block::ks_abs_at(options, head + i), word)) return *block::ks_abs_at(options, head + i + 1);
    return make_none();
}

bool non_empty_string(const Cell& v) { return type_of(v) == TYPE_STRING && text_length(v) > 0; }

// The colour of a pixel (BGRA bytes, A 255 opaque) as a colour word.
uint32_t pixel_colour(const uint8_t* p, bool true_colour) {
    uint32_t r = p[2], g = p[1], b = p[0];
    if (true_colour) return COLOUR_TRUE | (r << 16) | (g << 8) | b;
    return rgb_to_256(r | (g << 8) | (b << 16));
}

}  // namespace

void default_render(int32_t x, int32_t y, WidgetId widget) { render_face(x, y, widget, ATTR_ESCAPES); }

uint32_t face_colour(const Cell& colour) {
    if (type_of(colour) != TYPE_TUPLE) return 0;
    uint32_t alpha = tuple::count(colour) >= 4 ? tuple::byte_at(colour, 3) : 0;
    uint32_t rgba = uint32_t(tuple::byte_at(colour, 0)) | uint32_t(tuple::byte_at(colour, 1)) << 8 |
        uint32_t(tuple::byte_at(colour, 2)) << 16 | alpha << 24;
    // A window uses few colours, each on many faces: the last mappings are
    // kept.
    struct Mapped {
        uint32_t rgba = 0, word = 0;
        bool set = false;
    };
    static Mapped recent[64];
    Mapped& m = recent[(rgba * 2654435761u) >> 26];
    if (!m.set || m.rgba != rgba) m = Mapped{rgba, rgb_to_256(rgba), true};
    return m.word;
}

CellOffset widget_position(WidgetId widget) {
    double x = 0, y = 0;
    for (int32_t guard = 0; guard < 1 << 20; ++guard) {
        Widget* w = find_widget(widget);
        if (!w || w->kind_data.window) break;
        x += w->left;
        y += w->top;
        widget = w->parent;
    }
    return CellOffset{to_cells(x), to_cells(y)};
}

ClipRect clip_box(int32_t x, int32_t y, WidgetId widget) {
    Widget* w = find_widget(widget);
    if (!w) return ClipRect{};
    int32_t x2 = x + box_width(*w), y2 = y + box_height(*w);
    Widget* parent = find_widget(w->parent);
    if (parent && !parent->kind_data.window) {
        CellOffset at = widget_position(w->parent);
        x2 = std::min(x2, at.x + box_width(*parent));
        y2 = std::min(y2, at.y + box_height(*parent));
        x = std::max(x, at.x);
        y = std::max(y, at.y);
    }
    ScreenBuffer& b = screen();
    return ClipRect{std::max(x, 0), std::max(y, 0), std::min(x2, b.width), std::min(y2, b.height)};
}

void fill_box(int32_t x1, int32_t y1, int32_t width, int32_t height, uint32_t background) {
    ScreenBuffer& b = screen();
    int32_t x2 = std::min(x1 + width, b.width), y2 = std::min(y1 + height, b.height);
    for (int32_t row = std::max(y1, 0); row < y2; ++row)
        for (int32_t column = std::max(x1, 0); column < x2; ++column) {
            ScreenCell& c = b.at(column, row);
            c.code_point = ' ';
            c.background = background;
        }
}

void render_face(int32_t x, int32_t y, WidgetId widget, uint32_t style_bits) {
    Widget* w = find_widget(widget);
    if (!w) return;
    Cell face = w->face;
    Rooted keep(face);
    static const int32_t rich_text = symbol_of("rich-text");
    // The facets are read once; nothing below allocates before they are.
    const Cell* values = face_values(face);
    auto read = [&](Facet f) { return values ? values[int32_t(f)] : facet(face, f); };
    Cell text = read(Facet::text), font = read(Facet::font), options = read(Facet::options), draw = read(Facet::draw);
    bool is_rich_text = word_symbol(read(Facet::type)) == rich_text;
    RenderStyle style;
    style.attributes = style_bits;
    style.background = face_colour(read(Facet::color));
    if (type_of(font) == TYPE_OBJECT) style.foreground = face_colour(font_field(font, FontField::color));
    style.para = para_flags(read(Facet::para));

    ClipRect clip = clip_box(x, y, widget);
    if (clip.empty()) return;
    fill_box(clip.x1, clip.y1, clip.x2 - clip.x1, clip.y2 - clip.y1, style.background);

    if (!w->image_cells.empty()) {
        RenderStyle image = style;
        image.para = PARA_WRAP;
        layout_cells(w->image_cells, x, y, clip, image);
    }
    if (w->ui_string) layout_text(text_of(string_of_node(w->ui_string)), x, y, clip, style);

    if (!(style_bits & ATTR_NO_TEXT)) {
        int32_t width = box_width(*w), height = box_height(*w);
        static std::u32string chars;  // kept between faces: no allocation per face
        if (is_rich_text && type_of(text) == TYPE_STRING) {
            chars.clear();
            for (const ScreenCell& c : w->kind_data.cells) chars.push_back(char32_t(c.code_point));
            CellOffset o = align_text(chars, width, height, style.para);
            layout_cells(w->kind_data.cells, x + o.x, y + o.y, clip, style);
        } else {
            RenderStyle text_style = style;
            if (!non_empty_string(text)) {
                Cell hint = option_after(options, "hint");
                if (type_of(hint) == TYPE_STRING) {
                    text = hint;
                    text_style.attributes |= ATTR_DIM;
                }
            }
            if (type_of(text) == TYPE_STRING) {
                text_into(text, chars);
                CellOffset o = align_text(chars, width, height, style.para);
                layout_text(chars, x + o.x, y + o.y, clip, text_style);
            }
        }
    }

    if (draw_face_block && type_of(draw) == TYPE_BLOCK && block::ks_length(draw) > 0)
        draw_face_block(widget, x, y, clip, style);
}

void render_tree(WidgetId widget) {
    Widget* w = find_widget(widget);
    if (!w || (w->flags & WIDGET_HIDDEN)) return;
    CellOffset at = widget_position(widget);
    Cell face = w->face;
    Rooted keep(face);
    w->render(at.x, at.y, widget);
    // The render may have run Kel code: the pane is read again at every step.
    for (int32_t i = 0;; ++i) {
        Cell pane = facet(face, Facet::pane);
        if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
        Cell child = *block::ks_abs_at(pane, int32_t(pane.data1) + i);
        WidgetId id = face_handle(child);
        if (id && find_widget(id)->parent == widget) render_tree(id);
    }
}

void draw_frame() {
    keep_drawing_area();
    State& s = state();
    if (!s.redraw) return;
    WidgetPointers& p = pointers();
    WindowRecord* record = window_record(p.current_window);
    if (!record) return;
    size_buffer(record->x1, record->y1, record->x2, record->y2);
    clear_buffer();
    s.caret_column = s.caret_row = -1;
    render_tree(p.current_window);
    Widget* focused = find_widget(pointers().focused);
    s.caret = focused && (focused->flags & WIDGET_CARET);
    if (!s.caret && s.active) hide_cursor();
    std::fflush(nullptr);
    write_frame();
    if (s.caret) show_cursor();
    std::fflush(nullptr);
}

void make_image_cells(WidgetId widget, const Cell& image_in) {
    Widget* w = find_widget(widget);
    if (!w || type_of(image_in) != TYPE_IMAGE) return;
    int32_t width = box_width(*w), height = box_height(*w);
    if (width < 1 || height < 1 || image::pixel_count(image_in) == 0 || width > 0xFFFF || height > 0x7FFF) return;
    w->image_cells.clear();
    Cell image = image_in;
    Rooted keep(image);
    Cell* top = stack::top();
    Cell scaled = *image::resize(image, uint32_t(width), uint32_t(height) * 2);
    CellRun cells(size_t(width) * size_t(height));
    const uint8_t* pixels = image::acquire_data(scaled);
    if (pixels) {
        bool true_colour = state().colour_depth == 4;
        for (int32_t row = 0; row < height; ++row)
            for (int32_t column = 0; column < width; ++column) {
                const uint8_t* upper = pixels + (size_t(row) * 2 * size_t(width) + size_t(column)) * 4;
                const uint8_t* lower = upper + size_t(width) * 4;
                ScreenCell& c = cells[size_t(row) * size_t(width) + size_t(column)];
                if (upper[3] == 0) {
                    c.code_point = ' ';
                    continue;
                }
                c.code_point = LOWER_HALF_BLOCK;
                c.background = pixel_colour(upper, true_colour);
                c.foreground = pixel_colour(lower, true_colour);
            }
        image::release_data(scaled, false);
    }
    image::release(scaled);
    stack::pop(uint32_t(stack::top() - top));
    if (Widget* again = find_widget(widget)) again->image_cells = std::move(cells);
}

}  // namespace kel::gui
