// map! make, to, copy and reflect.
#include <optional>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/map-internal.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::map {

namespace {

bool is_pair_block(uint32_t t) { return t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_HASH; }

// The pair count of a make spec: a negative or non-integral count out of
// range raises script/out-of-range with the spec.
int32_t size_of(const Cell& spec) {
    int32_t n;
    if (type_of(spec) == TYPE_INTEGER) {
        n = cell_integer(spec);
    } else {
        numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(spec));
        if (!c.ok) fire(ErrorId::script_out_of_range, {spec});
        n = c.value;
    }
    if (n < 0) fire(ErrorId::script_out_of_range, {spec});
    return n;
}

void make_or_to(Cell* out, Cell* spec_cell, bool to) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    uint32_t t = type_of(spec);
    if (t == TYPE_INTEGER || t == TYPE_FLOAT) {
        if (to) fire_bad_to_arg(TYPE_MAP, spec);
        Cell* m = push_new(nullptr, size_of(spec));
        *out = *m;
        stack::pop(1);
        return;
    }
    if (t == TYPE_MAP) {
        copy(out, &spec, CopyOptions{});
        return;
    }
    if (!is_pair_block(t)) fire_bad_to_arg(TYPE_MAP, spec);
    if (block::ks_length(spec) % 2 != 0) fire(ErrorId::script_invalid_arg, {spec});
    Cell* pairs = block::push_copy(spec, false, false);
    SeriesBuffer* b = block::buffer(*pairs);
    for (uint64_t i = 0; i < b->cell_count(); ++i) b->cells()[i].header &= ~CELL_NEW_LINE;
    Cell* m = push_new(pairs, 0);
    *out = *m;
    stack::pop(2);
}

}  // namespace

void make(Cell* out, Cell*, Cell* spec, uint32_t) { make_or_to(out, spec, false); }
void to(Cell* out, Cell*, Cell* spec, uint32_t) { make_or_to(out, spec, true); }

void copy(Cell* out, Cell* series, const CopyOptions& options) {
    Cell m = *series;
    Rooted keep(m);
    Cell blk{TYPE_BLOCK, 0, block_of(m), 0};
    Cell* result = stack::push(make_none());
    // /part has no meaning for a map and is ignored.
    CopyOptions cells;
    cells.deep = options.deep && !options.types;
    actions::copy(result, &blk, cells);
    if (options.types) {
        std::optional<cycle_guard::Scope> walking;
        if (options.deep) {
            if (cycle_guard::find(block_of(m))) fire(ErrorId::internal_no_cycle);
            walking.emplace(block_of(m));
        }
        // The values only (every second cell from the first value).
        int32_t count = int32_t(block::buffer(*result)->cell_count());
        block::copy_nested(cell_node(*result), 1, count, 2, options.deep, *options.types);
    }
    NodeId table = hashtable::copy(table_of(m), cell_node(*result));
    *out = Cell{TYPE_MAP, 0, cell_node(*result), table};
    stack::pop(1);
}

void reflect(Cell* out, Cell* value, int32_t field) {
    using words::Sym;
    Cell m = *value;
    if (words::is(field, Sym::words)) return to_block(out, m, Part::words);
    if (words::is(field, Sym::values)) return to_block(out, m, Part::values);
    if (words::is(field, Sym::body)) return to_block(out, m, Part::body);
    fire(ErrorId::internal_not_done);
}

}  // namespace kel::map
