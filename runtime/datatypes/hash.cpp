// hash! registration, making and converting, copy, sort, trim and mold.
#include "runtime/datatypes/hash.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::hash {

namespace {

// The table over every value of the block from its buffer's start, for at
// least one value.
void index_block(Cell& blk) {
    int32_t n = int32_t(block::buffer(blk)->cell_count());
    Cell whole = Cell{TYPE_BLOCK, 0, cell_node(blk), 0};
    Rooted keep(whole);
    NodeId table = hashtable::make_table(uint32_t(n < 1 ? 1 : n), &whole, hashtable::KIND_HASH);
    blk.header = TYPE_HASH | (blk.header & CELL_NEW_LINE);
    blk.data3 = table;
}

int32_t count_of(const Cell& spec) {
    if (type_of(spec) == TYPE_INTEGER) return cell_integer(spec);
    numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(spec));
    if (!c.ok) fire(ErrorId::script_out_of_range, {spec});
    return c.value;
}

}  // namespace

Cell* make_at(Cell& blk) {
    index_block(blk);
    return &blk;
}

static void copy(Cell* out, Cell* series, const CopyOptions& options) {
    Cell source = *series;
    Rooted keep(source);
    Cell* result = stack::push(make_none());
    bool whole = int32_t(source.data1) == 0 && !options.part && !options.deep && !options.types;
    if (whole) {
        series::copy(result, &source, CopyOptions{});
        // The same values at the same positions: the table is copied, not
        // built again.
        NodeId table = hashtable::copy(source.data3, cell_node(*result));
        result->data3 = table;
    } else {
        Cell plain = source;
        set_type(plain, TYPE_BLOCK);
        plain.data3 = 0;
        actions::copy(result, &plain, options);
        index_block(*result);
    }
    result->header = TYPE_HASH | (source.header & CELL_NEW_LINE);
    *out = *result;
    stack::pop(1);
}

static void to(Cell* out, Cell* proto, Cell* spec, uint32_t) {
    if (type_of(*spec) == TYPE_HASH) return copy(out, spec, CopyOptions{});
    Cell* result = stack::push(make_none());
    actions::slot_for<ACTION_TO>(TYPE_BLOCK)(result, proto, spec, TYPE_BLOCK);
    index_block(*result);
    *out = *result;
    stack::pop(1);
}

static void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    uint32_t t = type_of(*spec);
    if (t == TYPE_HASH) return copy(out, spec, CopyOptions{});
    if (t != TYPE_INTEGER && t != TYPE_FLOAT && t != TYPE_BLOCK) return to(out, proto, spec, type);
    Cell* result = stack::push(make_none());
    if (t == TYPE_BLOCK) {
        *result = *block::push_copy(*spec, false, false);
        stack::pop(1);
    } else {
        block::make_at(*result, count_of(*spec));
    }
    result->header = TYPE_BLOCK;
    index_block(*result);
    *out = *result;
    stack::pop(1);
}

// The block actions rebuild a hash!'s table over its whole block after they
// rewrote cells in place, so no entry is left pointing past the new tail.
static void sort(Cell* out, Cell* series, const SortOptions& options) {
    actions::slot_for<ACTION_SORT>(TYPE_BLOCK)(out, series, options);
}
static void trim(Cell* out, Cell* series, const TrimOptions& options) {
    actions::slot_for<ACTION_TRIM>(TYPE_BLOCK)(out, series, options);
}

static int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    int64_t limit = options.limit;
    MoldOptions inner = options;
    if (!options.only) {
        string::append_c_string(target, "make hash! ");
        inner.limit = limit - 11;
    }
    return actions::slot_for<ACTION_MOLD>(TYPE_BLOCK)(value, target, inner);
}

void init() {
    datatype::Record r(TYPE_HASH, TYPE_BLOCK, "hash!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_COPY>(copy)
        .own<ACTION_SORT>(sort)
        .own<ACTION_TRIM>(trim)
        .inherit_all<ACTION_FORM, ACTION_EVAL_PATH, ACTION_COMPARE, ACTION_APPEND, ACTION_INSERT, ACTION_CHANGE,
                     ACTION_FIND, ACTION_PUT, ACTION_SELECT, ACTION_SWAP, ACTION_TAKE, ACTION_REFLECT, ACTION_AT,
                     ACTION_BACK, ACTION_CLEAR, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_LENGTH_Q,
                     ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE, ACTION_REVERSE, ACTION_SKIP,
                     ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::hash
