// The datatype registry: the per-type action table, the type-name table and
// datatype! values.
//
// Every datatype module registers one record in its init function: its type
// id, its parent's id (0 for none), its name with the trailing "!" and one
// slot per action (62, in action-index order). A slot holds the type's
// function, nothing (the type lacks the action) or "inherit": the parent's
// slot as it stands at that moment is copied. Inheritance is a copy made at
// registration, not a chain followed at dispatch.
//
// Slots are stored type-erased (`Action`); each action's real signature is
// fixed by `ActionSlot<A>` below, and the record builder accepts only a
// function of that signature, so a mismatch is a compile error.
//
// Results: a slot that answers a value writes it into the caller's result
// cell `out`, its first parameter, and returns nothing; it never answers a
// pointer (to a static cell, to one of its arguments or into a buffer) that
// the caller could then write through. `out` may be the cell of the first
// value argument (the argument frame's first cell, where the evaluator keeps
// a call's result), never a cell of another argument: a slot reads that
// first argument before it writes `out`. The plain slots read the current
// argument frame and write its first cell the same way. Counts and
// comparisons (form, mold, compare, length?) answer plain integers.
//
// Cells passed to slot functions by pointer, `out` included, stay put for
// the call (argument-frame cells, root cells, locals of the caller), never
// cells of a series buffer, which may move; cells passed by value may come
// from any buffer. A slot writes `out` after its last allocation: a series it
// answers is then never left in an unguarded local across a collection.
//
// datatype! (id 1): header exactly 1, payload word 1 the type id it names.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/types.h"

namespace kel {

// Action indices (1-based, slot order). 8 and 57 (open?) are empty for every
// type; eval-path is reached through path evaluation and compare through the
// comparison layer.
inline constexpr int ACTION_MAKE = 1;
inline constexpr int ACTION_RANDOM = 2;
inline constexpr int ACTION_REFLECT = 3;
inline constexpr int ACTION_TO = 4;
inline constexpr int ACTION_FORM = 5;
inline constexpr int ACTION_MOLD = 6;
inline constexpr int ACTION_EVAL_PATH = 7;
inline constexpr int ACTION_COMPARE = 9;
inline constexpr int ACTION_ABSOLUTE = 10;
inline constexpr int ACTION_ADD = 11;
inline constexpr int ACTION_DIVIDE = 12;
inline constexpr int ACTION_MULTIPLY = 13;
inline constexpr int ACTION_NEGATE = 14;
inline constexpr int ACTION_POWER = 15;
inline constexpr int ACTION_REMAINDER = 16;
inline constexpr int ACTION_ROUND = 17;
inline constexpr int ACTION_SUBTRACT = 18;
inline constexpr int ACTION_EVEN_Q = 19;
inline constexpr int ACTION_ODD_Q = 20;
inline constexpr int ACTION_AND_T = 21;  // and~
inline constexpr int ACTION_COMPLEMENT = 22;
inline constexpr int ACTION_OR_T = 23;  // or~
inline constexpr int ACTION_XOR_T = 24;  // xor~
inline constexpr int ACTION_APPEND = 25;
inline constexpr int ACTION_AT = 26;
inline constexpr int ACTION_BACK = 27;
inline constexpr int ACTION_CHANGE = 28;
inline constexpr int ACTION_CLEAR = 29;
inline constexpr int ACTION_COPY = 30;
inline constexpr int ACTION_FIND = 31;
inline constexpr int ACTION_HEAD = 32;
inline constexpr int ACTION_HEAD_Q = 33;
inline constexpr int ACTION_INDEX_Q = 34;
inline constexpr int ACTION_INSERT = 35;
inline constexpr int ACTION_LENGTH_Q = 36;
inline constexpr int ACTION_MOVE = 37;
inline constexpr int ACTION_NEXT = 38;
inline constexpr int ACTION_PICK = 39;
inline constexpr int ACTION_POKE = 40;
inline constexpr int ACTION_PUT = 41;
inline constexpr int ACTION_REMOVE = 42;
inline constexpr int ACTION_REVERSE = 43;
inline constexpr int ACTION_SELECT = 44;
inline constexpr int ACTION_SORT = 45;
inline constexpr int ACTION_SKIP = 46;
inline constexpr int ACTION_SWAP = 47;
inline constexpr int ACTION_TAIL = 48;
inline constexpr int ACTION_TAIL_Q = 49;
inline constexpr int ACTION_TAKE = 50;
inline constexpr int ACTION_TRIM = 51;
inline constexpr int ACTION_CREATE = 52;
inline constexpr int ACTION_CLOSE = 53;
inline constexpr int ACTION_DELETE = 54;
inline constexpr int ACTION_MODIFY = 55;
inline constexpr int ACTION_OPEN = 56;
inline constexpr int ACTION_OPEN_Q = 57;
inline constexpr int ACTION_QUERY = 58;
inline constexpr int ACTION_READ = 59;
inline constexpr int ACTION_RENAME = 60;
inline constexpr int ACTION_UPDATE = 61;
inline constexpr int ACTION_WRITE = 62;

inline constexpr int ACTION_COUNT = 62;

// Comparison op codes. A compare function answers negative, 0, positive, or
// -2 when the values cannot be compared; only the ordering ops 3-6 turn -2
// into an error. 7 and 8 are three-way only (never given to actions::compare).
inline constexpr int32_t COMP_EQUAL = 0;
inline constexpr int32_t COMP_NOT_EQUAL = 1;
inline constexpr int32_t COMP_STRICT_EQUAL = 2;  // same type and, for text, same case
inline constexpr int32_t COMP_LESSER = 3;
inline constexpr int32_t COMP_LESSER_EQUAL = 4;
inline constexpr int32_t COMP_GREATER = 5;
inline constexpr int32_t COMP_GREATER_EQUAL = 6;
inline constexpr int32_t COMP_SORT = 7;  // the ordering of sort
inline constexpr int32_t COMP_CASE_SORT = 8;  // case-sensitive sort order
inline constexpr int32_t COMP_SAME = 9;  // identity (same?)
inline constexpr int32_t COMP_CASE_MATCH = 10;  // case-sensitive literal match
inline constexpr int32_t COMP_MATCH = 11;  // literal match, ignoring case
inline constexpr int32_t COMP_FIND = 12;  // equality of find, select, put and parse
inline constexpr int32_t COMP_NOT_COMPARABLE = -2;

// The ops that unset!, none! and logic! answer: equality, identity, find
// equality and the two sort orders. They cannot be ordered (3-6) nor matched
// as literals (10, 11).
inline bool is_equality_or_sort_op(int32_t op) {
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SORT:
    case COMP_CASE_SORT:
    case COMP_SAME:
    case COMP_FIND:
        return true;
    default:
        return false;
    }
}

