// The PNG codec over libpng. Decoding keeps samples as stored (no gamma,
// ICC or chromaticity conversion), scales 16-bit samples to 8 with
// rounding, expands palettes, tRNS, grey and grey with alpha, and handles
// interlacing. Encoding writes 8-bit RGBA (colour type 6), not interlaced,
// at zlib's default level, with no time chunk.
//
// libpng reports failure by longjmp from its error handler: the functions
// that call setjmp hold no object with a destructor, and the failure
// becomes `false` after the jump. Warnings are dropped.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/image/codecs.h"

namespace kel::image_codecs {

namespace {

struct Io {
    const uint8_t* data;
    size_t size;
    size_t at;
    std::vector<uint8_t>* out;
    jmp_buf jump;
};

void on_error(png_structp png, png_const_charp) { std::longjmp(static_cast<Io*>(png_get_error_ptr(png))->jump, 1); }
void on_warning(png_structp, png_const_charp) {}

void read_bytes(png_structp png, png_bytep into, png_size_t n) {
    Io* io = static_cast<Io*>(png_get_io_ptr(png));
    if (n > io->size - io->at) png_error(png, "truncated");
    std::memcpy(into, io->data + io->at, n);
    io->at += n;
}

void write_bytes(png_structp png, png_bytep from, png_size_t n) {
    Io* io = static_cast<Io*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        io->out->insert(io->out->end(), from, from + n);
    } catch (...) {
        failed = true;
    }
    if (failed) png_error(png, "no memory");
}
void flush_bytes(png_structp) {}

// The decoding under setjmp: plain data only. `rows` is released by the
// caller whatever happens.
bool read_png(png_structp png, png_infop info, Io* io, Decoded* out, png_bytep** rows) {
    if (setjmp(io->jump)) return false;
    png_set_read_fn(png, io, read_bytes);
    png_set_user_limits(png, MAX_SIDE, MAX_SIDE);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (!size_allowed(w, h)) return false;
    int type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) return false;
    if (!allocate(*out, w, h)) return false;
    *rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (!*rows) return false;
    for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = out->pixels + size_t(y) * w * 4;
    png_read_image(png, *rows);
    return true;
}

bool write_png(png_structp png, png_infop info, Io* io, const uint8_t* bgra, uint32_t w, uint32_t h) {
    if (setjmp(io->jump)) return false;
    png_set_write_fn(png, io, write_bytes, flush_bytes);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (uint32_t y = 0; y < h; ++y) png_write_row(png, const_cast<png_bytep>(bgra + size_t(y) * w * 4));
    png_write_end(png, info);
    return true;
}

}  // namespace

bool decode_png(const uint8_t* data, size_t size, Decoded& out) {
    Io io{data, size, 0, nullptr, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    png_bytep* rows = nullptr;
    bool ok = info && read_png(png, info, &io, &out, &rows);
    std::free(rows);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok) release(out);
    return ok;
}

bool encode_png(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    size_t start = out.size();
    Io io{nullptr, 0, 0, &out, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    bool ok = info && write_png(png, info, &io, bgra, width, height);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) out.resize(start);
    return ok;
}

}  // namespace kel::image_codecs
