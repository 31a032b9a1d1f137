// The native table: 120 entries, 1-based, one uniform signature. A native
// reads its arguments from the current argument frame, gets `check` (1 from
// compiled callers: check the argument types; the interpreter passes 0, it
// checked them while fetching) and one int32 per refinement of its spec (-1
// when not used, else the frame index of the refinement's first argument),
// leaves its result in the frame's first cell and answers a status: 0, or the
// break, continue, return or exit code it sends on its way. An empty entry
// raises internal/not-done.
//
// Each family of natives registers, beside each function, the native's word
// and its spec block as Kel text (argument words, type blocks, refinements
// and the doc strings help shows). On the source path `make_words` turns them
// into the native! values of the global words at start-up; the boot image
// carries those values, made from the same texts at build time.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::natives {

inline constexpr int32_t TABLE_SIZE = 120;

using Native = uint32_t (*)(bool check, const int32_t* refinements);

// One position of the table.
struct Entry {
    Native fn = nullptr;
    const char* word = nullptr;  // the native's global word
    const char* spec = nullptr;  // its spec block's contents, as Kel text
};

// Native indexes, in table order (1-107; 108-120 stay empty).
enum Index : int32_t {
    IF = 1,
    UNLESS,
    EITHER,
    ANY,
    ALL,
    WHILE,
    UNTIL,
    LOOP,
    REPEAT,
    FOREVER,
    FOREACH,
    FORALL,
    REMOVE_EACH,
    FUNC,
    FUNCTION,
    DOES,
    HAS,
    SWITCH,
    CASE,
    DO,
    GET,
    SET,
    PRINT,
    PRIN,
    EQUAL_Q,
    NOT_EQUAL_Q,
    STRICT_EQUAL_Q,
    LESSER_Q,
    GREATER_Q,
    LESSER_OR_EQUAL_Q,
    GREATER_OR_EQUAL_Q,
    SAME_Q,
    NOT,
    TYPE_Q,
    REDUCE,
    COMPOSE,
    STATS,
    BIND,
    IN,
    PARSE,
    UNION,
    INTERSECT,
    UNIQUE,
    DIFFERENCE,
    EXCLUDE,
    COMPLEMENT_Q,
    DEHEX,
    ENHEX,
    NEGATIVE_Q,
    POSITIVE_Q,
    MAX,
    MIN,
    SHIFT,
    TO_HEX,
    SINE,
    COSINE,
    TANGENT,
    ARCSINE,
    ARCCOSINE,
    ARCTANGENT,
    ARCTANGENT2,
    NAN_Q,
    LOG_2,
    LOG_10,
    LOG_E,
    EXP,
    SQUARE_ROOT,
    CONSTRUCT,
    VALUE_Q,
    TRY,
    UPPERCASE,
    LOWERCASE,
    AS_PAIR,
    AS_POINT2D,
    AS_POINT3D,
    AS_MONEY,
    BREAK,
    CONTINUE,
    EXIT,
    RETURN,
    THROW,
    CATCH,
    EXTEND,
    DEBASE,
    TO_LOCAL_FILE,
    WAIT,
    CHECKSUM,
    UNSET,
    NEW_LINE,
    NEW_LINE_Q,
    ENBASE,
    CONTEXT_Q,
    SET_ENV,
    GET_ENV,
    LIST_ENV,
    NOW,
    SIGN_Q,
    AS,
    CALL,
    ZERO_Q,
    SIZE_Q,
    BROWSE,
    COMPRESS,
    DECOMPRESS,
    RECYCLE,
    TRANSCODE,
    APPLY,
};

// Fills the table (the natives built so far); later calls do nothing.
void init();
Native entry(int32_t index);
// The entry at `index` (an empty entry when out of range or not registered).
const Entry& describe(int32_t index);
// Sets the global word of every registered native to a native! value made
// from its spec. Needs the lexer, the global context and the type words.
void make_words();
// Sets the global word to a native! (type native!) or action! (type action!)
// value of the table index, made from the spec text. make_words uses it for
// the natives, actions::make_words for the actions.
void make_word(uint32_t type, int32_t index, const char* word, const char* spec);
// The native! (type native!) or action! (type action!) value start-up made
// for the table index, or null when none was made. The first value recorded
// for an index stays: a decoder gives back this value, with its spec.
const Cell* registered(uint32_t type, int32_t index);
void register_value(const Cell& value);

namespace detail {
// The table itself, read inline by the interpreter's plain call path.
extern Entry table[TABLE_SIZE + 1];
}  // namespace detail
// Calls entry `index`; an empty entry raises internal/not-done. With check
// set, the arguments are checked against the native's spec first
// (native-checks.h), for every native alike.
[[nodiscard]] uint32_t call(int32_t index, bool check, const int32_t* refinements);

// The comparison op of a comparison native (equal? .. greater-or-equal?),
// -1 for any other index. Inline: the infix look-ahead asks it per op.
inline int32_t comparison_op(int32_t index) {
    switch (index) {
    case EQUAL_Q:
        return COMP_EQUAL;
    case NOT_EQUAL_Q:
        return COMP_NOT_EQUAL;
    case STRICT_EQUAL_Q:
        return COMP_STRICT_EQUAL;
    case LESSER_Q:
        return COMP_LESSER;
    case GREATER_Q:
        return COMP_GREATER;
    case LESSER_OR_EQUAL_Q:
        return COMP_LESSER_EQUAL;
    case GREATER_OR_EQUAL_Q:
        return COMP_GREATER_EQUAL;
    default:
        return -1;
    }
}

}  // namespace kel::natives
