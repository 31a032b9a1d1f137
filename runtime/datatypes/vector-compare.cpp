// vector! comparison, and the vector branches of string! find and sort:
// elements are compared as numbers of their type (char elements unsigned,
// integer elements signed at every width, float and percent elements as
// doubles), never as raw units.
#include "runtime/core/fire.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/sort/sort.h"

namespace kel::vector {

namespace {

// The element as a double: exact for every char and integer element.
double number_at(const uint8_t* at, uint32_t type, uint32_t width) {
    switch (type) {
    case TYPE_CHAR:
        return double(get_char(at, width));
    case TYPE_INTEGER:
        return double(get_integer(at, width));
    default:
        return get_float(at, width);
    }
}

// -1, 0 or 1; unordered floats count as equal.
int32_t order(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

// The sort comparator of one element type and width. flags: bit 0 reverse;
// with bit 1, flags >> 2 elements compared in turn; otherwise the one
// element at offset flags >> 2.
struct ElementCompare {
    uint32_t type;
    uint32_t width;
    uint32_t flags;
    int32_t operator()(const uint8_t* a, const uint8_t* b) const {
        bool whole = (flags & 2) != 0;
        int64_t first = whole ? 0 : int64_t(flags >> 2);
        int64_t n = whole ? int64_t(flags >> 2) : 1;
        int32_t r = 0;
        for (int64_t i = first; i < first + n && r == 0; ++i)
            r = order(number_at(a + i * width, type, width), number_at(b + i * width, type, width));
        return (flags & 1) ? -r : r;
    }
};

void sort_vector(const Cell& v, int64_t head, int64_t records, int64_t size, uint32_t flags, bool stable) {
    SeriesBuffer* b = buffer(v);
    uint32_t w = b->unit();
    uint8_t* base = b->head_ptr() + uint64_t(head) * w;
    ElementCompare cmp{element_type(v), w, flags};
    size_t record = size_t(size) * w;
    // The comparator never allocates: the buffer stays where it is.
    if (stable)
        sort::merge_sort_by(base, size_t(records), record, cmp);
    else
        sort::quicksort_by(base, size_t(records), record, cmp);
}

int64_t find_in_vector(const Cell& v, const Cell& value, int64_t low, int64_t high, int64_t step, bool backward,
                       bool match) {
    double wanted;
    switch (type_of(value)) {
    case TYPE_INTEGER:
        wanted = double(cell_integer(value));
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        wanted = cell_double(value);
        break;
    case TYPE_CHAR:
        wanted = double(value.data2);
        break;
    default:
        return -1;
    }
    uint32_t type = element_type(v), w = width(v);
    if (step == 0) step = 1;
    int64_t stride = step < 0 ? -step : step;
    auto hit = [&](int64_t p) { return number_at(detail::at(v, p), type, w) == wanted; };
    if (backward) {
        for (int64_t p = high - stride; p >= low; p -= stride) {
            if (hit(p)) return p;
            if (match) break;
        }
        return -1;
    }
    for (int64_t p = low; p < high; p += stride) {
        if (hit(p)) return p;
        if (match) break;
    }
    return -1;
}

}  // namespace

int32_t compare(const Cell& a, const Cell& b, int32_t op) {
    if (type_of(b) != TYPE_VECTOR) return COMP_NOT_COMPARABLE;
    if (element_type(a) != element_type(b)) fire(ErrorId::script_not_same_type);
    bool same = cell_node(a) == cell_node(b) && a.data1 == b.data1;
    if (op == COMP_SAME) return same ? 0 : -1;
    int64_t ha = detail::head_of(a), hb = detail::head_of(b);
    int64_t na = detail::total(a) - ha, nb = detail::total(b) - hb;
    bool equality = op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
    if (equality) {
        if (same) return 0;
        if (na != nb) return 1;
    }
    uint32_t type = element_type(a), wa = width(a), wb = width(b);
    for (int64_t i = 0; i < std::min(na, nb); ++i) {
        int32_t r = order(number_at(detail::at(a, ha + i), type, wa), number_at(detail::at(b, hb + i), type, wb));
        if (r) return r;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

void find_init() {
    string::services().vector_find = find_in_vector;
    string::services().vector_sort = sort_vector;
}

}  // namespace kel::vector
