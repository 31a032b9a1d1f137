// Image geometry for drawing backends: a small 2D vector kit, the mapping
// of an image (or a rectangle of it) onto any quadrilateral with bilinear
// sampling, bilinear scaling, the image transform that draw commands with
// two, three or four corner points need, and YUY2 frames to pixels. The
// terminal backend draws without them; graphical backends call them.
//
// Pixel buffers are width x height 32-bit pixels of the backend's format,
// rows contiguous. Buffers made here come from `new_buffer` and are freed
// with `free_buffer` by the caller; a size that cannot be had gives null.
// Every float-to-integer conversion is checked (runtime/numbers/
// float-to-integer.h): a point whose source position is not finite stays 0,
// and a box from non-finite or huge coordinates, or wider or taller than
// 65,535, gives null.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::image_geometry {

struct Vector {
    double x = 0, y = 0;
};
struct Point {
    float x = 0, y = 0;
};
// p[0] top-left, p[1] top-right, p[2] bottom-right, p[3] bottom-left of the
// untransformed image; the edges are p0-p1, p1-p2, p2-p3, p3-p0.
struct Quad {
    Point p[4];
};
struct Box {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

double vector_length(const Vector& v);
void vector_normalize(Vector& v);
void vector_set(Vector& v, double x, double y);
void vector_between(Vector& v, double x1, double y1, double x2, double y2);
double vector_cross(const Vector& a, const Vector& b);
double vector_dot(const Vector& a, const Vector& b);
// cross(P - A, B - A) below / above 0.
bool left_of(double px, double py, double ax, double ay, double bx, double by);
bool right_of(double px, double py, double ax, double ay, double bx, double by);
// The distance of P from the line through A and B.
double line_distance(double px, double py, double ax, double ay, double bx, double by);
// Rotates in place by whole degrees (pi taken as 3.14159265359).
void vector_rotate(Vector& v, int32_t degrees);
void mirror_x(Quad& q, float cx);
void mirror_y(Quad& q, float cy);
// Inside unless cross(P - pi, successor - pi) > 0 for some edge; points on
// an edge are inside.
bool point_in_quad(const Quad& q, double x, double y);

uint32_t* new_buffer(uint64_t pixels);
void free_buffer(uint32_t* buffer);

// Copies the rectangle (cut to what lies right of and below its origin)
// into a contiguous destination; false, copying nothing, when the origin
// lies outside the source.
bool copy_pixel_rect(const uint32_t* src, int32_t W, int32_t H, int32_t x, int32_t y, int32_t w, int32_t h,
                     uint32_t* dst);
// The source mapped into the quad's bounding box (pixels outside the quad
// stay 0), or null; the box goes to `box`.
uint32_t* quad_map(const uint32_t* src, int32_t W, int32_t H, const Quad& q, Box& box);
// A w x h buffer: the map onto (0, 0)-(w, h), or null when that box is not
// exactly w x h.
uint32_t* scale_bilinear(const uint32_t* src, int32_t W, int32_t H, int32_t w, int32_t h);

// The image transform of draw commands. `crop` is null or two pair! cells
// (offset, size); points run from `first` to `end` (pair! or point2D!
// cells). Makes `out` a new image! of the mapped pixels and answers true,
// with the box in `box` (width negative for a horizontal flip, height for a
// vertical one); answers false (out none) when nothing is drawn.
bool transform(Cell* out, const Cell& img, const Cell* crop, const Cell* first, const Cell* end, Box& box);

// A YUY2 frame (Y0 U Y1 V per pixel pair, rows of (width + 1) / 2 pairs) to
// pixels with R in the lowest byte and alpha opaque.
void yuy2_to_pixels(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst);

}  // namespace kel::image_geometry
