// Contexts: the binding targets of words (the global context, objects,
// function specs) and the context! datatype (id 14, every action empty).
//
// A context is a node whose series holds exactly two cells: the context!
// cell and the owner value (the object, function or routine it belongs to;
// unset for the global context and unowned contexts). Words refer to a
// context by this node, which never moves.
//
// context! cell: header type 14, kind in bits 11-12 (0 global or plain,
// 1 function, 2 object), bit 22 values on the argument stack, bit 24 self;
// word 1 the word table (a hash table of kind 2 whose block holds one word!
// cell per word, in the order added); word 2 the values: the node of a block
// (value i belongs to word i), or with bit 22 the argument-stack index of the
// running call's first argument + 1 (0 while no call runs).
//
// A bound word (word family payload: context node, symbol id, index) finds
// its slot from its own cell alone: context node -> context! cell -> values
// block or stack index -> slot. `get` and `set` of a bound word are inline
// below; every error path is out of line.
//
// Case variants in the global context: a spelling that differs from an
// earlier one only in letter case gets a word cell of its own whose index is
// the first spelling's, so both read and write one slot.
//
// Collector discipline: every function here that adds words or makes a
// context may allocate. The addresses answered (slots, word cells) are good
// until the next allocation. The global context is marked by its root step.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
// A function word's slot is an argument cell counted from the stack's
// bottom, read inline: the word access path needs the stack's own pointers.
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/memory.h"

