// The external resource registry: operating-system objects that values own
// (image bitmaps, handles), finalized when the collector finds them
// unreachable. A value holds an entry by its index. The registry's layout is
// its own (runtime/memory/externals-registry.h).
//
// Finalizers run inside a collection cycle, after marking and before
// compaction: they must not allocate series (a series made then would be
// freed by that same cycle; the memory manager ends the process with status
// 98 instead) nor run Kel code.
#pragma once
#include <cstdint>

namespace kel::externals {

using Finalizer = void (*)(uintptr_t object);

// At most MAX_KINDS kinds in the life of the process.
inline constexpr int MAX_KINDS = 20;

void init();
// Returns the new kind's 1-based position, or 0 once MAX_KINDS exist.
int register_kind(uint32_t id, Finalizer finalizer);
int32_t add(int kind, uintptr_t object);
// Frees an entry in use, finalizing its object when asked; returns -1.
int32_t remove(int32_t index, bool finalize);
// The object of an entry in use (0 for an index outside the registry).
uintptr_t object(int32_t index);
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
