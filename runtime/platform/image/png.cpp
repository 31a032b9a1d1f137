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
#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::image_codecs {

namespace {

// libpng, opened on first use; entries drop the "png_" prefix.
struct Libpng {
    static constexpr const char* SONAME = platform::sonames::PNG;
    decltype(&::png_create_read_struct) create_read_struct;
    decltype(&::png_create_write_struct) create_write_struct;
    decltype(&::png_create_info_struct) create_info_struct;
    decltype(&::png_destroy_read_struct) destroy_read_struct;
    decltype(&::png_destroy_write_struct) destroy_write_struct;
    decltype(&::png_get_error_ptr) get_error_ptr;
    decltype(&::png_get_io_ptr) get_io_ptr;
    decltype(&::png_error) error;
    decltype(&::png_set_read_fn) set_read_fn;
    decltype(&::png_set_write_fn) set_write_fn;
    decltype(&::png_set_user_limits) set_user_limits;
    decltype(&::png_read_info) read_info;
    decltype(&::png_get_image_width) get_image_width;
    decltype(&::png_get_image_height) get_image_height;
    decltype(&::png_get_color_type) get_color_type;
    decltype(&::png_get_valid) get_valid;
    decltype(&::png_get_rowbytes) get_rowbytes;
    decltype(&::png_set_expand) set_expand;
    decltype(&::png_set_scale_16) set_scale_16;
    decltype(&::png_set_gray_to_rgb) set_gray_to_rgb;
    decltype(&::png_set_add_alpha) set_add_alpha;
    decltype(&::png_set_bgr) set_bgr;
    decltype(&::png_set_interlace_handling) set_interlace_handling;
    decltype(&::png_read_update_info) read_update_info;
    decltype(&::png_read_image) read_image;
    decltype(&::png_set_IHDR) set_IHDR;
    decltype(&::png_write_info) write_info;
    decltype(&::png_write_row) write_row;
    decltype(&::png_write_end) write_end;

