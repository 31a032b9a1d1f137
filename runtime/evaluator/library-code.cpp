#include "runtime/evaluator/library-code.h"

#include <vector>

#include "runtime/core/type-classes.h"

namespace kel::interpreter {

void mark_library_code(const Cell& value) {
    if (!type_classes::holds_cells(type_of(value))) return;
    // An explicit work list: nesting depth never grows the machine stack.
    std::vector<NodeId> work;
    auto visit = [&](NodeId node) {
        SeriesBuffer* b = memory::buffer_of(node);
        if (b->flags & series_flag::LIBRARY_CODE) return;
        b->flags |= series_flag::LIBRARY_CODE;
        work.push_back(node);
    };
    visit(cell_node(value));
    while (!work.empty()) {
        NodeId node = work.back();
        work.pop_back();
        SeriesBuffer* b = memory::buffer_of(node);
        for (Cell* c = b->cells(); c < b->cells_tail(); ++c)
            if (type_classes::holds_cells(type_of(*c))) visit(cell_node(*c));
    }
}

}  // namespace kel::interpreter
