// What the hash! benchmarks share: a started runtime with the hash tables
// and a compare function for integer! (the integer module registers the real
// one when it arrives).
#pragma once
#include "environment/boot/start.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"

namespace kel::bench {

inline int32_t compare_integers(const Cell& a, const Cell& b, int32_t) {
    if (type_of(b) != TYPE_INTEGER) return COMP_NOT_COMPARABLE;
    int32_t x = cell_integer(a), y = cell_integer(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

inline void start_with_integers() {
    start_runtime();
    hashtable::init();
    symbol_table::init();
    datatype::register_type(datatype::Record(TYPE_INTEGER, 0, "integer!").own<ACTION_COMPARE>(compare_integers));
}

}  // namespace kel::bench
