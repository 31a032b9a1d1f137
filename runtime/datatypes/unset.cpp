#include "runtime/datatypes/unset.h"

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::unset {

Cell* box() {
    *stack::arguments() = unset_value;
    return stack::arguments();
}

Cell* make_in(const Cell& block) {
    Cell* c = alloc_block_tail(block);
    *c = unset_value;
    return c;
}

Cell* push() { return stack::push(unset_value); }

// make and to write unset into out whatever their arguments.
static void make(Cell* out, Cell*, Cell*, uint32_t) { *out = unset_value; }

// form writes nothing.
static int64_t form(Cell, Cell, bool, int64_t limit) { return limit; }

// "unset" ("#(unset)" with /all).
static int64_t mold(Cell, Cell buffer, const MoldOptions& options) {
    string::append_c_string(buffer, options.all ? "#(unset)" : "unset");
    return options.limit - (options.all ? 8 : 5);
}

// Equal to any value of its own type, not comparable with anything else.
static int32_t compare(const Cell&, const Cell& value2, int32_t op) {
    return type_of(value2) == TYPE_UNSET && is_equality_or_sort_op(op) ? 0 : COMP_NOT_COMPARABLE;
}

void init() {
    datatype::register_type(datatype::Record(TYPE_UNSET, 0, "unset!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_TO>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare));
}

}  // namespace kel::unset
