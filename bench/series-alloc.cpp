// Series allocation and expansion against malloc/realloc of the same sizes.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "runtime/memory/memory.h"

using namespace kel;

namespace {

volatile uintptr_t sink;

}  // namespace

int main() {
    memory::init();
    memory::init_frames();
    constexpr int N = 200000;
    std::vector<void*> kept(N);

    // Small series: 16 to 256 bytes. The reference frees nothing either, so
    // both sides only grow their heap.
    double ours = bench::best_of(5, [&] {
        for (int i = 0; i < N; ++i) sink = memory::alloc_bytes(16 + (i & 15) * 16);
    });
    double theirs = bench::best_of(5, [&] {
        for (int i = 0; i < N; ++i) kept[i] = std::malloc(16 + (i & 15) * 16);
    });
    for (void* p : kept) std::free(p);
    bench::report("alloc 200,000 small series", ours, theirs, "malloc");

    // Expansion by doubling from 16 bytes to 64 KB, keeping the content.
    constexpr int M = 2000;
    ours = bench::best_of(5, [&] {
        for (int i = 0; i < M; ++i) {
            NodeId n = memory::alloc_bytes(16);
            SeriesBuffer* b = memory::buffer_of(n);
            while (b->size < 65536) {
                alloc_tail_bytes(b, b->size - b->used());
                b = memory::expand_series(memory::buffer_of(n), 0);
            }
            sink = n;
        }
    });
    theirs = bench::best_of(5, [&] {
        for (int i = 0; i < M; ++i) {
            size_t size = 16;
            char* p = static_cast<char*>(std::malloc(size));
            std::memset(p, 0, size);
            while (size < 65536) {
                size *= 2;
                p = static_cast<char*>(std::realloc(p, size));
                std::memset(p + size / 2, 0, size / 2);
            }
            kept[i] = p;
        }
        for (int i = 0; i < M; ++i) std::free(kept[i]);
    });
    bench::report("expand 2,000 series 16 B -> 64 KB", ours, theirs, "malloc/realloc");
    return 0;
}
