// image! data: pixels as tuples, the rgb, alpha and argb data, locks for
// other modules, and decoding and encoding through the backend.
#include <algorithm>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/image-internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"

namespace kel::image {

Cell* pixel_tuple(const Cell& img, int64_t index) {
    const uint8_t* p = pixels(img);
    if (!p || index < 0 || index >= pixel_count(img)) return stack::push(make_none());
    const uint8_t* q = p + index * 4;
    uint8_t bytes[4] = {q[2], q[1], q[0], uint8_t(255 - q[3])};
    return stack::push(tuple::make_cell(4, bytes));
}

bool known_format(const Cell& bin) {
    SeriesBuffer* b = memory::buffer_of(cell_node(bin));
    int64_t total = int64_t(b->used()), head = int32_t(bin.data1);
    if (head < 0 || head > total) return false;
    return image_codecs::sniff(b->head_ptr() + head, size_t(total - head)) >= 0;
}

Cell* load_binary(const Cell& bin_in) {
    Cell bin = bin_in;
    Rooted keep(bin);
    if (!known_format(bin)) return stack::push(make_none());
    SeriesBuffer* b = memory::buffer_of(cell_node(bin));
    int64_t head = int32_t(bin.data1);
    NodeId record = image::load_memory(b->head_ptr() + head, b->used() - uint64_t(head));
    if (!record) fire(ErrorId::access_bad_media);
    return stack::push(image_cell(record, image::width_of(record), image::height_of(record)));
}

void load_file_at(Cell& cell, const Cell& file) {
    NodeId record = image::load_file(file);
    if (!record) fire(ErrorId::access_cannot_open, {file});
    cell = image_cell(record, image::width_of(record), image::height_of(record));
}

void decode(Cell* out, const Cell& data_in) {
    Cell data = data_in;
    Rooted keep(data);
    switch (type_of(data)) {
    case TYPE_BINARY: {
        Cell* r = load_binary(data);
        *out = *r;
        stack::pop(1);
        return;
    }
    case TYPE_FILE: {
        Cell img = make_none();
        load_file_at(img, data);
        *out = img;
        return;
    }
    case TYPE_URL: {
        Cell* bytes = stack::push(make_none());
        Cell* source = stack::push(data);
        ReadArgs args;
        args.binary = true;
        actions::read(bytes, source, args);
        if (type_of(*bytes) != TYPE_BINARY) fire(ErrorId::access_bad_media);
        Cell* r = load_binary(*bytes);
        *out = *r;
        stack::pop(3);
        return;
    }
    default:
        fire(ErrorId::script_invalid_arg, {data});
    }
}

void encode(Cell* out, const Cell& img_in, int format) {
    Cell img = img_in;
    Rooted keep(img);
    if (!width(img) || !height(img)) fire(ErrorId::access_bad_media);
    Cell result = make_none();
    if (!image::encode_bytes(record_of(img), width(img), height(img), format, &result)) {
        *out = make_none();
        return;
    }
    *out = result;
}

Cell* extract_data(const Cell& img_in, int kind) {
    Cell img = img_in;
    Rooted keep(img);
    int64_t n = pixels(img) ? pixel_count(img) : 0;
    int64_t unit = kind == DATA_ALPHA ? 1 : kind == DATA_RGB ? 3 : 4;
    Cell* bin = stack::push(make_none());
    binary::make_at(*bin, uint64_t(n * unit));
    if (!n) return bin;
    SeriesBuffer* b = memory::buffer_of(cell_node(*bin));
    uint8_t* dst = b->tail_ptr();
    const uint8_t* p = pixels(img);
    if (kind == DATA_ARGB) {
        std::memcpy(dst, p, size_t(n) * 4);
    } else {
        for (int64_t i = 0; i < n; ++i, p += 4) {
            if (kind == DATA_ALPHA) {
                *dst++ = uint8_t(255 - p[3]);
            } else {
                *dst++ = p[2];
                *dst++ = p[1];
                *dst++ = p[0];
            }
        }
    }
    b->tail += uint64_t(n * unit);
    return bin;
}

void set_data(const Cell& img_in, const Cell& value, int kind) {
    Cell img = img_in;
    Rooted keep(img);
    uint8_t* p = pixels(img);
    if (!p) return;
    int64_t n = pixel_count(img);
    uint32_t t = type_of(value);
    if (t == TYPE_BINARY) {
        SeriesBuffer* b = memory::buffer_of(cell_node(value));
        int64_t head = std::max<int64_t>(0, int32_t(value.data1));
        int64_t count = std::max<int64_t>(0, int64_t(b->used()) - head);
        const uint8_t* src = b->head_ptr() + std::min<int64_t>(head, int64_t(b->used()));
        if (kind == DATA_ARGB) {
            std::memcpy(p, src, size_t(std::min(count, n * 4)));
        } else if (kind == DATA_RGB) {
            for (int64_t i = 0, m = std::min(count / 3, n); i < m; ++i) {
                p[i * 4 + 2] = src[i * 3];
                p[i * 4 + 1] = src[i * 3 + 1];
                p[i * 4 + 0] = src[i * 3 + 2];
            }
        } else {
            for (int64_t i = 0, m = std::min(count, n); i < m; ++i) p[i * 4 + 3] = uint8_t(255 - src[i]);
        }
    } else if (t == TYPE_TUPLE || t == TYPE_INTEGER) {
        uint32_t px = colour_pixel(value);
        for (int64_t i = 0; i < n; ++i) {
            uint8_t* q = p + i * 4;
            if (kind == DATA_ALPHA)
                q[3] = uint8_t(255 - uint8_t(px >> 16));
            else
                std::memcpy(q, &px, kind == DATA_ARGB ? 4 : 3);
        }
    } else {
        fire(ErrorId::script_invalid_arg, {value});
    }
    tell_owner(img, series::Change::poke, &value, index_of_cell(img), 0);
}

Cell* resize(const Cell& img_in, uint32_t w, uint32_t h) {
    Cell img = img_in;
    Rooted keep(img);
    NodeId record = record_of(img) ? image::scale(record_of(img), w, h) : 0;
    return stack::push(image_cell(record, record ? w : 0, record ? h : 0));
}

void release(const Cell& img) {
    if (record_of(img)) image::release_objects(record_of(img));
}

uint8_t* acquire_data(const Cell& img) { return record_of(img) ? image::lock_pixels(record_of(img), true) : nullptr; }

void release_data(const Cell& img, bool notify) {
    if (!record_of(img)) return;
    image::unlock_pixels(record_of(img));
    if (notify) {
        Cell keep_img = img;
        Rooted keep(keep_img);
        tell_owner(keep_img, series::Change::poke, &keep_img, -1, -1);
    }
}

}  // namespace kel::image
