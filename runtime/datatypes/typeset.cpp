// typeset!: making, set operations, conversion and text.
#include "runtime/datatypes/typeset.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::typeset {

namespace {

// A word stands for its value.
Cell resolved(const Cell& value) {
    if (type_of(value) == TYPE_WORD) return *context::get(value);
    return value;
}

void merge(Cell& into, const Cell& from) {
    into.data1 |= from.data1;
    into.data2 |= from.data2;
    into.data3 |= from.data3;
}

void and_op() { do_bitwise(MATH_AND); }
void or_op() { do_bitwise(MATH_OR); }
void xor_op() { do_bitwise(MATH_XOR); }

int64_t write(const Cell& ts, const Cell& buffer, bool only, bool part, int64_t limit) {
    if (!only) {
        string::append_c_string(buffer, "make typeset! [");
        limit -= 15;
    }
    bool wrote = false;
    for (uint32_t t = 1; t <= datatype::highest(); ++t) {
        if (!has(ts, t) || !datatype::name(t)) continue;
        if (part && limit < 0) return limit;
        string::append_c_string(buffer, datatype::name(t));
        string::append_c_string(buffer, " ");
        limit -= int64_t(datatype::name_length(t)) + 2;  // the name, its "!" and a space
        wrote = true;
    }
    SeriesBuffer* b = string::buffer(buffer);
    if (only) {
        if (wrote) {
            b->tail -= b->unit();
            ++limit;
        }
        return limit;
    }
    if (wrote) {
        // The trailing space becomes the closing bracket.
        b->tail -= b->unit();
        string::append_c_string(buffer, "]");
    } else {
        string::append_c_string(buffer, "]");
        --limit;
    }
    return limit;
}

}  // namespace

Cell* clear(Cell& ts) {
    ts.data1 = ts.data2 = ts.data3 = 0;
    return &ts;
}

int32_t count(const Cell& ts) {
    int32_t n = 0;
    for (uint32_t t = 1; t <= datatype::highest(); ++t) n += has(ts, t) ? 1 : 0;
    return n;
}

void add_type(Cell& ts, const Cell& value) {
    Cell v = resolved(value);
    switch (type_of(v)) {
    case TYPE_TYPESET:
        merge(ts, v);
        break;
    case TYPE_DATATYPE:
        set_bit(ts, datatype::type_of_value(v));
        break;
    default:
        fire(ErrorId::script_invalid_arg, {value});
    }
}

Cell make_default() {
    Cell ts{TYPE_TYPESET, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    bytes(ts)[TYPE_UNSET >> 3] &= uint8_t(~(0x80u >> (TYPE_UNSET & 7)));
    return ts;
}

Cell from_block(const Cell& spec) {
    Cell blk = spec;
    Rooted keep(blk);
    Cell ts = make_empty();
    int32_t length = block::ks_length(blk);
    for (int32_t i = 0; i < length; ++i) {
        Cell v = resolved(block::ks_abs_at(blk, int32_t(blk.data1) + i)[0]);
        switch (type_of(v)) {
        case TYPE_DATATYPE:
            set_bit(ts, datatype::type_of_value(v));
            break;
        case TYPE_TYPESET:
            merge(ts, v);
            break;
        case TYPE_WORD:
            set_bit(ts, TYPE_OBJECT);
            break;
        case TYPE_BLOCK:
            break;
        default:
            fire(ErrorId::script_invalid_type_spec, {v});
        }
    }
    return ts;
}

void to_block(const Cell& ts, Cell& out) {
    const Cell set = ts;
    block::make_at(out, 4);
    out.header = TYPE_BLOCK;
    for (uint32_t t = 1; t <= datatype::highest(); ++t) {
        const Cell* w = has(set, t) ? datatype::word(t) : nullptr;
        if (w) block::append_cell(out, *w);
    }
}

void do_bitwise(int32_t op) {
    Cell* args = stack::arguments();
    if (op == 8) return;  // unique: the left typeset itself
    Cell left = args[0];
    Cell right = args[1];
    if (type_of(right) == TYPE_DATATYPE) {
        Cell only = make_empty();
        set_bit(only, datatype::type_of_value(right));
        right = only;
    } else if (type_of(right) != TYPE_TYPESET) {
        fire(ErrorId::script_invalid_arg, {right});
    }
    Cell result = make_empty();
    uint32_t* r = &result.data1;
    const uint32_t* a = &left.data1;
    const uint32_t* b = &right.data1;
    for (int i = 0; i < 3; ++i) {
        switch (op) {
        case MATH_OR:
        case 9:
            r[i] = a[i] | b[i];
            break;
        case MATH_AND:
        case 10:
            r[i] = a[i] & b[i];
            break;
        case MATH_XOR:
        case 12:
            r[i] = a[i] ^ b[i];
            break;
        case 11:
            r[i] = a[i] & ~b[i];
            break;
        default:
            no_switch_matched();
        }
    }
    args[0] = result;
}

static void make(Cell* out, Cell*, Cell* spec, uint32_t) {
    if (type_of(*spec) == TYPE_TYPESET) {
        *out = *spec;
        return;
    }
    if (type_of(*spec) != TYPE_BLOCK) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_TYPESET), *spec});
    Cell blk = *spec;
    Rooted keep(blk);
    Cell ts = make_empty();
    int32_t length = block::ks_length(blk);
    for (int32_t i = 0; i < length; ++i) add_type(ts, block::ks_abs_at(blk, int32_t(blk.data1) + i)[0]);
    *out = ts;
}

static int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    return write(value, buffer, false, part, limit);
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return write(value, buffer, options.only, options.part, options.limit);
}

static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_TYPESET) return COMP_NOT_COMPARABLE;
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SAME:
    case COMP_FIND:
        return value1.data1 == value2.data1 && value1.data2 == value2.data2 && value1.data3 == value2.data3 ? 0 : 1;
    case COMP_SORT:
    case COMP_CASE_SORT: {
        int32_t a = count(value1);
        int32_t b = count(value2);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    default:
        return COMP_NOT_COMPARABLE;
    }
}

static void complement(Cell* out, Cell* value) {
    Cell ts = *value;
    ts.data1 = ~ts.data1;
    ts.data2 = ~ts.data2;
    ts.data3 = ~ts.data3;
    *out = ts;
}

static void find(Cell* out, Cell* ts, Cell* value, const FindOptions&) {
    if (type_of(*value) != TYPE_DATATYPE) fire(ErrorId::script_invalid_arg, {*value});
    *out = Cell{TYPE_LOGIC, has(*ts, datatype::type_of_value(*value)) ? 1u : 0u, 0, 0};
}

void init() {
    datatype::register_type(datatype::Record(TYPE_TYPESET, 0, "typeset!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_TO>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_AND_T>(and_op)
                                .own<ACTION_COMPLEMENT>(complement)
                                .own<ACTION_OR_T>(or_op)
                                .own<ACTION_XOR_T>(xor_op)
                                .own<ACTION_FIND>(find));
    block::services().typeset_to_block = [](Cell* out, const Cell& ts) { to_block(ts, *out); };
}

}  // namespace kel::typeset