// Math op codes, shared by the op cores of every numeric and logic type.
inline constexpr int32_t MATH_ADD = 0;
inline constexpr int32_t MATH_SUBTRACT = 1;
inline constexpr int32_t MATH_MULTIPLY = 2;
inline constexpr int32_t MATH_DIVIDE = 3;
inline constexpr int32_t MATH_REMAINDER = 4;
inline constexpr int32_t MATH_OR = 5;
inline constexpr int32_t MATH_AND = 6;
inline constexpr int32_t MATH_XOR = 7;

// The action a math op code comes from, for error reports.
inline int action_of_math_op(int32_t op) {
    switch (op) {
    case MATH_ADD:
        return ACTION_ADD;
    case MATH_SUBTRACT:
        return ACTION_SUBTRACT;
    case MATH_MULTIPLY:
        return ACTION_MULTIPLY;
    case MATH_DIVIDE:
        return ACTION_DIVIDE;
    case MATH_REMAINDER:
        return ACTION_REMAINDER;
    case MATH_OR:
        return ACTION_OR_T;
    case MATH_AND:
        return ACTION_AND_T;
    default:
        return ACTION_XOR_T;
    }
}

// Options of find and select (select ignores tail and match). The cells are
// null when their refinement was not given.
struct FindOptions {
    const Cell* part = nullptr;
    bool only = false;
    bool case_sensitive = false;
    bool same = false;
    bool any = false;
    const Cell* with = nullptr;
    const Cell* skip = nullptr;
    bool last = false;
    bool reverse = false;
    bool tail = false;
    bool match = false;
};

