// Repeating content into series: the indentation levels that molding appends
// to a string, and the pattern replication that fills the room of a /dup
// insert. Both only append or fill; they check no types and raise no
// language errors.
//
// Collector discipline: mold_indent appends, so it may move series buffers;
// it works on a copy of the target cell, which may therefore lie in a buffer.
// replicate_bytes allocates nothing.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

// Appends n levels of four-space indentation to the string; returns the
// budget minus 4n.
int64_t mold_indent(const Cell& target, int levels, int64_t budget);

// Repeats the first n bytes of the buffer (already filled) until n x count
// bytes are filled, doubling the filled run at each copy; returns the address
// just after them.
uint8_t* replicate_bytes(uint8_t* buffer, uint64_t n, uint64_t count);

}  // namespace kel
