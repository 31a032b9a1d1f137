// Image records, their pixel blocks, and the makers that compute pixels:
// filling, copying, scaling, flipping, decoding and encoding.
#include "runtime/platform/image/backend.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/print.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/os-path.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::image {

namespace {

constexpr uint32_t KIND_ID = 0x696D6167;  // "imag"
constexpr uint64_t RECORD_BYTES = 16;
int kind = 0;

// What a registry entry of kind "image" holds. Live blocks are linked from
// a global list, so pixels the process still owns at its end are reachable
// memory, not leaks.
struct Block {
    Block* prev;
    Block* next;
    uint64_t bytes;
    uint8_t* pixels;
};
Block* live_blocks = nullptr;

void link(Block* b) {
    b->prev = nullptr;
    b->next = live_blocks;
    if (live_blocks) live_blocks->prev = b;
    live_blocks = b;
}

void unlink(Block* b) {
    if (b->prev)
        b->prev->next = b->next;
    else
        live_blocks = b->next;
    if (b->next) b->next->prev = b->prev;
}

uint32_t* words(NodeId record) { return reinterpret_cast<uint32_t*>(memory::buffer_of(record)->head_ptr()); }

void finalize(uintptr_t object) {
    auto* block = reinterpret_cast<Block*>(object);
    if (!block) return;
    unlink(block);
    memory::drop_external(block->bytes);
    image_codecs::free_block(block->pixels);
    std::free(block);
}

// Pixels not yet owned by a record: freed unless adopted.
class Pending {
public:
    Pending(uint8_t* pixels, uint64_t bytes) : pixels_(pixels), bytes_(bytes) {}
    Pending(const Pending&) = delete;
    ~Pending() {
        if (!pixels_) return;
        memory::drop_external(bytes_);
        image_codecs::free_block(pixels_);
    }
    uint8_t* get() const { return pixels_; }
    uint64_t bytes() const { return bytes_; }
    uint8_t* adopt() {
        uint8_t* p = pixels_;
        pixels_ = nullptr;
        return p;
    }

private:
    uint8_t* pixels_;
    uint64_t bytes_;
};

// New pixels, counted into the collection pacing first (which may collect).
Pending new_pixels(uint32_t w, uint32_t h) {
    uint64_t bytes = uint64_t(w) * h * 4;
    memory::take_external(bytes);
    uint8_t* p = image_codecs::allocate_block(bytes);
    if (!p) {
        memory::drop_external(bytes);
        fire(ErrorId::internal_no_memory);
    }
    return Pending(p, bytes);
}

// The record that owns the pixels from now on.
NodeId make_record(Pending& pixels, uint32_t w, uint32_t h) {
    NodeId record = memory::alloc_bytes(RECORD_BYTES);
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block)));
    if (!block) fire(ErrorId::internal_no_memory);
    block->bytes = pixels.bytes();
    block->pixels = pixels.adopt();
    link(block);
    int32_t entry = externals::add(kind, reinterpret_cast<uintptr_t>(block));
    SeriesBuffer* b = memory::buffer_of(record);
    b->tail = b->offset + RECORD_BYTES;
    uint32_t* w4 = words(record);
    w4[0] = RECORD_PIXELS;
    w4[1] = make_size(w, h);
    w4[2] = uint32_t(entry);
    w4[3] = 0;
    return record;
}

void store(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = a;
}

// The bytes of a binary! from its index: its node and the count.
struct Bytes {
    NodeId node = 0;
    int64_t head = 0;
    int64_t count = 0;
    const uint8_t* data() const { return node ? memory::buffer_of(node)->head_ptr() + head : nullptr; }
};
Bytes bytes_of(const Cell* bin) {
    if (!bin) return {};
    SeriesBuffer* b = memory::buffer_of(cell_node(*bin));
    int64_t total = int64_t(b->used());
    int64_t head = int32_t(bin->data1);
    if (head < 0) head = 0;
    if (head > total) head = total;
    return {cell_node(*bin), head, total - head};
}

}  // namespace

void register_kind() { kind = externals::register_kind(KIND_ID, finalize); }

