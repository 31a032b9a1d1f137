// The TIFF codec over libtiff, on memory through TIFFClientOpenExt. The
// first page only. 8-bit contiguous RGB and RGBA are read directly, strips
// or tiles, unassociated alpha kept and associated alpha un-premultiplied;
// every other layout (palette, grey, 16-bit, YCbCr, CMYK, 1-bit, separate
// planes) goes through the RGBA-image reader with top-left orientation,
// whose premultiplication is undone. Encoding writes 8-bit RGBA with
// unassociated alpha, LZW, into a growable buffer (write, seek past the end
// and read back).
//
// libtiff's errors and warnings go to handlers of each handle's open
// options, which record them: nothing is printed.
#include <tiffio.h>

#include <cstdlib>
#include <cstring>

#include "runtime/platform/image/codecs.h"
#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::image_codecs {

namespace {

// libtiff, opened on first use; entries keep the library's names. Opening
// it removes the process-wide error and warning handlers, which would print
// what the library reports before a handle (and its own handlers) exists.
struct Libtiff {
    static constexpr const char* SONAME = platform::sonames::TIFF;
    decltype(&::TIFFSetErrorHandler) TIFFSetErrorHandler;
    decltype(&::TIFFSetWarningHandler) TIFFSetWarningHandler;
    decltype(&::TIFFOpenOptionsAlloc) TIFFOpenOptionsAlloc;
    decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) TIFFOpenOptionsSetErrorHandlerExtR;
    decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) TIFFOpenOptionsSetWarningHandlerExtR;
    decltype(&::TIFFOpenOptionsSetMaxSingleMemAlloc) TIFFOpenOptionsSetMaxSingleMemAlloc;
    decltype(&::TIFFOpenOptionsFree) TIFFOpenOptionsFree;
    decltype(&::TIFFClientOpenExt) TIFFClientOpenExt;
    decltype(&::TIFFClose) TIFFClose;
    decltype(&::TIFFFlush) TIFFFlush;
    decltype(&::TIFFIsTiled) TIFFIsTiled;
    decltype(&::TIFFGetField) TIFFGetField;
    decltype(&::TIFFGetFieldDefaulted) TIFFGetFieldDefaulted;
    decltype(&::TIFFSetField) TIFFSetField;
    decltype(&::TIFFTileSize) TIFFTileSize;
    decltype(&::TIFFReadTile) TIFFReadTile;
    decltype(&::TIFFScanlineSize64) TIFFScanlineSize64;
    decltype(&::TIFFReadScanline) TIFFReadScanline;
    decltype(&::TIFFWriteScanline) TIFFWriteScanline;
    decltype(&::TIFFDefaultStripSize) TIFFDefaultStripSize;
    decltype(&::TIFFRGBAImageOK) TIFFRGBAImageOK;
    decltype(&::TIFFReadRGBAImageOriented) TIFFReadRGBAImageOriented;

    bool bind(platform::SharedLibrary& library) {
        library.resolve(TIFFSetErrorHandler, "TIFFSetErrorHandler");
        library.resolve(TIFFSetWarningHandler, "TIFFSetWarningHandler");
        library.resolve(TIFFOpenOptionsAlloc, "TIFFOpenOptionsAlloc");
        library.resolve(TIFFOpenOptionsSetErrorHandlerExtR, "TIFFOpenOptionsSetErrorHandlerExtR");
        library.resolve(TIFFOpenOptionsSetWarningHandlerExtR, "TIFFOpenOptionsSetWarningHandlerExtR");
        library.resolve(TIFFOpenOptionsSetMaxSingleMemAlloc, "TIFFOpenOptionsSetMaxSingleMemAlloc");
        library.resolve(TIFFOpenOptionsFree, "TIFFOpenOptionsFree");
        library.resolve(TIFFClientOpenExt, "TIFFClientOpenExt");
        library.resolve(TIFFClose, "TIFFClose");
        library.resolve(TIFFFlush, "TIFFFlush");
        library.resolve(TIFFIsTiled, "TIFFIsTiled");
        library.resolve(TIFFGetField, "TIFFGetField");
        library.resolve(TIFFGetFieldDefaulted, "TIFFGetFieldDefaulted");
        library.resolve(TIFFSetField, "TIFFSetField");
        library.resolve(TIFFTileSize, "TIFFTileSize");
        library.resolve(TIFFReadTile, "TIFFReadTile");
        library.resolve(TIFFScanlineSize64, "TIFFScanlineSize64");
        library.resolve(TIFFReadScanline, "TIFFReadScanline");
        library.resolve(TIFFWriteScanline, "TIFFWriteScanline");
        library.resolve(TIFFDefaultStripSize, "TIFFDefaultStripSize");
        library.resolve(TIFFRGBAImageOK, "TIFFRGBAImageOK");
        library.resolve(TIFFReadRGBAImageOriented, "TIFFReadRGBAImageOriented");
        if (!library.complete()) return false;
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }
};