// Options of mold. limit is the number of code points the mold may still
// write (it counts only with /part; without it the action passes
// 2,147,483,647); indent is the nesting level of the value being molded.
struct MoldOptions {
    bool only = false;
    bool all = false;
    bool flat = false;
    bool part = false;
    int64_t limit = INT32_MAX;
    int32_t indent = 0;
};

// Refinements of random.
struct RandomOptions {
    bool seed = false;
    bool secure = false;
    bool only = false;
};

// Refinements of take; part is null when /part was not given.
struct TakeOptions {
    const Cell* part = nullptr;
    bool deep = false;
    bool last = false;
};

// Refinements of round. `scale` is the /to argument, null without /to. At
// most one of the rounding rules is expected; when several are given the
// first in this order decides: down, floor, ceiling, then the tie rules
// even, half_down, half_ceiling.
struct RoundOptions {
    const Cell* scale = nullptr;
    bool even = false;
    bool down = false;
    bool half_down = false;
    bool floor = false;
    bool ceiling = false;
    bool half_ceiling = false;
};

// The counts of append, insert and change, as the action layer hands them:
// part is the number of source values to use (-1 without /part; change:
// the number of target values to replace), dup the /dup count (1 without
// /dup). The action layer has turned a /part series into a count and does not
// call the slot for a /dup count below 1. With only, a block source is one
// value.
struct AppendOptions {
    int32_t part = -1;
    bool only = false;
    int32_t dup = 1;
};

// Refinements of copy; the cells are null when their refinement was not
// given. types is a datatype! or a typeset! (the action layer checks it).
struct CopyOptions {
    const Cell* part = nullptr;
    bool deep = false;
    const Cell* types = nullptr;
};

// Refinements of sort; the cells are null when their refinement was not
// given. compare is a function! or an integer! offset into each record.
struct SortOptions {
    bool case_sensitive = false;
    const Cell* skip = nullptr;
    const Cell* compare = nullptr;
    const Cell* part = nullptr;
    bool all = false;
    bool reverse = false;
    bool stable = false;
};

// Refinements of trim; with is null without /with.
struct TrimOptions {
    bool head = false;
    bool tail = false;
    bool automatic = false;  // /auto
    bool lines = false;
    bool all = false;
    const Cell* with = nullptr;
};

// Refinements of read, write and open; a cell is null when its refinement
// was not given (a flag is false).
struct ReadArgs {
    const Cell* part = nullptr;
    const Cell* seek = nullptr;
    bool binary = false;
    bool lines = false;
    bool info = false;
    const Cell* as = nullptr;
};
struct WriteArgs {
    bool binary = false;
    bool lines = false;
    bool info = false;
    bool append = false;
    const Cell* part = nullptr;
    const Cell* seek = nullptr;
    const Cell* allow = nullptr;
    const Cell* as = nullptr;
};
struct OpenArgs {
    bool new_ = false;
    bool read = false;
    bool write = false;
    bool seek = false;
    const Cell* allow = nullptr;
};
// The rest of a path step, beside the parent, the element and the value to
// set (null for a get): the path itself, the value before the parent and the
// element before this one (null when there is none), the element's index,
// and the flags of path evaluation.
struct PathStep {
    Cell* path = nullptr;
    Cell* grand_parent = nullptr;
    Cell* previous = nullptr;
    int32_t index = -1;
    bool case_sensitive = false;
    bool get = false;
    bool last = true;
    bool event = false;
};

// The signature of each action's slot function. Actions without a
// specialisation here have none fixed yet: registering a function for them is
// a compile error until one is added.
template <int A>
struct ActionSlot;

