// block! compare.
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/evaluator/actions.h"

namespace kel::block {

namespace {

int32_t sign(int64_t n) { return (n > 0) - (n < 0); }

bool is_equality_op(int32_t op) {
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_CASE_MATCH:
    case COMP_MATCH:
    case COMP_FIND:
        return true;
    default:
        return false;
    }
}

// Values of these two types are compared by their own functions inside a
// block; any other pair orders by type id.
bool comparable_types(uint32_t a, uint32_t b) {
    return a == b || (type_families::is_all_word(a) && type_families::is_all_word(b)) ||
        (detail::is_number(a) && detail::is_number(b));
}

int32_t compare_each(const Cell& a, const Cell& b, int32_t op) {
    bool same = cell_node(a) == cell_node(b) && a.data1 == b.data1;
    if (op == COMP_SAME) return same ? 0 : -1;
    if (same) return 0;
    // A block met again inside itself: equal only when the other side is
    // also being walked.
    if (cycle_guard::find(cell_node(a))) return cycle_guard::find(cell_node(b)) ? 0 : -1;
    int64_t length1 = detail::length_of(a), length2 = detail::length_of(b);
    if (is_equality_op(op) && length1 != length2) return 1;
    if (length1 == 0 || length2 == 0) return sign(length1 - length2);

    detail::Walking walking_a(cell_node(a));
    detail::Walking walking_b(cell_node(b));
    int64_t head1 = detail::head_of(a), head2 = detail::head_of(b);
    int64_t n = length1 < length2 ? length1 : length2;
    int32_t r = 0;
    // Compare functions never allocate: the cells stay where they are.
    const Cell* x = buffer(a)->cells() + head1;
    const Cell* y = buffer(b)->cells() + head2;
    for (int64_t i = 0; i < n && r == 0; ++i) {
        uint32_t tx = type_of(x[i]), ty = type_of(y[i]);
        if (comparable_types(tx, ty))
            r = actions::compare_values(x[i], y[i], op);
        else
            r = tx < ty ? -1 : 1;
    }
    return r != 0 ? r : sign(length1 - length2);
}

}  // namespace

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t t1 = type_of(value1), t2 = type_of(value2);
    if (t1 != t2) {
        bool literal = op == COMP_CASE_MATCH || op == COMP_MATCH;
        bool paths = (t1 == TYPE_PATH && t2 == TYPE_LIT_PATH) || (t1 == TYPE_LIT_PATH && t2 == TYPE_PATH);
        if (!(literal && paths)) return COMP_NOT_COMPARABLE;
    }
    return compare_each(value1, value2, op);
}

}  // namespace kel::block