struct Stream {
    const uint8_t* data = nullptr;  // reading
    std::vector<uint8_t>* out = nullptr;  // writing
    uint64_t size = 0;
    uint64_t at = 0;
    bool failed = false;
};

tmsize_t read_proc(thandle_t h, void* into, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    const uint8_t* base = s->out ? s->out->data() : s->data;
    uint64_t size = s->out ? s->out->size() : s->size;
    if (n < 0 || s->at >= size) return 0;
    uint64_t take = uint64_t(n) < size - s->at ? uint64_t(n) : size - s->at;
    std::memcpy(into, base + s->at, take);
    s->at += take;
    return tmsize_t(take);
}

tmsize_t write_proc(thandle_t h, void* from, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (!s->out || n < 0) return -1;
    try {
        if (s->out->size() < s->at + uint64_t(n)) s->out->resize(s->at + uint64_t(n), 0);
    } catch (...) {
        s->failed = true;
        return -1;
    }
    std::memcpy(s->out->data() + s->at, from, size_t(n));
    s->at += uint64_t(n);
    return n;
}

toff_t seek_proc(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Stream*>(h);
    uint64_t size = s->out ? s->out->size() : s->size;
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->at : size;
    if (offset > UINT64_MAX / 2 || base + offset > (uint64_t(1) << 40)) return toff_t(-1);
    s->at = base + offset;
    return s->at;
}

int close_proc(thandle_t) { return 0; }
toff_t size_proc(thandle_t h) {
    auto* s = static_cast<Stream*>(h);
    return s->out ? s->out->size() : s->size;
}
int map_proc(thandle_t, void**, toff_t*) { return 0; }
void unmap_proc(thandle_t, void*, toff_t) {}

int on_error(TIFF*, void* user, const char*, const char*, va_list) {
    static_cast<Stream*>(user)->failed = true;
    return 1;
}
int on_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* open(const Libtiff& api, Stream& s, const char* mode) {
    TIFFOpenOptions* options = api.TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    api.TIFFOpenOptionsSetErrorHandlerExtR(options, on_error, &s);
    api.TIFFOpenOptionsSetWarningHandlerExtR(options, on_warning, &s);
    api.TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(1) << 30);
    TIFF* tif = api.TIFFClientOpenExt("memory", mode, &s, read_proc, write_proc, seek_proc, close_proc, size_proc,
                                      map_proc, unmap_proc, options);
    api.TIFFOpenOptionsFree(options);
    return tif;
}

void unpremultiply(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i, p += 4) {
        uint32_t a = p[3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c) {
            uint32_t v = a ? (p[c] * 255u + a / 2) / a : 0;
            p[c] = uint8_t(v > 255 ? 255 : v);
        }
    }
}

// Samples R, G, B (and A) of a row to B, G, R, A.
void put_row(uint8_t* dst, const uint8_t* src, uint32_t n, uint16_t spp) {
    for (uint32_t x = 0; x < n; ++x, dst += 4, src += spp) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = spp >= 4 ? src[3] : 255;
    }
}