// Plain actions read the current argument frame and leave their result in
// its first cell.
struct PlainSlot {
    using type = void (*)();
};
template <>
struct ActionSlot<ACTION_ABSOLUTE> : PlainSlot {};
template <>
struct ActionSlot<ACTION_ADD> : PlainSlot {};
template <>
struct ActionSlot<ACTION_DIVIDE> : PlainSlot {};
template <>
struct ActionSlot<ACTION_MULTIPLY> : PlainSlot {};
template <>
struct ActionSlot<ACTION_POWER> : PlainSlot {};
template <>
struct ActionSlot<ACTION_REMAINDER> : PlainSlot {};
template <>
struct ActionSlot<ACTION_SUBTRACT> : PlainSlot {};
template <>
struct ActionSlot<ACTION_AND_T> : PlainSlot {};
template <>
struct ActionSlot<ACTION_OR_T> : PlainSlot {};
template <>
struct ActionSlot<ACTION_XOR_T> : PlainSlot {};
template <>
struct ActionSlot<ACTION_AT> : PlainSlot {};
template <>
struct ActionSlot<ACTION_BACK> : PlainSlot {};
template <>
struct ActionSlot<ACTION_HEAD> : PlainSlot {};
template <>
struct ActionSlot<ACTION_HEAD_Q> : PlainSlot {};
template <>
struct ActionSlot<ACTION_INDEX_Q> : PlainSlot {};
template <>
struct ActionSlot<ACTION_NEXT> : PlainSlot {};
template <>
struct ActionSlot<ACTION_SKIP> : PlainSlot {};
template <>
struct ActionSlot<ACTION_TAIL> : PlainSlot {};
template <>
struct ActionSlot<ACTION_TAIL_Q> : PlainSlot {};

