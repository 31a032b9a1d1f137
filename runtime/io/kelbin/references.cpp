// Path recording for the writers and path resolution for the readers.
#include "runtime/io/kelbin/references.h"

#include "runtime/core/type-classes.h"
#include "runtime/memory/memory.h"

namespace kel::kelbin {

void PathBook::record(NodeId node) {
    offsets_[node] = store_.size();
    store_.push_back(int32_t(stack_.size()));
    store_.insert(store_.end(), stack_.begin(), stack_.end());
}

const int32_t* PathBook::find(NodeId node) const {
    auto it = offsets_.find(node);
    return it == offsets_.end() ? nullptr : store_.data() + it->second;
}

bool resolve_path(const Cell& root, const std::vector<uint32_t>& path, Cell& out) {
    Cell current = root;
    for (uint32_t index : path) {
        // Every value the writers give positions below is a series of cells:
        // a block-family value (its whole series, from the first cell).
        if (!type_classes::holds_cells(type_of(current))) return false;
        SeriesBuffer* b = memory::buffer_of(cell_node(current));
        if (uint64_t(index) >= b->cell_count()) return false;
        current = b->cells()[index];
    }
    out = current;
    return true;
}

}  // namespace kel::kelbin