uint32_t width_of(NodeId record) { return size_width(words(record)[1]); }
uint32_t height_of(NodeId record) { return size_height(words(record)[1]); }

uint8_t* pixels_of(NodeId record) {
    uint32_t* w = words(record);
    if (!(w[0] & RECORD_PIXELS)) return nullptr;
    auto* block = reinterpret_cast<Block*>(externals::object(int32_t(w[2])));
    return block ? block->pixels : nullptr;
}

NodeId create_bitmap(uint32_t w, uint32_t h, const Cell* rgb, const Cell* alpha, const Cell* colour) {
    if (!w || !h) return 0;
    Pending pixels = new_pixels(w, h);
    uint8_t* p = pixels.get();
    uint64_t n = uint64_t(w) * h;
    if (colour) {
        uint32_t px = colour_pixel(*colour);
        for (uint64_t i = 0; i < n; ++i) std::memcpy(p + i * 4, &px, 4);
    } else {
        // Read after the allocation above: the binaries' buffers may have moved.
        Bytes colours = bytes_of(rgb), opacity = bytes_of(alpha);
        const uint8_t* c = colours.data();
        const uint8_t* t = opacity.data();
        uint64_t triplets = uint64_t(colours.count / 3);
        for (uint64_t i = 0; i < n; ++i) {
            uint8_t* q = p + i * 4;
            if (i < triplets)
                store(q, c[i * 3], c[i * 3 + 1], c[i * 3 + 2], 255);
            else
                store(q, 255, 255, 255, 255);
            if (i < uint64_t(opacity.count)) q[3] = uint8_t(255 - t[i]);
        }
    }
    return make_record(pixels, w, h);
}

NodeId from_memory(uint32_t w, uint32_t h, uint32_t stride, const uint8_t* src) {
    if (!w || !h) return 0;
    Pending pixels = new_pixels(w, h);
    size_t row = size_t(w) * 4;
    size_t step = stride ? stride : row;
    for (uint32_t y = 0; y < h; ++y) std::memcpy(pixels.get() + row * y, src + step * y, row);
    return make_record(pixels, w, h);
}

NodeId load_memory(const uint8_t* data, uint64_t size) {
    image_codecs::Decoded d;
    if (!image_codecs::decode(data, size_t(size), d)) return 0;
    // The decoder's block becomes the pixels; counting it may collect, which
    // the input bytes no longer need (a collection throws nothing).
    uint64_t bytes = uint64_t(d.width) * d.height * 4;
    memory::take_external(bytes);
    Pending pixels(d.pixels, bytes);
    d.pixels = nullptr;
    return make_record(pixels, d.width, d.height);
}

NodeId load_file(const Cell& file) {
    std::string path;
    if (!os_path::from_text(file, path)) return 0;
    Cell bytes = make_none();
    Rooted keep(bytes);
    simple_io::ReadOptions options;
    options.binary = true;
    if (!simple_io::read(&bytes, path, options) || type_of(bytes) != TYPE_BINARY) return 0;
    Bytes b = bytes_of(&bytes);
    return load_memory(b.data(), uint64_t(b.count));
}

bool encode_bytes(NodeId record, uint32_t w, uint32_t h, int format, Cell* out) {
    if (format < 0 || format >= image_codecs::FORMAT_COUNT) {
        print_line({PrintItem::text("Cannot find image encoder")});
        return false;
    }
    const uint8_t* p = record ? pixels_of(record) : nullptr;
    if (format == IMAGE_BMP && p && image_codecs::bmp_size(w, h)) {
        // Its size is known: written straight into the binary (the pixels
        // never move, so the allocation may collect).
        uint64_t size = image_codecs::bmp_size(w, h);
        Cell result = make_none();
        binary::make_at(result, size);
        SeriesBuffer* b = memory::buffer_of(cell_node(result));
        image_codecs::encode_bmp_into(p, w, h, b->tail_ptr());
        b->tail += size;
        *out = result;
        return true;
    }
    std::vector<uint8_t> file;
    if (!p || !w || !h || !image_codecs::encode(format, p, w, h, file)) fire(ErrorId::access_bad_media);
    // The pixels are no longer read: making the binary may collect.
    *out = *binary::load_in(file.data(), file.size(), nullptr);
    stack::pop(1);
    return true;
}

