// image! registration and the hooks it installs: the collector's mark of an
// image record, foreach's step over pixels and to binary! of an image.
#include "runtime/datatypes/image.h"

#include <vector>

#include "runtime/core/system.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/image-internal.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/clipboard.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"
#include "runtime/platform/image/codecs.h"

namespace kel::image {

namespace {

bool values_left(const Cell& img) {
    int64_t index = index_of_cell(img);
    return index >= 0 && index < pixel_count(img);
}

// foreach with a block of n words: word i gets the pixel at index + i, none
// past the last pixel.
void set_loop_words(const Cell& words_in, int32_t n, const Cell& img_in) {
    Cell words = words_in, img = img_in;
    Rooted keep(words), keep_img(img);
    for (int32_t i = 0; i < n; ++i) {
        Cell* t = pixel_tuple(img, index_of_cell(img) + i);
        SeriesBuffer* b = memory::buffer_of(cell_node(words));
        Cell w = b->cells()[int32_t(words.data1) + i];
        context::set(w, *t);
        stack::pop(1);
    }
}

void image_bytes(Cell* out, const Cell& img) {
    Cell* bin = extract_data(img, DATA_ARGB);
    *out = *bin;
    stack::pop(1);
}

}  // namespace

uint8_t* pixels(const Cell& img) { return record_of(img) ? image::pixels_of(record_of(img)) : nullptr; }

Cell image_cell(NodeId record, uint32_t w, uint32_t h) { return Cell{TYPE_IMAGE, 0, record, image::make_size(w, h)}; }

Cell* make_at(Cell& cell, NodeId record, uint32_t w, uint32_t h) {
    cell = image_cell(record, w, h);
    return &cell;
}

int tell_owner(const Cell& img, series::Change change, const Cell* value, int64_t index, int32_t part) {
    if (!record_of(img)) return 0;
    return series::check(img, change, value, int32_t(index), part);
}

namespace {

// The clipboard's images: decoded from its bytes (none when they do not make
// an image) and encoded as PNG (false when the image cannot be).
void clipboard_image(Cell* out, const std::vector<uint8_t>& bytes) {
    Cell* saved = stack::top();
    Cell result = make_none();
    Rooted keep(result);
    uint32_t thrown = protect(catch_level::ERRORS, [&] {
        Cell data = *binary::load_in(bytes.data(), bytes.size(), nullptr);
        result = *load_binary(data);
    });
    if (thrown) handled();
    stack::pop(uint32_t(stack::top() - saved));
    *out = thrown ? make_none() : result;
}

bool clipboard_png(const Cell& img, std::vector<uint8_t>& bytes) {
    Cell encoded = make_none();
    Rooted keep(encoded);
    Cell* saved = stack::top();
    uint32_t thrown = protect(catch_level::ERRORS, [&] { encode(&encoded, img, image_codecs::IMAGE_PNG); });
    stack::pop(uint32_t(stack::top() - saved));
    if (thrown) {
        handled();
        return false;
    }
    if (type_of(encoded) != TYPE_BINARY) return false;
    bytes = binary::copy_out(encoded);
    return true;
}

}  // namespace

void init_factory() {
    clipboard::services().decode_image = clipboard_image;
    clipboard::services().encode_png = clipboard_png;
}

void init() {
    datatype::Record r(TYPE_IMAGE, TYPE_SERIES, "image!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_AT>(at)
        .own<ACTION_CHANGE>(change)
        .own<ACTION_COPY>(copy)
        .own<ACTION_LENGTH_Q>(length_q)
        .own<ACTION_NEXT>(next)
        .own<ACTION_PICK>(pick)
        .own<ACTION_POKE>(poke)
        .own<ACTION_SKIP>(skip)
        .own<ACTION_TAIL>(tail)
        .own<ACTION_TAIL_Q>(tail_q)
        .inherit_all<ACTION_BACK, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_MODIFY>();
    datatype::register_type(r);
    image::register_kind();
    collector::image_mark_node = image::mark;
    natives::services().image_values_left = values_left;
    natives::services().image_set_loop_words = set_loop_words;
    binary::services().image_bytes = image_bytes;
}

}  // namespace kel::image
