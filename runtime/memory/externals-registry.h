// The external registry's own layout: entries threaded into an in-use and
// a free list by index, and the finalizer of each kind. Only the registry
// and its tests include this header; other modules use runtime/memory/externals.h.
#pragma once
#include <cstdint>

#include "runtime/memory/externals.h"

namespace kel::externals {

inline constexpr uint32_t ENTRY_MARK = 0x80000000;
inline constexpr uint32_t ENTRY_FREE = 0x40000000;
inline constexpr uint32_t KIND_MASK = 0xFF;
inline constexpr int32_t INITIAL_CAPACITY = 1000;

struct Entry {
    uint32_t flags;  // kind in bits 0-7, mark, free
    uintptr_t object;  // 0 in a free entry
    int32_t next;  // next entry of the same list, -1 at the end
};

struct Registry {
    Entry* entries = nullptr;
    int32_t capacity = 0;
    int32_t used_head = -1;
    int32_t free_head = -1;
    struct Kind {
        // The registering module's own number for its kind. The registry
        // never reads it; it stays with the kind for whoever inspects the
        // table (the tests, a debugger).
        uint32_t id;
        Finalizer finalizer;
    } kinds[MAX_KINDS] = {};
    int kind_count = 0;
};
extern Registry registry;

}  // namespace kel::externals
