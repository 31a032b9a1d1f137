// The native table: 120 entries, 1-based, one uniform signature. A native
// reads its arguments from the current argument frame, gets `check` (1 from
// compiled callers: check the argument types; the interpreter passes 0, it
// checked them while fetching) and one int32 per refinement of its spec (-1
// when not used, else the frame index of the refinement's first argument),
// leaves its result in the frame's first cell and answers a status: 0, or the
// break, continue, return or exit code it sends on its way. An empty entry
// raises internal/not-done.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::natives {

inline constexpr int32_t TABLE_SIZE = 120;

using Native = uint32_t (*)(bool check, const int32_t* refinements);

// Native indexes used by the runtime itself.
enum Index : int32_t {
    IF = 1, UNLESS, EITHER, ANY, ALL, WHILE, UNTIL, LOOP, REPEAT, FOREVER,
    FOREACH, FORALL, REMOVE_EACH, FUNC, FUNCTION, DOES, HAS, SWITCH, CASE, DO,
    GET, SET, PRINT, PRIN, EQUAL_Q, NOT_EQUAL_Q, STRICT_EQUAL_Q, LESSER_Q, GREATER_Q,
    LESSER_OR_EQUAL_Q, GREATER_OR_EQUAL_Q, SAME_Q, NOT, TYPE_Q,
    TRY = 70, BREAK = 77, CONTINUE, EXIT, RETURN, THROW, CATCH,
};

// Fills the table (the natives built so far); later calls do nothing.
void init();
Native entry(int32_t index);

namespace detail {
// The table itself, read inline by the interpreter's plain call path.
extern Native table[TABLE_SIZE + 1];
}  // namespace detail
// Calls entry `index`; an empty entry raises internal/not-done. With check
// the frame's arguments are first checked against the native's spec
// (runtime/evaluator/argument-checks.h).
[[nodiscard]] uint32_t call(int32_t index, bool check, const int32_t* refinements);

// The comparison op of a comparison native (equal? .. greater-or-equal?),
// -1 for any other index. Inline: the infix look-ahead asks it per op.
inline int32_t comparison_op(int32_t index) {
    switch (index) {
    case EQUAL_Q: return COMP_EQUAL;
    case NOT_EQUAL_Q: return COMP_NOT_EQUAL;
    case STRICT_EQUAL_Q: return COMP_STRICT_EQUAL;
    case LESSER_Q: return COMP_LESSER;
    case GREATER_Q: return COMP_GREATER;
    case LESSER_OR_EQUAL_Q: return COMP_LESSER_EQUAL;
    case GREATER_OR_EQUAL_Q: return COMP_GREATER_EQUAL;
    default: return -1;
    }
}

}  // namespace kel::natives
