// The stable merge sort: records of several cells sorted by one cell, natural
// runs (strictly descending ones reversed, others never), merging, the work
// buffer and its size limit.
#include "runtime/core/cell.h"
#include "runtime/core/error-ids.h"
#include "runtime/core/fire.h"
#include "runtime/platform/heap.h"
#include "tests/sort/sort-fixture.h"

namespace kel::test {
namespace {

// Compares the cell at offset user2 (in cells) of two records by its integer
// payload, as a block sort compares one value of each /skip record.
int32_t compare_cell_at(const void* a, const void* b, uintptr_t calls, uintptr_t offset) {
    ++*reinterpret_cast<long*>(calls);
    const Cell* x = static_cast<const Cell*>(a) + offset;
    const Cell* y = static_cast<const Cell*>(b) + offset;
    int32_t p = cell_integer(*x), q = cell_integer(*y);
    return (p > q) - (p < q);
}

std::vector<Cell> integers(std::initializer_list<int32_t> values) {
    std::vector<Cell> cells;
    for (int32_t v : values) cells.push_back(make_integer(v));
    return cells;
}

std::vector<int32_t> values_of(const std::vector<Cell>& cells) {
    std::vector<int32_t> out;
    for (const Cell& c : cells) out.push_back(cell_integer(c));
    return out;
}

TEST(MergeSort, SkipRecordsKeepTheOrderOfEqualKeys) {
    struct Case {
        const char* name;
        size_t cells_per_record;
        size_t offset;  // the compared cell
        std::vector<Cell> input;
        std::vector<int32_t> expected;
    };
    // 'b' 1 'a' 2 'b' 3 'a' 4 as integer keys 98 and 97.
    const Case cases[] = {
        {"pairs by key", 2, 0, integers({98, 1, 97, 2, 98, 3, 97, 4}), {97, 2, 97, 4, 98, 1, 98, 3}},
        {"pairs by value", 2, 1, integers({1, 5, 2, 4, 3, 5, 4, 4}), {2, 4, 4, 4, 1, 5, 3, 5}},
        {"triples by middle",
         3,
         1,
         integers({1, 9, 0, 2, 8, 0, 3, 9, 0, 4, 8, 0, 5, 7, 0}),
         {5, 7, 0, 2, 8, 0, 4, 8, 0, 1, 9, 0, 3, 9, 0}},
        {"all keys equal", 2, 0, integers({1, 1, 1, 2, 1, 3, 1, 4, 1, 5}), {1, 1, 1, 2, 1, 3, 1, 4, 1, 5}},
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells = c.input;
        long calls = 0;
        size_t n = cells.size() / c.cells_per_record;
        sort::merge_sort(cells.data(), n, c.cells_per_record * sizeof(Cell), reinterpret_cast<uintptr_t>(&calls),
                         c.offset, compare_cell_at);
        EXPECT_EQ(values_of(cells), c.expected) << c.name;
    }
}

// Many equal keys over long inputs: the merges themselves must keep the order.
TEST(MergeSort, StableOverLongInputsOfTwoCellRecords) {
    std::mt19937 rng(3);
    std::vector<Cell> cells;
    for (int i = 0; i < 5000; ++i) {
        cells.push_back(make_integer(int32_t(rng() % 20)));
        cells.push_back(make_integer(i));
    }
    long calls = 0;
    sort::merge_sort(cells.data(), 5000, 2 * sizeof(Cell), reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
    for (size_t r = 1; r < 5000; ++r) {
        int32_t k0 = cell_integer(cells[2 * r - 2]), k1 = cell_integer(cells[2 * r]);
        ASSERT_LE(k0, k1);
        if (k0 == k1) {
            ASSERT_LT(cell_integer(cells[2 * r - 1]), cell_integer(cells[2 * r + 1]));
        }
    }
}

TEST(MergeSort, FindRunReversesOnlyStrictlyDescendingRuns) {
    struct Case {
        std::vector<int32_t> input;
        size_t run_end;
        std::vector<int32_t> after;
    };
    const Case cases[] = {
        {{}, 0, {}},
        {{5}, 1, {5}},
        {{1, 2, 2, 3, 1}, 4, {1, 2, 2, 3, 1}},
        {{4, 3, 2, 1, 5}, 4, {1, 2, 3, 4, 5}},
        {{3, 2, 2, 1}, 2, {2, 3, 2, 1}},  // equal neighbours end a descending run
        {{2, 2, 1}, 2, {2, 2, 1}},
        {{9, 8, 7, 6, 5, 4}, 6, {4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells;
        for (int32_t v : c.input) cells.push_back(make_integer(v));
        long calls = 0;
        void* end = sort::find_run(cells.data(), cells.data() + cells.size(), sizeof(Cell),
                                   reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
        EXPECT_EQ(static_cast<Cell*>(end) - cells.data(), ptrdiff_t(c.run_end));
        EXPECT_EQ(values_of(cells), c.after);
    }
}

TEST(MergeSort, StrictlyDescendingInputIsOneReversedRun) {
    std::vector<Cell> cells;
    for (int i = 1000; i > 0; --i) cells.push_back(make_integer(i));
    long calls = 0;
    sort::merge_sort(cells.data(), cells.size(), sizeof(Cell), reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
    EXPECT_EQ(calls, 999);  // finding the run is the whole work
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(cell_integer(cells[i]), i + 1);
}

TEST(MergeSort, DescendingInputWithEqualNeighboursStaysStable) {
    // Keys 499, 499, 498, 498, ... with the original position as the value.
    std::vector<Cell> cells;
    for (int i = 0; i < 1000; ++i) {
        cells.push_back(make_integer(499 - i / 2));
        cells.push_back(make_integer(i));
    }
    long calls = 0;
    sort::merge_sort(cells.data(), 1000, 2 * sizeof(Cell), reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
    for (int r = 0; r < 1000; ++r) {
        // Key k came from positions 998 - 2k and 999 - 2k, in that order.
        ASSERT_EQ(cell_integer(cells[2 * r]), r / 2);
        ASSERT_EQ(cell_integer(cells[2 * r + 1]), 998 - 2 * (r / 2) + r % 2);
    }
}

TEST(MergeSort, MergeTakesTheLeftRecordFirstOnEqualKeys) {
    // Keys with a tag: the left run's records carry tags below 100, the right
    // run's tags from 100. Both directions: left shorter (merged from the
    // front) and right shorter (merged from the back).
    struct Case {
        std::vector<int32_t> left, right;
    };
    const Case cases[] = {
        {{1, 2, 2, 3}, {2, 2, 3, 3, 4, 5}},
        {{1, 2, 2, 3, 3, 5, 7}, {0, 2, 3}},
        {{5, 6}, {1, 2, 3}},
        {{1, 1, 1}, {1, 1, 1}},
        {{2}, {1}},
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells;
        int tag = 0;
        for (int32_t k : c.left) cells.insert(cells.end(), {make_integer(k), make_integer(tag++)});
        tag = 100;
        for (int32_t k : c.right) cells.insert(cells.end(), {make_integer(k), make_integer(tag++)});
        std::vector<std::pair<int32_t, int32_t>> expected;
        for (size_t i = 0; i < cells.size(); i += 2)
            expected.emplace_back(cell_integer(cells[i]), cell_integer(cells[i + 1]));
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<Cell> buffer(2 * std::min(c.left.size(), c.right.size()));
        long calls = 0;
        Cell* base = cells.data();
        sort::merge(base, base + 2 * c.left.size(), base + cells.size(), buffer.data(), 2 * sizeof(Cell),
                    reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (size_t i = 0; i < cells.size(); i += 2)
            got.emplace_back(cell_integer(cells[i]), cell_integer(cells[i + 1]));
        EXPECT_EQ(got, expected);
    }
}

// With a buffer from the caller the sort allocates nothing; without one it
// holds one heap block while sorting and none afterwards.
TEST(MergeSort, WorkBufferIsTheCallersOrAHeapBlockFreedAtTheEnd) {
    struct Probe {
        size_t blocks_seen = 0;
        static int32_t compare(const void* a, const void* b, uintptr_t self, uintptr_t) {
            reinterpret_cast<Probe*>(self)->blocks_seen =
                std::max(reinterpret_cast<Probe*>(self)->blocks_seen, heap::live_blocks());
            int32_t x, y;
            std::memcpy(&x, a, 4);
            std::memcpy(&y, b, 4);
            return (x > y) - (x < y);
        }
    };
    std::mt19937 rng(1);
    std::vector<int32_t> data(1000);
    for (auto& x : data) x = int32_t(rng());
    const size_t before = heap::live_blocks();

    Probe own;
    std::vector<int32_t> v = data;
    sort::merge_sort(v.data(), v.size(), 4, reinterpret_cast<uintptr_t>(&own), 0, Probe::compare);
    EXPECT_EQ(own.blocks_seen, before + 1);
    EXPECT_EQ(heap::live_blocks(), before);
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));

    Probe given;
    v = data;
    std::vector<int32_t> buffer(v.size() / 2);
    sort::merge_sort(v.data(), v.size(), 4, reinterpret_cast<uintptr_t>(&given), 0, Probe::compare, buffer.data());
    EXPECT_EQ(given.blocks_seen, before);
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
}

// A work buffer whose byte size needs more than 31 bits is refused before
// anything is read or allocated.
TEST(MergeSort, WorkBufferAbove31BitsIsContentTooLong) {
    struct Case {
        size_t n, size;
    };
    const Case cases[] = {
        {size_t(1) << 28, 16},  // (n / 2) x 16 = 2^31
        {(size_t(INT32_MAX) / 16) * 2 + 2, 16},
        {size_t(1) << 33, 4},
        {SIZE_MAX, 3},  // no wrap-around in the check
    };
    Cell dummy[2] = {make_integer(2), make_integer(1)};
    for (const Case& c : cases) {
        long calls = 0;
        const size_t before = heap::live_blocks();
        uint32_t code = protect(catch_level::ERRORS, [&] {
            sort::merge_sort(dummy, c.n, c.size, reinterpret_cast<uintptr_t>(&calls), 0, compare_cell_at);
        });
        handled();
        EXPECT_EQ(code, thrown::ERROR) << c.n;
        EXPECT_EQ(error_in_flight().id, ErrorId::script_too_long);
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(heap::live_blocks(), before);
    }
}

}  // namespace
}  // namespace kel::test
