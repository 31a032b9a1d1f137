// The word family: word! (15), set-word! (16), lit-word! (17), get-word!
// (18), refinement! (19) and issue! (20).
//
// All six share one payload: word 1 the node of the context the word is
// bound to (0 unbound), word 2 the symbol id (with its case), word 3 the
// index in the context's word table (-1, 0xFFFFFFFF, until resolved). The
// header holds only the type id (and the new-line marker).
//
// Texts: form is the spelling; mold adds "'", ":", "/" or "#" before it
// (lit-word, get-word, refinement, issue) or ":" after it (set-word).
// Equality ignores letter case, type and binding; strict equality compares
// type and exact spelling; the orderings compare the spellings as text.
// A word and an issue cannot be compared.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/datatype.h"

namespace kel::word {

// The six word types (all-word!).
inline bool is_any_word(uint32_t type) { return type_families::is_all_word(type); }
inline int32_t symbol_of(const Cell& w) { return int32_t(w.data2); }
inline int32_t index_of(const Cell& w) { return int32_t(w.data3); }

// The cell becomes a word! of the symbol bound to the global context (the
// word is added there, with an unset value, when missing). Returns the cell.
Cell* make_at(int32_t symbol, Cell& cell);
// A word! of the symbol bound to the global context.
Cell make(int32_t symbol);
// The global word of a name (by alias, the requested spelling kept): what
// the runtime keeps for names it passes as values.
Cell make_global(const char* name);
// An unbound refinement! of a name.
Cell refinement_of(const char* name);
// An issue! of a name: the global context's node, index -1 (not added).
Cell issue_of(const char* name);
// A word! made at the block's tail / on the argument stack.
Cell* make_in(int32_t symbol, const Cell& block);
Cell* push_symbol(int32_t symbol);

// Services of the lexer ------------------------------------------------------
//
// The type a spelling scans as (one token, no values made), and the single
// value a text loads as (none unless the whole text was consumed). Until the
// lexer installs them, converting an issue!, refinement!, string! or char!
// to a word type raises internal/not-done.
struct LexerServices {
    uint32_t (*scan_spelling)(const uint8_t* utf8, uint32_t length) = nullptr;
    void (*load_value)(Cell* out, const Cell& text) = nullptr;
};
LexerServices& lexer_services();

// Registers the six types (word! first: the others inherit from it).
void init();

}  // namespace kel::word
