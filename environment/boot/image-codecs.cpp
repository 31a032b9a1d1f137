// The encode and decode routines of the image codecs in system/codecs
// (png, jpeg, bmp, gif, tiff): encode hands the image and the codec's format
// index to the image encoder, decode hands its data to the image decoder.
#include "environment/boot/routine-table.h"

#include "runtime/datatypes/image.h"
#include "runtime/datatypes/none.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/codecs.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

template <int FORMAT>
Result encode(const Arg* a, int32_t) {
    Cell img = *a[0].cell;
    Rooted keep(img);
    Cell result = make_none();
    image::encode(&result, img, FORMAT);
    *a[0].cell = result;
    return {};
}

Result decode(const Arg* a, int32_t) {
    Cell data = *a[0].cell;
    Rooted keep(data);
    Cell result = make_none();
    image::decode(&result, data);
    *a[0].cell = result;
    return {};
}

constexpr const char* ENCODE_SPEC = "img [image!] where [any-type!]";
constexpr const char* DECODE_SPEC = "data [any-type!]";

template <int FORMAT>
constexpr RoutineDef CODEC[] = {
    {"encode", ENCODE_SPEC, -1, encode<FORMAT>},
    {"decode", DECODE_SPEC, -1, decode},
};

const CodecRoutines CODECS[] = {
    {"png", CODEC<image_codecs::IMAGE_PNG>},   {"jpeg", CODEC<image_codecs::IMAGE_JPEG>},
    {"bmp", CODEC<image_codecs::IMAGE_BMP>},   {"gif", CODEC<image_codecs::IMAGE_GIF>},
    {"tiff", CODEC<image_codecs::IMAGE_TIFF>},
};

}  // namespace

std::span<const CodecRoutines> image_codec_routines() { return CODECS; }

}  // namespace kel::library
