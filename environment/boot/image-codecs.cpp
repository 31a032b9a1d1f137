// The encode and decode routines of the image codecs in system/codecs
// (png, jpeg, bmp, gif, tiff): encode hands the image and the codec's format
// index to the image encoder, decode hands its data to the image decoder.
#include "environment/boot/image-codecs.h"

#include <cstring>

#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
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
    stack::state.arguments[0] = result;
    return {};
}

Result decode(const Arg* a, int32_t) {
    Cell data = *a[0].cell;
    Rooted keep(data);
    Cell result = make_none();
    image::decode(&result, data);
    stack::state.arguments[0] = result;
    return {};
}

constexpr const char* ENCODE_SPEC = "img [image!] where [any-type!]";
constexpr const char* DECODE_SPEC = "data [any-type!]";

struct Codec {
    const char* name;
    RoutineDef encode;
};
const Codec CODECS[] = {
    {"png", {"encode", ENCODE_SPEC, -1, encode<image_codecs::IMAGE_PNG>}},
    {"jpeg", {"encode", ENCODE_SPEC, -1, encode<image_codecs::IMAGE_JPEG>}},
    {"bmp", {"encode", ENCODE_SPEC, -1, encode<image_codecs::IMAGE_BMP>}},
    {"gif", {"encode", ENCODE_SPEC, -1, encode<image_codecs::IMAGE_GIF>}},
    {"tiff", {"encode", ENCODE_SPEC, -1, encode<image_codecs::IMAGE_TIFF>}},
};
const RoutineDef DECODE = {"decode", DECODE_SPEC, -1, decode};

void set_field(const Cell& obj, const char* field, const RoutineDef& def) {
    Cell* saved = stack::top();
    Cell* r = routines::push(def);
    int32_t index = object::find_field(obj, symbol::make(field));
    if (index < 0) internal_fault();
    context::values_of(*context::cell_of(obj.data1))[index] = *r;
    stack::pop(uint32_t(stack::top() - saved));
}

}  // namespace

void install_image_codecs(const Cell& codecs) {
    Cell map = codecs;
    Rooted keep(map);
    for (const Codec& c : CODECS) {
        Cell key = word::make(symbol::make(c.name));
        const Cell* found = map::lookup(map, key, 0);
        if (!found || type_of(*found) != TYPE_OBJECT) internal_fault();
        Cell obj = *found;
        Rooted keep_obj(obj);
        set_field(obj, "encode", c.encode);
        set_field(obj, "decode", DECODE);
    }
}

}  // namespace kel::library
