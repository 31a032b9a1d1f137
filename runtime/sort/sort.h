// Sorting of fixed-size records in place: a stable run-adaptive merge sort and
// a sample-driven three-way quicksort. Neither knows what a record holds; the
// order comes entirely from a three-way comparison callback.
//
// Both sorts are safe against any comparator: one that raises an error (a C++
// exception such as kel::Thrown travels through the sort), and one that is
// inconsistent (NaN, a user function answering at random). In every case no
// record outside the given range is touched, the records left behind are a
// permutation of the input, and a work buffer that the sort allocated is freed.
//
// The comparator only ever sees addresses of records inside the sorted range
// or inside the merge work buffer, and while it runs every record is in one of
// the two. The sorts hold both addresses from start to end, so a caller whose
// comparator may allocate series memory or run Kel code (which can collect and
// compact the series frames) sorts records that the collector neither moves
// nor misses: a copy in a fixed series under a root guard, with the merge
// sort's work buffer given and marked the same way, copied back afterwards.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::sort {

// The comparison callback: negative when the record at a is to come before the
// record at b, 0 when they are equal, positive when it is to come after. user1
// and user2 are passed through unchanged from the sort call.
using Compare = int32_t (*)(const void* a, const void* b, uintptr_t user1, uintptr_t user2);

// Exchanges two records of size bytes: four bytes at a time, or byte by byte
// when bytewise is set (records whose size is not a multiple of 4).
void swap(void* a, void* b, size_t size, bool bytewise);

// The end of the natural run that begins at start: non-descending (each record
// compares <= 0 with the next) or strictly descending (each compares > 0 with
// the next), in which case the run is reversed in place first. A strictly
// descending run never holds equal records, so reversing it keeps stability.
void* find_run(void* start, void* end, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp);

// Merges the adjacent sorted runs [left, right) and [right, end) in place,
// stably. buffer has room for the shorter of the two runs.
void merge(void* left, void* right, void* end, void* buffer, size_t size, uintptr_t user1, uintptr_t user2,
           Compare cmp);

// Sorts n records of size bytes stably: records equal under the callback keep
// their order. buffer, when given, has room for n / 2 records; otherwise the
// sort allocates one, and raises script/too-long when its byte size does not
// fit in 31 bits.
void merge_sort(void* base, size_t n, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp,
                void* buffer = nullptr);

// Sorts n records of size bytes, not stably.
void quicksort(void* base, size_t n, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp);

// The same two sorts with a comparator object called as cmp(a, b) on two
// `const uint8_t*` record addresses. The comparator is inlined into the sort
// loops, which saves the indirect call of the callback form for callers whose
// comparison is known at compile time.
template <class Cmp>
void merge_sort_by(void* base, size_t n, size_t size, Cmp cmp, void* buffer = nullptr);
template <class Cmp>
void quicksort_by(void* base, size_t n, size_t size, Cmp cmp);

}  // namespace kel::sort

#include "runtime/sort/sort-algorithms.h"
