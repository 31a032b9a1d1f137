// Helpers shared by the files of the block! actions and the action slots
// they register; not for other modules.
//
// block! (type id 5, parent series!): the actions of blocks, which paren!,
// the path family and hash! inherit when they register.
//
// Positions are cell indices from the series start; a head past the tail is
// clamped where each action says. Every action that changes a block in place
// tells its owner before and after (series::check) and keeps a hash!'s table
// in step with the cells. The owner's handler and a sort comparator run Kel
// code: the actions re-read every buffer address after them.
//
// Shared sources: when the value given to insert, append or change is a block
// on the target's own buffer, its cells are copied (under a root guard)
// before anything moves, so the values written are those the source held
// before the call.
//
// Form and mold append to the target string and return the budget left; the
// caller cuts the text to a /part limit.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/cycle-guard.h"

namespace kel::block {

// Action slots -----------------------------------------------------------------

// make: from an integer! or float! count, an empty block with room for that
// many cells (at least 1); from any block type, a shallow copy; from object!,
// map! and vector!, their body or elements (through the services below);
// anything else is script/bad-make-arg. The header becomes the target type.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
// to: as make for the block types and object!, map!, vector!; a typeset!
// gives its datatype words and a string! is loaded as source text (services
// below); any other value gives a block holding it.
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);

// The values formed with single spaces (none after a value whose text ends in
// a line feed, carriage return or tab); nested blocks lose their brackets.
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
// The values in brackets (without them with /only), breaking lines at
// new-line markers unless /flat; a block that contains itself writes the cycle
// marker in place of the inner occurrence.
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// The values of a block without brackets, at the indentation of
// options.indent (paren! molds between its own parentheses with it).
int64_t mold_each(Cell value, Cell buffer, const MoldOptions& options);

// Three-way comparison of two blocks of one type (a path! and a lit-path! for
// the literal matches too); -2 for blocks of different types.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
// Path access: an integer picks or pokes; a set finds the key and replaces
// the value after it (script/bad-path-set when absent); a word get selects the
// value after the word in any word form; any other get selects /only.
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);
// Replaces the value after key, or appends key and value; answers value.
void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive);

// append and insert (append tells which); the counts as the action layer
// normalised them.
void append(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append);
void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
// take through series::take; without /part one value itself; with /deep the
// taken series are copies.
void take(Cell* out, Cell* series, const TakeOptions& options);
void swap(Cell* out, Cell* series1, Cell* series2);
// Removes every none! value from the head on; the refinements are ignored.
void trim(Cell* out, Cell* series, const TrimOptions& options);
// copy through series::copy; /deep copies nested series through the copy
// action (internal/no-cycle for a block that contains itself), /types only
// the values of those types.
void copy(Cell* out, Cell* series, const CopyOptions& options);
void sort(Cell* out, Cell* series, const SortOptions& options);

}  // namespace kel::block

namespace kel::block::detail {

// Keeps a node on the cycle guard while a walk is inside its series; the pop
// also runs when an error leaves the walk.
class Walking {
public:
    explicit Walking(NodeId node) { cycle_guard::push(node); }
    ~Walking() { cycle_guard::pop(); }
    Walking(const Walking&) = delete;
    Walking& operator=(const Walking&) = delete;
};

inline bool is_number(uint32_t type) { return type == TYPE_INTEGER || type == TYPE_FLOAT || type == TYPE_PERCENT; }

// The types whose values copy/deep and take/deep replace by copies: every
// series type (objects, maps and bitsets are shared).
inline bool is_copied_series(uint32_t type) { return series::is_series_type(type); }

// The typeset! holds the type (bit t in payload byte 4 + t / 8 under the mask
// 0x80 >> t mod 8).
inline bool typeset_has(const Cell& typeset, uint32_t type) {
    if (type >= 96) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&typeset);
    return (bytes[4 + (type >> 3)] & (0x80u >> (type & 7))) != 0;
}

// Three-way comparison through a's compare function, as
// actions::compare_values answers it; -2 when a's type has none. Compare
// functions never allocate. Inline: find and sort call it for every cell.
inline int32_t order(const Cell& a, const Cell& b, int32_t op) {
    auto fn = reinterpret_cast<ActionSlot<ACTION_COMPARE>::type>(datatype::slot(type_of(a), ACTION_COMPARE));
    if (!fn) return COMP_NOT_COMPARABLE;
    // compare_values orders two logic values by their truth itself; every
    // other pair gets the compare function's answer.
    if (type_of(a) == TYPE_LOGIC) return actions::compare_values(a, b, op);
    return fn(a, b, op);
}
// a equals b under the equality op through a's compare function; false when
// a's type has none.
inline bool equal(const Cell& a, const Cell& b, int32_t op) { return order(a, b, op) == 0; }

// Cells from the head (clamped into the series) to the tail, and that head.
inline int64_t head_of(const Cell& blk) { return series::head_inside(blk, int64_t(buffer(blk)->cell_count())); }
inline int64_t length_of(const Cell& blk) { return int64_t(buffer(blk)->cell_count()) - head_of(blk); }

// The search of find and select: the position of the match (cells from the
// series start) or -1, the cells the match covers (a sequence's length, else
// 1), and the position /tail answers.
struct Found {
    int64_t at;
    int64_t matched;
    int64_t after;
};
Found find_position(const Cell& series, const Cell& value, const FindOptions& options);

}  // namespace kel::block::detail
