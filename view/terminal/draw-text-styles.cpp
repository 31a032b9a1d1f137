// The style block of a rich-text face, applied to the widget's cells: a
// range (a pair: 1-based start by length) and the styles that follow it.
// Positions count characters: the rich-text cell run has one cell per
// character, whatever its code point.
#include <algorithm>

#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"
#include "view/terminal/colour.h"
#include "view/terminal/draw-walk.h"

namespace kel::gui::draw {

namespace {

using namespace draw_words;

bool is_tuple(const Cell& c) { return type_of(c) == TYPE_TUPLE; }
bool is_lit(const Cell& c) { return type_of(c) == TYPE_LIT_WORD; }

}  // namespace

void parse_text_styles(std::span<ScreenCell> run, const Cell& styles, const Cell& text, bool catch_errors) {
    Cell block = styles, str = text;
    Rooted keep_block(block), keep_text(str);
    int64_t length = type_of(str) == TYPE_STRING ? string::ks_length(str) : 0;
    int64_t start = 0, count = 0;
    DrawContext none;
    Walk w{none, block, catch_errors};
    for (int32_t pos = w.head(); pos < w.end(); ++pos) {
        Cell v = w.at(pos);
        uint32_t rgba;
        bool alpha;
        switch (type_of(v)) {
        case TYPE_PAIR:
            start = int64_t(int32_t(v.data2)) - 1;
            count = int32_t(v.data3);
            if (start + count > length) count = length - start;
            continue;
        case TYPE_TUPLE:
            style_cells_foreground(run, start, count, pack_colour(v, nullptr));
            continue;
        case TYPE_STRING:
        case TYPE_INTEGER:
        case TYPE_FLOAT:
            continue;  // a font name or size: the grid has one font
        case TYPE_WORD:
            break;
        default:
            w.fail(pos);
        }
        if (is_word(v, BACKDROP)) {
            if (!colour_at(w, pos + 1, true, rgba, alpha)) w.fail(pos + 1);
            style_cells_background(run, start, count, rgba);
            ++pos;
        } else if (is_word(v, BOLD)) {
            style_cells_attribute(run, start, count, ATTR_BOLD);
        } else if (is_word(v, ITALIC)) {
            style_cells_attribute(run, start, count, ATTR_ITALIC);
        } else if (is_word(v, UNDERLINE) || is_word(v, STRIKE) || is_word(v, BORDER)) {
            if (!is_word(v, BORDER))
                style_cells_attribute(run, start, count, is_word(v, STRIKE) ? ATTR_STRIKE : ATTR_UNDERLINE);
            // An optional colour and line style, which the grid does not draw.
            pos = optional(w, optional(w, pos + 1, is_tuple), is_lit) - 1;
        } else {
            w.fail(pos);
        }
    }
}

}  // namespace kel::gui::draw
