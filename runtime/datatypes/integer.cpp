// integer! value helpers, comparison, random, parity and registration.
#include "runtime/datatypes/integer.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer-internal.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/numbers/random.h"

namespace kel::integer {

int32_t unbox() { return get(*stack::arguments()); }

int32_t unbox_or_zero() {
    const Cell& c = *stack::arguments();
    return type_of(c) == TYPE_INTEGER ? get(c) : 0;
}

Cell* box(int32_t n) {
    *stack::arguments() = make_integer(n);
    return stack::arguments();
}

Cell* make_at(Cell& cell, int32_t n) {
    set_type(cell, TYPE_INTEGER);
    cell.data2 = uint32_t(n);
    return &cell;
}

Cell* make_in(const Cell& block, int32_t n) {
    Cell* c = alloc_block_tail(block);
    *c = make_integer(n);
    return c;
}

Cell* push(int32_t n) { return stack::push(make_integer(n)); }

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    uint32_t type = type_of(value2);
    if ((op == COMP_STRICT_EQUAL || op == COMP_FIND) && type != TYPE_INTEGER) return 1;
    int32_t a = get(value1);
    switch (type) {
    case TYPE_INTEGER:
    case TYPE_CHAR: {
        int32_t b = get(value2);
        return (a > b) - (a < b);
    }
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        return float_::compare_double(TYPE_INTEGER, double(a), value2, op);
    case TYPE_MONEY:
        return number_services::compare_number(value1, value2, op);
    default:
        return COMP_NOT_COMPARABLE;
    }
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    int32_t n = get(*value);
    if (options.seed) {
        random::seed(n);
        *out = unset_value;
        return;
    }
    // The drawn value keeps the type: char! inherits this slot.
    Cell drawn = *value;
    drawn.data2 = uint32_t(random::uniform(n, options.secure));
    *out = drawn;
}

bool even(const Cell& value) { return (get(value) & 1) == 0; }
bool odd(const Cell& value) { return (get(value) & 1) != 0; }

void init() {
    datatype::register_type(datatype::Record(TYPE_INTEGER, 0, "integer!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(to)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_ABSOLUTE>(absolute)
                                .own<ACTION_ADD>(add)
                                .own<ACTION_DIVIDE>(divide)
                                .own<ACTION_MULTIPLY>(multiply)
                                .own<ACTION_NEGATE>(negate)
                                .own<ACTION_POWER>(power)
                                .own<ACTION_REMAINDER>(remainder)
                                .own<ACTION_ROUND>(round)
                                .own<ACTION_SUBTRACT>(subtract)
                                .own<ACTION_EVEN_Q>(even)
                                .own<ACTION_ODD_Q>(odd)
                                .own<ACTION_AND_T>(and_t)
                                .own<ACTION_COMPLEMENT>(complement)
                                .own<ACTION_OR_T>(or_t)
                                .own<ACTION_XOR_T>(xor_t));
}

}  // namespace kel::integer
