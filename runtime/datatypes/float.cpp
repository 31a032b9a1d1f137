// float! value helpers and registration.
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/float-internal.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::float_ {

Cell* box(double d) {
    *stack::arguments() = make_cell(d);
    return stack::arguments();
}

Cell* make_at(Cell& cell, double d) {
    set_type(cell, TYPE_FLOAT);
    cell.data1 = 0;
    set_cell_double(cell, d);
    return &cell;
}

Cell* push(double d) { return stack::push(make_cell(d)); }

Cell* make_in(const Cell& block, uint32_t high, uint32_t low) {
    Cell* c = alloc_block_tail(block);
    *c = Cell{TYPE_FLOAT, 0, low, high};
    return c;
}

void init() {
    datatype::register_type(datatype::Record(TYPE_FLOAT, 0, "float!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(make)
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
                                .own<ACTION_ODD_Q>(odd));
}

}  // namespace kel::float_
