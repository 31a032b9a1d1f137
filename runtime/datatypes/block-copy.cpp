// block! take and copy.
#include <optional>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::block {

namespace {

// Replaces every series value among the block's cells by its copy made
// through the copy action with /deep.
void copy_series_values(const Cell& blk) {
    CopyOptions deep;
    deep.deep = true;
    for (uint64_t i = 0; i < buffer(blk)->cell_count(); ++i) {
        Cell value = buffer(blk)->cells()[i];
        if (!detail::is_copied_series(type_of(value))) continue;
        Cell* copy = stack::push(value);
        actions::copy(copy, copy, deep);
        buffer(blk)->cells()[i] = *copy;  // re-read: the copy allocated
        stack::pop(1);
    }
}

}  // namespace

void take(Cell* out, Cell* series, const TakeOptions& options) {
    Cell* taken = stack::push(make_unset());
    series::take(taken, series, options);
    if (type_of(*taken) == TYPE_NONE) {
        *out = none_value;
    } else {
        if (options.deep) copy_series_values(*taken);
        // Without /part the one value taken is the answer itself.
        *out = options.part ? *taken : buffer(*taken)->cells()[0];
    }
    stack::pop(1);
}

void copy(Cell* out, Cell* series, const CopyOptions& options) {
    NodeId source = cell_node(*series);
    Cell* result = stack::push(make_unset());
    CopyOptions shallow;
    shallow.part = options.part;
    series::copy(result, series, shallow);
    if (options.deep || options.types) {
        // A hash! copied this way is a plain block; the hash! module builds
        // its own table around this function.
        if (type_of(*result) == TYPE_HASH) set_type(*result, TYPE_BLOCK);
        std::optional<detail::Walking> walking;
        if (options.deep) {
            if (cycle_guard::find(source)) fire(ErrorId::internal_no_cycle);
            walking.emplace(source);
        }
        if (options.types) {
            int32_t count = int32_t(buffer(*result)->cell_count());
            copy_nested(cell_node(*result), 0, count, 1, options.deep, *options.types);
        } else {
            copy_series_values(*result);
        }
    }
    *out = *result;
    stack::pop(1);
}

}  // namespace kel::block
