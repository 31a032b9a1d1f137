#include "runtime/memory/roots.h"

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/memory/memory.h"

namespace kel::roots {

namespace {
NodeId block = 0;
Cell* literals = nullptr;
uint32_t base = 0;
}  // namespace

void init_root_block() {
    if (block) return;
    block = memory::alloc_fixed_series(ROOT_BLOCK_CELLS, sizeof(Cell), 0);
    SeriesBuffer* b = memory::buffer_of(block);
    Cell* c = reinterpret_cast<Cell*>(b->data());
    for (uint32_t i = 0; i < ROOT_BLOCK_CELLS; ++i) c[i] = make_unset();
}

NodeId root_block() { return block; }

Cell* append(const Cell& value) {
    SeriesBuffer* b = memory::buffer_of(block);
    if (b->tail + sizeof(Cell) > b->size) fire(ErrorId::internal_limit_hit, {make_integer(int32_t(ROOT_BLOCK_CELLS))});
    Cell* c = alloc_tail(b);
    *c = value;
    return c;
}

Cell literal_block() {
    if (!literals) {
        Cell made = make_none();
        block::make_at(made, 1);
        made.header = TYPE_BLOCK;
        literals = append(made);
    }
    return *literals;
}

Cell* get_root(int64_t index) {
    SeriesBuffer* b = memory::buffer_of(cell_node(literal_block()));
    int64_t cells = int64_t(b->cell_count());
    if (index < 0 || index >= cells - int64_t(base))
        fire(ErrorId::internal_limit_hit, {make_integer(index > INT32_MAX || index < INT32_MIN ? -1 : int32_t(index))});
    return b->cells() + base + index;
}

NodeId get_root_node(int64_t index) {
    const Cell* c = get_root(index);
    // The context node of a value that names one, else the series node.
    return type_classes::context_in_word1(type_of(*c)) ? c->data1 : cell_node(*c);
}

void set_literal_base(uint32_t first_cell) { base = first_cell; }

uint32_t literal_base() { return base; }

}  // namespace kel::roots