namespace kel::context {

inline constexpr uint32_t KIND_SHIFT = 11;
inline constexpr uint32_t KIND_MASK = 0x1800;
inline constexpr uint32_t KIND_GLOBAL = 0;
inline constexpr uint32_t KIND_FUNCTION = 1;
inline constexpr uint32_t KIND_OBJECT = 2;
inline constexpr uint32_t VALUES_ON_STACK = 0x400000;  // header bit 22
inline constexpr uint32_t SELF = 0x1000000;  // header bit 24
// The changed flag of a word cell in an object's word table (bit 13).
inline constexpr uint32_t WORD_CHANGED = 0x2000;
inline constexpr uint32_t NO_INDEX = 0xFFFFFFFFu;  // a word not resolved yet (-1)
inline constexpr uint32_t GLOBAL_SIZE = 4000;

// A context series and a values block keep their first cell at the start of
// their data (offset 0: they are made so and only ever grow at the tail), so
// the word access path reads them without the offset.
inline Cell* first_cell(NodeId node) { return reinterpret_cast<Cell*>(memory::buffer_of(node)->data()); }

// The context! cell and the owner cell of a context node (good until the
// next allocation).
inline Cell* cell_of(NodeId ctx) { return first_cell(ctx); }
inline Cell* owner_of(NodeId ctx) { return first_cell(ctx) + 1; }
inline uint32_t kind_of(const Cell& ctx_cell) { return (ctx_cell.header & KIND_MASK) >> KIND_SHIFT; }
inline bool on_stack(const Cell& ctx_cell) { return (ctx_cell.header & VALUES_ON_STACK) != 0; }

// The global context's node (0 before `init_global`).
NodeId global();

// Makes a context. size 0 counts as 1. With `prototype` (a context node, or
// 0) its word table is copied into the new one (the copied word cells still
// name the prototype's node: the caller rebinds them). Heap values get a
// block with room for size values and length 0; stack values leave word 2 0.
NodeId make(uint32_t size, bool values_on_stack, bool self, NodeId prototype, uint32_t kind);
// A context sized for the block's length holding every word!, get-word!,
// lit-word! and refinement! of it once (by alias, the first occurrence
// wins), in order; heap values get one unset value per word.
NodeId make_from_block(const Cell& block, bool values_on_stack, bool self, uint32_t kind);
// A context node holding a copy of a context! cell and its owner: natives
// and actions keep the context made from their spec only as such a copy, so
// binding a word to it (`in`) needs a node around it. The word table is
// shared with the copy.
NodeId make_around(const Cell& ctx_cell, const Cell& owner);
// A new context with the same words and flags as the one in value's word 1
// (kind replaced), every word cell rebound to it, heap values unset; value's
// word 1 is switched to the new node, which is also answered.
NodeId clone(Cell& value, uint32_t kind);

// Index of the symbol in the context, -1 when absent.
int32_t find_word(NodeId ctx, int32_t symbol, bool by_alias);
// Present: its index (also in *index); absent: adds a word cell (no value),
// stores the new index in *index and answers -1.
int32_t find_or_add(NodeId ctx, int32_t symbol, bool by_alias, int32_t* index);
// The index of the word's symbol (by alias); an absent one is added, with an
// unset value for heap values.
int32_t add_word(NodeId ctx, int32_t symbol);
// Adds the symbol with a copy of the value, or overwrites its value.
void add_or_set(NodeId ctx, int32_t symbol, const Cell& value);
// Absent: adds the symbol with a copy of the value and answers its slot.
// Present: changes nothing and answers null.
Cell* add_if_absent(NodeId ctx, int32_t symbol, const Cell& value);
// Adds every set-word of the block (from its clamped head); answers whether
// the word table grew.
bool collect_set_words(NodeId ctx, const Cell& block);
// When the word's symbol is in the context (by alias), binds the word to it
// and answers the index; otherwise -1 and the word is unchanged.
int32_t bind_word(NodeId ctx, Cell& word);
// Binds the words of the block and of its nested blocks, parens, paths and
// hash! values. With self, a plain word `self` is bound with index -1 (it
// reads the owner). A block met again while binding is skipped.
void bind(const Cell& block, NodeId ctx, bool self);

// The number of words of a context.
uint32_t word_count(NodeId ctx);
// The word cell at an index of the context's word table.
Cell* word_at(NodeId ctx, int32_t index);
// The first value cell of heap values.
inline Cell* values_of(const Cell& ctx_cell) { return first_cell(ctx_cell.data2); }

// Reading and writing --------------------------------------------------------

namespace detail {
Cell* get_slow(const Cell& word, NodeId ctx);
Cell* set_slow(Cell& word, const Cell& value, NodeId ctx, bool fire_on_change);
}  // namespace detail

// The slot of the word in the context: a word not resolved yet (index -1)
// reads the owner when it is `self`, else raises script/no-value; a context
// whose values are missing (a function outside its call) raises
// script/not-in-context.
inline Cell* get_in(const Cell& word, NodeId ctx) {
    int32_t index = int32_t(word.data3);
    const Cell* c = cell_of(ctx);
    if (index >= 0 && c->data2) [[likely]] {
        if (!(c->header & VALUES_ON_STACK)) return first_cell(c->data2) + index;
        return stack::state.bottom + (c->data2 - 1) + index;
    }
    return detail::get_slow(word, ctx);
}
// The slot of a word in its own context; an unbound word raises
// script/not-defined.
inline Cell* get(const Cell& word) {
    if (!word.data1) [[unlikely]]
        return detail::get_slow(word, 0);
    return get_in(word, word.data1);
}

// Copies the value into the word's slot and answers the slot. A word not
// resolved yet is looked up exactly (added when absent) and its index stored
// in the cell, which must therefore stay put for the call. A context without
// values raises script/not-defined. In an object context the word is marked
// changed and, with fire_on_change, the object's change handler is told.
inline Cell* set_in(Cell& word, const Cell& value, NodeId ctx, bool fire_on_change) {
    int32_t index = int32_t(word.data3);
    const Cell* c = cell_of(ctx);
    if (index >= 0 && c->data2 && (c->header & KIND_MASK) != (KIND_OBJECT << KIND_SHIFT)) [[likely]] {
        Cell* slot =
            (c->header & VALUES_ON_STACK) ? stack::state.bottom + (c->data2 - 1) + index : first_cell(c->data2) + index;
        *slot = value;
        return slot;
    }
    return detail::set_slow(word, value, ctx, fire_on_change);
}
inline Cell* set(Cell& word, const Cell& value) {
    if (!word.data1) [[unlikely]]
        return detail::set_slow(word, value, 0, true);
    return set_in(word, value, word.data1, true);
}

// The change handler of objects (installed by the object module): called by
// set_in for an object context whose owner has change handlers, after the
// value was stored, with the owner, the word, the old and the new value.
using OnChange = void (*)(const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value);
void install_on_change(OnChange handler);

// The global context --------------------------------------------------------

// The word cell of the symbol in the global context, added (with an unset
// value) when missing. With by_alias and keep_spelling, a word found under
// another spelling is answered with the requested spelling and the shared
// slot (a copy; the table keeps its own).
Cell add_global(int32_t symbol, bool by_alias, bool keep_spelling);
// The value slot of the symbol (by alias) in the context; a context whose
// values live on the stack is replaced by the global context. An absent
// symbol raises internal/bad-path with the word, never reading outside the
// values.
Cell* symbol_value(int32_t symbol, NodeId ctx);

// Makes the global context (size 4000, heap values, kind 0) and installs
// its root step; later calls do nothing.
void init_global();
// Registers context! (id 14, no parent, no action).
void init();

}  // namespace kel::context
