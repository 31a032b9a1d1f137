// Cell-level helpers on block-like series (block!, paren!, the four paths,
// hash!): positions, appending and inserting cells, look-ups, making blocks
// and copying them. They check no types and raise no language errors: the
// caller hands them block-like cells. At the end, what other modules call of
// the block! module itself: the set operations, the services later modules
// install and the registration. The action slots are declared in
// block-internal.h; other modules reach them through the action dispatch
// (runtime/evaluator/actions.h).
//
// A block cell keeps its head index (in cells, signed) in payload word 1, its
// series node in word 2 and, for hash!, its hash table in word 3. A head may
// lie past the tail after the buffer shrank; the helpers say where that is
// clamped.
//
// Collector discipline: every helper that adds cells or makes a block may
// allocate and so move series buffers. Cell addresses they return point into
// a buffer and are good only until the next allocation. A block cell passed by
// reference to a helper that writes to it (its head) must not itself live in
// a buffer that the call may move: use a stack cell, a root cell or a local.
//
// Predicates drop the trailing "?" of their name; where that would collide
// with another helper they end in `_q` instead (`ks_tail` / `ks_tail_q`).
//
// The `ks_` prefix marks the cell-level form of a series action (length?,
// head, tail, tail?, skip, next, clear, at ...): C++ code calls it directly
// on a series cell it holds, while the action of the same name is reached
// through the datatype's slot with the evaluator's arguments; the prefix
// keeps the two apart in one namespace.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace kel::block {

// The static cell that stands for "no parent" in make_fixed_in and make_in.
// The collector marks it.
Cell& root_cell();

// The buffer of a block cell.
inline SeriesBuffer* buffer(const Cell& blk) { return memory::buffer_of(cell_node(blk)); }

// Position and length (unit = one cell) --------------------------------------

// Cells from the head to the tail; negative when the head lies past the tail.
int32_t ks_length(const Cell& blk);
// The cell at the head; a head past the tail is first clamped in the cell.
Cell* ks_head(Cell& blk);
Cell* ks_tail(const Cell& blk);
// The head is exactly at the tail (a head past the tail answers false).
bool ks_tail_q(const Cell& blk);
// The cell `index` cells from the start of the buffer; no bound check.
Cell* ks_abs_at(const Cell& blk, int32_t index);
// Advances the head by one unless that passes the tail; answers whether the
// head is then exactly at the tail.
bool ks_next(Cell& blk);
// Drops everything from the head on (values sharing the buffer see it).
void ks_clear(const Cell& blk);
// Sets the tail n cells after the start of the buffer; never lengthens (the
// cells past the tail hold no values) and ignores a negative n.
void truncate_at(const Cell& blk, int32_t n);

// Adding cells -------------------------------------------------------------
//
// Every helper that adds or drops cells keeps a hash!'s table in step. A
// map! is not block-like here: its pairs and their table belong to the map!
// actions, and these helpers end the process with status 98 when handed one.

// A copy of value at the tail; returns the new cell.
Cell* append_cell(const Cell& blk, const Cell& value);
// Copies of the source's cells from its head to its tail, at the target's
// tail. Returns target.
const Cell& append_block(const Cell& target, const Cell& source);
// Inserts a copy of value at the head (at the buffer start with at_head);
// with advance the head moves past it. A hash! enters the cell in its table.
Cell& insert_cell(Cell& blk, const Cell& value, bool advance, bool at_head);
// Inserts the source's cells at the target's head, in order, advancing the
// target's head past each.
Cell& insert_block(Cell& target, const Cell& source);
// Inserts the result-slot cell into the block held just below it, at that
// block's head, advancing its head.
void insert_last();
// Appends a copy of the cell just above the result slot to the block in the
// result slot; returns that block cell.
Cell* append_to_last();
// Appends a copy of the result-slot cell to the block held just below it.
void append_last();

// Look-ups -----------------------------------------------------------------
//
// They answer a read-only cell: one of the block's (good until the next
// allocation) or the none-value constant. Callers copy it.

// The cell after the first cell (from the head) that the key's own compare
// finds equal (find equality); none-value when the match is last or absent.
const Cell* value_after_key(Cell& blk, const Cell& key);
// The cell after the first word, set-word, lit-word or get-word with the
// word's symbol (canonical symbols unless case_sensitive); none-value when
// the match is last or absent.
const Cell* value_after_word(Cell& blk, const Cell& word, bool case_sensitive);
// Removes the first cell equal to key (scanning from the head, or from the
// buffer start with from_head). True when the removed cell lay at or before
// the head; false otherwise and when nothing matched.
bool remove_equal(const Cell& blk, const Cell& key, bool from_head);

