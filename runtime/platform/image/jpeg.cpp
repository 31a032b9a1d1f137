// The JPEG codec over libjpeg-turbo. Decoding goes straight to B, G, R, A
// (opaque) from grey, YCbCr and RGB; CMYK and YCCK are read as CMYK and
// converted here, inverted when an Adobe marker says the file stores them
// so. EXIF orientation is not applied. Encoding is baseline, quality 90,
// 4:2:0, alpha dropped.
//
// libjpeg reports failure through its error manager, whose exit handler
// longjmps: the functions that call setjmp hold no object with a
// destructor. Messages are never printed.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "runtime/platform/image/codecs.h"
#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::image_codecs {

namespace {

// libjpeg, opened on first use; entries drop the "jpeg_" prefix (jpeglib.h's
// jpeg_create_decompress and jpeg_create_compress are macros over
// CreateDecompress and CreateCompress, called here with the same arguments).
struct Libjpeg {
    static constexpr const char* SONAME = platform::sonames::JPEG;
    decltype(&::jpeg_std_error) std_error;
    decltype(&::jpeg_CreateDecompress) CreateDecompress;
    decltype(&::jpeg_mem_src) mem_src;
    decltype(&::jpeg_read_header) read_header;
    decltype(&::jpeg_start_decompress) start_decompress;
    decltype(&::jpeg_read_scanlines) read_scanlines;
    decltype(&::jpeg_finish_decompress) finish_decompress;
    decltype(&::jpeg_destroy_decompress) destroy_decompress;
    decltype(&::jpeg_CreateCompress) CreateCompress;
    decltype(&::jpeg_mem_dest) mem_dest;
    decltype(&::jpeg_set_defaults) set_defaults;
    decltype(&::jpeg_set_quality) set_quality;
    decltype(&::jpeg_start_compress) start_compress;
    decltype(&::jpeg_write_scanlines) write_scanlines;
    decltype(&::jpeg_finish_compress) finish_compress;
    decltype(&::jpeg_destroy_compress) destroy_compress;

    bool bind(platform::SharedLibrary& library) {
        library.resolve(std_error, "jpeg_std_error");
        library.resolve(CreateDecompress, "jpeg_CreateDecompress");
        library.resolve(mem_src, "jpeg_mem_src");
        library.resolve(read_header, "jpeg_read_header");
        library.resolve(start_decompress, "jpeg_start_decompress");
        library.resolve(read_scanlines, "jpeg_read_scanlines");
        library.resolve(finish_decompress, "jpeg_finish_decompress");
        library.resolve(destroy_decompress, "jpeg_destroy_decompress");
        library.resolve(CreateCompress, "jpeg_CreateCompress");
        library.resolve(mem_dest, "jpeg_mem_dest");
        library.resolve(set_defaults, "jpeg_set_defaults");
        library.resolve(set_quality, "jpeg_set_quality");
        library.resolve(start_compress, "jpeg_start_compress");
        library.resolve(write_scanlines, "jpeg_write_scanlines");
        library.resolve(finish_compress, "jpeg_finish_compress");
        library.resolve(destroy_compress, "jpeg_destroy_compress");
        return true;
    }
};

struct Errors {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void on_exit(j_common_ptr c) { std::longjmp(reinterpret_cast<Errors*>(c->err)->jump, 1); }
void on_message(j_common_ptr) {}
void on_emit(j_common_ptr, int) {}

void quiet(const Libjpeg& api, Errors& e) {
    api.std_error(&e.mgr);
    e.mgr.error_exit = on_exit;
    e.mgr.output_message = on_message;
    e.mgr.emit_message = on_emit;
}

bool read_jpeg(const Libjpeg& api, jpeg_decompress_struct* c, Errors* e, const uint8_t* data, size_t size, Decoded* out,
               uint8_t** cmyk_row) {
    if (setjmp(e->jump)) return false;
    api.CreateDecompress(c, JPEG_LIB_VERSION, sizeof(jpeg_decompress_struct));
    api.mem_src(c, data, (unsigned long)size);
    api.read_header(c, TRUE);
    if (!size_allowed(c->image_width, c->image_height)) return false;
    bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
    c->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    api.start_decompress(c);
    if (c->output_width != c->image_width || c->output_height != c->image_height) return false;
    if (!allocate(*out, c->output_width, c->output_height)) return false;
    uint32_t w = out->width;
    if (cmyk) {
        *cmyk_row = static_cast<uint8_t*>(std::malloc(size_t(w) * 4));
        if (!*cmyk_row) return false;
    }
    bool inverted = c->saw_Adobe_marker;
    while (c->output_scanline < c->output_height) {
        uint8_t* row = out->pixels + size_t(c->output_scanline) * w * 4;
        JSAMPROW into = cmyk ? *cmyk_row : row;
        api.read_scanlines(c, &into, 1);
        if (!cmyk) continue;
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* s = *cmyk_row + size_t(x) * 4;
            uint32_t k = inverted ? s[3] : 255 - s[3];
            auto ink = [&](uint8_t v) { return uint8_t(((inverted ? v : 255 - v) * k + 127) / 255); };
            row[x * 4 + 0] = ink(s[2]);
            row[x * 4 + 1] = ink(s[1]);
            row[x * 4 + 2] = ink(s[0]);
            row[x * 4 + 3] = 255;
        }
    }
    api.finish_decompress(c);
    return true;
}

bool write_jpeg(const Libjpeg& api, jpeg_compress_struct* c, Errors* e, const uint8_t* bgra, uint32_t w, uint32_t h,
                unsigned char** buffer, unsigned long* size) {
    if (setjmp(e->jump)) return false;
    api.CreateCompress(c, JPEG_LIB_VERSION, sizeof(jpeg_compress_struct));
    api.mem_dest(c, buffer, size);
    c->image_width = w;
    c->image_height = h;
    c->input_components = 4;
    c->in_color_space = JCS_EXT_BGRA;
    api.set_defaults(c);
    api.set_quality(c, 90, TRUE);
    api.start_compress(c, TRUE);
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bgra + size_t(c->next_scanline) * w * 4);
        api.write_scanlines(c, &row, 1);
    }
    api.finish_compress(c);
    return true;
}

}  // namespace

bool decode_jpeg(const uint8_t* data, size_t size, Decoded& out) {
    const Libjpeg* api = platform::load_api<Libjpeg>();
    if (!api) return false;
    jpeg_decompress_struct c;
    std::memset(&c, 0, sizeof c);
    Errors e;
    quiet(*api, e);
    c.err = &e.mgr;
    uint8_t* cmyk_row = nullptr;
    bool ok = read_jpeg(*api, &c, &e, data, size, &out, &cmyk_row);
    std::free(cmyk_row);
    api->destroy_decompress(&c);
    if (!ok) release(out);
    return ok;
}

bool encode_jpeg(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    if (width > 65500 || height > 65500) return false;
    const Libjpeg* api = platform::load_api<Libjpeg>();
    if (!api) return false;
    jpeg_compress_struct c;
    std::memset(&c, 0, sizeof c);
    Errors e;
    quiet(*api, e);
    c.err = &e.mgr;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool ok = write_jpeg(*api, &c, &e, bgra, width, height, &buffer, &size);
    api->destroy_compress(&c);
    if (ok) {
        try {
            out.insert(out.end(), buffer, buffer + size);
        } catch (...) {
            ok = false;
        }
    }
    std::free(buffer);
    return ok;
}

}  // namespace kel::image_codecs
