// Helpers shared by the files of the block! actions; not for other modules.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/cycle-guard.h"

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
