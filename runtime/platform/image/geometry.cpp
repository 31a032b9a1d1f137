// The geometry kit, quad mapping, bilinear scaling, the image transform and
// the YUY2 converter.
#include "runtime/platform/image/geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/datatypes/image.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/platform/image/backend.h"

namespace kel::image_geometry {

double vector_length(const Vector& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

void vector_normalize(Vector& v) {
    double len = vector_length(v);
    v.x /= len;
    v.y /= len;
}

void vector_set(Vector& v, double x, double y) { v = {x, y}; }
void vector_between(Vector& v, double x1, double y1, double x2, double y2) { v = {x2 - x1, y2 - y1}; }
double vector_cross(const Vector& a, const Vector& b) { return a.x * b.y - a.y * b.x; }
double vector_dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y; }

namespace {
double cross_at(double px, double py, double ax, double ay, double bx, double by) {
    return vector_cross(Vector{px - ax, py - ay}, Vector{bx - ax, by - ay});
}
}  // namespace

bool left_of(double px, double py, double ax, double ay, double bx, double by) {
    return cross_at(px, py, ax, ay, bx, by) < 0;
}
bool right_of(double px, double py, double ax, double ay, double bx, double by) {
    return cross_at(px, py, ax, ay, bx, by) > 0;
}

double line_distance(double px, double py, double ax, double ay, double bx, double by) {
    Vector e{bx - ax, by - ay};
    vector_normalize(e);
    return std::fabs(vector_cross(Vector{px - ax, py - ay}, e));
}

void vector_rotate(Vector& v, int32_t degrees) {
    double r = degrees * 3.14159265359 / 180;
    double x = v.x * std::cos(r) - v.y * std::sin(r);
    double y = v.x * std::sin(r) + v.y * std::cos(r);
    v = {x, y};
}

void mirror_x(Quad& q, float cx) {
    for (Point& p : q.p) p.x = 2 * cx - p.x;
}
void mirror_y(Quad& q, float cy) {
    for (Point& p : q.p) p.y = 2 * cy - p.y;
}

bool point_in_quad(const Quad& q, double x, double y) {
    for (int i = 0; i < 4; ++i) {
        const Point& a = q.p[i];
        const Point& b = q.p[(i + 1) % 4];
        if (cross_at(x, y, a.x, a.y, b.x, b.y) > 0) return false;
    }
    return true;
}

uint32_t* new_buffer(uint64_t pixels) {
    if (pixels == 0 || pixels > image_codecs::MAX_PIXELS) return nullptr;
    return static_cast<uint32_t*>(std::calloc(pixels, 4));
}

void free_buffer(uint32_t* buffer) { std::free(buffer); }

bool copy_pixel_rect(const uint32_t* src, int32_t W, int32_t H, int32_t x, int32_t y, int32_t w, int32_t h,
                     uint32_t* dst) {
    if (x < 0 || y < 0 || x >= W || y >= H) return false;
    int32_t cols = std::min(w, W - x), rows = std::min(h, H - y);
    if (cols <= 0 || rows <= 0) return true;
    for (int32_t r = 0; r < rows; ++r)
        std::memcpy(dst + int64_t(r) * cols, src + (int64_t(y) + r) * W + x, size_t(cols) * 4);
    return true;
}

uint32_t* quad_map(const uint32_t* src, int32_t W, int32_t H, const Quad& q, Box& box) {
    if (W < 1 || H < 1) return nullptr;
    float minx = FLT_MAX, miny = FLT_MAX, maxx = -FLT_MAX, maxy = -FLT_MAX;
    for (const Point& p : q.p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return nullptr;
        minx = std::min(minx, p.x);
        miny = std::min(miny, p.y);
        maxx = std::max(maxx, p.x);
        maxy = std::max(maxy, p.y);
    }
    auto x0 = numbers::trunc_to_int32(minx), y0 = numbers::trunc_to_int32(miny);
    auto bw = numbers::trunc_to_int32(double(maxx) - double(minx));
    auto bh = numbers::trunc_to_int32(double(maxy) - double(miny));
    if (!x0.ok || !y0.ok || !bw.ok || !bh.ok) return nullptr;
    if (bw.value < 1 || bh.value < 1 || bw.value > 65535 || bh.value > 65535) return nullptr;
    Vector e[4];
    for (int i = 0; i < 4; ++i) {
        const Point& a = q.p[i];
        const Point& b = q.p[(i + 1) % 4];
        vector_between(e[i], a.x, a.y, b.x, b.y);
        vector_normalize(e[i]);
    }
    uint32_t* out = new_buffer(uint64_t(bw.value) * uint64_t(bh.value));
    if (!out) return nullptr;
    box = {x0.value, y0.value, bw.value, bh.value};
    auto sample = [&](int32_t sx, int32_t sy) { return src + int64_t(sy) * W + sx; };
    for (int32_t j = 0; j < bh.value; ++j) {
        for (int32_t i = 0; i < bw.value; ++i) {
            double px = double(x0.value) + i, py = double(y0.value) + j;
            if (!point_in_quad(q, px, py)) continue;
            double d[4];
            for (int k = 0; k < 4; ++k) d[k] = std::fabs(vector_cross(Vector{px - q.p[k].x, py - q.p[k].y}, e[k]));
            double u = d[3] / (d[3] + d[1]) * W, v = d[0] / (d[0] + d[2]) * H;
            if (!std::isfinite(u) || !std::isfinite(v)) continue;
            auto sx = numbers::trunc_to_int32(u), sy = numbers::trunc_to_int32(v);
            if (!sx.ok || !sy.ok || sx.value < 0 || sx.value >= W || sy.value < 0 || sy.value >= H) continue;
            int32_t sx1 = sx.value + 1 < W ? sx.value + 1 : sx.value;
            int32_t sy1 = sy.value + 1 < H ? sy.value + 1 : sy.value;
            float fx = std::max(0.0f, float(u - sx.value)), fy = std::max(0.0f, float(v - sy.value));
            const auto* s00 = reinterpret_cast<const uint8_t*>(sample(sx.value, sy.value));
            const auto* s10 = reinterpret_cast<const uint8_t*>(sample(sx1, sy.value));
            const auto* s01 = reinterpret_cast<const uint8_t*>(sample(sx.value, sy1));
            const auto* s11 = reinterpret_cast<const uint8_t*>(sample(sx1, sy1));
            uint8_t px_out[4];
            for (int c = 0; c < 4; ++c) {
                float value =
                    (1 - fx) * (1 - fy) * s00[c] + fx * (1 - fy) * s10[c] + (1 - fx) * fy * s01[c] + fx * fy * s11[c];
                px_out[c] = uint8_t(std::clamp(value, 0.0f, 255.0f));
            }
            std::memcpy(out + int64_t(j) * bw.value + i, px_out, 4);
        }
    }
    return out;
}

uint32_t* scale_bilinear(const uint32_t* src, int32_t W, int32_t H, int32_t w, int32_t h) {
    Quad q{{{0, 0}, {float(w), 0}, {float(w), float(h)}, {0, float(h)}}};
    Box box;
    uint32_t* out = quad_map(src, W, H, q, box);
    if (out && (box.w != w || box.h != h)) {
        free_buffer(out);
        return nullptr;
    }
    return out;
}

namespace {

bool point_of(const Cell& c, Point& p) {
    if (type_of(c) == TYPE_PAIR) {
        p = {float(pair::x_of(c)), float(pair::y_of(c))};
        return true;
    }
    if (type_of(c) == TYPE_POINT2D) {
        p = {point::axis(c, 0), point::axis(c, 1)};
        return true;
    }
    return false;
}

}  // namespace

bool transform(Cell* out, const Cell& img_in, const Cell* crop, const Cell* first, const Cell* end, Box& box) {
    Cell img = img_in;
    Rooted keep(img);
    *out = make_none();
    int32_t W = int32_t(image::width(img)), H = int32_t(image::height(img));
    const auto* pixels = img.data2 ? reinterpret_cast<const uint32_t*>(image::pixels_of(img.data2)) : nullptr;
    if (W == 0 || H == 0 || !pixels) return false;
    int64_t ox = 0, oy = 0, cw = W, ch = H;
    if (crop) {
        ox = pair::x_of(crop[0]);
        oy = pair::y_of(crop[0]);
        cw = pair::x_of(crop[1]);
        ch = pair::y_of(crop[1]);
        if (ox < 0) {
            cw += ox;
            ox = 0;
        }
        if (oy < 0) {
            ch += oy;
            oy = 0;
        }
        if (ox >= W || oy >= H) return false;
        cw = std::min<int64_t>(cw, W - ox);
        ch = std::min<int64_t>(ch, H - oy);
        if (cw < 1 || ch < 1) return false;
    }
    int64_t count = first && end ? end - first : 0;
    Point pts[4];
    for (int64_t i = 0; i < count && i < 4; ++i)
        if (!point_of(first[i], pts[i])) return false;
    Quad q;
    Point p0 = count ? pts[0] : Point{0, 0};
    q.p[0] = p0;
    switch (count) {
    case 0:
    case 1:
        q.p[1] = {p0.x + float(cw), p0.y};
        q.p[2] = {p0.x + float(cw), p0.y + float(ch)};
        q.p[3] = {p0.x, p0.y + float(ch)};
        break;
    case 2:
        q.p[1] = {pts[1].x, p0.y};
        q.p[2] = pts[1];
        q.p[3] = {p0.x, pts[1].y};
        break;
    case 3:
        q.p[1] = pts[1];
        q.p[3] = pts[2];
        q.p[2] = {pts[1].x + pts[2].x - p0.x, pts[1].y + pts[2].y - p0.y};
        break;
    case 4:
        q.p[1] = pts[1];
        q.p[3] = pts[2];
        q.p[2] = pts[3];
        break;
    default:
        return false;
    }
    bool hflip = q.p[0].x > q.p[1].x, vflip = q.p[1].y > q.p[2].y;
    if (hflip) mirror_x(q, p0.x);
    if (vflip) mirror_y(q, p0.y);
    uint32_t* mapped;
    if (crop) {
        uint32_t* part = new_buffer(uint64_t(cw) * uint64_t(ch));
        if (!part) return false;
        copy_pixel_rect(pixels, W, H, int32_t(ox), int32_t(oy), int32_t(cw), int32_t(ch), part);
        mapped = quad_map(part, int32_t(cw), int32_t(ch), q, box);
        free_buffer(part);
    } else {
        mapped = quad_map(pixels, W, H, q, box);
    }
    if (!mapped) return false;
    NodeId record = 0;
    {
        // Making the image may collect: the mapped buffer is plain heap memory.
        struct Free {
            uint32_t* p;
            ~Free() { free_buffer(p); }
        } release{mapped};
        record = image::from_memory(uint32_t(box.w), uint32_t(box.h), 0, reinterpret_cast<const uint8_t*>(mapped));
    }
    image::make_at(*out, record, uint32_t(box.w), uint32_t(box.h));
    if (hflip) box.w = -box.w;
    if (vflip) box.h = -box.h;
    return true;
}

void yuy2_to_pixels(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst) {
    auto clamp = [](int32_t v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    int32_t pairs = (width + 1) / 2;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t i = 0; i < pairs; ++i) {
            const uint8_t* s = src + (int64_t(y) * pairs + i) * 4;
            int32_t u = int32_t(s[1]) - 128, v = int32_t(s[3]) - 128;
            int32_t ys[2] = {s[0], s[2]};
            for (int k = 0; k < 2; ++k) {
                int32_t x = 2 * i + k;
                if (x >= width) break;
                int32_t Y = ys[k];
                uint32_t r = clamp(Y + ((v * 91881) >> 16));
                uint32_t g = clamp(Y - ((v * 46792) >> 16) - ((u * 21889) >> 16));
                uint32_t b = clamp(Y + ((u * 116129) >> 16));
                dst[int64_t(y) * width + x] = 0xFF000000u | b << 16 | g << 8 | r;
            }
        }
    }
}

}  // namespace kel::image_geometry
