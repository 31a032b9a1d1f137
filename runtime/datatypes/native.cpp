// native!, action! and op!: making, reflection, texts and comparison.
#include "runtime/datatypes/native.h"

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::native {

namespace {

int64_t append_text(const Cell& buffer, const char* text, int64_t limit, int64_t units) {
    string::append_c_string(buffer, text);
    return limit - units;
}

int64_t native_form(Cell, Cell buffer, bool, int64_t limit) { return append_text(buffer, "?native?", limit, 8); }
int64_t action_form(Cell, Cell buffer, bool, int64_t limit) { return append_text(buffer, "?action?", limit, 8); }
int64_t op_form(Cell, Cell buffer, bool, int64_t limit) { return append_text(buffer, "?op?", limit, 4); }

int64_t mold_made(const Cell& value, const Cell& buffer, const MoldOptions& options, const char* opening) {
    int64_t limit = append_text(buffer, opening, options.limit, 14);
    limit = mold_spec(value.data2, buffer, limit);
    return append_text(buffer, "]", limit, 1);
}

int64_t native_mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_made(value, buffer, options, "make native! [");
}
int64_t action_mold(Cell value, Cell buffer, const MoldOptions& options) {
    return mold_made(value, buffer, options, "make action! [");
}

int64_t op_mold(Cell value, Cell buffer, const MoldOptions& options) {
    int64_t limit = append_text(buffer, "make op! ", options.limit, 9);
    if (wrapped_type(value) == TYPE_FUNCTION) {
        limit = append_text(buffer, "func ", limit, 5);
        limit = mold_spec(value.data2, buffer, limit);
        Cell body = memory::buffer_of(value.data3)->cells()[0];
        if (type_of(body) == TYPE_BLOCK) limit = mold_spec(cell_node(body), buffer, limit);
        return limit;
    }
    limit = append_text(buffer, "[", limit, 1);
    limit = mold_spec(value.data2, buffer, limit);
    return append_text(buffer, "]", limit, 1);
}

// Set once the library has given the type words of the specs their values.
bool caches_at_make = false;

[[noreturn]] void bad_make(const Cell& proto, const Cell& spec) { fire(ErrorId::script_bad_make_arg, {proto, spec}); }

}  // namespace

int64_t mold_spec(NodeId spec, const Cell& buffer, int64_t limit) {
    MoldOptions o;
    o.limit = limit;
    return actions::mold(Cell{TYPE_BLOCK, 0, spec, 0}, buffer, o);
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    int32_t highest = type == TYPE_ACTION ? ACTION_TABLE_COUNT : NATIVE_COUNT;
    if (type_of(*spec) != TYPE_BLOCK || block::ks_length(*spec) != 2) bad_make(*proto, *spec);
    const Cell* values = block::ks_abs_at(*spec, int32_t(spec->data1));
    const Cell words = values[0];
    const Cell index = values[1];
    if (type_of(words) != TYPE_BLOCK) bad_make(*proto, *spec);
    if (type_of(index) != TYPE_INTEGER || cell_integer(index) < 1 || cell_integer(index) > highest)
        bad_make(*proto, *spec);
    *out = from_spec(type, cell_integer(index), cell_node(words));
}

Cell from_spec(uint32_t type, int32_t index, NodeId spec) {
    Cell* result = stack::push(Cell{type, uint32_t(index), spec, 0});
    Cell* more = stack::push(make_none());
    block::make_at(*more, 2);
    more->header = TYPE_BLOCK;
    result[0].data3 = cell_node(*more);
    Cell spec_block{TYPE_BLOCK, 0, spec, 0};
    NodeId ctx = context::make_from_block(spec_block, true, false, context::KIND_FUNCTION);
    block::append_cell(*more, *context::cell_of(ctx));
    block::append_cell(*more, make_none());
    if (caches_at_make) interpreter::build_arity_cache(result[0]);
    Cell made = result[0];
    stack::pop(uint32_t(stack::top() - result));
    return made;
}

