// Hash tables: one open-addressing design for the whole runtime.
//
// A table is the node of a byte series holding an 11-word record; its bucket
// flags, keys and values live in further series that the record names by node,
// so the whole table moves with the rest of memory. Kinds:
//
//   0 hash!   the index of a hash! value: finds the cells of its block by
//             content; equal values share one bucket through a chain
//   1 map!    the keys of a map! value (key/value pairs in its block)
//   2 symbols and context words (runtime/symbol-table.h)
//   3 integer keys, 4 node keys: entries of a key cell and payload cells
//             kept in a block the table owns
//
// Buckets are a power of two; 2 flag bits per bucket (2 empty, 1 deleted,
// 0 live); a table grows when the buckets not empty reach 77% of them.
//
// Node ids never change (the memory manager never moves a node), so no table
// goes stale after a collection: hashes that depend on a node id stay valid
// and the record's stamp word is always 0.
//
// Collector discipline: every operation that may allocate may move series
// buffers. Addresses returned (payload cells, block cells) are good until the
// next call that may allocate.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace kel::hashtable {

enum Kind : uint32_t {
    KIND_HASH = 0,
    KIND_MAP = 1,
    KIND_SYMBOL = 2,  // the symbol table and context word tables
    KIND_INTEGER = 3,
    KIND_NODE = 4,
};

// The record: the data of the table's series.
struct Record {
    uint32_t count;  // kind 0: buckets in use (a chain counts once); others: live keys
    uint32_t indexes;  // kind 0: node of the index array; kind 1: node of the keys' hashes (one
        // uint32 per bucket); kinds 3-4: entry size in bytes; else 0
    uint32_t chains;  // kind 0: node of the chain list; else 0
    uint32_t flags;  // node of the bucket flags (2 bits per bucket)
    uint32_t keys;  // node of the key array (one int32 per bucket)
    uint32_t block;  // node of the value block (kinds 3-4: the entry block)
    uint32_t occupied;  // buckets not empty (live + deleted)
    uint32_t buckets;  // a power of two, at least 4
    uint32_t upper;  // occupied count at which the table grows
    uint32_t kind;
    uint32_t stamp;  // always 0: node ids never change (see above)
};
static_assert(sizeof(Record) == 44);

inline Record* record(NodeId table) { return reinterpret_cast<Record*>(memory::buffer_of(table)->data()); }

inline constexpr double LOAD = 0.77;

// ---------------------------------------------------------------------------
// Hashing

// The seed of every MurmurHash3 call; set once at start-up by the random
// module (to DEFAULT_SEED, which is also its value before that). Nothing
// stored depends on its value.
inline constexpr uint32_t DEFAULT_SEED = 0x9747B28Cu;
void set_seed(uint32_t seed);
uint32_t seed();

// MurmurHash3 x86 32-bit of n bytes, with the seed.
uint32_t murmur3_x86_32(const void* key, size_t n);
// The MurmurHash3 32-bit finaliser (no seed).
inline uint32_t hash_int(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}
// The code points from the string's head to its tail as 32-bit blocks, each
// upper-cased unless `case_sensitive`. A head past the tail hashes as empty.
uint32_t hash_string(const Cell& str, bool case_sensitive);
// The symbol's UTF-8 name with A-Z lowered, so case variants collide.
uint32_t hash_symbol(const Cell& symbol);
// Any value by type. Series hash by identity (node and position), scalars by
// their payload, words by canonical symbol, text by content.
uint32_t hash_value(const Cell& value, bool case_sensitive);

// A scratch copy of n bytes with A-Z lowered (reused by the next call).
const uint8_t* lower_ascii(const uint8_t* bytes, size_t n);
// 0 when the n bytes are equal (exactly, or ignoring ASCII letter case when
// `exact` is false), else the difference of the first pair that differs.
int compare_names(const uint8_t* a, const uint8_t* b, size_t n, bool exact);

// ---------------------------------------------------------------------------
// Tables

// Installs the table marker into the collector (every maker below does it
// too when it has not been done).
void init();

// A cell that keeps a table (and everything it holds) reachable while it lies
// on the argument stack, in a root cell or under a Rooted guard: a context!
// cell whose values live on the stack, so the collector marks only its table.
// (A table's node under a Rooted node guard keeps only its record.)
inline Cell as_cell(NodeId table) { return Cell{TYPE_CONTEXT | 0x400000u, table, 0, 0}; }

// A new table of kind KIND_HASH, KIND_MAP or KIND_SYMBOL for `size` entries
// over `block`: for a hash! or map!, the block to index (every value from its
// head is put; key/value pairs for a map!); for KIND_SYMBOL, the block of
// symbol! cells of a symbol table. Null makes a new empty block. A keyed kind
// ends the process (a fault of the caller).
NodeId make_table(uint32_t size, const Cell* block, Kind kind);
// A new table of kind KIND_INTEGER or KIND_NODE for `size` entries, each a
// key cell and `payload` cells (more than 65,535 raise internal/limit-hit),
// kept in a block of its own. Another kind ends the process.
NodeId make_keyed_table(uint32_t size, Kind kind, uint32_t payload);
// An independent copy of a context word table (KIND_SYMBOL): same words in
// the same order, its own storage, so words added to one stay out of the
// other.
NodeId clone_word_table(NodeId source);

