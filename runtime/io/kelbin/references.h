// Shared-value bookkeeping of the KELBIN writers and path resolution of the
// readers.
//
// A value that may be shared (a series, or a context reached through a word,
// object or function) is written once; every later occurrence is a
// reference: the list of positions leading from the decode root down to the
// first occurrence. Positions count values within the enclosing series or
// context from its first cell (not from a value's head).
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "runtime/core/cell.h"

namespace kel::kelbin {

// The writer's side: the position counter and the recorded path of every
// node written so far, one per encode call. A path is kept as a chain of
// entries (the entry of the enclosing node and the position within it), so
// recording costs the same at any depth; a reference's path is rebuilt by
// walking the chain.
class PathBook {
public:
    int32_t counter = 0;  // position of the next value in the current series

    // Enters the node written at the current position: its path is recorded
    // and its children count from 0.
    void enter(NodeId node);
    // Enters a step that is no node of its own (an op!'s function step): its
    // children count from 0 below the current position.
    void step_in();
    // Leaves it: the counter is the node's own position again.
    void leave();
    size_t depth() const { return open_.size(); }
    // The recorded path of node, outermost position first; false when the
    // node was not written yet.
    bool find(NodeId node, std::vector<int32_t>& path) const;

private:
    struct Entry {
        int32_t parent;  // the enclosing node's entry, -1 at the top
        int32_t position;  // the node's position within it
    };
    std::vector<Entry> entries_;
    std::vector<int32_t> open_;  // entries of the nodes being written
    std::unordered_map<NodeId, int32_t> entry_of_;  // node -> its entry
};

// The reader's side: the cell a path leads to from the decode root, copied
// out; false when the path does not resolve (an index outside its series, a
// step through a value that has no positions).
bool resolve_path(const Cell& root, const std::vector<uint32_t>& path, Cell& out);

}  // namespace kel::kelbin
