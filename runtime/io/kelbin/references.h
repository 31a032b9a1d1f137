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

// The writer's side: the position counter, the stack of enclosing positions
// and the recorded path of every node written so far. One per encode call.
class PathBook {
public:
    int32_t counter = 0;  // position of the next value in the current series

    // Enters a value at the current position: its children count from 0.
    void push() {
        stack_.push_back(counter);
        counter = 0;
    }
    // Leaves it: the counter is the value's own position again.
    void pop() {
        counter = stack_.back();
        stack_.pop_back();
    }
    size_t depth() const { return stack_.size(); }
    // Records the current path (the enclosing positions) for node.
    void record(NodeId node);
    // The recorded path of node ([n, p0 .. pn-1] in the store), or null.
    const int32_t* find(NodeId node) const;

private:
    std::vector<int32_t> stack_;
    std::vector<int32_t> store_;                 // path records back to back
    std::unordered_map<NodeId, size_t> offsets_;  // node -> its record in store_
};

// The reader's side: the cell a path leads to from the decode root, copied
// out; false when the path does not resolve (an index outside its series, a
// step through a value that has no positions).
bool resolve_path(const Cell& root, const std::vector<uint32_t>& path, Cell& out);

}  // namespace kel::kelbin