// In-place resize of kinds 1-2 for n buckets (the next power of two, at least
// 4); nothing changes when the live keys would not fit below the new bound.
void resize(NodeId table, uint32_t buckets);
// Kind 0: rebuilt for `count` values, then every value of the block put again.
void rebuild(NodeId table, uint32_t count);
// Kinds 3-4: new flags, keys and entry block of n buckets; live entries kept.
void rebuild_keys(NodeId table, uint32_t buckets);

// Kinds 3-4. put_key: the payload cells of the key's entry (made when absent),
// every cell set to unset. get_key: the payload cells, or null. delete_key: the
// former payload cells (dead now), or null when absent.
Cell* put_key(NodeId table, uint32_t key);
Cell* get_key(NodeId table, uint32_t key);
Cell* delete_key(NodeId table, uint32_t key);
// Kind 4, during a collection after marking and before dead nodes are freed:
// drops every entry whose key node was not marked, whose third cell holds
// an object!, error! or port! whose context was not marked (the owner of an
// ownership entry), or whose fourth cell is a word bound to a context that was
// not marked (the entry's field word).
void sweep_keys(NodeId table);

// Marks everything the table holds for the collector: its own series, the
// chains of kind 0, the key nodes of kind 4 and the cells of its block.
void mark(NodeId table);

// Marks only the table's own series, not what its entries refer to: for a
// table whose entries are weak (swept with `sweep_keys` after marking).
void mark_storage(NodeId table);

// Prints the deleted and then the live buckets (a debugging aid).
void dump(NodeId table);

// ---------------------------------------------------------------------------
// hash! (kind 0) and map! (kind 1)
//
// Keys are 0-based cell positions from the start of the block's series (not
// from a value's head). A map! stores the position of the key cell; the value
// cell follows it. Every action that inserts, removes or moves cells of such a
// block tells the table.

// Status of put_status: the table was rebuilt from its block (the cell is
// then already in it).
inline constexpr int PUT_REBUILT = 2;

Cell* put(NodeId table, Cell* value);
// Kind 1: puts a key the caller has just looked up and not found, without
// comparing it with the keys on its probe path.
Cell* put_absent(NodeId table, Cell* value);
Cell* put_status(NodeId table, Cell* value, int* status);
// Puts the cells of the block from `start`, every `step`-th. A map! (step 2)
// overwrites the value of a key already present and drops the repeated pair.
void put_all(NodeId table, uint32_t start, uint32_t step);

// Address of the found cell of the block, or null. Values are compared with
// the comparison op `op`. A map! finds its key cell and ignores `from`,
// `skip`, `last` and `reverse` (its lookups pass 0). A hash! searches from
// the block position `from`: a match at position l counts when its distance
// is a multiple of `skip`, the distance being l - from for a forward search
// and from - l - 1 with `last` or `reverse`; forward gives the first such
// match at or after `from`, `last` the last one at or after `from`, `reverse`
// the last one before it. A hash! `skip` below 1 raises script/out-of-range.
Cell* find(NodeId table, const Cell& value, int32_t from, int32_t skip, int op, bool last, bool reverse);
// The next cell equal to the value (op 0, same type) along its probe
// sequence. `bucket` -1 starts from the hash; the three in/out words carry the
// walk from call to call.
Cell* find_next(NodeId table, const Cell& value, int32_t* bucket, int32_t* end, int32_t* step);

void delete_at(NodeId table, const Cell* cell);
void delete_range(NodeId table, int32_t position, int32_t count);
// After count cells starting at position `start` moved by `offset` in the
// block: shifts the stored positions (with `index`, the index array entries
// too). Returns 1 and changes nothing above 30,000 cells: the caller rebuilds.
int shift_positions(NodeId table, int32_t offset, int32_t start, int32_t count, bool index);
// After cells [start, start + count) moved to `destination` in the block.
void move_positions(NodeId table, int32_t destination, int32_t start, int32_t count);
// An independent copy of the table for another block.
NodeId copy(NodeId table, NodeId block);
// An empty table and an empty block.
void reset(NodeId table);
// Tables are reclaimed by the collector; nothing to do.
inline void destroy(NodeId) {}

// The normaliser of new map! keys (words become set-words, text keys are
// copied, unfit keys refused). It gets the table and the key's position in
// the block, never a cell address: copying a key allocates, which may move
// the block, so it re-reads the block through the table before it writes the
// key. The map! module installs its own; until then word keys become
// set-words and other keys stay as they are.
using KeyNormalizer = void (*)(NodeId table, uint32_t position);
void set_key_normalizer(KeyNormalizer fn);

}  // namespace kel::hashtable