void fix_arities() {
    NodeId global = context::global();
    for (uint32_t i = 0; i < context::word_count(global); ++i) {
        Cell v = context::values_of(*context::cell_of(global))[i];
        uint32_t t = type_of(v);
        if (t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_ROUTINE) interpreter::arity_cache(v);
    }
    caches_at_make = true;
}

bool arities_fixed() { return caches_at_make; }

bool op_valid_spec(NodeId spec) {
    SeriesBuffer* b = memory::buffer_of(spec);
    int arguments = 0;
    for (const Cell* c = b->cells(); c < b->cells_tail(); ++c) {
        switch (type_of(*c)) {
        case TYPE_WORD:
            ++arguments;
            break;
        case TYPE_LIT_WORD:
        case TYPE_GET_WORD:
            if (arguments == 0) return false;  // no quoted left argument
            ++arguments;
            break;
        case TYPE_REFINEMENT: {
            int32_t s = symbol::resolve(int32_t(c->data2));
            if (s == symbol::resolve(int32_t(words::refinement(words::Ref::local).data2)) ||
                s == symbol::resolve(int32_t(words::refinement(words::Ref::extern_).data2)))
                return arguments == 2;
            return false;
        }
        case TYPE_SET_WORD:
            return arguments == 2;
        default:
            break;
        }
    }
    return arguments == 2;
}

// make of op!: from a native, action, function or routine whose spec takes
// exactly two arguments, the first not quoted, and no refinement.
static void op_make(Cell* out, Cell*, Cell* spec, uint32_t) {
    uint32_t t = type_of(*spec);
    if (!type_families::is_direct_callable(t)) fire(ErrorId::script_invalid_type, {datatype::make(t)});
    if (!op_valid_spec(spec->data2)) fire(ErrorId::script_bad_op_spec);
    Cell result = *spec;
    if (t == TYPE_FUNCTION || t == TYPE_ROUTINE) memory::buffer_of(spec->data3)->cells()[3] = *spec;
    result.header = TYPE_OP | (t << OP_WRAPPED_SHIFT) | (spec->header & OP_CALLEE_FLAGS);
    *out = result;
}

// reflect spec and body of the three types.
static void reflect(Cell* out, Cell* value, int32_t field) {
    const Cell v = *value;
    if (words::is(field, words::Sym::spec)) {
        *out = Cell{TYPE_BLOCK, 0, v.data2, 0};
        return;
    }
    if (words::is(field, words::Sym::body)) {
        uint32_t kind = type_of(v) == TYPE_OP ? wrapped_type(v) : type_of(v);
        if (kind == TYPE_FUNCTION || kind == TYPE_ROUTINE) {
            *out = memory::buffer_of(v.data3)->cells()[0];
            return;
        }
        *out = make_integer(int32_t(v.data1));
        return;
    }
    fire(ErrorId::internal_not_done);
}

// Values of one type order by their table index (an op by its callee's
// word 1); the ordering ops cannot compare them.
static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value1) != type_of(value2)) return COMP_NOT_COMPARABLE;
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SORT:
    case COMP_CASE_SORT:
    case COMP_SAME:
    case COMP_FIND:
        return value1.data1 < value2.data1 ? -1 : value1.data1 > value2.data1 ? 1 : 0;
    default:
        return COMP_NOT_COMPARABLE;
    }
}

void init() {
    using datatype::Record;
    datatype::register_type(Record(TYPE_NATIVE, 0, "native!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_REFLECT>(reflect)
                                .own<ACTION_FORM>(native_form)
                                .own<ACTION_MOLD>(native_mold)
                                .own<ACTION_COMPARE>(compare));
    datatype::register_type(Record(TYPE_ACTION, TYPE_NATIVE, "action!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_FORM>(action_form)
                                .own<ACTION_MOLD>(action_mold)
                                .own<ACTION_COMPARE>(compare)
                                .inherit<ACTION_REFLECT>());
    datatype::register_type(Record(TYPE_OP, TYPE_NATIVE, "op!")
                                .own<ACTION_MAKE>(op_make)
                                .own<ACTION_FORM>(op_form)
                                .own<ACTION_MOLD>(op_mold)
                                .own<ACTION_COMPARE>(compare)
                                .inherit<ACTION_REFLECT>());
}

}  // namespace kel::native
