// binary! comparison, and the matching the parse engine uses on bytes.
//
// A string-family value is compared through the UTF-8 bytes of its
// characters from its index, whatever its unit, so that a binary equals the
// string it converts from (#{C3A9} and "é"). Nothing here allocates.
#include <cstring>

#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/series-units.h"

namespace kel::binary {

namespace {

using detail::Bytes;
using detail::Text;

int32_t sign(int32_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// The UTF-8 bytes of a text, read one at a time.
class Utf8Reader {
public:
    explicit Utf8Reader(const Text& t) : t_(t) {}
    bool done() const { return pos_ == len_ && next_ >= t_.count; }
    uint8_t get() {
        if (pos_ == len_) {
            len_ = detail::utf8_or_replacement(t_.at(next_++), seq_);
            pos_ = 0;
        }
        return seq_[pos_++];
    }

private:
    Text t_;
    int64_t next_ = 0;
    uint8_t seq_[4] = {};
    int32_t len_ = 0;
    int32_t pos_ = 0;
};

int64_t utf8_length(const Text& t) {
    if (t.unit == 1) {
        int64_t n = t.count;
        for (int64_t i = 0; i < t.count; ++i) n += t.p[i] >> 7;
        return n;
    }
    uint8_t seq[4];
    int64_t n = 0;
    for (int64_t i = 0; i < t.count; ++i) n += detail::utf8_or_replacement(t.at(i), seq);
    return n;
}

// The order of the first `n` bytes of a against those of b: -1, 0 or 1.
int32_t order_bytes(const uint8_t* a, const uint8_t* b, int64_t n) {
    return n > 0 ? sign(std::memcmp(a, b, size_t(n))) : 0;
}
int32_t order_bytes(const uint8_t* a, Utf8Reader& b, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        uint8_t y = b.get();
        if (a[i] != y) return a[i] < y ? -1 : 1;
    }
    return 0;
}

bool is_equality(int32_t op) {
    return op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
}

}  // namespace

int32_t compare_bytes(const Cell& value1, const Cell& value2, int32_t op, bool prefix) {
    uint32_t type2 = type_of(value2);
    bool text = series::is_string_type(type2);
    if (type2 != TYPE_BINARY && !text) return COMP_NOT_COMPARABLE;
    Bytes a = detail::bytes_of(value1);
    if (type2 == TYPE_BINARY && cell_node(value1) == cell_node(value2) && value1.data1 == value2.data1) {
        if (op == COMP_SAME || is_equality(op)) return 0;
    } else if (op == COMP_SAME) {
        return -1;
    }
    Bytes b{nullptr, 0};
    Text t{nullptr, 0, 1};
    if (text) {
        t = detail::text_of(value2);
        b.n = utf8_length(t);
    } else {
        b = detail::bytes_of(value2);
    }

    int64_t n;
    if (prefix) {
        if (b.n == 0) return op == COMP_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND ? 0 : 1;
        n = a.n < b.n ? a.n : b.n;  // never past value1's tail
    } else {
        if (a.n != b.n && is_equality(op)) return 1;
        n = a.n < b.n ? a.n : b.n;
    }
    int32_t order;
    if (text) {
        Utf8Reader reader(t);
        order = order_bytes(a.p, reader, n);
    } else {
        order = order_bytes(a.p, b.p, n);
    }
    if (order != 0) return order;
    // Equal so far: the shorter is smaller. With prefix a value1 that is too
    // short to hold value2 does not match.
    if (prefix) return a.n < b.n ? -1 : 0;
    return a.n < b.n ? -1 : a.n > b.n ? 1 : 0;
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_BINARY) return COMP_NOT_COMPARABLE;
    return compare_bytes(value1, value2, op, false);
}

bool match(const Cell& bin, const Cell& value, int32_t op) {
    uint32_t type = type_of(value);
    if (type == TYPE_CHAR) {
        Bytes a = detail::bytes_of(bin);
        return a.n > 0 && a.p[0] == value.data2;
    }
    if (type != TYPE_BINARY && !series::is_string_type(type)) return false;
    return compare_bytes(bin, value, op, true) == 0;
}

bool byte_in_bitset(const Cell& bin, const Cell& bitset) {
    Bytes a = detail::bytes_of(bin);
    if (a.n <= 0) return false;
    uint32_t byte = a.p[0];
    SeriesBuffer* bits = memory::buffer_of(cell_node(bitset));
    if (uint64_t(byte) >= bits->used() * 8) return (bits->flags & series_flag::COMPLEMENT) != 0;
    return (bits->head_ptr()[byte >> 3] & (0x80u >> (byte & 7))) != 0;
}

}  // namespace kel::binary
