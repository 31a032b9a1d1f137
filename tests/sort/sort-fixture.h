// Records for the sort tests: a key in the leading bytes (compared as an
// unsigned big-endian number) and the record's original index in the rest, so
// that stability and permutation can be checked. A comparator that counts its
// calls, checks that both addresses are whole records inside the range or the
// work buffer, and can throw or answer inconsistently on demand.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/system.h"
#include "runtime/sort/sort.h"

namespace kel::test {

inline size_t key_length(size_t width) { return width >= 8 ? 4 : std::max<size_t>(1, width / 2); }

struct Table {
    size_t width;
    size_t n;
    std::vector<uint8_t> bytes;

    Table(size_t w, const std::vector<uint32_t>& keys) : width(w), n(keys.size()), bytes(keys.size() * w) {
        size_t kl = key_length(w);
        for (size_t i = 0; i < n; ++i) {
            uint8_t* r = &bytes[i * w];
            for (size_t b = 0; b < kl; ++b) r[b] = uint8_t(keys[i] >> (8 * (kl - 1 - b)));
            for (size_t b = kl; b < w; ++b) r[b] = uint8_t(i >> (8 * ((b - kl) % 4)));
        }
    }
    uint8_t* data() { return bytes.data(); }
};

inline int key_compare(const void* a, const void* b, size_t width) {
    int c = std::memcmp(a, b, key_length(width));
    return (c > 0) - (c < 0);
}

// The result that a stable sort must give: records ordered by key, equal keys
// in their original order.
inline std::vector<uint8_t> stable_expected(const Table& t) {
    std::vector<size_t> order(t.n);
    for (size_t i = 0; i < t.n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return key_compare(&t.bytes[a * t.width], &t.bytes[b * t.width], t.width) < 0;
    });
    std::vector<uint8_t> out(t.bytes.size());
    for (size_t i = 0; i < t.n; ++i) std::memcpy(&out[i * t.width], &t.bytes[order[i] * t.width], t.width);
    return out;
}

// The records in byte order, as one buffer.
inline std::vector<uint8_t> as_multiset(const std::vector<uint8_t>& bytes, size_t width) {
    size_t n = bytes.size() / width;
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return std::memcmp(&bytes[a * width], &bytes[b * width], width) < 0; });
    std::vector<uint8_t> out(bytes.size());
    for (size_t i = 0; i < n; ++i) std::memcpy(&out[i * width], &bytes[order[i] * width], width);
    return out;
}

inline bool is_permutation_of(const std::vector<uint8_t>& got, const std::vector<uint8_t>& original, size_t width) {
    return got.size() == original.size() && as_multiset(got, width) == as_multiset(original, width);
}

inline bool keys_sorted(const Table& t) {
    for (size_t i = 1; i < t.n; ++i)
        if (key_compare(&t.bytes[(i - 1) * t.width], &t.bytes[i * t.width], t.width) > 0) return false;
    return true;
}

// Ways a comparator may misbehave.
enum class Answer { keys, random, always_after, always_before, always_equal, by_address, flip_after_calls };

struct Checker {
    const uint8_t* range = nullptr;
    size_t n = 0;
    size_t width = 0;
    const uint8_t* buffer = nullptr;  // the caller's merge buffer, if any
    size_t buffer_records = 0;
    long calls = 0;
    long throw_at = -1;  // throw kel::Thrown on this call (1-based)
    long bad_addresses = 0;
    Answer answer = Answer::keys;
    std::mt19937 rng{12345};

