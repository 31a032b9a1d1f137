// image! (type 53, child of series!): a position in the pixels of an image
// record (runtime/platform/image/backend.h).
//
// Cell: word 1 the index in pixels (row by row from the top-left pixel),
// word 2 the node of the image record (0 for an image without pixels),
// word 3 the size, width in bits 0-15 and height in bits 16-31. Copies of a
// cell share the record; copy makes a new one. Scripts see a pixel as the
// tuple R.G.B.T with T = 255 - A the transparency; a 3-component tuple means
// T = 0. An integer colour reads like a tuple's bytes: R in bits 0-7, G,
// B, T in bits 24-31.
//
// This header holds what other modules call: the codec routines, the
// KELBIN codec and the clipboard.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::image {

// Data kinds of extract_data and set_data.
inline constexpr int DATA_ALPHA = 0;
inline constexpr int DATA_RGB = 1;
inline constexpr int DATA_ARGB = 2;

inline uint32_t width(const Cell& img) { return img.data3 & 0xFFFF; }
inline uint32_t height(const Cell& img) { return img.data3 >> 16; }
inline int64_t pixel_count(const Cell& img) { return int64_t(width(img)) * height(img); }

// The cell becomes an image! at index 0 over the record (0: no pixels)
// with its size.
Cell* make_at(Cell& cell, NodeId record, uint32_t width, uint32_t height);
// Pushes the pixel at index as a 4-component tuple; an index outside
// 0 .. W x H - 1 (or a released image) pushes none.
Cell* pixel_tuple(const Cell& img, int64_t index);
// The bytes at the binary's index begin with a known signature (one longer
// than the bytes never matches).
bool known_format(const Cell& binary);
// Decodes the bytes and pushes the image!; bytes without a known signature
// push none; a known signature that fails to decode raises
// access/bad-media.
Cell* load_binary(const Cell& binary);
// Decodes the file into the cell; access/cannot-open with the file on
// failure.
void load_file_at(Cell& cell, const Cell& file);
// A binary! (load_binary), a file! (load_file_at) or a url! (read as a
// binary, then load_binary) into `out`; anything else raises
// script/invalid-arg with it.
void decode(Cell* out, const Cell& data);
// The encoded file (format index 0-4) as a binary! into `out`. An image
// without pixels or of width or height 0 raises access/bad-media; an unknown
// index prints "Cannot find image encoder" and gives none.
void encode(Cell* out, const Cell& img, int format);
// Pushes a new binary! with the data of every pixel (the index is not used).
Cell* extract_data(const Cell& img, int kind);
// Sets that data of every pixel from a binary!, tuple! or integer!.
void set_data(const Cell& img, const Cell& value, int kind);
// Pushes a new image! of the pixels scaled by nearest neighbour.
Cell* resize(const Cell& img, uint32_t width, uint32_t height);
// Frees the pixels now; the cell keeps its size, pick then gives none.
void release(const Cell& img);

// Locks the pixels for writing: the first pixel (stride 4 x width), or
// null for an image without pixels. release_data unlocks and, with notify,
// tells the owner (poke, index -1, count -1).
uint8_t* acquire_data(const Cell& img);
void release_data(const Cell& img, bool notify);

// Registration: the codec libraries' settings, then type 53 with the
// resource kind "image" and the hooks of the collector, foreach and
// to binary!.
void init_factory();
void init();

}  // namespace kel::image
