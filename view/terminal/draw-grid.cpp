#include "view/terminal/draw-grid.h"

#include <algorithm>
#include <cmath>

#include "view/terminal/colour.h"

namespace kel::gui {

namespace {

constexpr uint32_t BOX_TOP_LEFT = 0x250C, BOX_TOP_RIGHT = 0x2510, BOX_BOTTOM_LEFT = 0x2514, BOX_BOTTOM_RIGHT = 0x2518,
                   BOX_VERTICAL = 0x2502, BOX_HORIZONTAL = 0x2500;

// The cells a drawing may write: the clip rectangle cut to the screen
// buffer. Right and bottom are exclusive; an empty rectangle has
// left >= right or top >= bottom.
struct Area {
    int64_t left, top, right, bottom;
    bool has(int64_t x, int64_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

Area area_of(const DrawContext& ctx) {
    const ScreenBuffer& s = *ctx.target;
    return {std::max<int64_t>(ctx.clip_left, 0), std::max<int64_t>(ctx.clip_top, 0),
            std::min<int64_t>(ctx.clip_right, s.width), std::min<int64_t>(ctx.clip_bottom, s.height)};
}

ScreenCell& cell_at(const DrawContext& ctx, int64_t x, int64_t y) { return ctx.target->at(int32_t(x), int32_t(y)); }

void set_block(const DrawContext& ctx, int64_t x, int64_t y) {
    ScreenCell& c = cell_at(ctx, x, y);
    c.code_point = FULL_BLOCK;
    c.foreground = ctx.pen_colour;
}

void set_fill(const DrawContext& ctx, int64_t x, int64_t y) {
    ScreenCell& c = cell_at(ctx, x, y);
    c.code_point = ' ';
    c.background = ctx.fill_colour;
}

// Fills the columns from `from` to `to` (inclusive, either order) of a row,
// cut to the area.
void fill_span(const DrawContext& ctx, const Area& area, int64_t row, int64_t from, int64_t to) {
    if (row < area.top || row >= area.bottom) return;
    if (from > to) std::swap(from, to);
    for (int64_t x = std::max(from, area.left), end = std::min(to, area.right - 1); x <= end; ++x)
        set_fill(ctx, x, row);
}

int64_t clamp_extent(int64_t v) { return std::min(v, MAX_EXTENT); }

// The Bresenham walk from (x0, y0) over `major` steps of the major axis
// takes its k-th minor step count from floor((2 minor k + major) /
// (2 major)): this is the cell the error-term walk reaches at step k. It
// needs 128 bits: both lengths reach 2^33.
int64_t minor_at(int64_t k, int64_t major, int64_t minor) {
    if (major == 0) return 0;
    // The steps and the minor length never exceed the major one: below 2^30
    // the numerator fits 64 bits.
    if (major < (int64_t(1) << 30)) return (2 * minor * k + major) / (2 * major);
    __int128 n = __int128(2) * minor * k + major;
    return int64_t(n / (__int128(2) * major));
}

// The step range [lo, hi] within [0, last] whose coordinate origin + k step
// lies in [low, high).
bool steps_inside(int64_t origin, int64_t step, int64_t last, int64_t low, int64_t high, int64_t& lo, int64_t& hi) {
    if (step > 0) {
        lo = std::max<int64_t>(0, low - origin);
        hi = std::min(last, high - 1 - origin);
    } else {
        lo = std::max<int64_t>(0, origin - (high - 1));
        hi = std::min(last, origin - low);
    }
    return lo <= hi;
}

// The first step in [lo, hi] whose minor count reaches `target` (hi + 1
// when none); the counts do not decrease with the step.
int64_t first_reaching(int64_t lo, int64_t hi, int64_t target, int64_t major, int64_t minor) {
    while (lo <= hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (minor_at(mid, major, minor) >= target)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return lo;
}

}  // namespace

void draw_begin(DrawContext& ctx) {
    ctx.pen_on = true;
    ctx.pen_colour = 0;
    ctx.fill_on = false;
    ctx.font_colour_set = false;
}

void set_pen_colour(DrawContext& ctx, uint32_t rgba, bool off) {
    if (off) {
        ctx.pen_on = false;
        return;
    }
    ctx.pen_colour = rgb_to_256(rgba);
    if (!ctx.font_colour_set) ctx.text_colour = ctx.pen_colour;
    ctx.pen_on = true;
}

void set_fill_colour(DrawContext& ctx, uint32_t rgba, bool off) {
    if (off) {
        ctx.fill_on = false;
        return;
    }
    ctx.fill_colour = rgb_to_256(rgba);
    ctx.fill_on = true;
}

void set_font_colour(DrawContext& ctx, const uint32_t* rgba) {
    ctx.font_colour_set = rgba != nullptr;
    if (rgba) ctx.text_colour = rgb_to_256(*rgba);
}

void draw_line(DrawContext& ctx, const GridPoint* points, size_t count) {
    if (!ctx.target || !ctx.pen_on) return;
    for (size_t i = 0; i + 1 < count; ++i)
        plot_line(ctx, int64_t(ctx.origin_x) + points[i].x, int64_t(ctx.origin_y) + points[i].y,
                  int64_t(ctx.origin_x) + points[i + 1].x, int64_t(ctx.origin_y) + points[i + 1].y);
}

void plot_line(DrawContext& ctx, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (!ctx.target) return;
    Area area = area_of(ctx);
    if (area.left >= area.right || area.top >= area.bottom) return;
    int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    // The walk steps the major axis every time and the minor one by
    // minor_at: only the steps whose cells fall in the area are visited.
    bool x_major = dx >= dy;
    int64_t major = x_major ? dx : dy, minor = x_major ? dy : dx;
    int64_t m0 = x_major ? x0 : y0, n0 = x_major ? y0 : x0;
    int64_t ms = x_major ? sx : sy, ns = x_major ? sy : sx;
    int64_t m_low = x_major ? area.left : area.top, m_high = x_major ? area.right : area.bottom;
    int64_t n_low = x_major ? area.top : area.left, n_high = x_major ? area.bottom : area.right;
    int64_t lo, hi;
    if (!steps_inside(m0, ms, major, m_low, m_high, lo, hi)) return;
    // The minor coordinate n0 + ns count lies in [n_low, n_high) for counts
    // in [c_low, c_high].
    int64_t c_low = ns > 0 ? n_low - n0 : n0 - (n_high - 1);
    int64_t c_high = ns > 0 ? n_high - 1 - n0 : n0 - n_low;
    if (c_high < 0 || c_low > minor) return;
    // Only a line that leaves the area across the walk needs its steps cut.
    if (c_low > 0) lo = first_reaching(lo, hi, c_low, major, minor);
    if (c_high < minor) hi = first_reaching(lo, hi, c_high + 1, major, minor) - 1;
    // From the first step on, the minor count follows incrementally: its
    // numerator 2 minor k + major grows by 2 minor a step, and each time it
    // passes a multiple of 2 major the count grows by one. The cell follows
    // as an index into the buffer: a major step moves it by one column or
    // row, a minor step by one of the other.
    if (lo > hi) return;
    int64_t count = minor_at(lo, major, minor);
    int64_t twice_major = 2 * major, twice_minor = 2 * minor, rest = 0;
    if (major > 0) rest = int64_t((__int128(2) * minor * lo + major) - __int128(count) * twice_major);
    ScreenBuffer& s = *ctx.target;
    int64_t width = s.width;
    int64_t m = m0 + ms * lo, n = n0 + ns * count;
    int64_t index = x_major ? n * width + m : m * width + n;
    int64_t major_step = x_major ? ms : ms * width, minor_step = x_major ? ns * width : ns;
    ScreenCell* cells = s.cells.data();
    const uint32_t pen = ctx.pen_colour;
    for (int64_t k = lo; k <= hi; ++k) {
        cells[index].code_point = FULL_BLOCK;
        cells[index].foreground = pen;
        // Without a branch: the minor steps of a slanted line are too
        // irregular to predict.
        rest += twice_minor;
        bool carry = rest >= twice_major;
        rest -= carry ? twice_major : 0;
        index += major_step + (carry ? minor_step : 0);
    }
}

void draw_box(DrawContext& ctx, GridPoint a, GridPoint b) {
    if (!ctx.target || (!ctx.pen_on && !ctx.fill_on)) return;
    int64_t x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x1 > int64_t(ctx.clip_right) - ctx.clip_left || x2 <= 0 || y1 > int64_t(ctx.clip_bottom) - ctx.clip_top ||
        y2 <= 0)
        return;
    x1 += ctx.origin_x;
    x2 += ctx.origin_x;
    y1 += ctx.origin_y;
    y2 += ctx.origin_y;
    Area area = area_of(ctx);
    x2 = std::min<int64_t>(x2, ctx.target->width - 1);
    y2 = std::min<int64_t>(y2, ctx.target->height - 1);
    int64_t first_column = std::max(x1, area.left), last_column = std::min(x2, area.right - 1);
    int64_t first_row = std::max(y1, area.top), last_row = std::min(y2, area.bottom - 1);
    if (first_column > last_column) return;
    ScreenBuffer& s = *ctx.target;
    ScreenCell* cells = s.cells.data();
    const int64_t width = s.width;
    if (ctx.fill_on) {
        const uint32_t fill = ctx.fill_colour;
        for (int64_t row = first_row; row <= last_row; ++row)
            for (int64_t i = row * width + first_column, end = row * width + last_column; i <= end; ++i) {
                cells[i].background = fill;
                cells[i].code_point = ' ';
            }
    }
    if (!ctx.pen_on || first_row > last_row) return;
    const uint32_t pen = ctx.pen_colour;
    auto put = [&](int64_t index, uint32_t glyph) {
        cells[index].code_point = glyph;
        cells[index].foreground = pen;
    };
    // The sides' columns when they are on screen; -1 for none (the right
    // side is the left one in a box one column wide).
    int64_t left = x1 >= first_column ? x1 : -1;
    int64_t right = x2 != x1 && x2 <= last_column ? x2 : -1;
    // The top or bottom side: its corners, and a run of horizontal lines
    // between them.
    auto side = [&](int64_t row, bool top) {
        int64_t base = row * width;
        if (left >= 0) put(base + left, top ? BOX_TOP_LEFT : BOX_BOTTOM_LEFT);
        if (right >= 0) put(base + right, top ? BOX_TOP_RIGHT : BOX_BOTTOM_RIGHT);
        for (int64_t i = base + std::max(first_column, x1 + 1), end = base + std::min(last_column, x2 - 1); i <= end;
             ++i)
            put(i, BOX_HORIZONTAL);
    };
    if (y1 >= first_row) side(y1, true);
    // The rows between: their two side cells (an interior cell keeps its
    // character and colour).
    for (int64_t row = std::max(first_row, y1 + 1), end = std::min(last_row, y2 - 1); row <= end; ++row) {
        if (left >= 0) put(row * width + left, BOX_VERTICAL);
        if (right >= 0) put(row * width + right, BOX_VERTICAL);
    }
    if (y2 != y1 && y2 <= last_row) side(y2, false);
}

void draw_triangle(DrawContext& ctx, const GridPoint (&points)[3]) {
    if (!ctx.target) return;
    struct P {
        int64_t x, y;
    } p[3];
    for (int i = 0; i < 3; ++i) p[i] = {int64_t(ctx.origin_x) + points[i].x, int64_t(ctx.origin_y) + points[i].y};
    std::stable_sort(p, p + 3, [](const P& a, const P& b) { return a.y < b.y; });
    Area area = area_of(ctx);
    if (ctx.fill_on) {
        int64_t total = p[2].y - p[0].y, upper = p[1].y - p[0].y;
        int64_t first = std::max<int64_t>(0, area.top - p[0].y), end = std::min(total, area.bottom - p[0].y);
        for (int64_t i = first; i < end; ++i) {
            bool lower_half = i > upper || p[1].y == p[0].y;
            int64_t h = lower_half ? p[2].y - p[1].y : upper;
            double alpha = double(i) / double(total);
            double beta = double(i - (lower_half ? upper : 0)) / double(h);
            int64_t a = p[0].x + int64_t(double(p[2].x - p[0].x) * alpha);
            int64_t b = lower_half ? p[1].x + int64_t(double(p[2].x - p[1].x) * beta)
                                   : p[0].x + int64_t(double(p[1].x - p[0].x) * beta);
            fill_span(ctx, area, p[0].y + i, a, b);
        }
    }
    if (!ctx.pen_on) return;
    plot_line(ctx, p[0].x, p[0].y, p[1].x, p[1].y);
    plot_line(ctx, p[1].x, p[1].y, p[2].x, p[2].y);
    plot_line(ctx, p[2].x, p[2].y, p[0].x, p[0].y);
}

void draw_circle(DrawContext& ctx, GridPoint centre, int64_t radius) {
    radius = clamp_extent(radius);
    if (radius <= 0) return;
    plot_ellipse(ctx, int64_t(ctx.origin_x) + centre.x, int64_t(ctx.origin_y) + centre.y, 2 * radius, radius);
}

void draw_ellipse(DrawContext& ctx, GridPoint upper_left, GridPoint size) {
    int64_t w = clamp_extent(size.x), h = clamp_extent(size.y);
    if (w <= 0 || h <= 0) return;
    // trunc((w + 0.5) / 2) in integers.
    int64_t a = (2 * w + 1) / 4, b = (2 * h + 1) / 4;
    plot_ellipse(ctx, int64_t(ctx.origin_x) + upper_left.x + a, int64_t(ctx.origin_y) + upper_left.y + b, a, b);
}

void plot_ellipse(DrawContext& ctx, int64_t cx, int64_t cy, int64_t a, int64_t b) {
    if (!ctx.target) return;
    Area area = area_of(ctx);
    if (area.left >= area.right || area.top >= area.bottom) return;
    a = clamp_extent(a);
    b = clamp_extent(b);
    auto plot = [&](int64_t px, int64_t py, bool fill) {
        if (ctx.pen_on && area.has(px, py)) set_block(ctx, px, py);
        if (fill && ctx.fill_on && px != cx) fill_span(ctx, area, py, px < cx ? px + 1 : px - 1, cx);
    };
    // The error terms reach (2a)^2 b^2: 128 bits.
    int64_t x = -a, y = 0;
    __int128 b2 = __int128(b) * b, a2 = __int128(a) * a;
    __int128 dx = (2 * __int128(x) + 1) * b2, dy = __int128(x) * x, err = dx + dy;
    // The walk moves x toward 0, so the first span of a row is the widest:
    // later spans on that row would only repeat cells it already filled.
    int64_t filled_row = -1;
    while (x <= 0) {
        bool on_screen = (cy + y >= area.top && cy + y < area.bottom) || (cy - y >= area.top && cy - y < area.bottom);
        if (on_screen) {
            bool fill = filled_row != y;
            plot(cx - x, cy + y, fill);
            plot(cx + x, cy + y, fill);
            plot(cx + x, cy - y, fill);
            plot(cx - x, cy - y, fill);
            filled_row = y;
        }
        __int128 e2 = 2 * err;
        if (e2 >= dx) {
            x += 1;
            dx += 2 * b2;
            err += dx;
        }
        if (e2 <= dy) {
            y += 1;
            dy += 2 * a2;
            err += dy;
        }
    }
    // The column's tips above and below, cut to the area.
    if (!ctx.pen_on || cx < area.left || cx >= area.right) return;
    for (int64_t row = std::max(cy + y + 1, area.top), end = std::min(cy + b, area.bottom); row < end; ++row)
        set_block(ctx, cx, row);
    for (int64_t row = std::max(cy - b + 1, area.top), end = std::min(cy - y, area.bottom); row < end; ++row)
        set_block(ctx, cx, row);
}

namespace {

// Each cell of the range, cut to the run (never before its first cell).
template <class Set>
void each_cell(std::span<ScreenCell> run, int64_t start, int64_t length, Set&& set) {
    int64_t count = int64_t(run.size());
    for (int64_t i = std::max<int64_t>(start, 0), end = std::min<int64_t>(start + length, count); i < end; ++i)
        set(run[size_t(i)]);
}

}  // namespace

void style_cells_foreground(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t rgba) {
    uint32_t colour = rgb_to_256(rgba);
    each_cell(run, start, length, [&](ScreenCell& c) { c.foreground = colour; });
}

void style_cells_background(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t rgba) {
    uint32_t colour = rgb_to_256(rgba);
    each_cell(run, start, length, [&](ScreenCell& c) { c.background = colour; });
}

void style_cells_attribute(std::span<ScreenCell> run, int64_t start, int64_t length, uint32_t bit) {
    each_cell(run, start, length, [&](ScreenCell& c) { c.attributes |= bit; });
}

}  // namespace kel::gui