// Making blocks --------------------------------------------------------------

// The cell becomes an empty block! (flags kept, head 0) with room for n cells
// (n < 1 counts as 1).
Cell* make_at(Cell& cell, int32_t n);
// The same with the header set whole (block!, no flags); with fixed the
// buffer lies outside the collected heap and never moves, else n unset cells.
Cell* make_fixed_at(Cell& cell, int32_t n, bool fixed);
// A fixed block of n cells in a cell appended to parent (null: root_cell()).
Cell* make_fixed_in(Cell* parent, int32_t n);
// An empty block of n cells in a cell appended to parent (null: root_cell()).
Cell* make_in(Cell* parent, int32_t n);
// A copy of value on the argument stack.
Cell* push(const Cell& value);
// An empty block with room for n cells (0 counts as 1) on the argument stack.
Cell* push_only(int32_t n);

// Copies ---------------------------------------------------------------------

// The deepest nesting a deep copy follows: blocks nested up to this many
// levels below the copied one are copied. It matches the evaluator's own bound
// on nesting, its 12,000 call frames (a nested block or paren being
// evaluated holds one), so whatever code can nest while running, a deep copy
// can copy.
inline constexpr int32_t DEEP_COPY_LEVELS = 12000;

// A new block on the argument stack holding copies of the cells from the
// (clamped) head; with deep, nested block! values (and with paths also paren!
// and paths) are copied too. The copy has the source's type byte alone. A deep
// copy of a block that contains itself (at any depth) raises internal/no-cycle;
// one nested deeper than DEEP_COPY_LEVELS raises internal/too-deep.
Cell* push_copy(const Cell& blk, bool deep, bool paths);
// Replaces each series or container value among the cells start, start +
// step ... below end of the block series `node` (positions from the series
// start) whose type matches kind (a typeset! or a datatype!) by its copy made
// through the copy action: with deep, /deep /types kind, so the same filter
// applies further down.
void copy_nested(NodeId node, int32_t start, int32_t end, int32_t step, bool deep, const Cell& kind);

// The copy action as copy_nested calls it: replaces *value (a cell that stays
// put) by its copy, with /deep and /types kind when deep is set. The copy
// action installs it; until then copy_nested raises internal/not-done.
using CopyAction = void (*)(Cell* value, bool deep, const Cell& kind);
CopyAction set_copy_action(CopyAction copy);  // answers the one it replaces

// Set operations, services, registration ------------------------------------

// Set-operation codes (unique, union, intersect, exclude, difference).
inline constexpr int32_t SET_UNIQUE = 8;
inline constexpr int32_t SET_UNION = 9;
inline constexpr int32_t SET_INTERSECT = 10;
inline constexpr int32_t SET_EXCLUDE = 11;
inline constexpr int32_t SET_DIFFERENCE = 12;

// unique, union, intersect, exclude and difference (SET_* codes) of block
// values; set2 is null for unique and only then (else an internal fault,
// status 98). /skip groups records whose first cell is the key. A hash! on either side gives a hash! with a table of its own;
// otherwise the result has set1's type.
void set_operation(Cell* out, Cell* set1, Cell* set2, int32_t op, bool case_sensitive, const Cell* skip);

// Services of later modules ------------------------------------------------
//
// make and to of object!, map!, vector!, typeset! and string! values need
// modules that register after block!; each installs its function here. Each
// writes a new block! into out (a cell that stays put); without it those
// conversions raise internal/not-done.
struct Services {
    void (*object_body)(Cell* out, const Cell& object) = nullptr;  // the `body` reflection
    void (*map_body)(Cell* out, const Cell& map) = nullptr;  // the `body` reflection
    void (*vector_to_block)(Cell* out, const Cell& vector) = nullptr;
    void (*typeset_to_block)(Cell* out, const Cell& typeset) = nullptr;  // its datatype words
    void (*load_string)(Cell* out, const Cell& text) = nullptr;  // the lexer: text as source
};
Services& services();

// Registers block! (id 5, parent series!) and installs the copy action that
// copy_nested uses.
void init();

}  // namespace kel::block
