// The decisions both writers share about contexts, functions, errors and
// images.
#include "runtime/io/kelbin/writer-rules.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/image.h"
#include "runtime/platform/image/backend.h"

namespace kel::kelbin {

ContextShape context_shape(NodeId ctx) {
    const Cell c = *context::cell_of(ctx);
    ContextShape shape{context::kind_of(c), context::on_stack(c), (c.header & context::SELF) != 0, false,
                       context::word_count(ctx)};
    if (!shape.on_stack && c.data2) {
        SeriesBuffer* b = memory::buffer_of(c.data2);
        if (b->cell_count() < shape.count) fire(ErrorId::access_no_codec, {*context::owner_of(ctx)});
        for (uint32_t i = 0; i < shape.count && !shape.values; ++i) shape.values = type_of(b->cells()[i]) != TYPE_UNSET;
    }
    return shape;
}

Cell function_body(const Cell& fn) {
    Cell body = memory::buffer_of(fn.data3)->cells()[0];
    if (type_of(body) != TYPE_BLOCK) fire(ErrorId::access_no_codec, {fn});
    return body;
}

int32_t error_code(const Cell& err) {
    Cell code = error::field(err, error::CODE);
    if (type_of(code) != TYPE_INTEGER || cell_integer(code) < 0) fire(ErrorId::access_no_codec, {err});
    return cell_integer(code);
}

const uint8_t* image_pixels(const Cell& img) {
    if (image::pixel_count(img) == 0) return nullptr;
    const uint8_t* pixels = cell_node(img) ? image::pixels_of(cell_node(img)) : nullptr;
    if (!pixels) fire(ErrorId::access_no_codec, {img});
    return pixels;
}

}  // namespace kel::kelbin
