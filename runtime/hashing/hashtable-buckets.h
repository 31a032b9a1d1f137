// Bucket flags, sizes and shared helpers of the hash table modules
// (hashtable.cpp, hashtable-values.cpp, symbol-table.cpp, intmap.cpp). Not
// for other modules: they use runtime/hashing/hashtable.h.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/hashing/hashtable.h"

namespace kel::hashtable::detail {

// Bucket states: 2 bits per bucket, 4 buckets per byte (16 per 32-bit
// little-endian word), bucket i in byte i >> 2 at bits (i & 3) * 2.
inline constexpr uint32_t LIVE = 0;
inline constexpr uint32_t DELETED = 1;
inline constexpr uint32_t EMPTY = 2;
inline constexpr uint8_t ALL_EMPTY = 0xAA;

inline uint32_t state(const uint8_t* flags, uint32_t i) { return (flags[i >> 2] >> ((i & 3) << 1)) & 3u; }
inline void set_state(uint8_t* flags, uint32_t i, uint32_t s) {
    uint32_t shift = (i & 3) << 1;
    flags[i >> 2] = uint8_t((flags[i >> 2] & ~(3u << shift)) | (s << shift));
}

inline uint8_t* flags_of(const Record* r) { return memory::buffer_of(r->flags)->data(); }
inline int32_t* keys_of(const Record* r) { return reinterpret_cast<int32_t*>(memory::buffer_of(r->keys)->data()); }
// Kind 1: the hash of each bucket's key, beside the keys, so that probes
// compare keys only when their hashes agree and a resize never hashes again.
inline uint32_t* hashes_of(const Record* r) {
    return reinterpret_cast<uint32_t*>(memory::buffer_of(r->indexes)->data());
}
// Cells of the block from the start of its series.
inline Cell* cells_of(const Record* r) { return memory::buffer_of(r->block)->cells(); }
inline uint32_t cell_count_of(const Record* r) {
    uint64_t n = memory::buffer_of(r->block)->cell_count();
    return n > INT32_MAX ? INT32_MAX : uint32_t(n);
}

// The smallest power of two >= n, at least 4. A table beyond 2^30 buckets
// cannot be held: internal/no-memory.
uint32_t buckets_for(uint64_t n);
// trunc(buckets x 0.77 + 0.5), the bound after a resize.
inline uint32_t rounded_upper(uint32_t buckets) { return uint32_t(double(buckets) * LOAD + 0.5); }

// What a full table asks for: the same size (a rehash that drops deleted
// buckets) when fewer than half the buckets hold live entries, else double.
inline uint32_t grow_request(const Record* r) {
    return uint64_t(r->count) * 2 < r->buckets ? r->buckets - 1 : r->buckets + 1;
}

// Fresh flags (every bucket empty) and keys (zeroed) for n buckets.
NodeId new_flags(uint32_t buckets);
NodeId new_keys(uint32_t buckets);
// A fresh index array of a hash! table for n block positions, none indexed.
NodeId new_index(uint64_t positions);

// MurmurHash3 of n bytes with A-Z lowered (no copy made): the hash of a
// symbol's name.
uint32_t hash_name(const uint8_t* bytes, size_t n);

// Three-way comparison through the compare slot of a's type; -2 (not
// comparable) when the type has none. Never raises, never allocates.
int32_t compare_cells(const Cell& a, const Cell& b, int32_t op);

}  // namespace kel::hashtable::detail
