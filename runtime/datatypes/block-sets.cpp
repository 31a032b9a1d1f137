// block! set operations: unique, union, intersect, exclude and difference in
// linear time through hash tables.
//
// Records: with /skip n, n cells travel together and only the first, the key,
// is tested. Membership in the other set is tested on its keys only (a table
// search accepts only positions a whole number of records from the set's
// head), and the result's table holds only the keys while the result is
// built: a value cell equal to a later key never hides that key. A hash!
// result gets its table built over every cell at the end.
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

struct SetOp {
    int passes;  // union and difference walk both sets
    bool check;  // membership in the other set decides
    bool negate;  // ... by its absence
};

SetOp set_op(int32_t op) {
    switch (op) {
    case SET_UNIQUE:
        return {1, false, false};
    case SET_UNION:
        return {2, false, false};
    case SET_INTERSECT:
        return {1, true, false};
    case SET_EXCLUDE:
        return {1, true, true};
    case SET_DIFFERENCE:
        return {2, true, true};
    default:
        no_switch_matched();
    }
}

// One set: its value (head clamped) and a table over its block.
struct Set {
    Cell value;
    Cell table_cell = make_unset();  // keeps a fresh table reachable
    NodeId table = 0;

    // The set's own table for a hash!, else a fresh one over its block.
    void index() {
        if (table) return;
        table = series::edit::table_of(value);
        if (table) return;
        Cell whole = value;
        whole.data1 = 0;
        table = hashtable::make_table(uint32_t(buffer(value)->cell_count()), &whole, hashtable::KIND_HASH);
        table_cell = hashtable::as_cell(table);
    }
};

// The key is among the keys of the set: the cells a whole number of records
// from its head.
bool holds_key(Set& set, const Cell& key, int64_t step, bool case_sensitive) {
    if (series::is_block_type(type_of(key))) {
        FindOptions options;
        options.only = true;
        options.case_sensitive = case_sensitive;
        Cell skip = make_integer(int32_t(step));
        options.skip = &skip;
        return detail::find_position(set.value, key, options).at >= 0;
    }
    set.index();
    int32_t op = case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
    return hashtable::find(set.table, key, int32_t(detail::head_of(set.value)), int32_t(step), op, false, false);
}

}  // namespace

void set_operation(Cell* out, Cell* set1, Cell* set2, int32_t op, bool case_sensitive, const Cell* skip) {
    int64_t step = 1;
    if (skip) {
        if (type_of(*skip) != TYPE_INTEGER || cell_integer(*skip) < 1)
            series::fire_invalid_refine_arg(words::Ref::skip, *skip);
        step = cell_integer(*skip);
    }
    SetOp kind = set_op(op);
    // Every operation but unique takes two sets: a missing one is a fault of
    // the caller.
    if ((op == SET_UNIQUE) != (set2 == nullptr)) internal_fault();
    Set sets[2] = {{*set1}, {set2 ? *set2 : none_value}};
    Rooted keep_value0(sets[0].value), keep_value1(sets[1].value);
    Rooted keep_table0(sets[0].table_cell), keep_table1(sets[1].table_cell);
    bool two = set2 != nullptr;
    for (int i = 0; i < (two ? 2 : 1); ++i) sets[i].value.data1 = uint32_t(int32_t(detail::head_of(sets[i].value)));

    int64_t capacity = detail::length_of(sets[0].value) + (op == SET_UNION ? detail::length_of(sets[1].value) : 0);
    // The result stays a plain block while it is built, so that appending a
    // record's cells enters none of them in the table: the keys go in alone.
    Cell* result = push_only(int32_t(std::max<int64_t>(capacity, 1)));
    NodeId keys = hashtable::make_table(uint32_t(std::max<int64_t>(capacity, 1)), result, hashtable::KIND_HASH);
    Cell keys_cell = hashtable::as_cell(keys);
    Rooted keep_keys(keys_cell);
    bool result_is_hash = type_of(sets[0].value) == TYPE_HASH || (two && type_of(sets[1].value) == TYPE_HASH);
    int32_t key_op = case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
    std::vector<int64_t> block_keys;  // positions of the result's keys of a block type

    for (int pass = 0; pass < kind.passes; ++pass) {
        Set& current = sets[pass];
        Set& other = sets[1 - pass];
        for (int64_t i = detail::head_of(current.value); i < int64_t(buffer(current.value)->cell_count()); i += step) {
            Cell key = buffer(current.value)->cells()[i];
            bool keep = true;
            if (kind.check) keep = holds_key(other, key, step, case_sensitive) != kind.negate;
            if (!keep) continue;
            bool is_new;
            if (series::is_block_type(type_of(key))) {
                is_new = true;
                for (int64_t p : block_keys)
                    if (detail::equal(buffer(*result)->cells()[p], key, case_sensitive ? COMP_STRICT_EQUAL : COMP_FIND))
                        is_new = false;
            } else {
                is_new = !hashtable::find(keys, key, 0, 1, key_op, false, false);
            }
            if (!is_new) continue;
            int64_t at = int64_t(buffer(*result)->cell_count());
            append_cell(*result, key);
            if (series::is_block_type(type_of(key)))
                block_keys.push_back(at);
            else
                hashtable::put(keys, buffer(*result)->cells() + at);
            // The rest of the record travels with its key.
            int64_t end = std::min<int64_t>(i + step, int64_t(buffer(current.value)->cell_count()));
            for (int64_t j = i + 1; j < end; ++j) append_cell(*result, buffer(current.value)->cells()[j]);
        }
    }

    if (result_is_hash) {
        result->header = TYPE_HASH;
        result->data3 = keys;
        hashtable::rebuild(keys, uint32_t(buffer(*result)->cell_count()));
    } else {
        result->header = type_of(sets[0].value);
    }
    *out = *result;
    stack::pop(1);
}

}  // namespace kel::block
