// The sorting algorithms behind runtime/sort.h, as templates over the record
// width and the comparator. Include runtime/sort.h, not this file.
//
// While the comparator runs, every record of the input is in the range or,
// during a merge, in the work buffer: records move by exchanges, by rotations
// done after the comparisons that placed them, or, inside a merge, by copies
// between the range and the buffer that a guard completes when the comparator
// throws. So a throw leaves the range holding a permutation of the input.
// Every scan is bounded by explicit limits, never by a sentinel record, so an
// inconsistent comparator cannot lead a scan out of the range.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kel::sort {

namespace detail {

// A record width known when the sort is compiled: copies and exchanges become
// a few register moves.
template <size_t W>
struct FixedWidth {
    static constexpr size_t width() { return W; }
    // Small records are cheaper to move than a mispredicted branch.
    static constexpr bool small = W <= 16;
    static void exchange(uint8_t* a, uint8_t* b) {
        unsigned char t[W];
        std::memcpy(t, a, W);
        std::memcpy(a, b, W);
        std::memcpy(b, t, W);
    }
    static void copy(uint8_t* dst, const uint8_t* src) { std::memcpy(dst, src, W); }
    // Moves the record at to down to at, shifting [at, to) up by one record.
    static void rotate_down(uint8_t* at, uint8_t* to) {
        unsigned char t[W];
        std::memcpy(t, to, W);
        std::memmove(at + W, at, size_t(to - at));
        std::memcpy(at, t, W);
    }
};

// Any other width.
struct AnyWidth {
    size_t w;
    static constexpr bool small = false;
    size_t width() const { return w; }
    void exchange(uint8_t* a, uint8_t* b) const { sort::swap(a, b, w, w % 4 != 0); }
    void copy(uint8_t* dst, const uint8_t* src) const { std::memcpy(dst, src, w); }
    void rotate_down(uint8_t* at, uint8_t* to) const {
        for (; to != at; to -= w) exchange(to - w, to);
    }
};

// Calls f with the width object that suits size.
template <class F>
void with_width(size_t size, F&& f) {
    switch (size) {
    case 1:
        f(FixedWidth<1>{});
        break;
    case 2:
        f(FixedWidth<2>{});
        break;
    case 4:
        f(FixedWidth<4>{});
        break;
    case 8:
        f(FixedWidth<8>{});
        break;
    case 16:
        f(FixedWidth<16>{});
        break;
    case 32:
        f(FixedWidth<32>{});
        break;
    default:
        f(AnyWidth{size});
        break;
    }
}

// The value unchanged, hidden from the optimiser: keeps a comparison result as
// data, so that the compiler does not turn the arithmetic on it back into a
// branch that random input mispredicts half of the time.
inline size_t opaque(size_t v) {
#if defined(__GNUC__)
    __asm__("" : "+r"(v));
#endif
    return v;
}

// Runs shorter than this are extended by insertion sort before merging.
inline constexpr size_t MIN_RUN = 24;

// Work buffer of the merge sort, allocated as a heap block and freed on every
// way out of the sort. allocate raises script/too-long when count x size does
// not fit in 31 bits.
class WorkBuffer {
public:
    WorkBuffer() = default;
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    ~WorkBuffer() { release(memory_); }
    void* allocate(size_t count, size_t size);

private:
    static void release(void* memory);
    void* memory_ = nullptr;
};

// Record operations over one base address; positions are record indexes.
template <class Rec, class Cmp>
struct Records {
    uint8_t* base;
    Rec rec;
    Cmp& cmp;

    uint8_t* at(size_t i) const { return base + i * rec.width(); }
    int compare(size_t i, size_t j) const {
        return cmp(static_cast<const uint8_t*>(at(i)), static_cast<const uint8_t*>(at(j)));
    }
    void exchange(size_t i, size_t j) const { rec.exchange(at(i), at(j)); }

    void reverse(size_t lo, size_t hi) const {
        while (hi - lo > 1) {
            --hi;
            exchange(lo, hi);
            ++lo;
        }
    }

