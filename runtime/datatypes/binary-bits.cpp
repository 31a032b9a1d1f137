// binary! and~, or~, xor~ and complement.
//
// The bitwise actions read their operands from the argument frame and leave
// a new binary at index 0 in its first cell (whose header, new-line marker
// included, is kept). The result is as long as the longer operand: the
// common bytes combined, the rest copied from the longer one for or and xor
// and 0 for and. An operand whose index lies past its tail counts as empty.
#include <algorithm>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::binary {

namespace {

void bitwise(int32_t op) {
    Cell* frame = stack::arguments();
    Cell a = frame[0];
    Cell b = frame[1];
    if (type_of(b) != TYPE_BINARY) fire(ErrorId::script_invalid_arg, {b});
    Rooted keep_a(a);
    Rooted keep_b(b);
    int64_t longer = std::max(detail::bytes_of(a).n, detail::bytes_of(b).n);
    Cell result = make_unset();
    make_at(result, uint64_t(longer));  // may move both operands: read afterwards
    detail::Bytes x = detail::bytes_of(a);
    detail::Bytes y = detail::bytes_of(b);
    int64_t common = std::min(x.n, y.n);
    SeriesBuffer* r = buffer(result);
    uint8_t* out = r->head_ptr();
    for (int64_t i = 0; i < common; ++i) {
        switch (op) {
        case MATH_AND:
            out[i] = x.p[i] & y.p[i];
            break;
        case MATH_OR:
            out[i] = x.p[i] | y.p[i];
            break;
        default:
            out[i] = x.p[i] ^ y.p[i];
            break;
        }
    }
    const detail::Bytes& rest = x.n > y.n ? x : y;
    for (int64_t i = common; i < longer; ++i) out[i] = op == MATH_AND ? 0 : rest.p[i];
    r->tail = r->offset + uint64_t(longer);
    frame = stack::arguments();
    frame[0] = Cell{frame[0].header, 0, cell_node(result), 0};
}

}  // namespace

void and_t() { bitwise(MATH_AND); }
void or_t() { bitwise(MATH_OR); }
void xor_t() { bitwise(MATH_XOR); }

void complement(Cell* out, Cell* value) {
    Cell v = *value;
    SeriesBuffer* b = buffer(v);
    int64_t total = int64_t(b->used());
    int64_t head = series::head_inside(v, total);
    uint8_t* p = b->head_ptr();
    for (int64_t i = head; i < total; ++i) p[i] = uint8_t(~p[i]);
    *out = v;
}

}  // namespace kel::binary
