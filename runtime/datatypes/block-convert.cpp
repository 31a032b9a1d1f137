// block! make and to.
#include "runtime/core/fire.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

// The integer a make count stands for: an integer!, or a float! truncated
// towards zero; outside 32 bits (NaN included) script/out-of-range.
int32_t count_of(const Cell& spec) {
    if (type_of(spec) == TYPE_INTEGER) return cell_integer(spec);
    double d = cell_double(spec);
    if (!(d > -2147483649.0 && d < 2147483648.0)) fire(ErrorId::script_out_of_range, {spec});
    return int32_t(d);
}

using Conversion = void (*)(Cell* out, const Cell& value);

// A conversion of a later module; internal/not-done until it is installed.
void convert_through(Conversion fn, Cell* out, const Cell& spec) {
    if (!fn) fire(ErrorId::internal_not_done);
    fn(out, spec);
}

// The body, elements or words of the values whose conversion belongs to later
// modules; false for other types.
bool converted_by_service(Cell* out, const Cell& spec, bool to) {
    Services& sv = services();
    switch (type_of(spec)) {
    case TYPE_OBJECT:
        convert_through(sv.object_body, out, spec);
        return true;
    case TYPE_MAP:
        convert_through(sv.map_body, out, spec);
        return true;
    case TYPE_VECTOR:
        convert_through(sv.vector_to_block, out, spec);
        return true;
    case TYPE_TYPESET:
        if (!to) return false;
        convert_through(sv.typeset_to_block, out, spec);
        return true;
    case TYPE_STRING:
        if (!to) return false;
        convert_through(sv.load_string, out, spec);
        return true;
    default:
        return false;
    }
}

// A shallow copy of the block from its head.
Cell shallow_copy(const Cell& spec) {
    Cell copy = *push_copy(spec, false, false);
    stack::pop(1);
    return copy;
}

}  // namespace

void make(Cell* out, Cell*, Cell* spec_cell, uint32_t type) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    Cell result = make_unset();
    Rooted keep_result(result);
    uint32_t t = type_of(spec);
    if (t == TYPE_INTEGER || t == TYPE_FLOAT)
        make_at(result, count_of(spec));
    else if (series::is_block_type(t))
        result = shallow_copy(spec);
    else if (!converted_by_service(&result, spec, false))
        fire_bad_make_arg(type, spec);
    result.header = type;
    *out = result;
}

void to(Cell* out, Cell*, Cell* spec_cell, uint32_t type) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    Cell result = make_unset();
    Rooted keep_result(result);
    if (series::is_block_type(type_of(spec))) {
        result = shallow_copy(spec);
    } else if (!converted_by_service(&result, spec, true)) {
        make_at(result, 1);
        append_cell(result, spec);
    }
    result.header = type;
    *out = result;
}

}  // namespace kel::block
