#include "runtime/evaluator/stack-state.h"

#include "runtime/evaluator/call-stack.h"

#include "runtime/core/fire.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::stack {

State state;

void init() {
    if (state.block) return;
    roots::init_root_block();
    state.block = memory::alloc_fixed_series(ARGUMENT_CELLS, sizeof(Cell), 0);
    roots::append(Cell{TYPE_BLOCK, 0, state.block, 0});
    SeriesBuffer* b = memory::buffer_of(state.block);
    state.bottom = state.arguments = state.top = reinterpret_cast<Cell*>(b->data());
    state.end = state.bottom + ARGUMENT_CELLS;
    state.limit = state.end - CELL_RESERVE;
}

Cell* arguments() { return state.arguments; }
Cell* top() { return state.top; }

Cell* reserve_cell() {
    // Compared before advancing: a pointer past the block's end is never formed.
    if (state.top >= state.limit) [[unlikely]]
        raise_overflow();
    return state.top++;
}

Cell* push(const Cell& value) {
    Cell* c = reserve_cell();
    *c = value;
    return c;
}

void pop(uint32_t n) { state.top = (state.top - state.bottom) < int64_t(n) ? state.bottom : state.top - n; }

Cell* top_value() { return state.top == state.bottom ? state.bottom : state.top - 1; }

uint32_t top_type() { return type_of(*top_value()); }

void reset() { state.top = state.arguments; }

void keep_result() { state.top = state.arguments + 1; }

void set_last(const Cell& value) { *state.arguments = value; }

void set_result(const Cell& value) {
    *state.arguments = value;
    state.top = state.arguments + 1;
}

}  // namespace kel::stack
