// map! access: path access and put, find, select, remove, clear, length?.
#include "runtime/core/fire.h"
#include "runtime/datatypes/map-internal.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/none.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::map {

namespace {

int32_t lookup_op(const FindOptions& options) {
    if (options.same) return COMP_SAME;
    return options.case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
}

}  // namespace

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell m = *parent;
    Cell key = *element;
    if (!value) {
        const Cell* found = lookup(m, key, step.case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL);
        *out = found ? *found : none_value;
        return;
    }
    Cell v = *value;
    set(m, key, v, step.case_sensitive, step.path);
    *out = v;
}

void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive) {
    Cell v = *value;
    set(*series, *key, v, case_sensitive, nullptr);
    *out = v;
}

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    Cell m = *series;
    Cell* found = hashtable::find(table_of(m), *value, 0, 0, lookup_op(options), false, false);
    if (!found || removed(found[1])) {
        *out = none_value;
        return;
    }
    Cell key = *found;
    if (type_of(key) == TYPE_SET_WORD) key.header = TYPE_WORD;
    *out = key;
}

void select(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    const Cell* found = lookup(*series, *value, lookup_op(options));
    *out = found ? *found : none_value;
}

void remove(Cell* out, Cell* series, Cell*, Cell* key) {
    if (!key) fire(ErrorId::script_missing_arg);
    Cell m = *series;
    // Removal is case-sensitive whatever the lookups do.
    Cell* found = hashtable::find(table_of(m), *key, 0, 0, COMP_STRICT_EQUAL, false, false);
    if (found) hashtable::delete_at(table_of(m), found);
    *out = m;
}

void clear(Cell* out, Cell* series) {
    Cell m = *series;
    hashtable::reset(table_of(m));
    *out = m;
}

int32_t length(Cell* series) { return key_count(*series); }

}  // namespace kel::map
