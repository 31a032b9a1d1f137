// Memory statistics (`stats`, `stats/info`, `recycle`): the bytes the value
// runtime uses, and the same frame by frame.
//
// The walk reads the frame lists into plain C++ vectors with the collector
// switched off, and builds the values only afterwards, so nothing the walk
// reads can change under it; the switch goes back to what it was on every
// path out (`CollectorPause`).
//
// Sizes are this runtime's: a node slot is a pointer (8 bytes); a series
// frame's data starts after its header; frame totals count their headers.
#pragma once
#include "runtime/core/cell.h"

namespace kel::memory {

// Turns the collector off for its lifetime, then puts the switch back.
class CollectorPause {
public:
    CollectorPause();
    ~CollectorPause();
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_;
};

// The bytes in use: node slots in use, the used part of every series frame
// and the size of every big frame.
double bytes_in_use();

// Appends five values to the block: a block of [free used total] node-slot
// counts per node frame, a block of [free used total] byte counts per series
// frame, a block of the size of each big frame, the total bytes held (frames
// with their headers plus the heap blocks), and the heap blocks' bytes. The
// entries carry the new-line marker; the totals are integer! up to
// 2,147,483,647, float! above.
void append_stats(const Cell& block);

// integer! when the amount fits 32 bits, else float!.
Cell amount_cell(double bytes);

}  // namespace kel::memory
