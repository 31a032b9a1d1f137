// hash! find against a linear scan of the same block, at 10, 1,000 and
// 100,000 values. Both compare through the same compare function; the hash!
// side probes its table, the scan visits the cells from the head.
#include <random>
#include <vector>

#include "bench/bench.h"
#include "bench/hash-setup.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"

using namespace kel;

namespace {

volatile int64_t sink;

// The first cell equal to the value, as a block find without a table does.
const Cell* linear_find(const Cell& blk, const Cell& value) {
    SeriesBuffer* b = memory::buffer_of(cell_node(blk));
    auto compare = reinterpret_cast<ActionSlot<ACTION_COMPARE>::type>(datatype::slot(TYPE_INTEGER, ACTION_COMPARE));
    for (const Cell* c = b->cells(); c < b->cells_tail(); ++c)
        if (type_of(*c) == type_of(value) && compare(*c, value, COMP_FIND) == 0) return c;
    return nullptr;
}

}  // namespace

int main() {
    bench::start_with_integers();

    for (int32_t n : {10, 1000, 100000}) {
        Cell* blk = block::push_only(n);
        set_type(*blk, TYPE_HASH);
        std::mt19937 rng{uint32_t(n)};
        std::vector<int32_t> values;
        for (int32_t i = 0; i < n; ++i) {
            values.push_back(int32_t(rng()));
            *alloc_block_tail(*blk) = make_integer(values.back());
        }
        blk->data3 = hashtable::make_table(0, blk, hashtable::KIND_HASH);

        // The same number of look-ups at every size, all of values present.
        int32_t lookups = n >= 100000 ? 2000 : 200000;
        std::vector<Cell> probes;
        for (int32_t i = 0; i < lookups; ++i) probes.push_back(make_integer(values[rng() % uint32_t(n)]));

        double ours = bench::best_of(5, [&] {
            int64_t s = 0;
            for (const Cell& p : probes) s += hashtable::find(blk->data3, p, 0, 1, COMP_FIND, false, false) != nullptr;
            sink = s;
        });
        double theirs = bench::best_of(5, [&] {
            int64_t s = 0;
            for (const Cell& p : probes) s += linear_find(*blk, p) != nullptr;
            sink = s;
        });
        char what[64];
        std::snprintf(what, sizeof what, "hash! find, %d values (%d look-ups)", n, lookups);
        bench::report(what, ours, theirs, "linear scan");
        stack::pop(1);
    }
    return 0;
}
