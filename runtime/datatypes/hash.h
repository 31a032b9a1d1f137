// hash!: a block whose values are also entered in a hash table, so that
// find, select and put run by hashing. A hash! cell (type 36, parent block!)
// is a block cell whose payload word 3 is the node of a table of the hash
// kind (runtime/hashing/hashtable.h) indexing every value of its block from
// the buffer's start; equal values share a chain.
//
// Invariants: a hash! always has a table, and the table belongs to one
// block buffer (a copy gets its own). The block! and series! actions it
// inherits keep the table in step as they change the block
// (runtime/datatypes/series-edit.h); hash! owns only make, to, copy, sort,
// trim and mold. The slots follow datatype.h (answers in `out`).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::hash {

// Makes the block cell (a cell that stays put, over a block nothing else
// indexes) a hash! with a table over its values from the buffer's start.
// Answers the cell.
Cell* make_at(Cell& block);

// Registers hash! (id 36, parent block!), after block! has all its slots.
void init();

}  // namespace kel::hash
