// native!, action! and op! records: what the writers and readers of both
// forms share.
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/natives.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/reader.h"

namespace kel::kelbin {

bool callable_index_ok(uint32_t t, uint32_t index) {
    if (t == TYPE_NATIVE) return index >= 1 && index <= uint32_t(native::NATIVE_COUNT);
    return index >= 1 && index <= uint32_t(native::ACTION_TABLE_COUNT) && actions::action_name(int(index))[0];
}

Cell op_inner(const Cell& op) {
    Cell inner = native::op_callee(op);
    if (!op_may_wrap(type_of(inner))) fire(ErrorId::access_no_codec, {op});
    return inner;
}

void wrap_in_op(Cell& c, uint32_t new_line) {
    uint32_t t = type_of(c);
    // An op made from a function keeps a copy of it in its more block.
    if (t == TYPE_FUNCTION) {
        SeriesBuffer* more = memory::buffer_of(c.data3);
        if (more->cell_count() > 3) more->cells()[3] = c;
    }
    c.header = TYPE_OP | (t << native::OP_WRAPPED_SHIFT) | (c.header & native::OP_CALLEE_FLAGS) | new_line;
}

uint32_t RecordCursor::count_of(const Cell& parent) { return uint32_t(block::buffer(parent)->cell_count()); }

uint32_t RecordCursor::begin_callable(uint32_t t, uint32_t index, const Cell& parent) {
    if (!callable_index_ok(t, index)) bad();
    uint32_t at = count_of(parent);
    block::append_cell(parent, make_none());
    return at;
}

void RecordCursor::finish_callable(uint32_t t, uint32_t index, uint32_t new_line, const Cell& parent, uint32_t at) {
    SeriesBuffer* b = block::buffer(parent);
    if (b->cell_count() != uint64_t(at) + 2 || type_of(b->cells()[at + 1]) != TYPE_BLOCK) bad();
    if (boot_) {
        // The spec stays in the parent, right after the value.
        Cell made = native::from_spec(t, int32_t(index), cell_node(block::buffer(parent)->cells()[at + 1]));
        made.header |= new_line;
        block::buffer(parent)->cells()[at] = made;
        natives::register_value(made);
        return;
    }
    const Cell* known = natives::registered(t, int32_t(index));
    if (!known) bad();
    Cell made = *known;
    made.header = (made.header & ~CELL_NEW_LINE) | new_line;
    b->cells()[at] = made;
    b->cells()[at + 1] = make_unset();
    b->tail -= sizeof(Cell);  // the recorded spec is dropped
}

void RecordCursor::finish_op(uint32_t new_line, const Cell& parent, uint32_t at) {
    SeriesBuffer* b = block::buffer(parent);
    if (b->cell_count() <= at) bad();
    Cell& c = b->cells()[at];
    if (!op_may_wrap(type_of(c))) bad();
    wrap_in_op(c, new_line);
}

}  // namespace kel::kelbin
