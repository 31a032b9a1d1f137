// Size limits, pixel blocks, signatures and the dispatch to the five codecs.
#include "runtime/platform/image/codecs.h"

#include <cstdlib>
#include <cstring>

namespace kel::image_codecs {

namespace {

uint64_t pixel_cap = 0;

struct Signature {
    int format;
    const char* bytes;
    size_t size;
};
constexpr Signature SIGNATURES[] = {
    {IMAGE_PNG, "\x89PNG", 4}, {IMAGE_JPEG, "\xFF\xD8\xFF", 3}, {IMAGE_BMP, "BM", 2},     {IMAGE_GIF, "GIF87a", 6},
    {IMAGE_GIF, "GIF89a", 6},  {IMAGE_TIFF, "II*\0", 4},        {IMAGE_TIFF, "MM\0*", 4},
};

}  // namespace

bool size_allowed(uint64_t width, uint64_t height, bool allow_empty) {
    uint64_t least = allow_empty ? 0 : 1;
    if (width < least || height < least || width > MAX_SIDE || height > MAX_SIDE) return false;
    uint64_t n = width * height;
    return n <= MAX_PIXELS && (pixel_cap == 0 || n <= pixel_cap);
}

uint64_t set_pixel_cap(uint64_t pixels) {
    uint64_t old = pixel_cap;
    pixel_cap = pixels;
    return old;
}

uint8_t* allocate_block(uint64_t bytes) { return static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1)); }

void free_block(uint8_t* block) { std::free(block); }

bool allocate(Decoded& d, uint32_t width, uint32_t height) {
    if (!size_allowed(width, height)) return false;
    uint8_t* block = allocate_block(uint64_t(width) * height * 4);
    if (!block) return false;
    release(d);
    d.pixels = block;
    d.width = width;
    d.height = height;
    return true;
}

void release(Decoded& d) {
    free_block(d.pixels);
    d = Decoded{};
}

int sniff(const uint8_t* data, size_t size) {
    for (const Signature& s : SIGNATURES)
        if (size >= s.size && std::memcmp(data, s.bytes, s.size) == 0) return s.format;
    return -1;
}

bool decode(const uint8_t* data, size_t size, Decoded& out) {
    switch (sniff(data, size)) {
    case IMAGE_BMP:
        return decode_bmp(data, size, out);
    case IMAGE_PNG:
        return decode_png(data, size, out);
    case IMAGE_GIF:
        return decode_gif(data, size, out);
    case IMAGE_JPEG:
        return decode_jpeg(data, size, out);
    case IMAGE_TIFF:
        return decode_tiff(data, size, out);
    default:
        return false;
    }
}

bool encode(int format, const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    switch (format) {
    case IMAGE_BMP:
        return encode_bmp(bgra, width, height, out);
    case IMAGE_PNG:
        return encode_png(bgra, width, height, out);
    case IMAGE_GIF:
        return encode_gif(bgra, width, height, out);
    case IMAGE_JPEG:
        return encode_jpeg(bgra, width, height, out);
    case IMAGE_TIFF:
        return encode_tiff(bgra, width, height, out);
    default:
        return false;
    }
}

}  // namespace kel::image_codecs
