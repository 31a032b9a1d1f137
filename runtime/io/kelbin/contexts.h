// Standalone context records (type 14): a flags byte, a word count, the
// words' symbols, then (flags bit 4, heap values only) one value record per
// word. The reader makes the context and an object! owning it (class id
// -1), which is the value the record gives: in the boot image such a
// literal is the context that bound words name.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/context.h"

namespace kel::kelbin {

// The flags of a context record, in both forms (the standard reader puts
// its header bits into this layout).
inline constexpr uint32_t CONTEXT_KIND = 0x03;  // context::KIND_*
inline constexpr uint32_t CONTEXT_ON_STACK = 0x04;
inline constexpr uint32_t CONTEXT_SELF = 0x08;
inline constexpr uint32_t CONTEXT_VALUES = 0x10;

// A flags byte a reader takes: a known kind, no bit above 4, and never both
// values on the stack and values that follow. A codec takes only an object
// context with its values on the heap: the object! made over any other
// context would read values that are not there (the boot image's function
// contexts are boot mode's).
inline bool context_flags_ok(uint32_t flags, bool boot) {
    if ((flags & CONTEXT_KIND) == 3 || (flags & 0xE0)) return false;
    if (!boot && (flags & (CONTEXT_KIND | CONTEXT_ON_STACK)) != context::KIND_OBJECT) return false;
    return !((flags & CONTEXT_ON_STACK) && (flags & CONTEXT_VALUES));
}

// Makes the context of the flags with room for n words and appends the
// object! owning it to parent; answers the context's node.
NodeId append_context_object(const Cell& parent, uint32_t flags, uint32_t n, uint32_t new_line);

}  // namespace kel::kelbin
