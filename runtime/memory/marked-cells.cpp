#include "runtime/memory/marked-cells.h"

#include "runtime/memory/collector.h"
#include "runtime/platform/heap.h"

namespace kel {

MarkedCells::MarkedCells(size_t count) : cells_(nullptr), count_(count), next_(head_) {
    // One root marker serves every range, installed with the first one.
    static bool installed = [] {
        collector::add_root_marker(mark_all);
        return true;
    }();
    (void)installed;
    if (count) cells_ = static_cast<Cell*>(heap::allocate_zeroed(count * sizeof(Cell)));
    head_ = this;
}

MarkedCells::~MarkedCells() {
    head_ = next_;
    if (cells_) heap::free(cells_);
}

void MarkedCells::mark_all() {
    for (MarkedCells* r = head_; r; r = r->next_)
        if (r->cells_) collector::mark_values(r->cells_, r->cells_ + r->count_);
}

}  // namespace kel
