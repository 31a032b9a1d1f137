// Action dispatch: the typed forms of the actions, which find a value's
// function in the per-type action table and call it, and the comparison layer
// on top of action compare.
//
// This is the part runtime code calls with explicit values. The stack forms
// (which read the arguments of an action! call from the argument frame), the
// dispatcher table of action! values and port actors are
// runtime/evaluator/dispatch.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::actions {

// script/expect-arg for an action that the type lacks: the word of the
// innermost named call (the action's own name outside any call), the
// datatype and the word of that call's first argument.
[[noreturn]] void fire_expect_arg(int action, uint32_t type);

// The slot of a type for an action; an empty slot raises script/expect-arg.
// The typed forms of the series and I/O actions send a port with a native
// actor table to its entries (dispatch.h's lookup_value).
inline datatype::Action lookup(uint32_t type, int action) {
    datatype::Action fn = datatype::slot(type, action);
    if (!fn) [[unlikely]]
        fire_expect_arg(action, type);
    return fn;
}
inline datatype::Action lookup_for_value(const Cell& value, int action) { return lookup(type_of(value), action); }

// The typed slot of a value's type for action A.
template <int A>
typename ActionSlot<A>::type slot_for(uint32_t type) {
    return reinterpret_cast<typename ActionSlot<A>::type>(lookup(type, A));
}

// script/not-related for an action on an operand of an unrelated type: the
// call's word as for expect-arg and the operand's datatype.
[[noreturn]] void fire_not_related(int action, uint32_t type);

// Typed forms ---------------------------------------------------------------
//
// Each has its slot's signature (datatype.h): the answer goes into `out`,
// which may be the first argument's cell (the stack forms pass the frame's
// first cell for both) and must stay put for the call.

// make and to: by the type a datatype! proto names, else the proto's type.
void make(Cell* out, Cell* proto, Cell* spec);
void to(Cell* out, Cell* proto, Cell* spec);
void random(Cell* out, Cell* value, const RandomOptions& options);
void reflect(Cell* out, Cell* value, int32_t field);
// Appends the text of value to the target string; returns limit minus the
// code points written.
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
// The value's formed text as a new string!.
Cell formed(const Cell& value);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void complement(Cell* out, Cell* value);
void clear(Cell* out, Cell* series);
void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);
// The slot's count: -1 stands for none.
int32_t length(Cell* series);
void pick(Cell* out, Cell* series, int32_t index, Cell* index_cell);
void poke(Cell* out, Cell* series, int32_t index, Cell* value, Cell* index_cell);
void remove(Cell* out, Cell* series, Cell* part, Cell* key);
void take(Cell* out, Cell* series, const TakeOptions& options);
void modify(Cell* out, Cell* value, Cell* field, Cell* new_value, bool case_sensitive);
void negate(Cell* out, Cell* value);
void round(Cell* out, Cell* value, const RoundOptions& options);
bool even(const Cell& value);
bool odd(const Cell& value);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
// append and insert take the counts of the action layer (datatype.h,
// AppendOptions): a /part series already turned into a count.
void append(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
void insert(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
void copy(Cell* out, Cell* series, const CopyOptions& options);
void move(Cell* out, Cell* origin, Cell* target, Cell* part);
void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive);
void reverse(Cell* out, Cell* series, Cell* part, Cell* skip);
void sort(Cell* out, Cell* series, const SortOptions& options);
void swap(Cell* out, Cell* series1, Cell* series2);
void trim(Cell* out, Cell* series, const TrimOptions& options);
// The I/O actions: a port's own actor when it has one, else its type's slot.
void read(Cell* out, Cell* source, const ReadArgs& args);
void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args);
void open(Cell* out, Cell* spec, const OpenArgs& args);
void delete_(Cell* out, Cell* target);
void query(Cell* out, Cell* target);
void rename(Cell* out, Cell* from, Cell* to);
void create(Cell* out, Cell* port);
void close(Cell* out, Cell* port);
void update(Cell* out, Cell* port);

// Comparison ----------------------------------------------------------------

// The machine truth of value1 <op> value2 (ops 0-6 and 9-12). Values that
// cannot be compared are unequal; ordering them (ops 3-6) raises
// script/invalid-compare.
bool compare(const Cell& value1, const Cell& value2, int32_t op);
// The three-way result of value1's compare function, -2 included, without
// the "cannot compare" error.
int32_t compare_values(const Cell& value1, const Cell& value2, int32_t op);
// Compares the first two cells of the current argument frame and makes the
// first a logic! holding the answer.
void compare_to_logic(int32_t op);

}  // namespace kel::actions
