// Path recording for the writers and path resolution for the readers.
#include "runtime/io/kelbin/references.h"

#include <algorithm>

#include "runtime/core/type-classes.h"
#include "runtime/memory/memory.h"

namespace kel::kelbin {

void PathBook::enter(NodeId node) {
    int32_t id = int32_t(entries_.size());
    entries_.push_back({open_.empty() ? -1 : open_.back(), counter});
    entry_of_[node] = id;
    open_.push_back(id);
    counter = 0;
}

void PathBook::leave() {
    counter = entries_[size_t(open_.back())].position;
    open_.pop_back();
}

bool PathBook::find(NodeId node, std::vector<int32_t>& path) const {
    auto it = entry_of_.find(node);
    if (it == entry_of_.end()) return false;
    path.clear();
    for (int32_t e = it->second; e >= 0; e = entries_[size_t(e)].parent) path.push_back(entries_[size_t(e)].position);
    std::reverse(path.begin(), path.end());
    return true;
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
