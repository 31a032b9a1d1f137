// symbol!: an interned spelling, known by its symbol id.
//
// Cell (type 13): word 1 the alias (the id of the case variant interned
// first, or 0 or below when none), word 2 the node of the spelling as a
// string (0 until first needed), word 3 the node of a byte series holding
// the UTF-8 spelling and a NUL (the tail stands before the NUL).
//
// The canonical id is the alias when above 0, else the id: two symbols name
// the same word ignoring case exactly when their canonical ids are equal.
// Only ASCII letters are folded this way.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::symbol {

// The id of a NUL-terminated UTF-8 spelling, interned when new.
int32_t make(const char* spelling);
// The id of any case variant already interned, else a new symbol.
int32_t make_any_case(const char* spelling);
// As make, for n bytes that need not end in a NUL.
int32_t make_with_length(const uint8_t* spelling, uint32_t n);
// The string from its head (at most `limit` units; -1 for all) as UTF-8,
// interned like make_with_length.
int32_t make_from_string(const Cell& str, int32_t limit);

// The symbol cell of an id, its spelling string built first when missing.
// The address is good until the next call that may allocate.
Cell* get(int32_t id);
// The symbol cell of an id as it stands (word 2 may still be 0), without
// building anything: comparing spellings reads the UTF-8 name, so the
// orderings of words allocate nothing.
Cell peek(int32_t id);
// Builds word 2 of the id's symbol cell from its UTF-8 spelling when it is 0.
void cache_string(int32_t id);

// The spelling string (word 2) of a symbol cell, which may be a copy: built
// and kept in the symbol block the first time, then shared by every reader.
NodeId string_of(const Cell& symbol);

int32_t resolve(int32_t id);
int32_t alias_of(int32_t id);
// Number of symbols interned.
int32_t count();
// The UTF-8 spelling of an id and its length in bytes (good until the next
// call that may allocate).
const uint8_t* spelling(int32_t id, uint32_t* length);

// The compare action: the spellings compared as text, case-folded except for
// the strict ops (2 and 8); -1, 0 or 1; -2 when `b` is not a symbol.
int32_t compare(const Cell& a, const Cell& b, int op);

// Registers symbol!.
void init();

}  // namespace kel::symbol
