// The external resource registry: operating-system objects that values own
// (image bitmaps, handles), finalized when the collector finds them
// unreachable. Entries are threaded into an in-use and a free list by index.
//
// Finalizers run inside a collection cycle, after marking and before
// compaction: they must not allocate series (a series made then would be
// freed by that same cycle; the memory manager ends the process with status
// 98 instead) nor run Kel code.
#pragma once
#include <cstdint>

namespace kel::externals {

using Finalizer = void (*)(uintptr_t object);

inline constexpr uint32_t ENTRY_MARK = 0x80000000;
inline constexpr uint32_t ENTRY_FREE = 0x40000000;
inline constexpr uint32_t KIND_MASK = 0xFF;
inline constexpr int MAX_KINDS = 20;
inline constexpr int32_t INITIAL_CAPACITY = 1000;

struct Entry {
    uint32_t flags;    // kind in bits 0-7, mark, free
    uintptr_t object;  // 0 in a free entry
    int32_t next;      // next entry of the same list, -1 at the end
};

struct Registry {
    Entry* entries = nullptr;
    int32_t capacity = 0;
    int32_t used_head = -1;
    int32_t free_head = -1;
    struct Kind {
        uint32_t id;
        Finalizer finalizer;
    } kinds[MAX_KINDS] = {};
    int kind_count = 0;
};
extern Registry registry;

void init();
// Returns the new kind's 1-based position.
int register_kind(uint32_t id, Finalizer finalizer);
int32_t add(int kind, uintptr_t object);
// Frees an entry in use, finalizing its object when asked; returns -1.
int32_t remove(int32_t index, bool finalize);
// Sets the mark; returns 1 when it was not yet set. A non-zero object
// replaces the entry's object (the old one is not finalized).
int mark(int32_t index, uintptr_t object);
// The collector's mark of what a handle! holds: the entry at `index`, when
// that is one (-1, or any index outside the registry, marks nothing).
void mark_entry(int32_t index);
// Finalizes and frees every entry in use that is not marked; clears the
// marks. Nothing happens before `init`.
void sweep();

}  // namespace kel::externals
