// Ownership: for every series reachable from the fields of an object that
// has an on-deep-change* handler, which object and which field own it, so
// that the actions that modify series in place can tell the owner. The
// records live in one node-keyed hash table whose entries are weak: an owner
// or an owned series that becomes unreachable is reclaimed and forgotten.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

namespace ownership {

inline constexpr uint32_t OWNED_FLAG = 0x20000;  // series buffer flag: an entry exists
inline constexpr uint32_t OWNER_FLAG = 0x10000;  // context! cell header: the object owns series
inline constexpr uint32_t INITIAL_ENTRIES = 1000;

// The object module's deep-change dispatch: (owner object, field word,
// modified value, action word, new value or null, index, part count).
using DeepChange = void (*)(const Cell& owner, const Cell& word, const Cell& value, const Cell& action,
                            const Cell* new_value, int32_t index, int32_t part);
DeepChange install_deep_change(DeepChange dispatch);  // answers the one it replaces

void init();
NodeId table();

void set(const Cell& value, const Cell& owner, const Cell& word);
// set, then flags the owner's context as owning series.
void bind(const Cell& value, const Cell& owner, const Cell& word);
void unbind(const Cell& value);
void unbind_range(const Cell& block, int32_t index, int32_t count);
// The entry's owner cell (the field word follows it), or null.
Cell* get_owner(NodeId node);
// Tells the owner of the modified value, when it has change handlers.
// Returns true when it was told.
bool check(const Cell& value, const Cell& action, const Cell* new_value, int32_t index, int32_t part);

}  // namespace ownership

}  // namespace kel