    bool inside(const void* p, const uint8_t* base, size_t count) const {
        auto* q = static_cast<const uint8_t*>(p);
        if (!base || q < base || q >= base + count * width) return false;
        return size_t(q - base) % width == 0;
    }
    // The sort's own buffer is a heap block the test cannot see: an address
    // outside the range is accepted only when no buffer was given.
    bool valid(const void* p) const {
        if (inside(p, range, n)) return true;
        if (buffer) return inside(p, buffer, buffer_records);
        return true;
    }
    int32_t compare(const void* a, const void* b) {
        ++calls;
        if (!inside(a, range, n) && !inside(b, range, n)) ++bad_addresses;  // one side is always in the range
        if (!valid(a) || !valid(b)) ++bad_addresses;
        if (calls == throw_at) throw Thrown{thrown::ERROR};
        switch (answer) {
        case Answer::keys:
            return key_compare(a, b, width);
        case Answer::random:
            return int32_t(rng() % 3) - 1;
        case Answer::always_after:
            return 1;
        case Answer::always_before:
            return -1;
        case Answer::always_equal:
            return 0;
        case Answer::by_address:
            return std::less<const void*>()(a, b) ? 1 : (a == b ? 0 : -1);
        case Answer::flip_after_calls:
            return calls % 50 < 25 ? key_compare(a, b, width) : -key_compare(a, b, width);
        }
        return 0;
    }
    static int32_t callback(const void* a, const void* b, uintptr_t self, uintptr_t) {
        return reinterpret_cast<Checker*>(self)->compare(a, b);
    }
    uintptr_t user() { return reinterpret_cast<uintptr_t>(this); }
};

enum class Algo { merge, merge_with_buffer, quick };

inline const char* algo_name(Algo a) {
    return a == Algo::merge ? "merge" : a == Algo::merge_with_buffer ? "merge+buffer" : "quick";
}

// Sorts the table with the algorithm under a checking comparator.
inline void run_sort(Algo algo, Table& t, Checker& c) {
    c.range = t.data();
    c.n = t.n;
    c.width = t.width;
    std::vector<uint8_t> buffer;
    if (algo == Algo::merge_with_buffer) {
        buffer.resize(std::max<size_t>(1, t.n / 2) * t.width);
        c.buffer = buffer.data();
        c.buffer_records = t.n / 2;
    }
    switch (algo) {
    case Algo::merge:
        sort::merge_sort(t.data(), t.n, t.width, c.user(), 0, Checker::callback);
        break;
    case Algo::merge_with_buffer:
        sort::merge_sort(t.data(), t.n, t.width, c.user(), 0, Checker::callback, buffer.data());
        break;
    case Algo::quick:
        sort::quicksort(t.data(), t.n, t.width, c.user(), 0, Checker::callback);
        break;
    }
}

// Key patterns.
enum class Pattern {
    random,
    few_values,
    sorted,
    reversed,
    reversed_with_equals,
    organ_pipe,
    sawtooth,
    nearly_sorted,
    all_equal,
    ascending_then_descending,
    descending_then_ascending
};

inline const char* pattern_name(Pattern p) {
    static const char* names[] = {"random",
                                  "few_values",
                                  "sorted",
                                  "reversed",
                                  "reversed_with_equals",
                                  "organ_pipe",
                                  "sawtooth",
                                  "nearly_sorted",
                                  "all_equal",
                                  "ascending_then_descending",
                                  "descending_then_ascending"};
    return names[int(p)];
}

inline std::vector<uint32_t> make_keys(Pattern p, size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> k(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = uint32_t(i);
        switch (p) {
        case Pattern::random:
            v = rng();
            break;
        case Pattern::few_values:
            v = rng() % 4;
            break;
        case Pattern::sorted:
            v = uint32_t(i);
            break;
        case Pattern::reversed:
            v = uint32_t(n - i);
            break;
        case Pattern::reversed_with_equals:
            v = uint32_t((n - i) / 3);
            break;
        case Pattern::organ_pipe:
            v = uint32_t(i < n / 2 ? i : n - i);
            break;
        case Pattern::sawtooth:
            v = uint32_t(i % 50);
            break;
        case Pattern::nearly_sorted:
            v = uint32_t(i);
            break;
        case Pattern::all_equal:
            v = 7;
            break;
        case Pattern::ascending_then_descending:
            v = uint32_t(i < 10 ? i : 2 * n - i);
            break;
        case Pattern::descending_then_ascending:
            v = uint32_t(i < n / 3 ? n - i : i);
            break;
        }
        k[i] = v;
    }
    if (p == Pattern::nearly_sorted && n > 1)
        for (size_t s = 0; s < n / 100 + 1; ++s) std::swap(k[rng() % n], k[rng() % n]);
    return k;
}

}  // namespace kel::test
