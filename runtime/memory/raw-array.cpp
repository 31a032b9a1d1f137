// Raw arrays on series: the index arrays, chain lists and event buffers of
// the systems layer.
#include "runtime/memory/raw-array.h"

#include <bit>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"

namespace kel::array {

namespace {

SeriesBuffer* buf(NodeId array) { return memory::buffer_of(array); }

// log2 of an element size; only the sizes a header can hold (1-16, powers of
// two) are valid, any other ends the process with status 101.
uint32_t log2_of(uint32_t size) {
    if (!std::has_single_bit(size) || size > 16) no_switch_matched();
    return uint32_t(std::countr_zero(size));
}

// Elements of `size` bytes from head to tail.
uint64_t count_of(SeriesBuffer* b, uint32_t size) { return b->used() / size; }

// The address of element n (1-based) of `size` bytes; an index outside the
// elements raises script/out-of-range.
uint8_t* element(NodeId array, int32_t n, uint32_t size) {
    SeriesBuffer* b = buf(array);
    if (n < 1 || uint64_t(n) > count_of(b, size)) fire(ErrorId::script_out_of_range, {make_integer(n)});
    return b->head_ptr() + uint64_t(n - 1) * size;
}

template <class T>
int32_t find_value(NodeId array, T value) {
    SeriesBuffer* b = buf(array);
    const uint8_t* p = b->head_ptr();
    uint64_t n = count_of(b, sizeof(T));
    for (uint64_t i = 0; i < n; i++) {
        T v;
        std::memcpy(&v, p + i * sizeof(T), sizeof(T));
        if (v == value) return int32_t(i * sizeof(T));
    }
    return -1;
}

template <class T>
void append_value(NodeId array, T value) {
    uint8_t* at = alloc_tail_bytes(buf(array), sizeof(T));
    std::memcpy(at, &value, sizeof(T));
}

}  // namespace

NodeId make(uint64_t n, uint32_t size) {
    log2_of(size);
    // n x size is checked against the series limit; an empty request still
    // gets 16 bytes.
    return memory::alloc_series(n ? n : 16 / size, size, 0);
}

int32_t length(NodeId array) {
    SeriesBuffer* b = buf(array);
    uint64_t n = b->used() >> log2_of(b->unit());
    return n > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

void clear(NodeId array) {
    SeriesBuffer* b = buf(array);
    b->tail = b->offset;
}

void clear_at(NodeId array, int32_t n) {
    SeriesBuffer* b = buf(array);
    uint64_t keep = n > 1 ? uint64_t(n - 1) : 0;
    uint64_t bytes = keep << log2_of(b->unit());
    if (bytes < b->used()) b->tail = b->offset + bytes;
}

NodeId copy(NodeId array) { return memory::clone_series(buf(array)); }

uint32_t get_flags(NodeId array) { return buf(array)->flags; }

uint8_t* data(NodeId array) { return buf(array)->head_ptr(); }

void append_byte(NodeId array, uint8_t byte) { append_value<uint8_t>(array, byte); }

uint8_t pick_byte(NodeId array, int32_t n) { return *element(array, n, 1); }

uint8_t* append_bytes(NodeId array, const uint8_t* source, uint64_t n) {
    uint8_t* at = alloc_tail_bytes(buf(array), n);
    if (n) std::memcpy(at, source, n);
    return at;
}

void remove_bytes(NodeId array, int64_t offset, int64_t n) {
    SeriesBuffer* b = buf(array);
    uint64_t used = b->used();
    if (offset < 0 || n <= 0 || uint64_t(offset) >= used) return;
    uint64_t count = uint64_t(n) < used - uint64_t(offset) ? uint64_t(n) : used - uint64_t(offset);
    uint8_t* at = b->head_ptr() + offset;
    std::memmove(at, at + count, used - uint64_t(offset) - count);
    b->tail -= count;
}

void append_int(NodeId array, int32_t value) { append_value<int32_t>(array, value); }

void insert_int(NodeId array, int32_t value, int32_t position) {
    SeriesBuffer* b = buf(array);
    if (b->tail + 4 > b->size) b = memory::expand_series(b, 0);
    uint64_t n = count_of(b, 4);
    uint64_t pos = position < 0 ? 0 : uint64_t(position) > n ? n : uint64_t(position);
    uint8_t* at = b->head_ptr() + pos * 4;
    std::memmove(at + 4, at, (n - pos) * 4);
    std::memcpy(at, &value, 4);
    b->tail += 4;
}

int32_t find_int(NodeId array, int32_t value) { return find_value<int32_t>(array, value); }

int32_t pick_int(NodeId array, int32_t n) {
    int32_t v;
    std::memcpy(&v, element(array, n, 4), 4);
    return v;
}

void poke_int(NodeId array, int32_t n, int32_t value) { std::memcpy(element(array, n, 4), &value, 4); }

void remove_int(NodeId array, int32_t value) {
    int32_t at = find_int(array, value);
    if (at >= 0) remove_bytes(array, at, 4);
}

void append_ptr(NodeId array, const void* value) { append_value<uintptr_t>(array, reinterpret_cast<uintptr_t>(value)); }

int32_t find_ptr(NodeId array, const void* value) {
    return find_value<uintptr_t>(array, reinterpret_cast<uintptr_t>(value));
}

void* pick_ptr(NodeId array, int32_t n) {
    uintptr_t v;
    std::memcpy(&v, element(array, n, sizeof v), sizeof v);
    return reinterpret_cast<void*>(v);
}

}  // namespace kel::array
