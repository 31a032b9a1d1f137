// The image pixel backend: image records and the pixels they own.
//
// A record is a small byte series (reached through word 2 of an image!
// cell) of four 32-bit words: flags, size (width in bits 0-15, height in
// bits 16-31), the index of its external resource entry (kind "image", -1
// once released) and a lock count. It never holds an address. The pixels
// are one heap block of width x height x 4 bytes (B, G, R, A, straight
// alpha, rows top-down without padding) outside the series frames: the entry
// owns it and `release_objects` (its finaliser) frees it, so a pixel address
// never moves while the record's value is reachable, across allocations
// too, but not across `release_objects`. Pixel bytes count toward the
// collection pacing (memory::take_external / drop_external).
//
// Every maker computes its pixels at once (no lazy sources). Widths and
// heights are 0..65535 and their product at most 2,147,483,647; a failed
// allocation raises internal/no-memory.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/platform/image/codecs.h"

namespace kel::image {

using image_codecs::IMAGE_BMP;
using image_codecs::IMAGE_GIF;
using image_codecs::IMAGE_JPEG;
using image_codecs::IMAGE_PNG;
using image_codecs::IMAGE_TIFF;

inline constexpr uint32_t RECORD_PIXELS = 0x01;  // flags: the pixels are valid

inline uint32_t size_width(uint32_t size) { return size & 0xFFFF; }
inline uint32_t size_height(uint32_t size) { return size >> 16; }
inline uint32_t make_size(uint32_t w, uint32_t h) { return (w & 0xFFFF) | h << 16; }

// Start-up: the resource kind "image" with its finaliser. (The codec
// libraries are opened, and set up, on first use.)
void register_kind();

// Record fields (the record must be a live record node).
uint32_t width_of(NodeId record);
uint32_t height_of(NodeId record);
// The first pixel, or null for a released record.
uint8_t* pixels_of(NodeId record);

// A record over new pixels: opaque white unless filled. rgb and alpha are
// binary! cells or null, colour a tuple! cell or null (see the fill rules in
// image-make). Answers 0 when width or height is 0.
NodeId create_bitmap(uint32_t width, uint32_t height, const Cell* rgb, const Cell* alpha, const Cell* colour);
// A record holding a copy of 32-bit BGRA pixels from memory with the given
// row stride in bytes (0: 4 x width).
NodeId from_memory(uint32_t width, uint32_t height, uint32_t stride, const uint8_t* pixels);
// A record decoded from the bytes (first frame), or 0 when they do not
// decode. The bytes may lie in a series buffer: they are read before
// anything is allocated.
NodeId load_memory(const uint8_t* data, uint64_t size);
// The file read whole through the file layer, then decoded; 0 when it
// cannot be read or decoded.
NodeId load_file(const Cell& file);
// The encoded file as a binary! into `out`. An unknown format prints
// "Cannot find image encoder" and answers false; an encoder failure (a
// released image included) raises access/bad-media.
bool encode_bytes(NodeId record, uint32_t width, uint32_t height, int format, Cell* out);
// Nearest-neighbour scaling to width x height (0 when either is 0).
NodeId scale(NodeId record, uint32_t width, uint32_t height);
// A copy of the rectangle (clipped by the caller).
NodeId copy_rect(NodeId record, uint32_t x, uint32_t y, uint32_t width, uint32_t height);
NodeId copy_all(NodeId record);
NodeId flip_vertical(NodeId record);

// Locks give the first pixel and a stride of 4 x width; a write lock's
// holder tells the owner once done (image-data's release).
uint8_t* lock_pixels(NodeId record, bool write);
void unlock_pixels(NodeId record);

uint32_t get_pixel(NodeId record, int64_t index);
void set_pixel(NodeId record, int64_t index, uint32_t value);
// The pixel of a colour: a tuple! R.G.B.T (T 0 when it has 3 components)
// or an integer! with R in bits 0-7, G, B, T in bits 24-31; A = 255 - T.
uint32_t colour_pixel(const Cell& colour);

// Frees the pixels now; the record keeps its size.
void release_objects(NodeId record);
// The collector's step for a reached record: marks its entry.
void mark(NodeId record);

}  // namespace kel::image
