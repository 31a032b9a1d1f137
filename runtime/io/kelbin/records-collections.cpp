// Reading collections, for both forms: map!, hash!, vector!, bitset! and
// image!. A map or hash is appended with its table before its values are
// read (so that the values may refer to it) and indexed once they are all
// there; the others are made from bytes already checked against the input.
#include <cstring>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/vector.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"

namespace kel::kelbin {

bool RecordCursor::shared_collection(uint32_t t, uint32_t head, bool ref, uint32_t new_line, const Cell& parent) {
    if (ref)
        referenced_series(parent, t | new_line, head);
    else if (t == TYPE_MAP)
        map_contents(new_line, parent);
    else if (t == TYPE_HASH)
        hash_contents(t | new_line, head, parent);
    else
        return false;
    return true;
}

void RecordCursor::map_contents(uint32_t new_line, const Cell& parent) {
    uint32_t n = read_count(1);
    if (n % 2) bad();
    Cell m{};
    Rooted keep(m);
    map::make_at(m, nullptr, int32_t(n / 2));
    m.header |= new_line;
    block::append_cell(parent, m);
    Cell pairs{TYPE_BLOCK, 0, map::block_of(m), 0};
    Rooted keep_pairs(pairs);
    for (uint32_t i = 0; i < n; ++i) {
        read_value(pairs);
        if (i % 2 == 0 && !map::valid_key(type_of(block::buffer(pairs)->cells()[i]))) bad();
    }
    hashtable::put_all(map::table_of(m), 0, 2);
    // A key given twice would drop a pair and shift the positions after it.
    if (uint32_t(map::key_count(m)) != n / 2) bad();
}

void RecordCursor::hash_contents(uint32_t header, uint32_t head, const Cell& parent) {
    uint32_t n = read_count(1);
    if (head > n) bad();
    Cell h{};
    Rooted keep(h);
    block::make_at(h, int32_t(n));
    h.header = TYPE_BLOCK;
    hash::make_at(h);
    h.header |= header & CELL_NEW_LINE;
    h.data1 = head;
    block::append_cell(parent, h);
    Cell values{TYPE_BLOCK, 0, cell_node(h), 0};
    Rooted keep_values(values);
    for (uint32_t i = 0; i < n; ++i) read_value(values);
    hashtable::rebuild(h.data3, n);
}

void RecordCursor::append_vector(const Cell& parent, uint32_t new_line, uint32_t head, uint32_t type, uint32_t width,
                                 const uint8_t* data, uint32_t n) {
    bool fits = false;
    switch (type) {
    case TYPE_CHAR:
        fits = (width == 1 || width == 2 || width == 4) && units_ok(data, n, width);
        break;
    case TYPE_INTEGER:
        fits = width == 1 || width == 2 || width == 4;
        break;
    case TYPE_FLOAT:
        fits = width == 4 || width == 8;
        break;
    case TYPE_PERCENT:
        fits = width == 8;
        break;
    default:
        break;
    }
    if (!fits || head > n) bad();
    Cell v{};
    Rooted keep(v);
    vector::make_at(v, n, type, width);
    SeriesBuffer* b = vector::buffer(v);
    std::memcpy(b->head_ptr(), data, size_t(n) * width);
    b->tail = b->offset + uint64_t(n) * width;
    v.header |= new_line;
    v.data1 = head;
    block::append_cell(parent, v);
}

void RecordCursor::append_bitset(const Cell& parent, uint32_t new_line, bool complemented, const uint8_t* data,
                                 uint32_t n) {
    Cell* made = binary::load_in(data, n, &parent);
    made->header = TYPE_BITSET | new_line;
    made->data1 = 0;
    if (complemented) memory::buffer_of(cell_node(*made))->flags |= series_flag::COMPLEMENT;
}

void RecordCursor::append_image(const Cell& parent, uint32_t new_line, uint32_t head, uint32_t width, uint32_t height,
                                const uint8_t* pixels) {
    if (width > 0xFFFF || height > 0xFFFF || head > uint64_t(width) * height) bad();
    Cell img{};
    Rooted keep(img);
    NodeId record = image::from_memory(width, height, 0, pixels);
    image::make_at(img, record, width, height);
    img.header |= new_line;
    img.data1 = head;
    block::append_cell(parent, img);
}

}  // namespace kel::kelbin
