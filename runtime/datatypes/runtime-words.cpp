// The runtime word table: interning the five groups once.
#include "runtime/datatypes/runtime-words.h"

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::words {

namespace {

#define KEL_SPELLING(name, spelling) spelling,
const char* const symbol_spellings[] = {KEL_RUNTIME_SYMBOLS(KEL_SPELLING)};
const char* const symbol_word_spellings[] = {KEL_RUNTIME_SYMBOL_WORDS(KEL_SPELLING)};
const char* const word_spellings[] = {KEL_RUNTIME_GLOBAL_WORDS(KEL_SPELLING)};
#undef KEL_SPELLING
const char* const refinement_spellings[] = {"local", "extern", "compare", "part", "skip", "with"};

static_assert(sizeof symbol_spellings / sizeof *symbol_spellings == 112);
static_assert(sizeof symbol_word_spellings / sizeof *symbol_word_spellings == 25);
static_assert(sizeof word_spellings / sizeof *word_spellings == 105);
static_assert(CELL_COUNT == 137);

int32_t symbol_ids[uint32_t(Sym::count)];
int32_t changed = 0;
NodeId block_node = 0;

constexpr uint32_t WORDS_AT = uint32_t(SymWord::count);
constexpr uint32_t REFINEMENTS_AT = WORDS_AT + uint32_t(Word::count);
constexpr uint32_t ISSUE_AT = REFINEMENTS_AT + uint32_t(Ref::count);

const Cell& cell_at(uint32_t i) { return memory::buffer_of(block_node)->cells()[i]; }

}  // namespace

void build() {
    if (block_node) return;
    for (uint32_t i = 0; i < uint32_t(Sym::count); ++i) symbol_ids[i] = symbol::make(symbol_spellings[i]);
    NodeId node = memory::alloc_fixed_series(CELL_COUNT, sizeof(Cell), 0);
    roots::append(Cell{TYPE_BLOCK, 0, node, 0});
    // The block is fixed: its cells never move, so they are written in place.
    Cell* c = memory::buffer_of(node)->cells();
    uint32_t at = 0;
    for (const char* s : symbol_word_spellings) c[at++] = context::add_global(symbol::make(s), false, false);
    for (const char* s : word_spellings) c[at++] = word::make_global(s);
    for (const char* s : refinement_spellings) c[at++] = word::refinement_of(s);
    c[at++] = word::issue_of("ooo");
    memory::buffer_of(node)->tail = memory::buffer_of(node)->offset + uint64_t(at) * sizeof(Cell);
    block_node = node;
    changed = int32_t(word(Word::changed).data2);
}

int32_t symbol(Sym s) { return symbol_ids[uint32_t(s)]; }
const Cell& word(SymWord w) { return cell_at(uint32_t(w)); }
const Cell& word(Word w) { return cell_at(WORDS_AT + uint32_t(w)); }
const Cell& refinement(Ref r) { return cell_at(REFINEMENTS_AT + uint32_t(r)); }
const Cell& issue_ooo() { return cell_at(ISSUE_AT); }
int32_t changed_symbol() { return changed; }
NodeId cells() { return block_node; }

bool is(int32_t symbol_id, Sym s) { return symbol::resolve(symbol_id) == symbol::resolve(symbol(s)); }

}  // namespace kel::words
