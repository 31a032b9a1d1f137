// logic!: true and false (type id 4, payload word 1 = 1 or 0), and the truth
// tests that conditionals and loops branch on.
//
// Only none! and logic! false are false; every other value, unset! included,
// is true unless a test says otherwise.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/numbers/random.h"

namespace kel {

// The logic! constants. They are read-only: slots copy them into their result
// cell, never answer their address.
inline constexpr Cell true_value{TYPE_LOGIC, 1, 0, 0};
inline constexpr Cell false_value{TYPE_LOGIC, 0, 0, 0};

namespace logic {

inline Cell make_cell(bool flag) { return Cell{TYPE_LOGIC, flag ? 1u : 0u, 0, 0}; }
// The value of a logic! cell: 0 or 1.
inline uint32_t get(const Cell& c) { return c.data1; }
// none! or logic! false.
inline bool is_false(const Cell& c) { return type_of(c) == TYPE_NONE || (type_of(c) == TYPE_LOGIC && c.data1 == 0); }

// The result slot becomes a logic! holding flag.
Cell* box(bool flag);
// A new logic! cell at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block, bool flag);
Cell* push(bool flag);

// Truth tests ---------------------------------------------------------------

// The result slot is neither none nor false; an unset result slot raises
// script/no-return.
bool last_true();
// The result slot is none or false (unset counts as true).
bool last_false();
// The last pushed value (the result slot when nothing was pushed beyond it)
// is none or false / neither.
bool top_false();
bool top_true();
// The cell is neither none nor false; with check_unset an unset cell raises
// script/no-value with word.
bool cell_true(const Cell& cell, bool check_unset, const Cell& word);

// The random generator logic/random draws from: the runtime's one source
// (runtime/numbers/random.h); until it is installed random raises
// internal/not-done.
using RandomSource = kel::random::Source;
inline RandomSource& random_source() { return kel::random::source(); }

// Registers logic! (id 4).
void init();

}  // namespace logic
}  // namespace kel