    // Records [lo, sorted) are in order; each of [sorted, hi) is moved down
    // past every record before it that compares > 0 with it. The place is
    // found first and the record moved after, so that the comparator always
    // sees the range as a permutation of the input.
    void insertion_sort(size_t lo, size_t sorted, size_t hi) const {
        const size_t w = rec.width();
        uint8_t* const first = at(lo);
        uint8_t* p = at(sorted);
        uint8_t* const end = at(hi);
        for (; p < end; p += w) {
            uint8_t* q = p;
            while (q != first && cmp(static_cast<const uint8_t*>(q - w), static_cast<const uint8_t*>(p)) > 0) q -= w;
            if (q != p) rec.rotate_down(q, p);
        }
    }
};

// --- merge sort --------------------------------------------------------------

template <class Rec, class Cmp>
size_t find_run(const Records<Rec, Cmp>& r, size_t start, size_t end) {
    if (end - start < 2) return end;
    size_t i = start + 1;
    if (r.compare(start, i) > 0) {
        ++i;
        while (i < end && r.compare(i - 1, i) > 0) ++i;
        r.reverse(start, i);
    } else {
        ++i;
        while (i < end && r.compare(i - 1, i) <= 0) ++i;
    }
    return i;
}

// Copies what is left of the buffer back into the hole of the range: at the
// end of a merge, and also when the comparator throws in the middle of one.
struct Refill {
    const uint8_t*& from;
    const uint8_t*& to;
    uint8_t*& dst;
    ~Refill() { std::memcpy(dst, from, size_t(to - from)); }
};

template <class Rec, class Cmp>
void merge(Rec rec, Cmp& cmp, uint8_t* s, uint8_t* m, uint8_t* e, uint8_t* buffer) {
    const size_t w = rec.width();
    if (s == m || m == e) return;
    if (cmp(static_cast<const uint8_t*>(m - w), static_cast<const uint8_t*>(m)) <= 0) return;  // already in order
    if (e - m < m - s) {
        // Right run into the buffer, merged from the back; on equal records
        // the buffer's (from the right run) goes last.
        std::memcpy(buffer, m, size_t(e - m));
        const uint8_t* bb = buffer;
        const uint8_t* be = buffer + (e - m);
        uint8_t* li = m;
        uint8_t* dst = e;
        Refill guard{bb, be, li};
        while (be != bb && li != s) {
            size_t left = opaque(size_t(cmp(static_cast<const uint8_t*>(li - w), be - w) > 0));
            dst -= w;
            rec.copy(dst, left ? li - w : be - w);
            li -= left * w;
            be -= (1 - left) * w;
        }
    } else {
        // Left run into the buffer, merged from the front; on equal records
        // the buffer's (from the left run) goes first.
        std::memcpy(buffer, s, size_t(m - s));
        const uint8_t* bi = buffer;
        const uint8_t* be = buffer + (m - s);
        const uint8_t* ri = m;
        uint8_t* dst = s;
        Refill guard{bi, be, dst};
        while (bi != be && ri != e) {
            size_t right = opaque(size_t(cmp(ri, bi) < 0));
            rec.copy(dst, right ? ri : bi);
            ri += right * w;
            bi += (1 - right) * w;
            dst += w;
        }
    }
}

// Powersort node power of the boundary between runs [s1, e1) and [e1, e2) of
// a range of n records.
inline int node_power(size_t s1, size_t e1, size_t e2, size_t n) {
    uint64_t a = uint64_t(s1) + e1;  // twice the midpoints, below 2n
    uint64_t b = uint64_t(e1) + e2;
    int power = 0;
    for (;;) {
        if ((a < n) != (b < n)) break;
        ++power;
        if (a >= n) {
            a -= n;
            b -= n;
        }
        a *= 2;
        b *= 2;
    }
    return power + 1;
}

template <class Rec, class Cmp>
void merge_sort_records(const Records<Rec, Cmp>& r, size_t n, uint8_t* buffer) {
    auto next_run = [&](size_t s) {
        size_t e = find_run(r, s, n);
        size_t want = n - s < MIN_RUN ? n : s + MIN_RUN;
        if (e < want) {
            r.insertion_sort(s, e, want);
            e = want;
        }
        return e;
    };
    auto merge_at = [&](size_t s, size_t m, size_t e) { merge(r.rec, r.cmp, r.at(s), r.at(m), r.at(e), buffer); };

    // Powers on the stack strictly increase from the bottom, and each is at
    // most the number of bits of 2n plus one.
    struct Entry {
        size_t start;
        int power;
    };
    Entry stack[2 * sizeof(size_t) * 8 + 2];
    int top = 0;
    size_t s1 = 0;
    size_t e1 = next_run(0);
    while (e1 < n) {
        size_t e2 = next_run(e1);
        int power = node_power(s1, e1, e2, n);
        while (top > 0 && stack[top - 1].power > power) {
            --top;
            merge_at(stack[top].start, s1, e1);
            s1 = stack[top].start;
        }
        stack[top++] = Entry{s1, power};
        s1 = e1;
        e1 = e2;
    }
    while (top > 0) {
        --top;
        merge_at(stack[top].start, s1, n);
        s1 = stack[top].start;
    }
}

// --- quicksort ---------------------------------------------------------------

template <class Rec, class Cmp>
struct Quick : Records<Rec, Cmp> {
    using Base = Records<Rec, Cmp>;
    using Base::at;
    using Base::compare;
    using Base::exchange;
    using Base::reverse;

