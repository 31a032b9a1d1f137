// vector! registration, element access by width, making vectors, the
// accessors for routine code, and the seams of the series, string and block
// modules.
#include "runtime/datatypes/vector.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float32.h"

namespace kel::vector {

// Element access -----------------------------------------------------------------------

uint32_t default_width(uint32_t type) { return type == TYPE_FLOAT || type == TYPE_PERCENT ? 8 : 4; }

int32_t get_integer(const uint8_t* at, uint32_t width) {
    switch (width) {
    case 1: {
        int8_t x;
        std::memcpy(&x, at, 1);
        return x;
    }
    case 2: {
        int16_t x;
        std::memcpy(&x, at, 2);
        return x;
    }
    default: {
        int32_t x;
        std::memcpy(&x, at, 4);
        return x;
    }
    }
}

uint32_t get_char(const uint8_t* at, uint32_t width) {
    switch (width) {
    case 1:
        return *at;
    case 2: {
        uint16_t x;
        std::memcpy(&x, at, 2);
        return x;
    }
    default: {
        uint32_t x;
        std::memcpy(&x, at, 4);
        return x;
    }
    }
}

double get_float(const uint8_t* at, uint32_t width) {
    if (width == 4) {
        float f;
        std::memcpy(&f, at, 4);
        return f;
    }
    double d;
    std::memcpy(&d, at, 8);
    return d;
}

Cell element_value(const uint8_t* at, uint32_t type, uint32_t width) {
    switch (type) {
    case TYPE_CHAR:
        return char_::make_cell(get_char(at, width));
    case TYPE_INTEGER:
        return make_integer(get_integer(at, width));
    default:
        return float_::make_cell(get_float(at, width), type);
    }
}

Cell* push_value(const uint8_t* at, uint32_t type, uint32_t width) {
    return stack::push(element_value(at, type, width));
}

void set_value(uint8_t* at, const Cell& value, uint32_t width) {
    switch (type_of(value)) {
    case TYPE_CHAR:
    case TYPE_INTEGER: {
        // The low bits of the width: 300 in 8 bits is 44.
        uint32_t bits = value.data2;
        if (width == 1) {
            uint8_t x = uint8_t(bits);
            std::memcpy(at, &x, 1);
        } else if (width == 2) {
            uint16_t x = uint16_t(bits);
            std::memcpy(at, &x, 2);
        } else {
            std::memcpy(at, &bits, 4);
        }
        return;
    }
    case TYPE_FLOAT:
    case TYPE_PERCENT: {
        double d = cell_double(value);
        if (width == 8) {
            std::memcpy(at, &d, 8);
        } else {
            float f = numbers::to_float32(d);
            std::memcpy(at, &f, 4);
        }
        return;
    }
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(value))});
    }
}

// Making --------------------------------------------------------------------------------

void detail::check_size(int64_t count, uint32_t width) {
    if (count < 0 || count > int64_t(INT32_MAX) / int64_t(width)) fire(ErrorId::internal_no_memory);
}

void detail::check_element(const Cell& v, const Cell& value) {
    if (type_of(value) != element_type(v)) fire(ErrorId::script_invalid_arg, {value});
}

void detail::reserve(const Cell& v, int64_t count) {
    SeriesBuffer* b = buffer(v);
    uint32_t w = b->unit();
    check_size(detail::total(v) + count, w);
    uint64_t need = b->tail + uint64_t(count) * w;
    if (need > b->size) memory::grow_series(b, need, need > 2 * b->size ? need : 2 * b->size);
}

Cell* make_at(Cell& cell, int64_t count, uint32_t type, uint32_t width) {
    detail::check_size(count, width);
    NodeId node = memory::alloc_series(uint64_t(count < 1 ? 1 : count), width, 0);
    cell = Cell{TYPE_VECTOR, 0, node, type};
    return &cell;
}

void to_block(Cell* out, const Cell& v_in) {
    Cell v = v_in;
    Rooted keep(v);
    int64_t head = detail::head_of(v);
    int64_t n = detail::total(v) - head;
    Cell result = make_none();
    Rooted keep_result(result);
    block::make_at(result, int32_t(n));
    result.header = TYPE_BLOCK;
    for (int64_t i = head; i < detail::total(v); ++i)
        block::append_cell(result, element_value(detail::at(v, i), element_type(v), width(v)));
    *out = result;
}

// Accessors for routine code ---------------------------------------------------------------

