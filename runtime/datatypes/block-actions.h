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
#include "runtime/datatypes/datatype.h"

namespace kel::block {

// Set-operation codes (unique, union, intersect, exclude, difference).
inline constexpr int32_t SET_UNIQUE = 8;
inline constexpr int32_t SET_UNION = 9;
inline constexpr int32_t SET_INTERSECT = 10;
inline constexpr int32_t SET_EXCLUDE = 11;
inline constexpr int32_t SET_DIFFERENCE = 12;

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
