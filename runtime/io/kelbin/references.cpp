// Path recording for the writers and path resolution for the readers.
#include "runtime/io/kelbin/references.h"

#include <algorithm>

#include "runtime/core/type-classes.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/native.h"
#include "runtime/memory/memory.h"

namespace kel::kelbin {

void PathBook::enter(NodeId node) {
    step_in();
    entry_of_[node] = open_.back();
}

void PathBook::step_in() {
    int32_t id = int32_t(entries_.size());
    entries_.push_back({open_.empty() ? -1 : open_.back(), counter});
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

namespace {

// Cell `index` of the series of cells at node (from its first cell).
bool pick(NodeId node, uint32_t index, Cell& out) {
    if (node == 0) return false;
    SeriesBuffer* b = memory::buffer_of(node);
    if (uint64_t(index) >= b->cell_count()) return false;
    out = b->cells()[index];
    return true;
}

// Value `index` of a context whose values are on the heap, counting from
// its value `first`.
bool pick_value(NodeId ctx, uint32_t first, uint32_t index, Cell& out) {
    if (ctx == 0) return false;
    const Cell* c = context::cell_of(ctx);
    if (context::on_stack(*c)) return false;
    return pick(c->data2, first + index, out);
}

}  // namespace

bool resolve_path(const Cell& root, const std::vector<uint32_t>& path, Cell& out) {
    Cell current = root;
    for (size_t i = 0; i < path.size(); ++i) {
        uint32_t index = path[i];
        uint32_t t = type_of(current);
        if (t >= TYPE_WORD && t <= TYPE_REFINEMENT && current.data1 != 0 &&
            context::on_stack(*context::cell_of(current.data1))) {
            // A function's word leads into the function that owns its context.
            current = *context::owner_of(current.data1);
            t = type_of(current);
            if (t != TYPE_FUNCTION) return false;
        }
        bool found;
        if (type_classes::holds_cells(t) || t == TYPE_MAP) {
            found = pick(cell_node(current), index, current);
        } else if (t == TYPE_OBJECT || (t >= TYPE_WORD && t <= TYPE_REFINEMENT)) {
            found = pick_value(current.data1, 0, index, current);
        } else if (t == TYPE_ERROR) {
            found = pick_value(current.data1, error::ARG1, index, current);
        } else if (t == TYPE_NATIVE || t == TYPE_ACTION) {
            found = pick(current.data2, index, current);
        } else if (t == TYPE_FUNCTION || t == TYPE_OP) {
            // Entry 0 is the spec (a block! over it when the path ends
            // there), entry 1 the body of a function or of the function an
            // op wraps (the writer records it there).
            bool body = t == TYPE_FUNCTION || native::wrapped_type(current) == TYPE_FUNCTION;
            if (index == 1 && body) {
                current = memory::buffer_of(current.data3)->cells()[0];
                found = type_of(current) == TYPE_BLOCK;
            } else if (index == 0 && i + 1 == path.size()) {
                current = Cell{TYPE_BLOCK, 0, current.data2, 0};
                found = true;
            } else if (index == 0) {
                found = pick(current.data2, path[++i], current);
            } else {
                found = false;
            }
        } else {
            found = false;
        }
        if (!found) return false;
    }
    out = current;
    return true;
}

}  // namespace kel::kelbin
