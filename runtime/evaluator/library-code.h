// Library code and the caller's code. The blocks of the embedded library
// (marked as its source is loaded) and the blocks of a library function's
// body (marked the first time it runs) carry the series flag LIBRARY_CODE.
// A block that library code evaluates counts as library code only when it
// carries the flag: it sends no trace events and leaves the current-block
// cell alone, so an error inside shows the script's expression. Any other
// block (one a script handed to a library function: `attempt`'s code,
// `collect`'s body, a reaction) is the caller's code and runs as script
// code: traced when the script was, with its own Near line.
#pragma once
#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace kel::interpreter {

// The block (any series of cells) carries the library mark.
inline bool is_library_code(const Cell& block) {
    return (memory::buffer_of(cell_node(block))->flags & series_flag::LIBRARY_CODE) != 0;
}

// Marks the value's series of cells and every series of cells inside them
// (blocks, parens, paths, at any depth) as library code. Allocates nothing.
void mark_library_code(const Cell& value);

}  // namespace kel::interpreter