    bool bind(platform::SharedLibrary& library) {
        library.resolve(create_read_struct, "png_create_read_struct");
        library.resolve(create_write_struct, "png_create_write_struct");
        library.resolve(create_info_struct, "png_create_info_struct");
        library.resolve(destroy_read_struct, "png_destroy_read_struct");
        library.resolve(destroy_write_struct, "png_destroy_write_struct");
        library.resolve(get_error_ptr, "png_get_error_ptr");
        library.resolve(get_io_ptr, "png_get_io_ptr");
        library.resolve(error, "png_error");
        library.resolve(set_read_fn, "png_set_read_fn");
        library.resolve(set_write_fn, "png_set_write_fn");
        library.resolve(set_user_limits, "png_set_user_limits");
        library.resolve(read_info, "png_read_info");
        library.resolve(get_image_width, "png_get_image_width");
        library.resolve(get_image_height, "png_get_image_height");
        library.resolve(get_color_type, "png_get_color_type");
        library.resolve(get_valid, "png_get_valid");
        library.resolve(get_rowbytes, "png_get_rowbytes");
        library.resolve(set_expand, "png_set_expand");
        library.resolve(set_scale_16, "png_set_scale_16");
        library.resolve(set_gray_to_rgb, "png_set_gray_to_rgb");
        library.resolve(set_add_alpha, "png_set_add_alpha");
        library.resolve(set_bgr, "png_set_bgr");
        library.resolve(set_interlace_handling, "png_set_interlace_handling");
        library.resolve(read_update_info, "png_read_update_info");
        library.resolve(read_image, "png_read_image");
        library.resolve(set_IHDR, "png_set_IHDR");
        library.resolve(write_info, "png_write_info");
        library.resolve(write_row, "png_write_row");
        library.resolve(write_end, "png_write_end");
        return true;
    }
};

// libpng's callbacks run only inside calls made through the loaded table.
const Libpng& libpng() { return *platform::opened_api<Libpng>(); }

struct Io {
    const uint8_t* data;
    size_t size;
    size_t at;
    std::vector<uint8_t>* out;
    jmp_buf jump;
};

void on_error(png_structp png, png_const_charp) {
    std::longjmp(static_cast<Io*>(libpng().get_error_ptr(png))->jump, 1);
}
void on_warning(png_structp, png_const_charp) {}

void read_bytes(png_structp png, png_bytep into, png_size_t n) {
    Io* io = static_cast<Io*>(libpng().get_io_ptr(png));
    if (n > io->size - io->at) libpng().error(png, "truncated");
    std::memcpy(into, io->data + io->at, n);
    io->at += n;
}

void write_bytes(png_structp png, png_bytep from, png_size_t n) {
    Io* io = static_cast<Io*>(libpng().get_io_ptr(png));
    bool failed = false;
    try {
        io->out->insert(io->out->end(), from, from + n);
    } catch (...) {
        failed = true;
    }
    if (failed) libpng().error(png, "no memory");
}
void flush_bytes(png_structp) {}

// The decoding under setjmp: plain data only. `rows` is released by the
// caller whatever happens.
bool read_png(const Libpng& api, png_structp png, png_infop info, Io* io, Decoded* out, png_bytep** rows) {
    if (setjmp(io->jump)) return false;
    api.set_read_fn(png, io, read_bytes);
    api.set_user_limits(png, MAX_SIDE, MAX_SIDE);
    api.read_info(png, info);
    png_uint_32 w = api.get_image_width(png, info), h = api.get_image_height(png, info);
    if (!size_allowed(w, h)) return false;
    int type = api.get_color_type(png, info);
    api.set_expand(png);
    api.set_scale_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) api.set_gray_to_rgb(png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !api.get_valid(png, info, PNG_INFO_tRNS))
        api.set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    api.set_bgr(png);
    api.set_interlace_handling(png);
    api.read_update_info(png, info);
    if (api.get_rowbytes(png, info) != size_t(w) * 4) return false;
    if (!allocate(*out, w, h)) return false;
    *rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (!*rows) return false;
    for (png_uint_32 y = 0; y < h; ++y) (*rows)[y] = out->pixels + size_t(y) * w * 4;
    api.read_image(png, *rows);
    return true;
}

bool write_png(const Libpng& api, png_structp png, png_infop info, Io* io, const uint8_t* bgra, uint32_t w,
               uint32_t h) {
    if (setjmp(io->jump)) return false;
    api.set_write_fn(png, io, write_bytes, flush_bytes);
    api.set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    api.write_info(png, info);
    api.set_bgr(png);
    for (uint32_t y = 0; y < h; ++y) api.write_row(png, const_cast<png_bytep>(bgra + size_t(y) * w * 4));
    api.write_end(png, info);
    return true;
}

}  // namespace

bool decode_png(const uint8_t* data, size_t size, Decoded& out) {
    const Libpng* api = platform::load_api<Libpng>();
    if (!api) return false;
    Io io{data, size, 0, nullptr, {}};
    png_structp png = api->create_read_struct(PNG_LIBPNG_VER_STRING, &io, on_error, on_warning);
    if (!png) return false;
    png_infop info = api->create_info_struct(png);
    png_bytep* rows = nullptr;
    bool ok = info && read_png(*api, png, info, &io, &out, &rows);
    std::free(rows);
    api->destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok) release(out);
    return ok;
}

bool encode_png(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    const Libpng* api = platform::load_api<Libpng>();
    if (!api) return false;
    size_t start = out.size();
    Io io{nullptr, 0, 0, &out, {}};
    png_structp png = api->create_write_struct(PNG_LIBPNG_VER_STRING, &io, on_error, on_warning);
    if (!png) return false;
    png_infop info = api->create_info_struct(png);
    bool ok = info && write_png(*api, png, info, &io, bgra, width, height);
    api->destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) out.resize(start);
    return ok;
}

}  // namespace kel::image_codecs
