// map! compare: equality ignores the order of pairs; the sort orders are the
// order of the key/value blocks' node ids (arbitrary, stable for a map's
// life); maps cannot be ordered with < and >.
#include "runtime/datatypes/map-internal.h"
#include "runtime/datatypes/map.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/cycle-guard.h"

namespace kel::map {

namespace {

bool values_equal(const Cell& a, const Cell& b, int32_t op) {
    if (!datatype::slot(type_of(a), ACTION_COMPARE)) return false;
    return actions::compare_values(a, b, op) == 0;
}

// Some key of m2 equal to the key (case ignored, same type) holds a value
// equal to `value`.
bool holds_equal_pair(const Cell& m2, const Cell& key, const Cell& value) {
    Cell k = key;
    int32_t bucket = -1, end = 0, step = 0;
    while (const Cell* found = hashtable::find_next(table_of(m2), k, &bucket, &end, &step)) {
        if (!removed(found[1]) && values_equal(value, found[1], COMP_EQUAL)) return true;
    }
    return false;
}

// 0 when the maps hold equal pairs, else 1 (-1 for op 9 and for a map
// being walked against one that is not). Compare functions never allocate:
// the cells read stay where they are for the whole walk.
int32_t compare_maps(const Cell& m1, const Cell& m2, int32_t op) {
    if (op == COMP_SAME) return block_of(m1) == block_of(m2) && m1.data1 == m2.data1 ? 0 : -1;
    if (block_of(m1) == block_of(m2)) return 0;
    bool walked1 = cycle_guard::find(block_of(m1)), walked2 = cycle_guard::find(block_of(m2));
    if (walked1 || walked2) return walked1 && walked2 ? 0 : -1;
    if (key_count(m1) != key_count(m2)) return 1;
    if (key_count(m1) == 0) return 0;
    cycle_guard::Scope walking1(block_of(m1));
    cycle_guard::Scope walking2(block_of(m2));
    bool strict = op == COMP_STRICT_EQUAL;
    for (uint64_t i = 0; i + 1 < buffer(m1)->cell_count(); i += 2) {
        const Cell* pair = buffer(m1)->cells() + i;
        if (removed(pair[1])) continue;
        if (strict) {
            const Cell* found = lookup(m2, pair[0], COMP_STRICT_EQUAL);
            if (!found || !values_equal(pair[1], *found, COMP_STRICT_EQUAL)) return 1;
        } else if (!holds_equal_pair(m2, pair[0], pair[1])) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_MAP) return COMP_NOT_COMPARABLE;
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_FIND:
    case COMP_SAME:
        return compare_maps(value1, value2, op);
    case COMP_SORT:
    case COMP_CASE_SORT: {
        NodeId a = block_of(value1), b = block_of(value2);
        return int32_t(a > b) - int32_t(a < b);
    }
    default:
        return COMP_NOT_COMPARABLE;
    }
}

}  // namespace kel::map