NodeId scale(NodeId record, uint32_t w, uint32_t h) {
    if (!w || !h) return 0;
    uint32_t sw = width_of(record), sh = height_of(record);
    Pending pixels = new_pixels(w, h);
    const uint8_t* src = pixels_of(record);
    auto* dst = reinterpret_cast<uint32_t*>(pixels.get());
    if (src) {
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* row = src + size_t(uint64_t(y) * sh / h) * sw * 4;
            for (uint32_t x = 0; x < w; ++x) std::memcpy(dst++, row + size_t(uint64_t(x) * sw / w) * 4, 4);
        }
    }
    return make_record(pixels, w, h);
}

NodeId copy_rect(NodeId record, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    if (!w || !h) return 0;
    uint32_t sw = width_of(record);
    Pending pixels = new_pixels(w, h);
    const uint8_t* src = pixels_of(record);
    if (src) {
        size_t row = size_t(w) * 4;
        for (uint32_t r = 0; r < h; ++r) std::memcpy(pixels.get() + row * r, src + (size_t(y + r) * sw + x) * 4, row);
    }
    return make_record(pixels, w, h);
}

NodeId copy_all(NodeId record) { return copy_rect(record, 0, 0, width_of(record), height_of(record)); }

NodeId flip_vertical(NodeId record) {
    uint32_t w = width_of(record), h = height_of(record);
    if (!w || !h) return 0;
    Pending pixels = new_pixels(w, h);
    const uint8_t* src = pixels_of(record);
    if (src) {
        size_t row = size_t(w) * 4;
        for (uint32_t r = 0; r < h; ++r) std::memcpy(pixels.get() + row * r, src + row * (h - 1 - r), row);
    }
    return make_record(pixels, w, h);
}

uint8_t* lock_pixels(NodeId record, bool) {
    uint8_t* p = pixels_of(record);
    if (p) ++words(record)[3];
    return p;
}

void unlock_pixels(NodeId record) {
    uint32_t* w = words(record);
    if (w[3]) --w[3];
}

uint32_t get_pixel(NodeId record, int64_t index) {
    const uint8_t* p = pixels_of(record);
    if (!p || index < 0 || uint64_t(index) >= uint64_t(width_of(record)) * height_of(record)) return 0;
    uint32_t v;
    std::memcpy(&v, p + uint64_t(index) * 4, 4);
    return v;
}

void set_pixel(NodeId record, int64_t index, uint32_t value) {
    uint8_t* p = pixels_of(record);
    if (!p || index < 0 || uint64_t(index) >= uint64_t(width_of(record)) * height_of(record)) return;
    std::memcpy(p + uint64_t(index) * 4, &value, 4);
}

uint32_t colour_pixel(const Cell& c) {
    uint8_t r, g, b, t;
    if (type_of(c) == TYPE_TUPLE) {
        r = tuple::byte_at(c, 0);
        g = tuple::byte_at(c, 1);
        b = tuple::byte_at(c, 2);
        t = tuple::count(c) >= 4 ? tuple::byte_at(c, 3) : 0;
    } else {
        uint32_t v = c.data2;
        r = uint8_t(v);
        g = uint8_t(v >> 8);
        b = uint8_t(v >> 16);
        t = uint8_t(v >> 24);
    }
    return uint32_t(255 - t) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

void release_objects(NodeId record) {
    uint32_t* w = words(record);
    if (!(w[0] & RECORD_PIXELS)) return;
    int32_t entry = int32_t(w[2]);
    w[0] &= ~RECORD_PIXELS;
    w[2] = uint32_t(-1);
    externals::remove(entry, true);
}

void mark(NodeId record) {
    uint32_t* w = words(record);
    if (w[0] & RECORD_PIXELS) externals::mark_entry(int32_t(w[2]));
}

}  // namespace kel::image
