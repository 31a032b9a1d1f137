// The mark-compact collector. One cycle marks everything reachable from the
// roots, then slides the live buffers of each series frame together (also
// into the free tail of the previous frame), frees dead nodes and big frames,
// and releases node frames that became empty; the memory manager then keeps
// the series frames that emptied for reuse (up to its collection budget) or
// releases them. Nodes never move: values need no fix-up, only node slots
// are pointed at the moved buffers.
//
// Marking uses an explicit work list, so a value nested a million levels
// deep is marked without growing the machine stack.
//
// Nothing that runs inside a cycle may allocate a series: root steps, root
// markers, the marking hooks below and the finalizers of the external
// registry (the memory manager refuses such an allocation with status 98).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::collector {

// Nodes never move here, so the cycle count is the only statistic.
struct Stats {
    int64_t cycles = 0;
};
extern Stats stats;

// Root-marking steps of the modules that own roots. Marking runs: the root
// block, the symbol table, the ownership table's storage, the argument
// stack, the value and arguments of the error in flight (`error_in_flight()`), then the
// steps from call_stack to cell_slots in this order, the root-marking
// callbacks and last the root guards. A null step is skipped;
// modules install theirs during start-up. `ownership_sweep` is no root: it
// runs after marking.
struct RootSteps {
    void (*symbol_table)() = nullptr;
    void (*ownership_table)() = nullptr;  // marks the table's storage; entries are weak
    void (*call_stack)() = nullptr;
    void (*global_context)() = nullptr;
    void (*take_scratch)() = nullptr;
    void (*current_block)() = nullptr;
    void (*lexer_states)() = nullptr;
    void (*cell_slots)() = nullptr;
    void (*ownership_sweep)() = nullptr;  // after marking: drops entries whose series or owner died
};
extern RootSteps root_steps;

// Zeroes the statistics and installs the collector into the memory manager
// (still disabled: `set_active(true)` once the runtime has booted).
void init();
void set_active(bool active);
// Whether collections run (set_active's flag).
bool active();
bool collecting();

// One full cycle.
void do_cycle();
// Runs a cycle when active (what allocation calls).
void collect_if_enabled();

// Marking operations for the root steps and the modules' own walkers.
// Returns true when the buffer was not marked yet (it is now).
bool mark_node(NodeId node);
bool is_marked(NodeId node);
void unmark(NodeId node);
// Marks the node and, when newly marked, walks its cells (head to tail).
void mark_block(NodeId node);
// mark_block on a context's node: the context! cell and its owner cell.
void mark_context(NodeId node);
void mark_values(const Cell* first, const Cell* end);
inline void mark_value(const Cell& c) { mark_values(&c, &c + 1); }

// Root-marking callbacks of other subsystems, run in table order at every
// cycle. At most MAX_ROOT_MARKERS are registered at once: the slot of a
// removed one is taken again by the next added, and adding past the limit is
// an internal fault (never a marker silently dropped, whose values would be
// freed while in use). Answers the marker's 1-based place in the table.
inline constexpr int MAX_ROOT_MARKERS = 100;
int add_root_marker(void (*marker)());
// Removes one registration of the marker; one not registered is ignored.
void remove_root_marker(void (*marker)());

// Hash tables keep a series of their own; the hash module installs how a
// table's storage and contents are marked (`hashtable_mark`), used for the
// word tables of contexts and for hash! and map! values.
extern void (*hashtable_mark)(NodeId table);
// Image records mark their external resource (installed by image!).
extern void (*image_mark_node)(NodeId record);

}  // namespace kel::collector
