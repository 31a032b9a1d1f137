// The symbol table and the word tables of contexts: hash tables of kind 2.
//
// Every spelling of a word is interned once in the symbol block, a block of
// symbol! cells; its symbol id is its 1-based position there. Spellings that
// differ only in the case of ASCII letters are distinct symbols linked by an
// alias: the later one records the id of the one interned first, so that
// case-insensitive code compares canonical ids (runtime/datatypes/symbol.h).
//
// A context finds its words through a word table whose block holds one word!
// cell per word (header word!, word 1 the context node, word 2 the symbol id,
// word 3 the index) in the order the words were added; the key of a bucket is
// that index. Neither table ever deletes an entry.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/hashing/hashtable.h"

namespace kel::hashtable {

// The id of the spelling (n bytes of UTF-8), added when new. With `any_case`
// a spelling equal ignoring ASCII case is a match, answered by the id of the
// variant interned first; without it only the exact spelling is, and a new
// case variant records the variant interned first as its alias. The spelling
// may lie in a series buffer.
int32_t find_or_add_symbol(NodeId table, const uint8_t* spelling, uint32_t n, bool any_case);

// Looks the symbol up in a word table (`by_alias`: compared by canonical id).
// Present: returns its index (also stored through `index` when adding).
// Absent: with `context` 0 returns -1; otherwise appends a word cell bound to
// `context`, stores the new index through `index` and returns -1. Adds no
// value slot: the context module does that.
int32_t find_or_add_ctx_word(NodeId table, int32_t symbol, bool by_alias, NodeId context, int32_t* index);

// The word cell at an index of a context's word table (context! cell).
Cell* get_ctx_word(const Cell& context, int32_t index);
// The buffer and the node of a context's word block.
SeriesBuffer* get_ctx_words(const Cell& context);
NodeId get_ctx_words_node(const Cell& context);

}  // namespace kel::hashtable

namespace kel::symbol_table {

inline constexpr uint32_t INITIAL_SYMBOLS = 4000;

// Makes the symbol block (a cell of the root block) and the symbol table for
// 4000 symbols; later calls do nothing.
void init();
NodeId table();
NodeId block();
// Marks the table, the symbol block and every spelling (for the collector).
void mark();

}  // namespace kel::symbol_table
