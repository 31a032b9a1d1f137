#include "runtime/memory/cell-slots.h"

#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::cell_slots {

namespace {

NodeId slots = 0;
int32_t free_head = -1;

Cell* slot_cells() { return reinterpret_cast<Cell*>(memory::buffer_of(slots)->data()); }

void thread(uint32_t from, uint32_t to) {
    Cell* c = slot_cells();
    for (uint32_t i = from; i < to; ++i) c[i] = make_integer(i + 1 < to ? int32_t(i + 1) : -1);
    SeriesBuffer* b = memory::buffer_of(slots);
    b->tail = b->offset + uint64_t(to) * sizeof(Cell);
}

}  // namespace

void init() {
    if (slots) return;
    slots = memory::alloc_cells(INITIAL_SLOTS);
    thread(0, INITIAL_SLOTS);
    free_head = 0;
    roots::append(Cell{TYPE_BLOCK, 0, slots, 0});  // walked by every collection
}

int32_t alloc(const Cell& value) {
    Cell copy = value;  // `value` may be a slot, and slots move when they grow
    Rooted keep(copy);
    if (free_head == -1) {
        uint32_t old = capacity();
        memory::expand_series(memory::buffer_of(slots), uint64_t(old) * 2 * sizeof(Cell));
        thread(old, old * 2);
        free_head = int32_t(old);
    }
    int32_t at = free_head;
    free_head = cell_integer(slot_cells()[at]);
    slot_cells()[at] = copy;
    return at + 1;
}

Cell* get(int32_t index) { return slot_cells() + (index - 1); }

void free(int32_t index) {
    if (index <= 0) return;
    slot_cells()[index - 1] = make_integer(free_head);
    free_head = index - 1;
}

uint32_t capacity() { return uint32_t(memory::buffer_of(slots)->size / sizeof(Cell)); }

}  // namespace kel::cell_slots
