// Text comparison: one routine decides every comparison of text (the compare
// action of the string types, symbol! compare, prefix matching of find and
// parse).
#include <cstring>

#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::string {

namespace {

// An operand: units of a string buffer, or the UTF-8 spelling of a symbol
// (unit 0), read from its start.
struct Text {
    const uint8_t* p;
    const uint8_t* end;  // UTF-8 only
    int64_t length;  // code points
    uint32_t unit;
    NodeId node;
    int64_t head;
};

Text text_of(const Cell& c) {
    if (type_of(c) == TYPE_SYMBOL) {
        SeriesBuffer* b = memory::buffer_of(c.data3);
        const uint8_t* p = b->head_ptr();
        const uint8_t* end = b->tail_ptr();
        return Text{p, end, unicode::count_chars(p, end), 0, c.data3, 0};
    }
    SeriesBuffer* b = memory::buffer_of(cell_node(c));
    uint32_t shift = unicode::unit_shift(b->unit());
    int64_t units = int64_t(b->used() >> shift);
    int64_t head = series::head_inside(c, units);
    return Text{b->head_ptr() + (head << shift), nullptr, units - head, b->unit(), cell_node(c), head};
}

template <uint32_t U>
struct Units {
    const uint8_t* p;
    uint32_t next() {
        uint32_t c;
        if constexpr (U == 1)
            c = *p;
        else if constexpr (U == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            c = v;
        } else
            std::memcpy(&c, p, 4);
        p += U;
        return c;
    }
};

struct Utf8 {
    const uint8_t* p;
    const uint8_t* end;
    uint32_t next() {
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, end, cp);
        return cp < 0 ? 0xFFFD : uint32_t(cp);
    }
};

// The last pair read by the loop: equal when the n pairs were all equal.
struct Pair {
    uint32_t a, b;
};

inline uint32_t fold(uint32_t c) { return unicode::upper_char(c); }

template <class A, class B>
Pair run(A a, B b, int64_t n, bool exact) {
    uint32_t c1 = 0, c2 = 0;
    if (exact) {
        for (int64_t i = 0; i < n; ++i) {
            c1 = a.next();
            c2 = b.next();
            if (c1 != c2) return {c1, c2};
        }
        return {c1, c2};
    }
    for (int64_t i = 0; i < n; ++i) {
        c1 = a.next();
        c2 = b.next();
        if (c1 != c2) {
            c1 = fold(c1);
            c2 = fold(c2);
            if (c1 != c2) return {c1, c2};
        }
    }
    return {c1, c2};
}

// Two one-byte texts: runs of eight equal bytes are skipped whole (equal bytes
// fold equal); a differing byte is folded.
Pair run_bytes(const uint8_t* a, const uint8_t* b, int64_t n, bool exact) {
    int64_t i = 0;
    while (i < n) {
        while (i + 8 <= n) {
            uint64_t x, y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y) break;
            i += 8;
        }
        int64_t stop = i + 8 < n ? i + 8 : n;
        for (; i < stop; ++i) {
            uint32_t c1 = a[i], c2 = b[i];
            if (c1 == c2) continue;
            if (!exact) {
                c1 = fold(c1);
                c2 = fold(c2);
            }
            if (c1 != c2) return {c1, c2};
        }
    }
    return {0, 0};
}

template <class A>
Pair run_second(A a, const Text& t2, int64_t n, bool exact) {
    switch (t2.unit) {
    case 0:
        return run(a, Utf8{t2.p, t2.end}, n, exact);
    case 1:
        return run(a, Units<1>{t2.p}, n, exact);
    case 2:
        return run(a, Units<2>{t2.p}, n, exact);
    default:
        return run(a, Units<4>{t2.p}, n, exact);
    }
}

Pair run_texts(const Text& t1, const Text& t2, int64_t n, bool exact) {
    if (t1.unit == 1 && t2.unit == 1) return run_bytes(t1.p, t2.p, n, exact);
    switch (t1.unit) {
    case 0:
        return run_second(Utf8{t1.p, t1.end}, t2, n, exact);
    case 1:
        return run_second(Units<1>{t1.p}, t2, n, exact);
    case 2:
        return run_second(Units<2>{t1.p}, t2, n, exact);
    default:
        return run_second(Units<4>{t1.p}, t2, n, exact);
    }
}

bool is_equality(int32_t op) {
    return op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
}

}  // namespace

int32_t compare_strings(const Cell& a, const Cell& b, int32_t op, bool prefix) {
    Text t1 = text_of(a);
    Text t2 = text_of(b);
    bool same = t1.node == t2.node && t1.head == t2.head && (t1.unit == 0) == (t2.unit == 0);
    if (op == COMP_SAME) return same ? 0 : -1;
    if (same && is_equality(op)) return 0;

    int64_t len1 = t1.length, len2 = t2.length;
    int64_t n;
    if (prefix) {
        if (len2 == 0) return op == COMP_FIND ? 1 : 0;
        if (len2 > len1) return 1;
        n = len2;
    } else {
        if (len1 == 0 && len2 == 0) return 0;
        if (len1 != len2) {
            if (is_equality(op)) return 1;
            if (len2 == 0) return 1;
        }
        if (len1 == 0) return -1;
        n = len1 < len2 ? len1 : len2;
    }
    bool exact = op == COMP_STRICT_EQUAL || op == COMP_CASE_SORT;
    Pair last = run_texts(t1, t2, n, exact);
    if (last.a == last.b) {
        if (prefix) return 0;
        return len1 < len2 ? -1 : len1 > len2 ? 1 : 0;
    }
    return last.a < last.b ? -1 : 1;
}

int32_t compare(const Cell& a, const Cell& b, int32_t op) {
    if (type_of(a) != type_of(b)) {
        if (!series::is_string_type(type_of(b))) return COMP_NOT_COMPARABLE;
        if (op != COMP_EQUAL && op != COMP_NOT_EQUAL) return COMP_NOT_COMPARABLE;
    }
    return compare_strings(a, b, op, false);
}

}  // namespace kel::string
