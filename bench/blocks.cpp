// block! actions against plain C++ on the same data, in the same run:
//   - appending 1,000,000 integers one by one through the append action,
//     against std::vector push_back of 16-byte cells;
//   - find of an absent integer in a 100,000-cell block, against
//     std::find_if over the same cells;
//   - sort of 1,000,000 random integers in a block, against std::sort of the
//     same 16-byte cells with an equivalent comparator;
//   - copy/deep of a block of 100,000 blocks of 10 values, against a
//     recursive copy of nested std::vector, with the collections its
//     allocations start and with the collector off.
// Prints time ratios (ours / reference; below 1 is faster).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "bench/hash-setup.h"
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

volatile int64_t sink;

struct Cell16 {
    uint32_t header, w1, w2, w3;
};

// The compare function of integer!, as the block actions reach it.
using CompareFn = ActionSlot<ACTION_COMPARE>::type;
CompareFn integer_compare() { return reinterpret_cast<CompareFn>(datatype::slot(TYPE_INTEGER, ACTION_COMPARE)); }

void bench_append() {
    constexpr int32_t n = 1000000;
    double ours = bench::best_of(5, [&] {
        Cell blk = make_unset();
        Rooted keep(blk);
        block::make_at(blk, 1);
        Cell out;
        for (int32_t i = 0; i < n; ++i) {
            Cell value = make_integer(i);
            actions::append(&out, &blk, &value, AppendOptions{});
        }
        sink = block::ks_length(blk);
    });
    double theirs = bench::best_of(5, [&] {
        std::vector<Cell16> v;
        for (int32_t i = 0; i < n; ++i) v.push_back(Cell16{TYPE_INTEGER, 0, uint32_t(i), 0});
        sink = int64_t(v.size());
    });
    bench::report("append 1,000,000 integers one by one", ours, theirs, "vector push_back");
}

void bench_find() {
    constexpr int32_t n = 100000;
    Cell* blk = block::push_only(n);
    std::vector<Cell16> cells;
    for (int32_t i = 0; i < n; ++i) {
        block::append_cell(*blk, make_integer(i));
        cells.push_back(Cell16{TYPE_INTEGER, 0, uint32_t(i), 0});
    }
    Cell absent = make_integer(-1);
    constexpr int rounds = 20;
    double ours = bench::best_of(5, [&] {
        int64_t s = 0;
        for (int r = 0; r < rounds; ++r) {
            Cell out;
            actions::find(&out, blk, &absent, FindOptions{});
            s += type_of(out);
        }
        sink = s;
    });
    // The same equality test through the same compare function.
    CompareFn compare = integer_compare();
    const Cell& wanted = absent;
    double theirs = bench::best_of(5, [&] {
        int64_t s = 0;
        for (int r = 0; r < rounds; ++r) {
            auto it = std::find_if(cells.begin(), cells.end(), [&](const Cell16& c) {
                return compare(*reinterpret_cast<const Cell*>(&c), wanted, COMP_FIND) == 0;
            });
            s += it == cells.end();
        }
        sink = s;
    });
    bench::report("find an absent integer in 100,000 (x20)", ours, theirs, "std::find_if");
    stack::pop(1);
}

void bench_sort() {
    constexpr int32_t n = 1000000;
    std::mt19937 rng(2024);
    std::vector<Cell16> data(n);
    for (auto& c : data) c = Cell16{TYPE_INTEGER, 0, uint32_t(rng()), 0};
    Cell* blk = block::push_only(n);
    for (int32_t i = 0; i < n; ++i) *alloc_block_tail(*blk) = Cell{TYPE_INTEGER, 0, data[size_t(i)].w2, 0};
    std::vector<Cell16> work;
    double ours = bench::best_of(5, [&] {
        std::memcpy(block::buffer(*blk)->cells(), data.data(), data.size() * sizeof(Cell));
        Cell out;
        actions::sort(&out, blk, SortOptions{});
    });
    for (int32_t i = 1; i < n; ++i)
        if (cell_integer(block::buffer(*blk)->cells()[i - 1]) > cell_integer(block::buffer(*blk)->cells()[i])) {
            std::printf("block not sorted\n");
            std::exit(1);
        }
    // The same order through the same compare function.
    CompareFn compare = integer_compare();
    double theirs = bench::best_of(5, [&] {
        work = data;
        std::sort(work.begin(), work.end(), [&](const Cell16& a, const Cell16& b) {
            return compare(*reinterpret_cast<const Cell*>(&a), *reinterpret_cast<const Cell*>(&b), COMP_SORT) < 0;
        });
    });
    bench::report("sort 1,000,000 random integers", ours, theirs, "std::sort");
    stack::pop(1);
}

struct Nested {
    std::vector<Cell16> values;
    std::vector<Nested> children;
};

Nested copy_nested(const Nested& n) {
    Nested c;
    c.values = n.values;
    c.children.reserve(n.children.size());
    for (const Nested& child : n.children) c.children.push_back(copy_nested(child));
    return c;
}

void bench_copy_deep() {
    constexpr int32_t n = 100000;
    Cell* outer = block::push_only(n);
    Nested reference;
    for (int32_t i = 0; i < n; ++i) {
        Cell* inner = block::push_only(10);
        Nested child;
        for (int32_t k = 0; k < 10; ++k) {
            block::append_cell(*inner, make_integer(i + k));
            child.values.push_back(Cell16{TYPE_INTEGER, 0, uint32_t(i + k), 0});
        }
        block::append_cell(*outer, *inner);
        stack::pop(1);
        reference.children.push_back(std::move(child));
    }
    CopyOptions deep;
    deep.deep = true;
    double ours = bench::best_of(5, [&] {
        Cell out;
        actions::copy(&out, outer, deep);
        sink = block::ks_length(out);
    });
    double theirs = bench::best_of(5, [&] {
        Nested c = copy_nested(reference);
        sink = int64_t(c.children.size());
    });
    bench::report("copy/deep 100,000 blocks of 10 values", ours, theirs, "nested vector copy");
    // What that time adds to the copying is the memory manager's: a
    // collection once the bytes allocated since the last one reach the live
    // size (each marks and slides everything live), or fresh pages while the
    // heap grows to twice its live size (emptied frames are then kept for
    // reuse). The second line times the copy with a collection beforehand
    // that reclaims the previous copy (as free() does for the reference) and
    // the collector off during it: the copying alone, in reused frames.
    int64_t before = collector::stats.cycles;
    {
        Cell out;
        actions::copy(&out, outer, deep);
    }
    std::printf("  collections during one copy: %lld\n", (long long)(collector::stats.cycles - before));
    double quiet = 1e300;
    for (int round = 0; round < 5; ++round) {
        collector::do_cycle();
        memory::set_collector_enabled(false);
        auto t0 = std::chrono::steady_clock::now();
        Cell out;
        actions::copy(&out, outer, deep);
        quiet = std::min(quiet, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        memory::set_collector_enabled(true);
        sink = block::ks_length(out);
    }
    bench::report("  the same, collector off", quiet, theirs, "nested vector copy");
    stack::pop(1);
}

}  // namespace

int main() {
    start_runtime();
    // integer! registers with the numbers; until then the benchmarks use the
    // stand-in compare function the hash! benchmarks share.
    if (!datatype::slot(TYPE_INTEGER, ACTION_COMPARE)) bench::start_with_integers();
    bench_append();
    bench_find();
    bench_sort();
    bench_copy_deep();
    return 0;
}