bool read_direct(const Libtiff& api, TIFF* tif, Decoded& out, uint16_t spp) {
    uint32_t w = out.width, h = out.height;
    if (api.TIFFIsTiled(tif)) {
        uint32_t tw = 0, th = 0;
        api.TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        api.TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        tmsize_t size = api.TIFFTileSize(tif);
        if (!tw || !th || size < tmsize_t(uint64_t(tw) * th * spp)) return false;
        auto* tile = static_cast<uint8_t*>(std::malloc(size_t(size)));
        if (!tile) return false;
        bool ok = true;
        for (uint32_t ty = 0; ok && ty < h; ty += th)
            for (uint32_t tx = 0; ok && tx < w; tx += tw) {
                if (api.TIFFReadTile(tif, tile, tx, ty, 0, 0) < 0) {
                    ok = false;
                    break;
                }
                uint32_t cw = w - tx < tw ? w - tx : tw, ch = h - ty < th ? h - ty : th;
                for (uint32_t y = 0; y < ch; ++y)
                    put_row(out.pixels + (size_t(ty + y) * w + tx) * 4, tile + size_t(y) * tw * spp, cw, spp);
            }
        std::free(tile);
        return ok;
    }
    if (api.TIFFScanlineSize64(tif) != uint64_t(w) * spp) return false;
    auto* line = static_cast<uint8_t*>(std::malloc(size_t(w) * spp));
    if (!line) return false;
    bool ok = true;
    for (uint32_t y = 0; ok && y < h; ++y) {
        ok = api.TIFFReadScanline(tif, line, y, 0) >= 0;
        if (ok) put_row(out.pixels + size_t(y) * w * 4, line, w, spp);
    }
    std::free(line);
    return ok;
}

bool read_tiff(const Libtiff& api, TIFF* tif, Decoded& out) {
    uint32_t w = 0, h = 0;
    if (!api.TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !api.TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) return false;
    if (!size_allowed(w, h)) return false;
    uint16_t bits = 1, spp = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    api.TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    uint16_t extra_count = 0;
    uint16_t* extra = nullptr;
    api.TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    bool associated = extra_count == 1 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    bool direct = bits == 8 && planar == PLANARCONFIG_CONTIG && photometric == PHOTOMETRIC_RGB &&
        (spp == 3 || (spp == 4 && extra_count == 1));
    if (!allocate(out, w, h)) return false;
    if (direct) {
        if (!read_direct(api, tif, out, spp)) return false;
        if (associated) unpremultiply(out.pixels, size_t(w) * h);
        return true;
    }
    char message[1024];
    if (!api.TIFFRGBAImageOK(tif, message)) return false;
    auto* raster = reinterpret_cast<uint32_t*>(out.pixels);
    if (!api.TIFFReadRGBAImageOriented(tif, w, h, raster, ORIENTATION_TOPLEFT, 0)) return false;
    // The raster holds R in the lowest byte: swap R and B into B, G, R, A.
    uint8_t* p = out.pixels;
    for (size_t i = 0; i < size_t(w) * h; ++i, p += 4) std::swap(p[0], p[2]);
    unpremultiply(out.pixels, size_t(w) * h);
    return true;
}

}  // namespace

bool decode_tiff(const uint8_t* data, size_t size, Decoded& out) {
    const Libtiff* api = platform::load_api<Libtiff>();
    if (!api) return false;
    Stream s;
    s.data = data;
    s.size = size;
    TIFF* tif = open(*api, s, "rm");
    if (!tif) return false;
    bool ok = read_tiff(*api, tif, out) && !s.failed;
    api->TIFFClose(tif);
    if (!ok) release(out);
    return ok;
}

bool encode_tiff(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    const Libtiff* api = platform::load_api<Libtiff>();
    if (!api) return false;
    std::vector<uint8_t> file;
    Stream s;
    s.out = &file;
    TIFF* tif = open(*api, s, "wm");
    if (!tif) return false;
    uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    bool ok = api->TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
        api->TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) && api->TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
        api->TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) &&
        api->TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
        api->TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        api->TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) &&
        api->TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
        api->TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, api->TIFFDefaultStripSize(tif, 0));
    auto* line = static_cast<uint8_t*>(std::malloc(size_t(width) * 4));
    ok = ok && line;
    for (uint32_t y = 0; ok && y < height; ++y) {
        const uint8_t* src = bgra + size_t(y) * width * 4;
        for (uint32_t x = 0; x < width; ++x) {
            line[x * 4 + 0] = src[x * 4 + 2];
            line[x * 4 + 1] = src[x * 4 + 1];
            line[x * 4 + 2] = src[x * 4 + 0];
            line[x * 4 + 3] = src[x * 4 + 3];
        }
        ok = api->TIFFWriteScanline(tif, line, y, 0) >= 0;
    }
    std::free(line);
    ok = ok && api->TIFFFlush(tif) == 1;
    api->TIFFClose(tif);
    ok = ok && !s.failed;
    if (ok) {
        try {
            out.insert(out.end(), file.begin(), file.end());
        } catch (...) {
            ok = false;
        }
    }
    return ok;
}

}  // namespace kel::image_codecs
