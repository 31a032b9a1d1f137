// vector! make: a count of 32-bit integers, a list of values, or the spec
// dialect [type width count values].
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::vector {

namespace {

struct Spec {
    uint32_t type = TYPE_INTEGER;
    uint32_t width = 4;
    int64_t count = 0;
    Cell values = make_none();  // a block of values, or none
};

// The element type a type word names (compared without regard to case), or 0.
uint32_t type_named(const Cell& word) {
    int32_t sym = symbol::resolve(int32_t(word.data2));
    const struct {
        const char* name;
        uint32_t type;
    } names[] = {{"integer!", TYPE_INTEGER}, {"char!", TYPE_CHAR}, {"float!", TYPE_FLOAT}, {"percent!", TYPE_PERCENT}};
    for (const auto& n : names)
        if (symbol::resolve(symbol::make(n.name)) == sym) return n.type;
    return 0;
}

// The width in bytes of a width in bits for the type, or 0 when refused.
uint32_t width_of(uint32_t type, int32_t bits) {
    if (type == TYPE_PERCENT) return 8;
    if (type == TYPE_FLOAT) return bits == 32 ? 4 : bits == 64 ? 8 : 0;
    return bits == 8 ? 1 : bits == 16 ? 2 : bits == 32 ? 4 : 0;
}

bool is_element_type(uint32_t t) { return t == TYPE_CHAR || t == TYPE_INTEGER || t == TYPE_FLOAT || t == TYPE_PERCENT; }

Spec read_dialect(const Cell& spec) {
    Spec s;
    int64_t head = int32_t(spec.data1) < 0 ? 0 : int32_t(spec.data1);
    int64_t n = int64_t(block::buffer(spec)->cell_count()) - head;
    if (n < 2) fire_bad_make_arg(TYPE_VECTOR, spec);
    // The four fields, copied: looking up the type names may allocate.
    Cell c[4];
    for (int64_t k = 0; k < 4; ++k) c[k] = k < n ? block::buffer(spec)->cells()[head + k] : make_none();
    if (n > 4) n = 4;
    s.type = type_named(c[0]);
    if (!s.type) fire_bad_make_arg(TYPE_VECTOR, spec);
    int64_t i = 1;
    if (type_of(c[1]) == TYPE_INTEGER) {
        s.width = width_of(s.type, cell_integer(c[1]));
        if (!s.width) fire_bad_make_arg(TYPE_VECTOR, spec);
        i = 2;
    } else if (s.type == TYPE_PERCENT) {
        s.width = 8;
    } else {
        fire(ErrorId::script_invalid_spec_field, {spec});
    }
    if (i < n) {
        if (type_of(c[i]) == TYPE_INTEGER) {
            s.count = cell_integer(c[i]);
            ++i;
            if (i < n && type_of(c[i]) == TYPE_BLOCK) s.values = c[i];
        } else if (type_of(c[i]) == TYPE_BLOCK) {
            s.values = c[i];
        } else {
            fire(ErrorId::script_invalid_spec_field, {spec});
        }
    }
    return s;
}

}  // namespace

void make(Cell* out, Cell*, Cell* spec_cell, uint32_t) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    Spec s;
    uint32_t t = type_of(spec);
    if (t == TYPE_INTEGER) {
        s.count = cell_integer(spec);
    } else if (t == TYPE_FLOAT) {
        numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(spec));
        if (!c.ok) fire(ErrorId::script_out_of_range, {spec});
        s.count = c.value;
    } else if (t == TYPE_BLOCK) {
        Cell b = spec;
        if (block::ks_length(b) > 0) {
            Cell first = *block::ks_head(b);
            if (type_of(first) == TYPE_WORD) {
                s = read_dialect(spec);
            } else {
                if (!is_element_type(type_of(first)))
                    fire(ErrorId::script_invalid_type, {datatype::make(type_of(first))});
                s.type = type_of(first);
                s.width = default_width(s.type);
                s.values = spec;
            }
        }
    } else {
        fire(ErrorId::internal_not_done);
    }
    Rooted keep_values(s.values);
    int32_t listed = type_of(s.values) == TYPE_BLOCK ? block::ks_length(s.values) : 0;
    if (listed >= s.count) s.count = listed;
    if (s.count < 0) s.count = 0;
    Cell* result = stack::push(make_none());
    make_at(*result, s.count, s.type, s.width);
    if (listed > 0) append_values(*result, s.values);
    // The rest up to the count is zero.
    int64_t rest = s.count - detail::total(*result);
    if (rest > 0) {
        detail::reserve(*result, rest);
        SeriesBuffer* b = buffer(*result);
        std::memset(b->tail_ptr(), 0, size_t(rest) * b->unit());
        b->tail += uint64_t(rest) * b->unit();
    }
    *out = *result;
    stack::pop(1);
}

}  // namespace kel::vector
