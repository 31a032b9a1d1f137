// Integer maps: int32 keys to int32 values, on heap blocks outside the
// collected heap, so that a collection may use one while it moves series.
// They share the hash tables' bucket flags (2 bits per bucket: empty,
// deleted, live), probe sequence and 77% load bound; the (key, value)
// pairs lie side by side in one heap array. A map is freed by `free`, not by
// the collector.
#pragma once
#include <cstdint>

namespace kel::intmap {

struct Map {
    uint32_t count;
    uint8_t* flags;
    int32_t* pairs;
    uint32_t occupied;
    uint32_t buckets;
    uint32_t upper;
};

Map* make(uint32_t size);
void put(Map* map, int32_t key, int32_t value);
int32_t* get(Map* map, int32_t key);
void remove(Map* map, int32_t key);  // `delete` is a C++ keyword
void clear(Map* map);
void free(Map* map);
uint32_t count(const Map* map);
// The next live pair after `pair` (the first one for null), or null.
int32_t* next(Map* map, int32_t* pair);

}  // namespace kel::intmap
