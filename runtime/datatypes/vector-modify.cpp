// vector! append, insert and change. The elements to write are checked and
// converted into a scratch copy first: a refused value leaves the vector as
// it was, and a source that shares the vector's buffer gives the elements
// it held before the call.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/memory/roots.h"

namespace kel::vector {

namespace {

using series::Change;

// The elements a value stands for, in the target's width, repeated `dup`
// times: the values of a list (at most `part` when part > 0), the elements
// of a vector of the same element type (another element type raises
// script/invalid-arg with the source), or the value itself. Every value must
// have the element type (else script/invalid-arg with it).
std::vector<uint8_t> elements_of(const Cell& v, const Cell& value, int32_t part, int32_t dup, bool lists) {
    uint32_t w = width(v);
    std::vector<uint8_t> bytes;
    auto add = [&](const Cell& c) {
        detail::check_element(v, c);
        bytes.resize(bytes.size() + w);
        set_value(bytes.data() + bytes.size() - w, c, w);
    };
    uint32_t t = type_of(value);
    if (t == TYPE_VECTOR && !lists) {
        if (element_type(value) != element_type(v)) fire(ErrorId::script_invalid_arg, {value});
        uint32_t sw = width(value);
        for (int64_t i = detail::head_of(value); i < detail::total(value); ++i)
            add(element_value(detail::at(value, i), element_type(value), sw));
    } else if (type_families::is_any_block(t) && (!lists || t == TYPE_BLOCK || t == TYPE_PAREN || t == TYPE_HASH)) {
        Cell list = value;
        int64_t n = block::ks_length(list);
        if (n < 0) n = 0;
        if (lists && part > 0) n = std::min<int64_t>(n, part);
        for (int64_t i = 0; i < n; ++i) add(block::ks_head(list)[i]);
    } else {
        add(value);
    }
    int64_t count = int64_t(bytes.size() / w);
    if (dup < 1) dup = 1;
    detail::check_size(detail::total(v) + count * dup, w);
    size_t one = bytes.size();
    bytes.resize(one * size_t(dup));
    for (int32_t k = 1; k < dup; ++k) std::memcpy(bytes.data() + one * size_t(k), bytes.data(), one);
    return bytes;
}

// Replaces `replaced` elements at `at` with the bytes (a whole number of
// elements); the tail moves by the difference.
void splice(const Cell& v, int64_t at, int64_t replaced, const std::vector<uint8_t>& bytes) {
    uint32_t w = width(v);
    int64_t added = int64_t(bytes.size() / w);
    if (added > replaced) detail::reserve(v, added - replaced);
    SeriesBuffer* b = buffer(v);
    uint8_t* p = b->head_ptr() + uint64_t(at) * w;
    uint8_t* rest = p + uint64_t(replaced) * w;
    std::memmove(p + bytes.size(), rest, size_t(b->tail_ptr() - rest));
    b->tail = b->tail + bytes.size() - uint64_t(replaced) * w;
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
}

}  // namespace

void append(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& options, bool append) {
    Cell v = *series_cell;
    Cell value = *value_cell;
    Rooted keep_v(v), keep_value(value);
    int64_t head = detail::head_of(v);
    v.data1 = uint32_t(head);
    std::vector<uint8_t> bytes = elements_of(v, value, options.part, options.dup, true);
    int64_t added = int64_t(bytes.size() / width(v));
    if (added > 0) {
        int64_t at = append ? detail::total(v) : head;
        bool told =
            series::check(v, append ? Change::append : Change::insert, &value, int32_t(at), int32_t(added)) != 0;
        at = append ? detail::total(v) : std::min<int64_t>(at, detail::total(v));
        splice(v, at, 0, bytes);
        if (told) series::check(v, append ? Change::appended : Change::inserted, &value, int32_t(at), int32_t(added));
        if (!append) v.data1 = uint32_t(at + added);
    }
    *out = v;
}

void change(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& options) {
    Cell v = *series_cell;
    Cell value = *value_cell;
    Rooted keep_v(v), keep_value(value);
    int64_t head = detail::head_of(v);
    v.data1 = uint32_t(head);
    std::vector<uint8_t> bytes = elements_of(v, value, -1, options.dup, false);
    int64_t added = int64_t(bytes.size() / width(v));
    int64_t rest = detail::total(v) - head;
    int64_t replaced = options.part >= 0 ? std::min<int64_t>(options.part, rest) : std::min(added, rest);
    bool told = series::check(v, Change::change, nullptr, int32_t(head), int32_t(replaced)) != 0;
    // The owner's handler may have changed the vector.
    head = std::min(head, detail::total(v));
    replaced = std::min(replaced, detail::total(v) - head);
    splice(v, head, replaced, bytes);
    if (told) series::check(v, Change::changed, nullptr, int32_t(head), int32_t(added));
    v.data1 = uint32_t(std::min(head + added, detail::total(v)));
    *out = v;
}

}  // namespace kel::vector
