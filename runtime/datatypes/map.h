// map!: dictionaries. A map! cell (type 40, no parent) holds in payload
// word 1 the index of its key/value block (always 0), in word 2 the node of
// that block and in word 3 the node of a hash table of the map kind
// (runtime/hashing/hashtable.h), whose live count is the map's length.
//
// Invariants:
// - The block holds pairs, key cell then value cell. Keys are normalised as
//   they enter (every word kind becomes a set-word!, string-family and
//   binary! keys are copies of their text from its index) and never change
//   afterwards.
// - A removed pair keeps its key and gets a value cell whose header word is
//   0. Every walk over the block (mold, form, reflect, compare, to block!,
//   foreach, copy/deep) skips such pairs; setting the key again revives the
//   pair in place. Removal never moves cells or rehashes.
// - Lookups go through the table, never through a scan of the block.
//
// Collector discipline: normalising a key copies it, which may move the
// block; the map code works by pair positions and re-reads the block
// through its node after every call that may allocate. The action slots
// follow datatype.h (answers in `out`).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/memory/memory.h"

namespace kel::map {

inline NodeId block_of(const Cell& m) { return cell_node(m); }
inline NodeId table_of(const Cell& m) { return m.data3; }
inline SeriesBuffer* buffer(const Cell& m) { return memory::buffer_of(cell_node(m)); }
// A value cell with header 0 marks a removed pair.
inline bool removed(const Cell& value) { return value.header == 0; }

// The key types a map accepts (the lexer checks literal keys with it).
bool valid_key(uint32_t type);
// The key normaliser installed into the hash tables: the key at the block
// position of the table's block becomes its normal form (see above); a key
// of a type not accepted raises script/invalid-path with none and its
// datatype.
void normalize_key(NodeId table, uint32_t position);

// Makes the cell a map!: over the given block (a block-like cell whose
// cells, from the buffer's start, become the pairs; the block is used, not
// copied), or over a new block with room for `size` pairs when block is
// null. Every key is normalised; a key found again (case-sensitive) keeps
// its first place and takes the later value, and the repeated pair leaves
// the block. An odd number of cells raises script/invalid-arg with the
// block. The cell must stay put (an argument cell, a root, a local under a
// guard). Answers the cell.
Cell* make_at(Cell& cell, const Cell* block, int32_t size);
// A new map! on the argument stack (see make_at).
Cell* push_new(const Cell* block, int32_t size);
// A copy of the map! value on the argument stack.
Cell* push(const Cell& m);
// Live pairs.
int32_t key_count(const Cell& m);

// The value stored for a key, or null when the key is absent or its pair was
// removed. `op` is the lookup mode: COMP_EQUAL (case ignored),
// COMP_STRICT_EQUAL (/case) or COMP_SAME. The cell is good until the next
// allocation.
const Cell* lookup(const Cell& m, const Cell& key, int32_t op);
// Sets the value of a key: a new pair at the tail (the key normalised) when
// the key is absent, else the pair's value (a removed pair revives). `path`
// names the path in the invalid-path error of a key type not accepted (null:
// none). Case-sensitive lookup with case_sensitive.
void set(const Cell& m, const Cell& key, const Cell& value, bool case_sensitive, const Cell* path);

// The map side of the `extend` native: the block's key/value pairs set into
// the map, the block grown once for all new pairs. An odd block length
// raises script/invalid-arg with the block. Values are stored unchanged.
void extend(const Cell& m, const Cell& block, bool case_sensitive);

// One step of `foreach` over a map: the `count` words of the words block
// (from its head) get the next cells from the cursor's index (a map! cell
// whose word 1 is a cell index, even; the caller keeps it between steps), a
// set-word! key given as word!, words left over none. Removed pairs met at a
// key position are skipped. Every word must be of a word kind (else
// script/invalid-arg with it). Answers whether any word was set; the cursor's
// index moves past the cells used.
bool set_loop_words(const Cell& words, Cell& cursor, int32_t count);

// Cell `i` (0-based) of the live pairs, key then value, a set-word! key
// given as word!; none past the end. What `set` with a block of words takes
// from a map.
Cell item(const Cell& m, int32_t i);

// The live pairs into a new block! in out: `body` (keys as stored, each
// with the new-line marker), `words` (keys as words) or `values`.
enum class Part { body, words, values };
void to_block(Cell* out, const Cell& m, Part part);

// Registers map! (id 40) and installs the key normaliser and the `body`
// conversion that make/to block! of a map use.
void init();

}  // namespace kel::map
