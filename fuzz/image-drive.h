// What the image fuzz targets do with one input, shared with the images
// test program, which replays the committed corpora through it.
//
// drive_bmp: our BMP decoder alone (the system's image libraries are not
// instrumented). drive_image: the bytes through image/load-binary; on
// success a few pixels are read, the image is encoded in all five formats,
// and the lossless encodings decode back to the same pixels. Bad data is
// expected (none, or access/bad-media); a wrong round trip, any other error,
// a crash or a sanitizer report is a fault. A pixel cap keeps a header that
// claims 65535 x 65535 fast.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/image.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"
#include "runtime/platform/image/codecs.h"

namespace kel::fuzz {

inline constexpr uint64_t IMAGE_PIXEL_CAP = 4'000'000;

// Sets the pixel cap for the life of the guard.
class PixelCap {
public:
    PixelCap() : old_(image_codecs::set_pixel_cap(IMAGE_PIXEL_CAP)) {}
    ~PixelCap() { image_codecs::set_pixel_cap(old_); }
    PixelCap(const PixelCap&) = delete;
    PixelCap& operator=(const PixelCap&) = delete;

private:
    uint64_t old_;
};

inline bool drive_bmp(const uint8_t* data, size_t size) {
    PixelCap cap;
    image_codecs::Decoded d;
    bool ok = image_codecs::decode_bmp(data, size, d);
    if (ok && (!d.pixels || !image_codecs::size_allowed(d.width, d.height))) return false;
    image_codecs::release(d);
    return true;
}

inline bool drive_image(const uint8_t* data, size_t size) {
    PixelCap cap;
    Cell* top = stack::state.top;
    bool fine = true;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* bin = binary::load_in(data, size, nullptr);
        Cell* img = image::load_binary(*bin);
        if (type_of(*img) == TYPE_NONE) return;
        if (type_of(*img) != TYPE_IMAGE || image::pixel_count(*img) == 0) {
            fine = false;
            return;
        }
        int64_t n = image::pixel_count(*img);
        for (int64_t i : {int64_t(0), n / 2, n - 1}) {
            image::pixel_tuple(*img, i);
            stack::pop(1);
        }
        uint32_t w = image::width(*img), h = image::height(*img);
        for (int format = 0; format < image_codecs::FORMAT_COUNT; ++format) {
            const uint8_t* px = image::pixels_of(img->data2);
            std::vector<uint8_t> file;
            if (!image_codecs::encode(format, px, w, h, file)) {
                // JPEG cannot hold sides past 65,500.
                if (format != image_codecs::IMAGE_JPEG || (w <= 65500 && h <= 65500)) fine = false;
                continue;
            }
            if (format == image_codecs::IMAGE_JPEG || format == image_codecs::IMAGE_GIF) continue;
            image_codecs::Decoded back;
            if (!image_codecs::decode(file.data(), file.size(), back) || back.width != w || back.height != h ||
                std::memcmp(back.pixels, px, size_t(w) * h * 4) != 0)
                fine = false;
            image_codecs::release(back);
        }
    });
    stack::state.top = top;
    if (code) {
        handled();
        if (code != thrown::ERROR || error_in_flight().id != ErrorId::access_bad_media) fine = false;
    }
    return fine;
}

}  // namespace kel::fuzz
