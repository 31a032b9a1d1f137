// Clearing a hash! against clearing a plain block of the same size, for
// 1,000,000 equal values (one chain of every position) and 1,000,000
// distinct values, cleared from the second value on (the table is built
// again for what stays) and from 60% of the values on (each dropped position
// leaves the table on its own). A clear from the head empties the whole
// table at once.
//
// A plain block clears by moving its tail; the reference here is that clear
// plus one read of every cell it drops, the least work a clear that must
// forget each position can do. Every hash! clear must stay linear: about 4x
// its own time at a quarter of the size. The clear from the second value
// stays within 5x of the reference; the clear from 60% writes a bucket per
// dropped position where the reference only reads, and shows a larger but
// constant ratio.
#include <chrono>
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

// A block of n integers (all 7, or 0 .. n - 1) on the argument stack, with
// its table when it is a hash!.
Cell* filled(uint32_t type, int32_t n, bool equal) {
    Cell* blk = block::push_only(n);
    for (int32_t i = 0; i < n; ++i) *alloc_block_tail(*blk) = make_integer(equal ? 7 : i);
    set_type(*blk, type);
    if (type == TYPE_HASH) blk->data3 = hashtable::make_table(uint32_t(n), blk, hashtable::KIND_HASH);
    return blk;
}

// Seconds of the best of three clears from position `from` (a fraction of
// the values), each of a freshly filled block.
double clear_time(uint32_t type, int32_t n, bool equal, double from) {
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        Cell* blk = filled(type, n, equal);
        blk->data1 = uint32_t(from * n) + 1;
        auto t0 = std::chrono::steady_clock::now();
        if (type == TYPE_HASH) {
            block::ks_clear(*blk);
        } else {
            // The plain block's reference: read every cell the clear drops.
            int64_t s = 0;
            SeriesBuffer* b = block::buffer(*blk);
            for (const Cell* c = b->cells() + blk->data1; c < b->cells_tail(); ++c) s += c->data2;
            sink = s;
            block::ks_clear(*blk);
        }
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (t < best) best = t;
        stack::pop(1);
    }
    return best;
}

}  // namespace

int main() {
    bench::start_with_integers();

    for (double from : {0.0, 0.6}) {
        for (bool equal : {true, false}) {
            const char* kind = equal ? "equal" : "distinct";
            double quarter = clear_time(TYPE_HASH, 250000, equal, from);
            double ours = clear_time(TYPE_HASH, 1000000, equal, from);
            double reference = clear_time(TYPE_BLOCK, 1000000, equal, from);
            char what[80];
            std::snprintf(what, sizeof what, "hash! clear from %d%%, 1,000,000 %s", int(from * 100), kind);
            bench::report(what, ours, reference, "plain block clear");
            std::snprintf(what, sizeof what, "  the same, against 250,000 %s", kind);
            bench::report(what, ours, quarter, "at 250,000 values");
        }
    }
    return 0;
}