    // In order in the direction dir (1 ascending, -1 descending).
    bool in_order(size_t i, size_t j, int dir) const {
        int c = compare(i, j);
        return dir > 0 ? c <= 0 : c >= 0;
    }
    void put_in_order(size_t i, size_t j) const {
        if (compare(i, j) > 0) exchange(i, j);
    }
    // Exchanges count records of two disjoint blocks, keeping their order.
    void exchange_blocks(size_t a, size_t b, size_t count) const {
        for (size_t k = 0; k < count; ++k) exchange(a + k, b + k);
    }
    // Brings [lo, mid) to the end of [lo, hi), keeping its order.
    void move_to_end(size_t lo, size_t mid, size_t hi) const {
        size_t count = mid - lo;
        if (hi - mid >= count) {
            exchange_blocks(lo, hi - count, count);
        } else {
            reverse(lo, mid);
            reverse(mid, hi);
            reverse(lo, hi);
        }
    }
    // Brings [mid, hi) to the start of [lo, hi), keeping its order.
    void move_to_start(size_t lo, size_t mid, size_t hi) const {
        size_t count = hi - mid;
        if (mid - lo >= count) {
            exchange_blocks(lo, mid, count);
        } else {
            reverse(lo, mid);
            reverse(mid, hi);
            reverse(lo, hi);
        }
    }

    void run(size_t n) const {
        // The ordered prefix; its direction is set by the first unequal pair.
        size_t pe = 1;
        int dir = 0;
        for (; pe < n; ++pe) {
            int c = compare(pe - 1, pe);
            if (dir == 0) {
                if (c != 0) dir = c < 0 ? 1 : -1;
            } else if (dir > 0 ? c > 0 : c < 0) {
                break;
            }
        }
        if (pe < n) {
            // How ordered the rest is: every 97th adjacent pair votes.
            int64_t measure = 0;
            for (size_t j = pe; j + 1 < n; j += 97) {
                int c = compare(j, j + 1);
                measure += (c < 0) - (c > 0);
            }
            uint64_t votes = uint64_t(measure < 0 ? -measure : measure);
            if (votes > n / 512) {
                int way = measure > 0 ? 1 : -1;
                if (way != dir) {
                    pe = 1;
                    dir = way;
                }
                pe = extend_prefix(n, pe, dir);
            }
        }
        if (dir < 0) reverse(0, pe);
        if (pe < n) sort_range(0, n, pe);
    }

