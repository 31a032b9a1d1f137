// series!: the abstract datatype (id 42) that holds the positions and access
// actions every series type inherits. The same code serves every unit size:
// cells (16 bytes), code points (1, 2 or 4 bytes), bytes and vector elements.
//
// A series cell keeps its head index (in units, signed) in payload word 1 and
// its node in word 2; word 3 belongs to the type (hash table, element type,
// conversion cache). Positions in bytes are offset + head << log2(unit).
//
// The actions take their values as the action dispatcher hands them and write
// their answer into the result cell `out`, which may be the first argument's
// cell (the frame's first cell). The position actions (head, tail, back,
// next, at, skip, head?, tail?, index?) read the current argument frame and
// write its first cell.
//
// Predicates drop the trailing "?"; where that would collide with another
// function they end in `_q` instead (`tail` / `tail_q`).
//
// The `ks_` prefix marks the cell-level form of a series action (length?,
// head, tail, tail?, skip, next, clear, at ...): C++ code calls it directly
// on a series cell it holds, while the action of the same name is reached
// through the datatype's slot with the evaluator's arguments; the prefix
// keeps the two apart in one namespace.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/memory/memory.h"

namespace kel::series {

// Unit-aware helpers -----------------------------------------------------------

inline SeriesBuffer* buffer(const Cell& s) { return memory::buffer_of(cell_node(s)); }
inline int32_t head_index(const Cell& s) { return int32_t(s.data1); }
inline void set_head(Cell& s, int32_t head) { s.data1 = uint32_t(head); }

// The head is at or past the tail.
bool ks_tail_q(const Cell& s);
// Units from the buffer's offset to its tail, whatever the head.
int32_t ks_abs_length(const Cell& s);
// Moves the head by n when that position is not past the tail (no lower
// bound is checked); answers whether head + n lies at or past the tail.
bool ks_skip(Cell& s, int32_t n);
// Units from the head (from unit 0 with from_head) to the tail; a negative
// head counts as 0; a head past the tail is clamped in the cell to the length
// and the answer is 0.
int32_t length_in_units(Cell& s, bool from_head);
// The new head for at (at = true) and skip, from the series in the frame's
// first cell and the integer in its second, clamped to 0 .. total units;
// script/invalid-arg when the second cell is no integer!.
int32_t get_position(bool at);

// Actions reading the current argument frame -------------------------------------

void head();
void tail();
void back();
void next();
void at();
void skip();
void head_q();
void tail_q();
void index();

// Actions with explicit arguments -----------------------------------------------

// Units from the head (clamping a head past the tail).
int32_t length(Cell* s);
// The value at index (1-based; negative counts back from the head; 0 and
// outside positions answer none): a copy of the cell for block types, a
// char!, integer! or vector element otherwise.
void pick(Cell* out, Cell* s, int32_t index, Cell* index_cell);
// Writes value at index; script/out-of-range outside the series and
// script/invalid-arg for a value a string or vector cannot hold. Answers value.
void poke(Cell* out, Cell* s, int32_t index, Cell* value, Cell* index_cell);
// Drops the units from the head on; answers the series.
void clear(Cell* out, Cell* s);
// /seed seeds the generator from the series' bytes (answer unset); /only
// answers one random unit (none when empty) for one draw; otherwise shuffles
// in place from the head, one draw for each unit (the last one included), and
// answers the series.
void random(Cell* out, Cell* s, const RandomOptions& options);
// The only field is `owned`: the owner of the series, or none.
void reflect(Cell* out, Cell* s, int32_t field);
// With the field `owned`: none unbinds the owner, [object word] binds one.
// Answers value.
void modify(Cell* out, Cell* s, Cell* field, Cell* value, bool case_sensitive);

// move, remove, reverse, take and copy: the modifying actions every series
// type inherits, for any unit size. /part arguments are an integer! count or
// a series of the same type and buffer (its head minus the series' head);
// copy also takes a pair!. Another series is script/invalid-refine-arg.

// Moves /part units (1 without it) from origin's head to target's head,
// inside one series or between two of compatible kinds (block types with
// block types; text and bytes of one width, or code points between strings of
// any width); answers target. A target that is no series is
// script/expect-arg, incompatible kinds script/move-bad.
void move(Cell* out, Cell* origin, Cell* target, Cell* part);
// Removes one unit, or /part units, at the head; with /key, the key found
// (find /case) and the unit after it (or /part units after it), answering
// that position, or none when the key is absent.
void remove(Cell* out, Cell* series, Cell* part, Cell* key);
// Reverses the units from the head (or /part of them), or records of /skip
// units.
void reverse(Cell* out, Cell* series, Cell* part, Cell* skip);
// Takes one unit (or /part units, or the last ones with /last) out of the
// series into a new series of its type; none when the series is empty at its
// head. A /part of 0 takes nothing and answers an empty series; a negative
// /part takes the units just before the head. /deep is the caller's.
void take(Cell* out, Cell* series, const TakeOptions& options);
// A shallow copy from the head (or of /part); /deep and /types are the
// caller's. The copy has the series' type and new-line marker, head 0.
void copy(Cell* out, Cell* series, const CopyOptions& options);

// The count a /part argument stands for: an integer!'s value, or for a
// series of s' type and buffer its head minus s' head. Anything else is
// script/invalid-refine-arg.
int64_t part_count(const Cell& s, const Cell& part);

// script/invalid-refine-arg naming the refinement (from the runtime word
// table) and its argument.
[[noreturn]] void fire_invalid_refine_arg(words::Ref refinement, const Cell& arg);

// Registers series! (id 42, no parent) with its action slots.
void init();

// Services of neighbouring modules ------------------------------------------------
//
// Random draws go through random::uniform (runtime/numbers/random.h).
// Change notification of owned series, the `owned` field word and vector!
// elements belong to modules that register after series! (ownership,
// object!, vector!), which install their functions here. Without them no
// owner is told of changes, reflect and modify know no field, and picking or
// poking a vector! raises internal/not-done.

// The kinds of change reported to the owner of a series: the action's word
// before the change and its past form after it (`swaped` and `put-ed` are
// spelled as the owner's handlers expect them), and `set-path` for a path
// that sets a value in a series.
enum class Change : uint8_t {
    random,
    randomized,
    clear,
    cleared,
    poke,
    poked,
    append,
    appended,
    insert,
    inserted,
    change,
    changed,
    swap,
    swaped,
    trim,
    trimmed,
    put,
    put_ed,
    move,
    moved,
    remove,
    removed,
    reverse,
    reversed,
    take,
    taken,
    sort,
    sorted,
    set_path,
    uppercase,
    lowercase,
};

struct Services {
    // Tells the owner of an owned series of a change; 1 when told.
    int (*check_owner)(const Cell& value, Change change, const Cell* new_value, int32_t index, int32_t part) = nullptr;
    // The owner of a series (a cell holding the owner object, the field word
    // just after it), or null.
    Cell* (*get_owner)(NodeId node) = nullptr;
    // Binds the owner of a value (owner and word given) or unbinds it (null).
    void (*set_owner)(const Cell& value, const Cell* owner, const Cell* word) = nullptr;
    // Canonical symbol id of the word `owned` (0: not known yet).
    int32_t owned_symbol = 0;
    // A vector element (at `element`, of the vector's element type and width)
    // as a new value on the argument stack.
    Cell* (*vector_push_value)(const uint8_t* element, uint32_t type, uint32_t width) = nullptr;
    // Stores a value of the vector's element type into the element.
    void (*vector_set_value)(const Cell& vector, const Cell& value, uint8_t* element) = nullptr;
};
Services& services();

// Tells the owner of an owned series of a change at index (units from the
// series start) over part units, through the installed check_owner; a series
// without an owner is not looked up. Answers whether the owner was told: the
// action then reports the change's past form after it. The owner's handler
// may run Kel code: a caller re-reads its buffers afterwards.
int check(const Cell& s, Change change, const Cell* new_value, int32_t index, int32_t part);

}  // namespace kel::series
