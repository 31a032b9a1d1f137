// Integer maps on heap blocks: the bucket flags and probing of the hash
// tables, with (key, value) pairs in a heap array. They live outside the
// collected heap, so a collection may use one while it moves series.
#include "runtime/hashing/intmap.h"

#include <cstring>

#include "runtime/hashing/hashtable-buckets.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/platform/heap.h"

namespace kel::intmap {

using namespace hashtable::detail;

namespace {

uint8_t* new_flags(uint32_t buckets) {
    auto* f = static_cast<uint8_t*>(heap::allocate(buckets >> 2));
    std::memset(f, ALL_EMPTY, buckets >> 2);
    return f;
}

// The bucket of a live key, or -1 with *slot the bucket for a new pair (the
// first deleted bucket met, else the empty one that ended the search).
int32_t probe(const Map* m, int32_t key, int32_t* slot) {
    uint32_t mask = m->buckets - 1;
    uint32_t i = hashtable::hash_int(uint32_t(key)) & mask;
    int32_t first_deleted = -1;
    for (uint32_t step = 0; step < m->buckets; ++step, i = (i + step) & mask) {
        uint32_t s = state(m->flags, i);
        if (s == EMPTY) {
            *slot = first_deleted >= 0 ? first_deleted : int32_t(i);
            return -1;
        }
        if (s == DELETED) {
            if (first_deleted < 0) first_deleted = int32_t(i);
        } else if (m->pairs[2 * i] == key) {
            return int32_t(i);
        }
    }
    *slot = first_deleted;
    return -1;
}

// Resizes in place by displacement: each key taken out of its old bucket
// probes the new flags; landing on an old bucket whose pair has not moved
// yet, it takes that bucket and the displaced pair moves next.
void resize(Map* m, uint32_t requested) {
    uint32_t buckets = buckets_for(requested);
    uint32_t old_buckets = m->buckets;
    uint8_t* old_flags = m->flags;
    uint8_t* flags = new_flags(buckets);
    if (buckets > old_buckets) {
        m->pairs = static_cast<int32_t*>(heap::resize(m->pairs, size_t(buckets) * 8));
    }
    uint32_t mask = buckets - 1;
    for (uint32_t i = 0; i < old_buckets; ++i) {
        if (state(old_flags, i) != LIVE) continue;
        int32_t key = m->pairs[2 * i];
        int32_t value = m->pairs[2 * i + 1];
        set_state(old_flags, i, DELETED);
        for (;;) {
            uint32_t j = hashtable::hash_int(uint32_t(key)) & mask;
            for (uint32_t step = 0; state(flags, j) != EMPTY;) {
                ++step;
                j = (j + step) & mask;
            }
            set_state(flags, j, LIVE);
            if (j < old_buckets && state(old_flags, j) == LIVE) {
                int32_t k = m->pairs[2 * j], v = m->pairs[2 * j + 1];
                m->pairs[2 * j] = key;
                m->pairs[2 * j + 1] = value;
                set_state(old_flags, j, DELETED);
                key = k;
                value = v;
                continue;
            }
            m->pairs[2 * j] = key;
            m->pairs[2 * j + 1] = value;
            break;
        }
    }
    heap::free(old_flags);
    m->flags = flags;
    m->buckets = buckets;
    m->upper = uint32_t(double(buckets) * hashtable::LOAD);
    m->occupied = m->count;
}

}  // namespace

Map* make(uint32_t size) {
    auto* m = static_cast<Map*>(heap::allocate_zeroed(sizeof(Map)));
    uint32_t s = size < 4 ? 4 : size;
    m->buckets = buckets_for(uint64_t(double(s) / hashtable::LOAD));
    m->upper = uint32_t(double(m->buckets) * hashtable::LOAD);
    m->flags = new_flags(m->buckets);
    m->pairs = static_cast<int32_t*>(heap::allocate_zeroed(size_t(m->buckets) * 8));
    return m;
}

void put(Map* m, int32_t key, int32_t value) {
    int32_t slot;
    int32_t found = probe(m, key, &slot);
    if (found >= 0) {
        m->pairs[2 * found + 1] = value;
        return;
    }
    if (m->occupied >= m->upper) {
        resize(m, uint64_t(m->count) * 2 < m->buckets ? m->buckets - 1 : m->buckets + 1);
        probe(m, key, &slot);
    }
    if (state(m->flags, uint32_t(slot)) == EMPTY) ++m->occupied;
    set_state(m->flags, uint32_t(slot), LIVE);
    m->pairs[2 * slot] = key;
    m->pairs[2 * slot + 1] = value;
    ++m->count;
}

int32_t* get(Map* m, int32_t key) {
    int32_t slot;
    int32_t found = probe(m, key, &slot);
    return found >= 0 ? &m->pairs[2 * found + 1] : nullptr;
}

void remove(Map* m, int32_t key) {
    int32_t slot;
    int32_t found = probe(m, key, &slot);
    if (found < 0) return;
    set_state(m->flags, uint32_t(found), DELETED);
    --m->count;
}

void clear(Map* m) {
    std::memset(m->flags, ALL_EMPTY, m->buckets >> 2);
    m->count = 0;
    m->occupied = 0;
}

void free(Map* m) {
    if (!m) return;
    heap::free(m->flags);
    heap::free(m->pairs);
    heap::free(m);
}

uint32_t count(const Map* m) { return m->count; }

int32_t* next(Map* m, int32_t* pair) {
    uint32_t i = pair ? uint32_t((pair - m->pairs) / 2) + 1 : 0;
    for (; i < m->buckets; ++i)
        if (state(m->flags, i) == LIVE) return &m->pairs[2 * i];
    return nullptr;
}

}  // namespace kel::intmap
