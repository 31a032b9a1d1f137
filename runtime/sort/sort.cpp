#include "runtime/sort/sort.h"

#include "runtime/core/fire.h"
#include "runtime/platform/heap.h"

namespace kel::sort {

namespace {

// The callback form as a comparator object.
struct Callback {
    Compare fn;
    uintptr_t user1;
    uintptr_t user2;
    int32_t operator()(const uint8_t* a, const uint8_t* b) const { return fn(a, b, user1, user2); }
};

}  // namespace

void swap(void* a, void* b, size_t size, bool bytewise) {
    auto* p = static_cast<uint8_t*>(a);
    auto* q = static_cast<uint8_t*>(b);
    if (!bytewise && size % 4 == 0) {
        for (size_t i = 0; i < size; i += 4) {
            uint32_t x, y;
            std::memcpy(&x, p + i, 4);
            std::memcpy(&y, q + i, 4);
            std::memcpy(p + i, &y, 4);
            std::memcpy(q + i, &x, 4);
        }
    } else {
        for (size_t i = 0; i < size; ++i) {
            uint8_t t = p[i];
            p[i] = q[i];
            q[i] = t;
        }
    }
}

void* find_run(void* start, void* end, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp) {
    if (size == 0) return end;
    Callback cb{cmp, user1, user2};
    auto* s = static_cast<uint8_t*>(start);
    size_t n = size_t(static_cast<uint8_t*>(end) - s) / size;
    size_t e = n;
    detail::with_width(size, [&](auto rec) {
        detail::Records<decltype(rec), Callback> r{s, rec, cb};
        e = detail::find_run(r, 0, n);
    });
    return s + e * size;
}

void merge(void* left, void* right, void* end, void* buffer, size_t size, uintptr_t user1, uintptr_t user2,
           Compare cmp) {
    if (size == 0) return;
    Callback cb{cmp, user1, user2};
    detail::with_width(size, [&](auto rec) {
        detail::merge(rec, cb, static_cast<uint8_t*>(left), static_cast<uint8_t*>(right), static_cast<uint8_t*>(end),
                      static_cast<uint8_t*>(buffer));
    });
}

void merge_sort(void* base, size_t n, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp, void* buffer) {
    merge_sort_by(base, n, size, Callback{cmp, user1, user2}, buffer);
}

void quicksort(void* base, size_t n, size_t size, uintptr_t user1, uintptr_t user2, Compare cmp) {
    quicksort_by(base, n, size, Callback{cmp, user1, user2});
}

namespace detail {

void* WorkBuffer::allocate(size_t count, size_t size) {
    if (size != 0 && count > size_t(INT32_MAX) / size) fire(ErrorId::script_too_long);
    release(memory_);
    memory_ = heap::allocate(count * size);
    return memory_;
}

void WorkBuffer::release(void* memory) {
    if (memory) heap::free(memory);
}

}  // namespace detail

}  // namespace kel::sort
