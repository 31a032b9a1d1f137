// A full collection of 1,000,000 live cells held in 250,000 blocks, against
// a plain memcpy of the same live bytes. Then collection pacing: building a
// live heap of 250,000 blocks of 10 values with the collector on, against
// the same build with it off, with the number of collections it started.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

// Builds a block of `count` blocks of 10 integers, each inner block its own
// allocation, and answers the time it took.
double build_nested(int count) {
    auto t0 = std::chrono::steady_clock::now();
    Cell outer{TYPE_BLOCK, 0, memory::alloc_cells(uint64_t(count)), 0};
    Rooted keep(outer);
    for (int i = 0; i < count; ++i) {
        NodeId inner = memory::alloc_cells(10);
        SeriesBuffer* b = memory::buffer_of(inner);
        for (int k = 0; k < 10; ++k) b->cells()[k] = make_integer(i + k);
        b->tail = b->offset + 10 * sizeof(Cell);
        *alloc_block_tail(outer) = Cell{TYPE_BLOCK, 0, inner, 0};
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A live heap that grows: the collections allocation starts while it grows
// are what the collector adds to building it.
void bench_growing_heap() {
    constexpr int BLOCKS = 250000;
    collector::do_cycle();
    collector::set_active(false);
    double off = build_nested(BLOCKS);
    collector::set_active(true);
    collector::do_cycle();  // reclaims that build
    int64_t before = collector::stats.cycles;
    double on = build_nested(BLOCKS);
    int64_t cycles = collector::stats.cycles - before;
    collector::do_cycle();
    std::printf("collections while 250,000 blocks (48 MB) are built: %lld\n", static_cast<long long>(cycles));
    bench::report("build 250,000 blocks of 10 values", on, off, "the collector off");
}

void bench_full_collection() {
    constexpr int BLOCKS = 250000;
    constexpr int CELLS_PER_BLOCK = 4;
    // One outer block holds every inner block; each inner block holds
    // integers (3 cells) and one string.
    collector::set_active(false);
    Cell outer{TYPE_BLOCK, 0, memory::alloc_cells(BLOCKS), 0};
    Rooted keep(outer);
    uint64_t live = 0;
    for (int i = 0; i < BLOCKS; ++i) {
        Cell inner{TYPE_BLOCK, 0, memory::alloc_cells(CELLS_PER_BLOCK), 0};
        for (int k = 0; k < CELLS_PER_BLOCK - 1; ++k) *alloc_block_tail(inner) = make_integer(k);
        Cell s{TYPE_STRING, 0, memory::alloc_bytes(8), 0};
        *alloc_block_tail(inner) = s;
        *alloc_block_tail(outer) = inner;
        live += memory::buffer_of(inner.data2)->size + memory::buffer_of(s.data2)->size + 2 * memory::BUFFER_OVERHEAD;
        memory::alloc_bytes(32);  // garbage between live series
    }
    live += memory::buffer_of(outer.data2)->size;
    collector::set_active(true);
    collector::do_cycle();  // the first cycle compacts the garbage away

    double cycle = bench::best_of(5, [] { collector::do_cycle(); });
    std::vector<char> from(live), to(live);
    std::memset(from.data(), 1, live);
    double copy = bench::best_of(5, [&] { std::memcpy(to.data(), from.data(), live); });
    std::printf("live cells: %d, live bytes: %llu, per live cell: %.1f ns\n", BLOCKS * (CELLS_PER_BLOCK + 1),
                static_cast<unsigned long long>(live), cycle * 1e9 / (BLOCKS * (CELLS_PER_BLOCK + 1)));
    bench::report("full collection, 1,000,000 live cells", cycle, copy, "memcpy of live bytes");
}

}  // namespace

int main() {
    start_runtime();
    bench_full_collection();
    bench_growing_heap();
    return 0;
}