// make and to (out, proto, spec, target type id): the new value.
template <>
struct ActionSlot<ACTION_MAKE> {
    using type = void (*)(Cell* out, Cell* proto, Cell* spec, uint32_t type);
};
template <>
struct ActionSlot<ACTION_TO> {
    using type = void (*)(Cell* out, Cell* proto, Cell* spec, uint32_t type);
};
// random (out, value, options): the drawn value, the shuffled series, or
// unset after /seed.
template <>
struct ActionSlot<ACTION_RANDOM> {
    using type = void (*)(Cell* out, Cell* value, const RandomOptions& options);
};
// reflect (out, value, field symbol id): the field's value.
template <>
struct ActionSlot<ACTION_REFLECT> {
    using type = void (*)(Cell* out, Cell* value, int32_t field);
};
// form (value, target string, /part given, limit) -> limit minus the code
// points appended to the target.
template <>
struct ActionSlot<ACTION_FORM> {
    using type = int64_t (*)(Cell value, Cell buffer, bool part, int64_t limit);
};
// mold (value, target string, options) -> options.limit minus the code
// points appended.
template <>
struct ActionSlot<ACTION_MOLD> {
    using type = int64_t (*)(Cell value, Cell buffer, const MoldOptions& options);
};
// compare (value1, value2, comparison op) -> negative, 0, positive, or -2
// when the values cannot be compared. Compare functions never allocate.
template <>
struct ActionSlot<ACTION_COMPARE> {
    using type = int32_t (*)(const Cell& value1, const Cell& value2, int32_t op);
};
// complement (out, value): the complemented value.
template <>
struct ActionSlot<ACTION_COMPLEMENT> {
    using type = void (*)(Cell* out, Cell* value);
};
// clear (out, series): the series, cleared from its head.
template <>
struct ActionSlot<ACTION_CLEAR> {
    using type = void (*)(Cell* out, Cell* series);
};
// find and select (out, series, value, options): the series at the found
// position (select: the value after it), or none.
template <>
struct ActionSlot<ACTION_FIND> {
    using type = void (*)(Cell* out, Cell* series, Cell* value, const FindOptions& options);
};
template <>
struct ActionSlot<ACTION_SELECT> {
    using type = void (*)(Cell* out, Cell* series, Cell* value, const FindOptions& options);
};
// length? (series) -> units from the head, or -1, which the action answers as
// none.
template <>
struct ActionSlot<ACTION_LENGTH_Q> {
    using type = int32_t (*)(Cell* series);
};
// pick (out, series, index, index cell): a copy of the value there, or none.
template <>
struct ActionSlot<ACTION_PICK> {
    using type = void (*)(Cell* out, Cell* series, int32_t index, Cell* index_cell);
};
// poke (out, series, index, value, index cell): the value poked.
template <>
struct ActionSlot<ACTION_POKE> {
    using type = void (*)(Cell* out, Cell* series, int32_t index, Cell* value, Cell* index_cell);
};
// remove (out, series, /part cell or null, /key cell or null): the series.
template <>
struct ActionSlot<ACTION_REMOVE> {
    using type = void (*)(Cell* out, Cell* series, Cell* part, Cell* key);
};
// take (out, series, options): the taken value(s).
template <>
struct ActionSlot<ACTION_TAKE> {
    using type = void (*)(Cell* out, Cell* series, const TakeOptions& options);
};
// negate (out, value): the negated value.
template <>
struct ActionSlot<ACTION_NEGATE> {
    using type = void (*)(Cell* out, Cell* value);
};
// round (out, value, refinements): the rounded value.
template <>
struct ActionSlot<ACTION_ROUND> {
    using type = void (*)(Cell* out, Cell* value, const RoundOptions& options);
};
// even? and odd? (value) -> the machine truth, which the action answers as a
// logic!.
template <>
struct ActionSlot<ACTION_EVEN_Q> {
    using type = bool (*)(const Cell& value);
};
template <>
struct ActionSlot<ACTION_ODD_Q> {
    using type = bool (*)(const Cell& value);
};
// eval-path (out, parent, element, value to set or null, the rest of the
// step): the value read, or the value set.
template <>
struct ActionSlot<ACTION_EVAL_PATH> {
    using type = void (*)(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
};
// modify (out, value, field, new value, /case): the new value.
template <>
struct ActionSlot<ACTION_MODIFY> {
    using type = void (*)(Cell* out, Cell* value, Cell* field, Cell* new_value, bool case_sensitive);
};
// append and insert (out, series, value, counts, append): one function
// serves both; append is true for append. The series at its head (append) or
// just past the inserted values (insert).
template <>
struct ActionSlot<ACTION_APPEND> {
    using type = void (*)(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append);
};
template <>
struct ActionSlot<ACTION_INSERT> : ActionSlot<ACTION_APPEND> {};
// change (out, series, value, counts): the series just past the written values.
template <>
struct ActionSlot<ACTION_CHANGE> {
    using type = void (*)(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
};
// copy (out, series, options): the new series.
template <>
struct ActionSlot<ACTION_COPY> {
    using type = void (*)(Cell* out, Cell* series, const CopyOptions& options);
};
// move (out, origin, target, /part cell or null): the target.
template <>
struct ActionSlot<ACTION_MOVE> {
    using type = void (*)(Cell* out, Cell* origin, Cell* target, Cell* part);
};
// put (out, series, key, value, /case): the value.
template <>
struct ActionSlot<ACTION_PUT> {
    using type = void (*)(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive);
};
// reverse (out, series, /part cell or null, /skip cell or null): the series.
template <>
struct ActionSlot<ACTION_REVERSE> {
    using type = void (*)(Cell* out, Cell* series, Cell* part, Cell* skip);
};
// sort (out, series, options): the series, at a head moved back by a
// negative /part.
template <>
struct ActionSlot<ACTION_SORT> {
    using type = void (*)(Cell* out, Cell* series, const SortOptions& options);
};
// swap (out, series1, series2): series1.
template <>
struct ActionSlot<ACTION_SWAP> {
    using type = void (*)(Cell* out, Cell* series1, Cell* series2);
};
// trim (out, series, options): the series.
// read (out, source, refinements): the data read.
template <>
struct ActionSlot<ACTION_READ> {
    using type = void (*)(Cell* out, Cell* source, const ReadArgs& args);
};
// write (out, destination, data, refinements): unset, or what the target
// answers (an HTTP reply).
template <>
struct ActionSlot<ACTION_WRITE> {
    using type = void (*)(Cell* out, Cell* destination, Cell* data, const WriteArgs& args);
};
// open (out, spec, refinements): the port opened.
template <>
struct ActionSlot<ACTION_OPEN> {
    using type = void (*)(Cell* out, Cell* spec, const OpenArgs& args);
};
// delete and query (out, target): a logic! / what the target reports.
template <>
struct ActionSlot<ACTION_DELETE> {
    using type = void (*)(Cell* out, Cell* target);
};
// create, close and update (out, port): what the port's actor answers.
template <>
struct ActionSlot<ACTION_CREATE> {
    using type = void (*)(Cell* out, Cell* port);
};
template <>
struct ActionSlot<ACTION_CLOSE> {
    using type = void (*)(Cell* out, Cell* port);
};
template <>
struct ActionSlot<ACTION_UPDATE> {
    using type = void (*)(Cell* out, Cell* port);
};
template <>
struct ActionSlot<ACTION_QUERY> {
    using type = void (*)(Cell* out, Cell* target);
};
// rename (out, from, to): a logic!.
template <>
struct ActionSlot<ACTION_RENAME> {
    using type = void (*)(Cell* out, Cell* from, Cell* to);
};
template <>
struct ActionSlot<ACTION_TRIM> {
    using type = void (*)(Cell* out, Cell* series, const TrimOptions& options);
};

namespace datatype {

// A slot function, type-erased; cast back through ActionSlot<A>::type.
using Action = void (*)();

// A registration record: a counted array of exactly RECORD_COUNT words:
// [type id, parent id (0: none), name (C string with "!"), 62 slots]. A slot
// word is a function's address, EMPTY, or INHERIT (only with a parent).
using RecordWord = uintptr_t;
inline constexpr uint32_t RECORD_COUNT = 3 + ACTION_COUNT;
inline constexpr RecordWord EMPTY = 0;
inline constexpr RecordWord INHERIT = ~RecordWord(0);

// Builds a record with every slot empty; own<A>(fn) and inherit<A>() fill
// slots. The record always has exactly 62 slots.
class Record {
public:
    Record(uint32_t id, uint32_t parent, const char* name) {
        words_.fill(EMPTY);
        words_[0] = id;
        words_[1] = parent;
        words_[2] = reinterpret_cast<RecordWord>(name);
    }
    template <int A>
    Record& own(typename ActionSlot<A>::type fn) {
        static_assert(A >= 1 && A <= ACTION_COUNT, "action index out of range");
        words_[2 + A] = reinterpret_cast<RecordWord>(fn);
        return *this;
    }
    template <int A>
    Record& inherit() {
        static_assert(A >= 1 && A <= ACTION_COUNT, "action index out of range");
        words_[2 + A] = INHERIT;
        return *this;
    }
    // Inherits every action of the list.
    template <int... As>
    Record& inherit_all() {
        (inherit<As>(), ...);
        return *this;
    }
    const RecordWord* words() const { return words_.data(); }

private:
    std::array<RecordWord, RECORD_COUNT> words_;
};

// Registers one type from a counted record. A count other than RECORD_COUNT
// prints the three "*** Datatype Error" lines and ends the process with
// status 98 ("assertion failed"); the type's row is not filled.
void register_record(uint32_t count, const RecordWord* record);

// A literal record of the wrong length does not compile.
template <size_t N>
void register_record(const RecordWord (&record)[N]) {
    static_assert(N == RECORD_COUNT, "a datatype record has a type id, a parent id, a name and 62 action slots");
    register_record(uint32_t(N), record);
}

inline void register_type(const Record& record) { register_record(RECORD_COUNT, record.words()); }

// The per-type action table: row t, column a holds type t's function for
// action a (column 0 unused). Written only by registration.
extern Action action_table[TYPE_TOTAL][ACTION_COUNT + 1];

// The slot of a type (0-56) for an action (1-62), or null; ids and actions
// outside the table have none.
inline Action slot(uint32_t type, int action) {
    if (type >= TYPE_TOTAL || action < 1 || action > ACTION_COUNT) return nullptr;
    return action_table[type][action];
}

// The highest type id registered so far.
uint32_t highest();

// Name of a registered type with its "!", and its length without the "!".
// Null and 0 for an id never registered.
const char* name(uint32_t type);
uint32_t name_length(uint32_t type);

// The global word of a type's name (a cell of the root block), or null
// while the type-name words have not been made.
const Cell* word(uint32_t type);

// Makes the global word of the name of every type registered so far, with
// make_global (the word module's maker of a global word from a name with
// "!"), and keeps each word in a root-block cell. Types registered afterwards
// get their word at once.
using WordMaker = Cell (*)(const char* name);
void make_words(WordMaker make_global);

// A datatype! cell for a type id.
inline Cell make(uint32_t type) { return Cell{TYPE_DATATYPE, type, 0, 0}; }
inline uint32_t type_of_value(const Cell& datatype) { return datatype.data1; }

// A new datatype! cell at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block, uint32_t type);
Cell* push(uint32_t type);

// The datatype! module's actions.
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);

// Registers datatype! (id 1).
void init();

}  // namespace datatype
}  // namespace kel