    // Nearly sorted input: ordered runs found at positions 10 records apart
    // are joined to the prefix. Returns the new end of the prefix.
    size_t extend_prefix(size_t n, size_t pe, int dir) const {
        size_t pos = pe;
        while (pos < n) {
            size_t rs = pos, re = pos + 1;
            while (re < n && in_order(re - 1, re, dir)) ++re;
            while (rs > pe && in_order(rs - 1, rs, dir)) --rs;
            size_t len = re - rs;
            size_t next = pos + 10 > re ? pos + 10 : re;
            if (len >= 4) {
                // Records set aside from the prefix's end and the run's start.
                size_t kp = 0, kr = 0;
                bool join = true;
                if (pe == 1) {
                    // A single record joins only a run it is in order with;
                    // otherwise it is set aside and the run becomes the prefix.
                    kp = in_order(0, rs, dir) ? 0 : 1;
                } else {
                    size_t m = len / 2 < (pe - 1) / 4 ? len / 2 : (pe - 1) / 4;
                    size_t k = 0;
                    while (k < m && !in_order(pe - 1 - k, rs + k, dir)) ++k;
                    join = k < m;
                    kp = kr = k;
                }
                if (join) {
                    size_t dest = pe - kp;
                    if (dest != rs + kr)
                        for (size_t j = kr; j < len; ++j) exchange(dest + (j - kr), rs + j);
                    pe = dest + (len - kr);
                }
            }
            pos = next;
        }
        return pe;
    }

    // Takes l - h records at equal steps from the back of the range into the
    // places right after the sample [lo, lo + h). The range holds at least
    // 256h records, so the sources all lie beyond lo + l.
    void gather(size_t lo, size_t len, size_t h, size_t l) const {
        size_t step = len / l;
        for (size_t j = 0; j < l - h; ++j) exchange(lo + h + j, lo + len - 1 - j * step);
    }

    struct Split {
        size_t left_len;  // left part: [lo, lo + left_len)
        size_t right_lo;  // right part: [right_lo, lo + l)
    };

    // Three-way partition of [lo, lo + l): [lo, lo + hm) lie below the pivot
    // at lo + hm, [lo + l - hu, lo + l) above it; the records between are
    // compared with the pivot. Records equal to the pivot are gathered at the
    // start of the scanned area and then moved next to the pivot, so neither
    // part holds them. The left part keeps the low records at its start, the
    // right part the high records at its end.
    Split partition(size_t lo, size_t l, size_t hm, size_t hu) const {
        // Locals rather than members in the loops: the record writes could
        // otherwise alias the members and force reloads.
        const Rec rw = this->rec;
        Cmp& c3 = this->cmp;
        const size_t w = rw.width();
        uint8_t* const pv = at(lo + hm);
        const uint8_t* const pivot = pv;
        uint8_t* e = pv + w;  // [pv + w, e) equal to the pivot
        uint8_t* i = e;  // [e, i) below it
        uint8_t* j = at(lo + l - hu);  // [j, ...) above it
        if constexpr (Rec::small) {
            // One scan from the left without a data-dependent branch for the
            // usual case: every record is exchanged with the first record
            // above the pivot, and that boundary advances when the record was
            // not above it. Each comparison happens before its exchange.
            for (uint8_t* p = i; p != j; p += w) {
                int c = c3(static_cast<const uint8_t*>(p), pivot);
                unsigned char x[Rec::width()], y[Rec::width()];
                std::memcpy(x, p, w);
                std::memcpy(y, i, w);
                std::memcpy(p, y, w);
                std::memcpy(i, x, w);
                i += opaque(size_t(c <= 0)) * w;
                if (c == 0) {
                    if (e != i - w) rw.exchange(e, i - w);
                    e += w;
                }
            }
            j = i;
        }
        while (i != j) {
            int c = 0;
            for (;;) {
                while (i != j && (c = c3(static_cast<const uint8_t*>(i), pivot)) < 0) i += w;
                if (i == j || c > 0) break;
                if (i != e) rw.exchange(i, e);
                e += w;
                i += w;
            }
            if (i == j) break;
            // The record at i is above the pivot; find one that is not.
            int cj = 1;
            while (j - i > ptrdiff_t(w) && (cj = c3(static_cast<const uint8_t*>(j - w), pivot)) > 0) j -= w;
            if (j - i == ptrdiff_t(w)) {
                j = i;
                break;
            }
            j -= w;
            rw.exchange(i, j);
            if (cj == 0) {
                if (i != e) rw.exchange(i, e);
                e += w;
            }
            i += w;
        }
        // The pivot and its equals change places with the records below.
        size_t below = size_t(i - e) / w;
        size_t equal = size_t(e - pv) / w;
        size_t count = equal < below ? equal : below;
        uint8_t* x = pv;
        uint8_t* y = i - count * w;
        for (size_t k = 0; k < count; ++k, x += w, y += w) rw.exchange(x, y);
        return Split{hm + below, size_t(i - this->base) / w};
    }

