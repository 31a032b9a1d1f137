// Standalone context records: making the context and its object! owner.
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/io/kelbin/contexts.h"
#include "runtime/io/kelbin/reader.h"

namespace kel::kelbin {

NodeId append_context_object(const Cell& parent, uint32_t flags, uint32_t n, uint32_t new_line) {
    NodeId ctx =
        context::make(n, (flags & CONTEXT_ON_STACK) != 0, (flags & CONTEXT_SELF) != 0, 0, flags & CONTEXT_KIND);
    Cell owner{TYPE_OBJECT | new_line, ctx, 0xFFFFFFFFu, 0};
    // Appended first: the context is reachable from the parent from now on.
    block::append_cell(parent, owner);
    owner.header = TYPE_OBJECT;
    *context::owner_of(ctx) = owner;
    return ctx;
}

NodeId RecordCursor::literal_context(uint32_t literal) {
    SeriesBuffer* b = block::buffer(root_);
    if (uint64_t(literal) + root_base_ >= b->cell_count()) bad();
    const Cell& c = b->cells()[root_base_ + literal];
    if (type_of(c) != TYPE_OBJECT && type_of(c) != TYPE_FUNCTION) bad();
    return c.data1;
}

}  // namespace kel::kelbin
