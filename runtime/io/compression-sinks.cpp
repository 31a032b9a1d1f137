#include <cstring>

#include "runtime/io/compression-coders.h"
#include "runtime/platform/heap.h"

namespace kel::compression {

namespace {

// The first room a growing sink gives when nothing was expected.
inline constexpr size_t FIRST_ROOM = 16384;

}  // namespace

std::span<uint8_t> FixedSink::room(size_t) { return buffer_.subspan(size_); }

GrowingSink::~GrowingSink() { heap::free(data_); }

void GrowingSink::grow_to(size_t capacity) {
    if (capacity > limit_) capacity = limit_;
    if (capacity <= capacity_) return;
    data_ = static_cast<uint8_t*>(heap::resize(data_, capacity));
    capacity_ = capacity;
}

void GrowingSink::expect(size_t total) { grow_to(total); }

std::span<uint8_t> GrowingSink::room(size_t want) {
    if (size_ == capacity_) {
        // Doubling keeps the copying linear; `want` lets a coder that knows
        // how much is coming take it at once.
        size_t wanted = size_ + (want > FIRST_ROOM ? want : FIRST_ROOM);
        if (wanted < size_) wanted = SIZE_MAX;
        size_t doubled = capacity_ > SIZE_MAX / 2 ? SIZE_MAX : capacity_ * 2;
        grow_to(wanted > doubled ? wanted : doubled);
    }
    return {data_ + size_, capacity_ - size_};
}

uint8_t* GrowingSink::take() {
    uint8_t* block = data_;
    data_ = nullptr;
    size_ = capacity_ = 0;
    return block;
}

bool put(ByteSink& out, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        std::span<uint8_t> room = out.room(bytes.size());
        if (room.empty()) return false;
        size_t n = room.size() < bytes.size() ? room.size() : bytes.size();
        std::memcpy(room.data(), bytes.data(), n);
        out.commit(n);
        bytes = bytes.subspan(n);
    }
    return true;
}

}  // namespace kel::compression
