// The five image codecs over memory: PNG (libpng), JPEG (libjpeg-turbo),
// GIF (giflib), TIFF (libtiff) and BMP (our own). They know nothing of
// values: a decoder reads bytes and fills a pixel block, an encoder reads a
// pixel block and appends a complete file to a byte vector.
//
// Pixels are 32-bit B, G, R, A bytes (A the opacity, straight alpha), rows
// top-down without padding. A decoder takes only the first frame or page,
// never reads past its input, prints nothing and never unwinds through the
// libraries' frames: their failures come back as `false`. A header that
// claims a size beyond the limits (`size_allowed`) is refused before any
// pixel memory is taken. The same pixels always encode to the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::image_codecs {

// Encoder format indexes.
inline constexpr int IMAGE_BMP = 0;
inline constexpr int IMAGE_PNG = 1;
inline constexpr int IMAGE_GIF = 2;
inline constexpr int IMAGE_JPEG = 3;
inline constexpr int IMAGE_TIFF = 4;
inline constexpr int FORMAT_COUNT = 5;

inline constexpr uint32_t MAX_SIDE = 65535;
inline constexpr uint64_t MAX_PIXELS = 2147483647;

// Width and height each in 1..65535 (0 allowed when `allow_empty`), their
// product at most 2,147,483,647 and at most the pixel cap.
bool size_allowed(uint64_t width, uint64_t height, bool allow_empty = false);
// A ceiling on the pixels of one decoded image (0: none, the default). The
// fuzz targets and their replaying tests set a few million, so a header
// claiming 65535 x 65535 is refused fast. Answers the cap it replaces.
uint64_t set_pixel_cap(uint64_t pixels);

// A decoded image: a block from `allocate` (free it with `release`).
struct Decoded {
    uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
};
// Checks the size, then takes a zero-filled block of width x height x 4
// bytes into `d`; false (and nothing taken) when the size is refused or
// memory is short. Decoders call it once they know the size.
bool allocate(Decoded& d, uint32_t width, uint32_t height);
void release(Decoded& d);
// The block of an image's pixels: plain heap memory, never moved.
uint8_t* allocate_block(uint64_t bytes);
void free_block(uint8_t* block);

// The format whose signature starts the bytes (a signature longer than the
// data is compared only within it, so it never matches), or -1.
int sniff(const uint8_t* data, size_t size);

bool decode_bmp(const uint8_t* data, size_t size, Decoded& out);
bool decode_png(const uint8_t* data, size_t size, Decoded& out);
bool decode_jpeg(const uint8_t* data, size_t size, Decoded& out);
bool decode_gif(const uint8_t* data, size_t size, Decoded& out);
bool decode_tiff(const uint8_t* data, size_t size, Decoded& out);
// The decoder of the signature the bytes carry; false for none.
bool decode(const uint8_t* data, size_t size, Decoded& out);

// Encoders append to `out`; false on any failure of the library (nothing
// usable is then in `out`). Width and height are at least 1.
bool encode_bmp(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
bool encode_png(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
bool encode_jpeg(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
bool encode_gif(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
bool encode_tiff(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
// The BMP encoder's file size (0 when the pixels cannot be held), and the
// encoder writing that many bytes at `out`.
uint64_t bmp_size(uint32_t width, uint32_t height);
void encode_bmp_into(const uint8_t* bgra, uint32_t width, uint32_t height, uint8_t* out);
// By format index; false for an index outside 0..4 too.
bool encode(int format, const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out);

}  // namespace kel::image_codecs
