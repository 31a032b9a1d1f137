// Image codecs through the backend against the same libraries called
// directly with the same pixel layout (B, G, R, A), on a 2048 x 2048 image
// in the same run: PNG (libpng's simplified interface), JPEG (libjpeg-turbo
// at quality 90) and TIFF (libtiff, LZW strips) decoding and encoding; and
// our 32-bit BMP codec against a memcpy of the pixels. Decoding through the
// backend makes an image record (pixels counted, registry entry), encoding
// makes the binary! a script gets.
#include <png.h>
#include <tiffio.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/image.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"
#include "runtime/platform/image/codecs.h"

using namespace kel;

namespace {

constexpr uint32_t W = 2048, H = 2048;
using Bytes = std::vector<uint8_t>;

Bytes picture() {
    std::mt19937 gen(5);
    Bytes px(size_t(W) * H * 4);
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x) {
            uint8_t* p = &px[(size_t(y) * W + x) * 4];
            p[0] = uint8_t(x / 8 + (gen() & 7));
            p[1] = uint8_t(y / 8 + (gen() & 3));
            p[2] = uint8_t((x + y) / 16);
            p[3] = uint8_t(255 - (x * y) / 32768 % 64);
        }
    return px;
}

// The backend: decode into a record, encode into a binary!.
double backend_decode(const Bytes& file) {
    return bench::best_of(3, [&] {
        NodeId record = image::load_memory(file.data(), file.size());
        Cell img{TYPE_IMAGE, 0, record, image::make_size(W, H)};
        image::release(img);
    });
}

double backend_encode(NodeId record, int format) {
    return bench::best_of(3, [&] {
        Cell out = make_none();
        image::encode_bytes(record, W, H, format, &out);
    });
}

// Direct library calls --------------------------------------------------------------

double png_decode(const Bytes& file, Bytes& px) {
    return bench::best_of(3, [&] {
        png_image img{};
        img.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&img, file.data(), file.size());
        img.format = PNG_FORMAT_BGRA;
        png_image_finish_read(&img, nullptr, px.data(), 0, nullptr);
    });
}

double png_encode(const Bytes& px) {
    return bench::best_of(3, [&] {
        png_image img{};
        img.version = PNG_IMAGE_VERSION;
        img.width = W;
        img.height = H;
        img.format = PNG_FORMAT_BGRA;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr);
        Bytes out(size);
        png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr);
    });
}

double jpeg_decode(const Bytes& file, Bytes& px) {
    return bench::best_of(3, [&] {
        jpeg_decompress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, file.data(), (unsigned long)file.size());
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = px.data() + size_t(c.output_scanline) * W * 4;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
    });
}

double jpeg_encode(const Bytes& px) {
    return bench::best_of(3, [&] {
        jpeg_compress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &buffer, &size);
        c.image_width = W;
        c.image_height = H;
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRA;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 90, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < H) {
            JSAMPROW row = const_cast<uint8_t*>(px.data()) + size_t(c.next_scanline) * W * 4;
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        std::free(buffer);
    });
}

struct Memory {
    Bytes* bytes;
    uint64_t at;
};
tmsize_t mem_read(thandle_t h, void* p, tmsize_t n) {
    auto* m = static_cast<Memory*>(h);
    uint64_t left = m->at < m->bytes->size() ? m->bytes->size() - m->at : 0;
    uint64_t take = std::min<uint64_t>(uint64_t(n), left);
    std::memcpy(p, m->bytes->data() + m->at, take);
    m->at += take;
    return tmsize_t(take);
}
tmsize_t mem_write(thandle_t h, void* p, tmsize_t n) {
    auto* m = static_cast<Memory*>(h);
    if (m->bytes->size() < m->at + uint64_t(n)) m->bytes->resize(m->at + uint64_t(n));
    std::memcpy(m->bytes->data() + m->at, p, size_t(n));
    m->at += uint64_t(n);
    return n;
}
toff_t mem_seek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(h);
    m->at = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->bytes->size()) + off;
    return m->at;
}
int mem_close(thandle_t) { return 0; }
toff_t mem_size(thandle_t h) { return static_cast<Memory*>(h)->bytes->size(); }
int mem_map(thandle_t, void**, toff_t*) { return 0; }
void mem_unmap(thandle_t, void*, toff_t) {}

TIFF* open_memory(Memory& m, const char* mode) {
    return TIFFClientOpen("bench", mode, &m, mem_read, mem_write, mem_seek, mem_close, mem_size, mem_map, mem_unmap);
}

void swap_rows(uint8_t* dst, const uint8_t* src, size_t n) {
    for (size_t i = 0; i < n; ++i, dst += 4, src += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = src[3];
    }
}

double tiff_decode(Bytes& file, Bytes& px) {
    return bench::best_of(3, [&] {
        Memory m{&file, 0};
        TIFF* tif = open_memory(m, "rm");
        Bytes line(size_t(W) * 4);
        for (uint32_t y = 0; y < H; ++y) {
            TIFFReadScanline(tif, line.data(), y, 0);
            swap_rows(px.data() + size_t(y) * W * 4, line.data(), W);
        }
        TIFFClose(tif);
    });
}

double tiff_encode(const Bytes& px) {
    return bench::best_of(3, [&] {
        Bytes file;
        Memory m{&file, 0};
        TIFF* tif = open_memory(m, "wm");
        uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, W);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, H);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        Bytes line(size_t(W) * 4);
        for (uint32_t y = 0; y < H; ++y) {
            swap_rows(line.data(), px.data() + size_t(y) * W * 4, W);
            TIFFWriteScanline(tif, line.data(), y, 0);
        }
        TIFFClose(tif);
    });
}

}  // namespace

int main() {
    start_runtime();
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    Bytes px = picture(), out(px.size());
    NodeId record = image::from_memory(W, H, 0, px.data());
    Cell img{TYPE_IMAGE, 0, record, image::make_size(W, H)};
    Rooted keep(img);
    struct Row {
        const char* name;
        int format;
    };
    for (Row r : {Row{"PNG", image_codecs::IMAGE_PNG}, Row{"JPEG", image_codecs::IMAGE_JPEG},
                  Row{"TIFF", image_codecs::IMAGE_TIFF}}) {
        Bytes file;
        image_codecs::encode(r.format, px.data(), W, H, file);
        char what[64];
        std::snprintf(what, sizeof what, "%s decode 2048x2048", r.name);
        double ours = backend_decode(file);
        double ref = r.format == image_codecs::IMAGE_PNG ? png_decode(file, out)
            : r.format == image_codecs::IMAGE_JPEG       ? jpeg_decode(file, out)
                                                         : tiff_decode(file, out);
        bench::report(what, ours, ref, "the library directly");
        std::snprintf(what, sizeof what, "%s encode 2048x2048", r.name);
        ours = backend_encode(record, r.format);
        ref = r.format == image_codecs::IMAGE_PNG  ? png_encode(px)
            : r.format == image_codecs::IMAGE_JPEG ? jpeg_encode(px)
                                                   : tiff_encode(px);
        bench::report(what, ours, ref, "the library directly");
    }
    Bytes bmp;
    image_codecs::encode_bmp(px.data(), W, H, bmp);
    double copy = bench::best_of(5, [&] { std::memcpy(out.data(), px.data(), px.size()); });
    bench::report("BMP 32-bit decode 2048x2048", backend_decode(bmp), copy, "memcpy of the pixels");
    bench::report("BMP 32-bit encode 2048x2048", backend_encode(record, image_codecs::IMAGE_BMP), copy,
                  "memcpy of the pixels");
    return 0;
}