    // Sorts [lo, lo + len) whose first h records are in order (a sample when
    // h > 2). One part is sorted recursively, the other in the same loop.
    void sort_range(size_t lo, size_t len, size_t h) const {
        for (;;) {
            if (len <= 7) {
                this->insertion_sort(lo, lo + (h < len ? h : len), lo + len);
                return;
            }
            if (h >= len) return;
            size_t l, hm, hu;
            if (h <= 2) {
                // Median of three over the first l records.
                l = len < 512 ? len : 63;
                exchange(lo + l / 2, lo + 1);
                put_in_order(lo, lo + 1);
                put_in_order(lo + 1, lo + l - 1);
                put_in_order(lo, lo + 1);
                hm = 1;
                hu = 1;
            } else {
                // The sample's median is the pivot; its upper half goes to the
                // end of the first l records.
                if (len / 256 < h) {
                    l = len;
                } else {
                    l = 16 * h - 1;
                    gather(lo, len, h, l);
                }
                hm = h / 2;
                hu = h - hm - 1;
                move_to_end(lo + hm + 1, lo + h, lo + l);
            }
            Split sp = partition(lo, l, hm, hu);
            size_t left_len = sp.left_len;
            size_t right_lo = sp.right_lo;
            size_t right_len = lo + l - right_lo;
            // The right part's high records sit at its end; as its sample they
            // must lead it.
            size_t right_h = hu;
            if (right_len > hu) {
                if (hu > 2)
                    move_to_start(right_lo, lo + l - hu, lo + l);
                else
                    right_h = 0;
            }
            if (l < len) {
                // The first l records, once sorted, are the next sample.
                sort_range(lo, left_len, hm);
                sort_range(right_lo, right_len, right_h);
                h = l;
                continue;
            }
            if (left_len <= right_len) {
                sort_range(lo, left_len, hm);
                lo = right_lo;
                len = right_len;
                h = right_h;
            } else {
                sort_range(right_lo, right_len, right_h);
                len = left_len;
                h = hm;
            }
        }
    }
};

}  // namespace detail

template <class Cmp>
void merge_sort_by(void* base, size_t n, size_t size, Cmp cmp, void* buffer) {
    if (n < 2 || size == 0) return;
    detail::WorkBuffer owned;
    if (!buffer) buffer = owned.allocate(n / 2, size);
    detail::with_width(size, [&](auto rec) {
        detail::Records<decltype(rec), Cmp> r{static_cast<uint8_t*>(base), rec, cmp};
        detail::merge_sort_records(r, n, static_cast<uint8_t*>(buffer));
    });
}

template <class Cmp>
void quicksort_by(void* base, size_t n, size_t size, Cmp cmp) {
    if (n < 2 || size == 0) return;
    detail::with_width(size, [&](auto rec) {
        detail::Quick<decltype(rec), Cmp> q{{static_cast<uint8_t*>(base), rec, cmp}};
        q.run(n);
    });
}

}  // namespace kel::sort
