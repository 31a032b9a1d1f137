#include <algorithm>
#include <span>
#include <unordered_map>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory/roots.h"
#include "view/terminal/draw-text.h"
#include "view/terminal/draw-walk.h"
#include "view/terminal/draw.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/widgets.h"

namespace kel::gui::draw {

namespace {

using namespace draw_words;

bool is_number_or_percent(const Cell& c) { return is_number(c) || type_of(c) == TYPE_PERCENT; }

// The points of a run, reused by every drawing (a drawing never nests
// another while it reads one).
std::vector<GridPoint>& points_buffer() {
    static std::vector<GridPoint> points;
    return points;
}

// Reads a run of points from `first`; fewer than `least` is an error at
// the last point read (at `first` when there is none), or, with
// `error_after`, at the position after it.
int32_t point_run(const Walk& w, int32_t first, size_t least, bool error_after) {
    std::span<const Cell> values = w.from(first);
    size_t count = 0;
    while (count < values.size() && is_point(values[count])) ++count;
    int32_t end = first + int32_t(count);
    if (count < least) w.fail(error_after ? end : std::max(first, end - 1));
    std::vector<GridPoint>& points = points_buffer();
    points.clear();
    for (size_t i = 0; i < count; ++i) points.push_back(point_of(values[i]));
    return end - 1;
}

// A nested block of `clip`, `push` or a transformation: drawn between the
// state save and restore (both empty on the grid; an error travels on).
int32_t nested_block(const Walk& w, int32_t pos) {
    if (!w.has(pos) || !is_block(w.at(pos))) return pos - 1;
    parse_commands(w.ctx, w.at(pos), w.catch_errors);
    return pos;
}

// The lit-word of `pen` or `fill-pen` selecting the matrix a transformation
// applies to.
int32_t matrix_prefix(const Walk& w, int32_t pos) {
    return optional(w, pos, [](const Cell& c) { return is_lit_word(c, PEN) || is_lit_word(c, FILL_PEN); });
}

int32_t command(const Walk& w, int32_t pos, Word keyword) {
    DrawContext& ctx = w.ctx;
    int32_t p = pos + 1;
    switch (keyword) {
    case PEN:
    case FILL_PEN:
        return parse_pen(w, p, keyword == FILL_PEN);
    case BOX: {
        std::span<const Cell> args = w.from(p);
        if (args.empty() || !is_point(args[0])) w.fail(p);
        if (args.size() < 2 || !is_point(args[1])) w.fail(p + 1);
        int32_t last = args.size() > 2 && is_number(args[2]) ? p + 2 : p + 1;
        draw_box(ctx, point_of(args[0]), point_of(args[1]));
        return last;
    }
    case LINE: {
        int32_t last = point_run(w, p, 2, false);
        const std::vector<GridPoint>& points = points_buffer();
        draw_line(ctx, points.data(), points.size());
        return last;
    }
    case LINE_WIDTH:
    case LINE_JOIN:
    case LINE_CAP:
    case LINE_PATTERN:
        return parse_line_option(w, p, keyword);
    case TRIANGLE: {
        GridPoint points[3];
        for (int i = 0; i < 3; ++i) points[i] = point_of(w.at(need(w, p + i, is_point)));
        draw_triangle(ctx, points);
        return p + 2;
    }
    case POLYGON:
        return point_run(w, p, 3, false);
    case CIRCLE: {
        need(w, p, is_point);
        need(w, p + 1, is_number);
        int32_t radius = optional(w, p + 2, is_number) - 1;
        draw_circle(ctx, point_of(w.at(p)), integer_of(w.at(radius)));
        return radius;
    }
    case ELLIPSE:
        need(w, p, is_point);
        need(w, p + 1, is_point);
        draw_ellipse(ctx, point_of(w.at(p)), point_of(w.at(p + 1)));
        return p + 1;
    case ANTI_ALIAS:
        need(w, p, is_plain_word);
        return p;
    case FONT: {
        if (!w.has(p)) w.fail(p);
        Cell font = w.at(p);
        if (type_of(font) == TYPE_WORD) font = word_value(w, p);
        if (type_of(font) != TYPE_OBJECT) w.fail(p);
        Cell colour = font_field(font, FontField::color);
        uint32_t rgba = type_of(colour) == TYPE_TUPLE ? pack_colour(colour, nullptr) : 0;
        set_font_colour(ctx, type_of(colour) == TYPE_TUPLE ? &rgba : nullptr);
        return p;
    }
    case TEXT: {
        need(w, p, is_point);
        need(w, p + 1, [](const Cell& c) { return type_of(c) == TYPE_STRING || type_of(c) == TYPE_OBJECT; });
        Cell text = w.at(p + 1);
        Rooted keep(text);
        draw_text(ctx, point_of(w.at(p)), text, w.catch_errors);
        return p + 1;
    }
    case ARC:
        need(w, p, is_point);
        need(w, p + 1, is_point);
        need(w, p + 2, is_number);
        need(w, p + 3, is_number);
        return optional(w, p + 4, [](const Cell& c) { return is_word(c, CLOSED); }) - 1;
    case CURVE:
        for (int i = 0; i < 3; ++i) need(w, p + i, is_point);
        return optional(w, p + 3, is_point) - 1;
    case SPLINE: {
        int32_t last = point_run(w, p, 2, true);
        return optional(w, last + 1, [](const Cell& c) { return is_word(c, CLOSED); }) - 1;
    }
    case IMAGE: {
        if (!w.has(p)) w.fail(p);
        Cell img = w.at(p);
        if (type_of(img) == TYPE_WORD) img = word_value(w, p);
        if (type_of(img) != TYPE_IMAGE) w.fail(p);
        int32_t q = optional(w, run(w, p + 1, is_point), is_colour);
        if (is_word(w.at(q), BORDER)) return q;
        if (is_word(w.at(q), CROP)) {
            need(w, q + 1, is_point);
            need(w, q + 2, is_point);
            return q + 2;
        }
        return q - 1;
    }
    case SHADOW: {
        if (is_word(w.at(p), OFF)) return p;
        need(w, p, is_point);
        int32_t q = optional(w, p + 1, is_integer);
        if (q > p + 1) q = optional(w, q, is_integer);
        if (w.has(q) && is_colour(w.at(q))) q = optional(w, q + 1, [](const Cell& c) { return is_word(c, INSET); });
        return q - 1;
    }
    case CLIP: {
        int32_t q;
        if (w.has(p) && is_block(w.at(p))) {
            parse_shape(ctx, w.at(p), false, w.catch_errors, false);
            q = p + 1;
        } else {
            need(w, p, is_point);
            need(w, p + 1, is_point);
            q = p + 2;
        }
        q = optional(w, q, [](const Cell& c) {
            return is_word(c, REPLACE) || is_word(c, INTERSECT) || is_word(c, UNION) || is_word(c, XOR) ||
                is_word(c, EXCLUDE);
        });
        return nested_block(w, q);
    }
    case SHAPE:
        need(w, p, is_block);
        parse_shape(ctx, w.at(p), true, w.catch_errors, false);
        return p;
    case ROTATE: {
        int32_t q = matrix_prefix(w, p);
        need(w, q, is_number);
        q = optional(w, q + 1, is_point);
        return nested_block(w, q);
    }
    case SCALE: {
        int32_t q = matrix_prefix(w, p);
        need(w, q, is_number_or_percent);
        need(w, q + 1, is_number_or_percent);
        q = optional(w, q + 2, is_point);
        return nested_block(w, q);
    }
    case TRANSLATE: {
        int32_t q = matrix_prefix(w, p);
        need(w, q, is_point);
        return nested_block(w, q + 1);
    }
    case SKEW: {
        int32_t q = matrix_prefix(w, p);
        need(w, q, is_number);
        q = optional(w, q + 1, is_number);
        q = optional(w, q, is_point);
        return nested_block(w, q);
    }
    case TRANSFORM: {
        int32_t q = optional(w, matrix_prefix(w, p), is_point);
        need(w, q, is_number);
        need(w, q + 1, is_number_or_percent);
        need(w, q + 2, is_number_or_percent);
        need(w, q + 3, is_point);
        return nested_block(w, q + 4);
    }
    case PUSH:
        need(w, p, is_block);
        return nested_block(w, p);
    case MATRIX: {
        int32_t q = need(w, matrix_prefix(w, p), is_block);
        Cell m = w.at(q);
        Rooted keep(m);
        Walk inner{ctx, m, w.catch_errors};
        if (inner.end() - inner.head() != 6 || run(inner, inner.head(), is_number) != inner.end()) w.fail(q);
        return q;
    }
    case RESET_MATRIX:
    case INVERT_MATRIX:
        return matrix_prefix(w, p) - 1;
    default:
        w.fail(pos);
    }
}

// The draw block whose error was printed, by widget.
struct Reported {
    NodeId node;
    int32_t head;
};
std::unordered_map<WidgetId, Reported>& reported() {
    static std::unordered_map<WidgetId, Reported> widgets;
    return widgets;
}

// Whether the error of this widget's block is new; remembers it. The
// record is bounded: widgets come and go, and an entry forgotten too early
// only prints once more.
bool first_report(WidgetId widget, const Cell& commands) {
    constexpr size_t LIMIT = 4096;
    auto& r = reported();
    Reported now{cell_node(commands), int32_t(commands.data1)};
    auto it = r.find(widget);
    if (it != r.end() && it->second.node == now.node && it->second.head == now.head) return false;
    if (r.size() >= LIMIT) r.clear();
    r[widget] = now;
    return true;
}

void print_error(const Cell& error) {
    Cell fn = *context::get(word::make(symbol::make("print")));
    Cell arg = error;
    Rooted keep_fn(fn), keep_arg(arg);
    interpreter::call_function(fn, &arg, 1, word::make(symbol::make("print")));
}

}  // namespace

void parse_commands(DrawContext& ctx, const Cell& commands, bool catch_errors) {
    walk_block(ctx, commands, catch_errors, [&](const Walk& w, int32_t pos, const Cell& value) {
        switch (type_of(value)) {
        case TYPE_WORD: {
            Word keyword = command_of(canonical(value));
            if (keyword == COUNT) w.fail(pos);
            return command(w, pos, keyword);
        }
        case TYPE_SET_WORD:
            set_word(w, pos);
            return pos;
        case TYPE_BLOCK:
            parse_commands(ctx, value, catch_errors);
            return pos;
        default:
            w.fail(pos);
        }
    });
}

void do_draw(const Cell& commands, bool catch_errors) {
    if (type_of(commands) != TYPE_BLOCK || block::ks_length(commands) <= 0) return;
    sys.thrown = 0;
    DrawContext ctx;
    draw_begin(ctx);
    // Errors travel on unless caught; a silent stop ends here either way.
    uint32_t level = catch_errors ? catch_level::ERRORS : STOPPED;
    if (protect(level, [&] { parse_commands(ctx, commands, catch_errors); })) handled();
    take_silent_stop();
}

uint32_t render_block(DrawContext& ctx, const Cell& commands) {
    if (type_of(commands) != TYPE_BLOCK || block::ks_length(commands) <= 0) return 0;
    draw_begin(ctx);
    uint32_t code = protect(catch_level::ERRORS, [&] { parse_commands(ctx, commands, true); });
    if (code == 0) return 0;
    handled();
    if (take_silent_stop()) return code;
    Cell error = error_in_flight().value;
    if (code == thrown::ERROR && type_of(error) == TYPE_ERROR && first_report(ctx.widget, commands)) print_error(error);
    return code;
}

void forget_error(WidgetId widget) { reported().erase(widget); }

void render_face_block(WidgetId widget, int32_t x, int32_t y, const ClipRect& clip, const RenderStyle& style) {
    Cell face = face_of(widget);
    Rooted keep_face(face);
    Cell commands = facet(face, Facet::draw);
    Rooted keep(commands);
    DrawContext ctx;
    ctx.target = &screen();
    ctx.widget = widget;
    ctx.origin_x = x;
    ctx.origin_y = y;
    ctx.clip_left = clip.x1;
    ctx.clip_top = clip.y1;
    ctx.clip_right = clip.x2;
    ctx.clip_bottom = clip.y2;
    ctx.render_flags = style.attributes;
    render_block(ctx, commands);
}

}  // namespace kel::gui::draw
