// The pen description after `pen` and `fill-pen` (plain colours, off,
// gradients, patterns, bitmaps) and the arguments of the line options. Only
// plain colours and `off` change what the grid draws; the other forms are
// checked and go no further.
#include "runtime/memory/roots.h"
#include "view/terminal/draw-walk.h"

namespace kel::gui::draw {

namespace {

using namespace draw_words;

bool is_gradient_kind(const Cell& c) { return is_word(c, LINEAR) || is_word(c, RADIAL) || is_word(c, DIAMOND); }
bool is_gradient_mode(const Cell& c) { return is_word(c, PAD) || is_word(c, REPEAT) || is_word(c, REFLECT); }
bool is_tile_mode(const Cell& c) {
    return is_word(c, TILE) || is_word(c, FLIP_X) || is_word(c, FLIP_Y) || is_word(c, FLIP_XY) || is_word(c, CLAMP);
}

// The older form: a point, two integers, up to three numbers, then a run of
// colour stops (colours and float offsets) holding at least two colours.
int32_t classic_gradient(const Walk& w, int32_t p) {
    need(w, p, is_point);
    need(w, p + 1, is_integer);
    int32_t last_number = need(w, p + 2, is_integer);
    for (int i = 0; i < 3 && w.has(last_number + 1) && is_number(w.at(last_number + 1)); ++i) ++last_number;
    // A word ends the stops unless it holds a colour: it is the next command.
    int32_t q = last_number + 1, colours = 0;
    for (; w.has(q) && (is_float(w.at(q)) || is_colour(w.at(q))); ++q)
        if (!is_float(w.at(q))) ++colours;
    if (colours < 2) w.fail(last_number);
    return q - 1;
}

// A stop of the current form: an optional colour (a word there must hold a
// tuple), then an optional float offset.
int32_t leading_stop(const Walk& w, int32_t q) {
    Cell c = w.at(q);
    if (w.has(q) && (type_of(c) == TYPE_TUPLE || type_of(c) == TYPE_WORD)) {
        uint32_t rgba;
        bool alpha;
        if (!colour_at(w, q, true, rgba, alpha)) w.fail(q);
        ++q;
    }
    return optional(w, q, is_float);
}

int32_t gradient(const Walk& w, int32_t p, const Cell& kind) {
    int32_t q = leading_stop(w, p);
    q = leading_stop(w, q);
    while (w.has(q) && is_colour(w.at(q))) q = optional(w, q + 1, is_float);
    if (w.has(q) && is_point(w.at(q))) {
        if (is_word(kind, RADIAL)) {
            need(w, q + 1, is_number);
            q = optional(w, q + 2, is_point);
        } else {
            need(w, q + 1, is_point);
            q += 2;
            if (is_word(kind, DIAMOND)) q = optional(w, q, is_point);
        }
    }
    return optional(w, q, is_gradient_mode) - 1;
}

int32_t pattern(const Walk& w, int32_t p) {
    need(w, p, is_point);
    int32_t q = optional(w, p + 1, is_point);
    q = optional(w, q, is_point);
    q = optional(w, q, is_tile_mode);
    need(w, q, is_block);
    // Drawn with no target: checked, nothing drawn.
    DrawContext none;
    draw_begin(none);
    parse_commands(none, w.at(q), w.catch_errors);
    return q;
}

int32_t bitmap(const Walk& w, int32_t p) {
    need(w, p, is_plain_word);
    if (type_of(word_value(w, p)) != TYPE_IMAGE) w.fail(p);
    int32_t q = optional(w, p + 1, is_point);
    q = optional(w, q, is_point);
    return optional(w, q, is_tile_mode) - 1;
}

}  // namespace

int32_t parse_pen(const Walk& w, int32_t first, bool fill) {
    if (!w.has(first)) w.fail(first);
    Cell spec = w.at(first);
    if (is_gradient_kind(spec))
        return w.has(first + 1) && is_point(w.at(first + 1)) ? classic_gradient(w, first + 1)
                                                             : gradient(w, first + 1, spec);
    if (is_word(spec, PATTERN)) return pattern(w, first + 1);
    if (is_word(spec, BITMAP)) return bitmap(w, first + 1);
    bool off = is_word(spec, OFF), alpha = false;
    uint32_t rgba = 0;
    if (!off && !colour_at(w, first, true, rgba, alpha)) w.fail(first);
    if (fill)
        set_fill_colour(w.ctx, rgba, off);
    else
        set_pen_colour(w.ctx, rgba, off);
    return first;
}

int32_t parse_line_option(const Walk& w, int32_t first, Word keyword) {
    switch (keyword) {
    case LINE_WIDTH:
        return need(w, first, is_number);
    case LINE_JOIN:
    case LINE_CAP:
        return need(w, first, is_plain_word);
    default:
        return run(w, first, is_integer) - 1;
    }
}

}  // namespace kel::gui::draw
