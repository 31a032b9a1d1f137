#include "runtime/datatypes/none.h"

#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::none {

Cell* box() {
    *stack::arguments() = none_value;
    return stack::arguments();
}

Cell* make_in(const Cell& block) {
    Cell* c = alloc_block_tail(block);
    *c = none_value;
    return c;
}

Cell* push() { return stack::push(none_value); }

// The actions that answer a value write none into out.
static void make(Cell* out, Cell*, Cell*, uint32_t) { *out = none_value; }

static int64_t form(Cell, Cell buffer, bool, int64_t limit) {
    string::append_c_string(buffer, "none");
    return limit - 4;
}

static int64_t mold(Cell, Cell buffer, const MoldOptions& options) {
    string::append_c_string(buffer, options.all ? "#(none)" : "none");
    return options.limit - (options.all ? 7 : 4);
}

// Equal to any value of its own type, not comparable with anything else.
static int32_t compare(const Cell&, const Cell& value2, int32_t op) {
    return type_of(value2) == TYPE_NONE && is_equality_or_sort_op(op) ? 0 : COMP_NOT_COMPARABLE;
}

// The series actions that make sense on nothing answer nothing.
static void clear(Cell* out, Cell*) { *out = none_value; }
static void find(Cell* out, Cell*, Cell*, const FindOptions&) { *out = none_value; }
static void select(Cell* out, Cell*, Cell*, const FindOptions&) { *out = none_value; }
// -1: the length of none is none.
static int32_t length(Cell*) { return -1; }
static void remove(Cell* out, Cell*, Cell*, Cell*) { *out = none_value; }
static void take(Cell* out, Cell*, const TakeOptions&) { *out = none_value; }

void init() {
    datatype::register_type(datatype::Record(TYPE_NONE, 0, "none!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_TO>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_CLEAR>(clear)
                                .own<ACTION_FIND>(find)
                                .own<ACTION_LENGTH_Q>(length)
                                .own<ACTION_REMOVE>(remove)
                                .own<ACTION_SELECT>(select)
                                .own<ACTION_TAKE>(take));
}

}  // namespace kel::none
