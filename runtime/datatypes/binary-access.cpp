// binary! positions and the byte writers the I/O layer, the codecs and the
// natives use: append, insert and overwrite of raw bytes, big-endian 32-bit
// values, and new binaries in a cell, a block or on the argument stack.
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::binary {

namespace {

// A byte position from the series' first byte, for an offset from the index.
int64_t position_of(const Cell& bin, int64_t offset) { return int64_t(int32_t(bin.data1)) + offset; }

// The source bytes, kept in heap scratch memory when the target's buffer is
// about to grow (the growth may collect and move any series buffer, the one
// the source lies in included) or when they lie in the target's own buffer,
// where the move that makes room would shift them.
class Source {
public:
    Source(const uint8_t* src, uint64_t n) : p_(src), n_(n) {}
    void keep() {
        if (copy_.empty() && n_ > 0) {
            copy_.assign(p_, p_ + n_);
            p_ = copy_.data();
        }
    }
    void keep_if_inside(SeriesBuffer* b) {
        auto at = reinterpret_cast<uintptr_t>(p_);
        auto start = reinterpret_cast<uintptr_t>(b->data());
        if (at >= start && at < start + b->size) keep();
    }
    const uint8_t* bytes() const { return p_; }

private:
    const uint8_t* p_;
    uint64_t n_;
    std::vector<uint8_t> copy_;
};

// The buffer grown so that `need` bytes from its data start fit, to `wanted`
// bytes when it must grow; the source is kept first.
SeriesBuffer* room_for(NodeId node, uint64_t need, uint64_t wanted, Source& source) {
    SeriesBuffer* b = memory::buffer_of(node);
    if (need <= b->size) return b;
    source.keep();
    return memory::grow_series(b, need, wanted);
}

// A position at which bytes are inserted or written: 0 .. the bytes in use.
uint64_t clamped(int64_t position, SeriesBuffer* b) {
    int64_t used = int64_t(b->used());
    return uint64_t(position < 0 ? 0 : position > used ? used : position);
}

}  // namespace

int32_t ks_length(Cell& bin) { return series::length_in_units(bin, false); }

uint8_t* ks_head(Cell& bin) {
    ks_length(bin);
    int32_t head = int32_t(bin.data1);
    return buffer(bin)->head_ptr() + (head < 0 ? 0 : head);
}

uint8_t* ks_tail(const Cell& bin) { return buffer(bin)->tail_ptr(); }

bool ks_tail_q(const Cell& bin) { return series::ks_tail_q(bin); }

bool ks_skip(Cell& bin, int32_t n) { return series::ks_skip(bin, n); }

bool ks_next(Cell& bin) { return ks_skip(bin, 1); }

void ks_clear(Cell& bin) {
    SeriesBuffer* b = buffer(bin);
    b->tail = b->offset + uint64_t(detail::head_of(bin));
}

uint8_t ks_abs_at(const Cell& bin, int64_t offset) { return buffer(bin)->head_ptr()[offset]; }

int64_t append_bytes(const Cell& bin, const uint8_t* src, uint64_t n) {
    NodeId node = cell_node(bin);
    Source source(src, n);
    SeriesBuffer* b = memory::buffer_of(node);
    if (n > memory::largest_series(1)) fire(ErrorId::script_too_long);
    b = room_for(node, b->tail + n, n > b->size ? 2 * n : 2 * b->size, source);
    int64_t at = int64_t(b->used());
    if (n > 0) std::memmove(b->tail_ptr(), source.bytes(), n);
    b->tail += n;
    return at - int32_t(bin.data1);
}

int64_t insert_bytes(const Cell& bin, int64_t offset, const uint8_t* src, uint64_t n) {
    NodeId node = cell_node(bin);
    Source source(src, n);
    SeriesBuffer* b = memory::buffer_of(node);
    if (n > memory::largest_series(1)) fire(ErrorId::script_too_long);
    source.keep_if_inside(b);
    b = room_for(node, b->tail + n, 2 * b->size + n, source);
    uint64_t at = clamped(position_of(bin, offset), b);
    uint8_t* p = b->head_ptr() + at;
    std::memmove(p + n, p, b->used() - at);
    if (n > 0) std::memcpy(p, source.bytes(), n);
    b->tail += n;
    return int64_t(at) - int32_t(bin.data1);
}

int64_t overwrite_bytes(const Cell& bin, int64_t offset, const uint8_t* src, uint64_t n) {
    NodeId node = cell_node(bin);
    Source source(src, n);
    SeriesBuffer* b = memory::buffer_of(node);
    if (n > memory::largest_series(1)) fire(ErrorId::script_too_long);
    uint64_t at = clamped(position_of(bin, offset), b);
    uint64_t end = b->offset + at + n;  // from the data start
    if (end > b->size) b = room_for(node, end, 2 * b->size + (end - b->size), source);
    if (n > 0) std::memmove(b->head_ptr() + at, source.bytes(), n);
    if (end > b->tail) b->tail = end;
    return int64_t(at) - int32_t(bin.data1);
}

void append_int32(const Cell& bin, uint32_t value) {
    uint8_t* p = alloc_tail_bytes(buffer(bin), 4);
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

Cell* make_at(Cell& cell, uint64_t capacity) {
    if (capacity > memory::largest_series(1)) fire(ErrorId::script_too_long);
    NodeId node = memory::alloc_bytes(capacity);
    cell = Cell{TYPE_BINARY, 0, node, 0};
    return &cell;
}

Cell* make_in(const Cell& block, uint64_t capacity) {
    Cell bin = make_unset();
    Rooted keep(bin);
    make_at(bin, capacity);
    Cell* c = alloc_block_tail(block);
    *c = bin;
    return c;
}

Cell* load_in(const uint8_t* src, uint64_t n, const Cell* block) {
    Cell bin = make_unset();
    Rooted keep(bin);
    make_at(bin, n);
    SeriesBuffer* b = buffer(bin);
    if (n > 0) std::memcpy(b->head_ptr(), src, n);
    b->tail = b->offset + n;
    Cell* c = block ? alloc_block_tail(*block) : stack::reserve_cell();
    *c = bin;
    return c;
}

void set_value(uint8_t* at, const Cell& value) {
    switch (type_of(value)) {
    case TYPE_INTEGER:
        *at = uint8_t(uint32_t(cell_integer(value)));
        break;
    case TYPE_CHAR:
        *at = uint8_t(value.data2);
        break;
    default:
        fire(ErrorId::script_invalid_arg, {value});
    }
}

}  // namespace kel::binary
