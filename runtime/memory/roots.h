// Values that C++ code holds across a call that may allocate must stay
// reachable for the collector. Values on the argument stack are; a value in
// a C++ local is kept by a root guard for as long as the guard lives:
//
//     Cell block = block::make(...);
//     Rooted keep(block);                 // marked by every collection
//     Cell text = string::make(...);      // may collect: `block` survives
//     ... memory::buffer_of(cell_node(block)) ...   // re-read after the call
//
// Guards are strictly nested (RAII); the collector walks them as a list.
// The root block holds the runtime's own long-lived values; one of its
// cells holds the block of boot literals (the values of the boot image).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

class Rooted {
public:
    explicit Rooted(Cell& cell) : cell_(&cell), node_(nullptr), next_(head_) { head_ = this; }
    explicit Rooted(NodeId& node) : cell_(nullptr), node_(&node), next_(head_) { head_ = this; }
    ~Rooted() { head_ = next_; }
    Rooted(const Rooted&) = delete;
    Rooted& operator=(const Rooted&) = delete;

    // Calls fn on every guarded cell and node, innermost first.
    template <class CellFn, class NodeFn>
    static void for_each(CellFn&& on_cell, NodeFn&& on_node) {
        for (Rooted* r = head_; r; r = r->next_) {
            if (r->cell_)
                on_cell(*r->cell_);
            else
                on_node(*r->node_);
        }
    }

private:
    Cell* cell_;
    NodeId* node_;
    Rooted* next_;
    static inline thread_local Rooted* head_ = nullptr;
};

namespace roots {

inline constexpr uint32_t ROOT_BLOCK_CELLS = 8795;

// Makes the root block: a fixed block of unset cells, never moved or grown.
void init_root_block();
NodeId root_block();
// Appends a cell to the root block; its address never changes. Passing the
// block's capacity raises internal/limit-hit instead of corrupting literals.
Cell* append(const Cell& value);
// The block of boot literals: a collected block held by one root cell, made
// on first use. Its cells move when it grows: hold no address across an
// allocation.
Cell literal_block();
// Boot literal #index: the literal block's cell at the literal base plus
// index. An index outside the literals raises internal/limit-hit.
Cell* get_root(int64_t index);
NodeId get_root_node(int64_t index);
// The first literal of the boot image, a cell index of the literal block
// (the loader records it).
void set_literal_base(uint32_t first_cell);
uint32_t literal_base();

}  // namespace roots

}  // namespace kel
