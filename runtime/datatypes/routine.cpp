// routine!: making routines registered from C++, their arity, form, mold
// and registration.
#include "runtime/datatypes/routine.h"

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::routine {

namespace {

int64_t form(Cell, Cell buffer, bool, int64_t limit) {
    string::append_c_string(buffer, "?routine?");
    return limit - 9;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    string::append_c_string(buffer, "routine ");
    int64_t limit = native::mold_spec(value.data2, buffer, options.limit - 8);
    Cell body = memory::buffer_of(value.data3)->cells()[0];
    if (type_of(body) == TYPE_BLOCK) return native::mold_spec(cell_node(body), buffer, limit);
    string::append_c_string(buffer, " ");
    MoldOptions o;
    o.limit = limit - 1;
    return actions::mold(body, buffer, o);
}

}  // namespace

void set_arity(Cell& r) {
    SeriesBuffer* b = memory::buffer_of(r.data2);
    uint32_t n = 0;
    for (const Cell* c = reinterpret_cast<const Cell*>(b->data()); c < b->cells_tail(); ++c)
        if (type_of(*c) == TYPE_WORD) ++n;
    r.header = (r.header & ~ARITY_MASK) | ((n & 31) << ARITY_SHIFT);
}

// The first value of each type block of the spec, up to its first
// refinement or set-word, as a new block pushed on the argument stack.
Cell* argument_types(const Cell& spec) {
    Cell* types = stack::push(make_none());
    block::make_at(*types, 4);
    types->header = TYPE_BLOCK;
    for (int32_t i = 0; i < block::ks_length(spec); ++i) {
        const Cell c = *block::ks_abs_at(spec, int32_t(spec.data1) + i);
        uint32_t t = type_of(c);
        if (t == TYPE_REFINEMENT || t == TYPE_SET_WORD) break;
        if (t != TYPE_BLOCK) continue;
        // An empty type block stands for itself; the call refuses it.
        block::append_cell(*types, block::ks_length(c) <= 0 ? c : *block::ks_abs_at(c, int32_t(c.data1)));
    }
    return types;
}

Cell* push(const Cell& spec_cell, const Cell* body_cell, int32_t index, int32_t result_type, bool flag) {
    Cell* saved_top = stack::top();
    Cell spec = spec_cell;
    Rooted keep_spec(spec);
    Cell holder{TYPE_WORD, context::make_from_block(spec, true, false, context::KIND_FUNCTION), 0, context::NO_INDEX};
    Rooted keep_ctx(holder);
    Cell more = make_none();
    Rooted keep_more(more);
    block::make_at(more, 6);
    more.header = TYPE_BLOCK;
    block::append_cell(more, body_cell ? *body_cell : make_none());
    block::append_cell(more, make_unset());
    block::append_cell(more, make_integer(index));
    block::append_cell(more, make_unset());
    block::append_cell(more, make_integer(result_type));
    block::append_cell(more, *argument_types(spec));
    Cell r{TYPE_ROUTINE | (flag ? 0x8000u : 0u), holder.data1, cell_node(spec), cell_node(more)};
    set_arity(r);
    if (native::arities_fixed()) interpreter::build_arity_cache(r);
    stack::pop(uint32_t(stack::top() - (saved_top)));
    return stack::push(r);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_ROUTINE, TYPE_FUNCTION, "routine!")
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .inherit<ACTION_COMPARE>()
                                .inherit<ACTION_REFLECT>());
}

}  // namespace kel::routine