int32_t ks_length(const Cell& v) { return int32_t(detail::total(v) - detail::head_of(v)); }

bool ks_skip(Cell& v, int32_t n) {
    int64_t to = int64_t(int32_t(v.data1)) + n;
    if (to <= detail::total(v)) v.data1 = uint32_t(int32_t(to));
    return to >= detail::total(v);
}

bool ks_next(Cell& v) { return ks_skip(v, 1); }
uint8_t* ks_head(const Cell& v) { return detail::at(v, detail::head_of(v)); }
uint8_t* ks_tail(const Cell& v) { return detail::at(v, detail::total(v)); }
bool ks_tail_q(const Cell& v) { return int32_t(v.data1) >= detail::total(v); }

void ks_clear(const Cell& v) {
    SeriesBuffer* b = buffer(v);
    b->tail = b->offset + uint64_t(detail::head_of(v)) * b->unit();
}

void ks_append_int(const Cell& v, uint32_t raw) {
    detail::reserve(v, 1);
    SeriesBuffer* b = buffer(v);
    uint32_t w = b->unit();
    std::memcpy(b->tail_ptr(), &raw, w < 4 ? w : 4);
    b->tail += w;
}

void ks_append(const Cell& v, const Cell& value) { ks_insert(v, detail::total(v), value); }

void ks_poke(const Cell& v, int64_t offset, const Cell& value) {
    detail::check_element(v, value);
    if (offset < 0 || offset > detail::total(v)) fire(ErrorId::script_out_of_range, {make_integer(int32_t(offset))});
    if (offset == detail::total(v)) return ks_insert(v, offset, value);
    set_value(detail::at(v, offset), value, width(v));
}

void ks_insert(const Cell& v, int64_t offset, const Cell& value) {
    detail::check_element(v, value);
    if (offset < 0 || offset > detail::total(v)) fire(ErrorId::script_out_of_range, {make_integer(int32_t(offset))});
    Cell keep_value = value;
    detail::reserve(v, 1);
    SeriesBuffer* b = buffer(v);
    uint32_t w = b->unit();
    uint8_t* at = b->head_ptr() + uint64_t(offset) * w;
    std::memmove(at + w, at, size_t(b->tail_ptr() - at));
    b->tail += w;
    set_value(at, keep_value, w);
}

void append_values(const Cell& v_in, const Cell& blk_in) {
    Cell v = v_in, blk = blk_in;
    Rooted keep_v(v), keep_blk(blk);
    int64_t head = int32_t(blk.data1) < 0 ? 0 : int32_t(blk.data1);
    for (int64_t i = head; i < int64_t(block::buffer(blk)->cell_count()); ++i)
        ks_append(v, block::buffer(blk)->cells()[i]);
}

Cell* push(const Cell& v) { return stack::push(v); }

// Seams ------------------------------------------------------------------------------------

namespace {

void series_set_value(const Cell& v, const Cell& value, uint8_t* element) { set_value(element, value, width(v)); }

void block_of_vector(Cell* out, const Cell& v) { to_block(out, v); }

}  // namespace

void find_init();
void math_init();

void init() {
    datatype::Record r(TYPE_VECTOR, TYPE_STRING, "vector!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_ADD>(add)
        .own<ACTION_SUBTRACT>(subtract)
        .own<ACTION_MULTIPLY>(multiply)
        .own<ACTION_DIVIDE>(divide)
        .own<ACTION_REMAINDER>(remainder)
        .own<ACTION_AND_T>(and_t)
        .own<ACTION_OR_T>(or_t)
        .own<ACTION_XOR_T>(xor_t)
        .own<ACTION_APPEND>(append)
        .own<ACTION_INSERT>(append)
        .own<ACTION_CHANGE>(change)
        .inherit_all<ACTION_EVAL_PATH, ACTION_FIND, ACTION_SELECT, ACTION_SORT, ACTION_TAKE, ACTION_RANDOM,
                     ACTION_REFLECT, ACTION_AT, ACTION_BACK, ACTION_CLEAR, ACTION_COPY, ACTION_HEAD, ACTION_HEAD_Q,
                     ACTION_INDEX_Q, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE,
                     ACTION_REVERSE, ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
    series::services().vector_push_value = push_value;
    series::services().vector_set_value = series_set_value;
    block::services().vector_to_block = block_of_vector;
    find_init();
    math_init();
}

}  // namespace kel::vector
