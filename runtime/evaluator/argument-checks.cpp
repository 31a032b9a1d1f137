#include "runtime/evaluator/argument-checks.h"

#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::arguments {

namespace {

[[noreturn]] void fire_expect(uint32_t type, int32_t position) {
    fire(ErrorId::script_expect_arg,
         {stack::current_call_word(), datatype::make(type), stack::call_arg_word(position)});
}

}  // namespace

const Cell& check_type(const Cell& typeset, int32_t position, const Cell& value) {
    if (!typeset::has(typeset, type_of(value))) fire_expect(type_of(value), position);
    return value;
}

void check_frame_arg(int32_t n, const Cell& typeset, int32_t position) {
    if (n < 1) return;
    check_type(typeset, position, stack::state.arguments[n - 1]);
}

const Cell& check_refinement_arg(const Cell& refinement, const Cell& typeset, int32_t position, const Cell& value) {
    if (!logic::is_false(refinement)) check_type(typeset, position, value);
    return value;
}

const Cell& check_not_unset(int32_t position, const Cell& value) {
    if (type_of(value) == TYPE_UNSET) fire_expect(TYPE_UNSET, position);
    return value;
}

int32_t integer_arg(const Cell& value) {
    if (type_of(value) != TYPE_FLOAT) return cell_integer(value);
    double d = cell_double(value);
    // NaN fails both comparisons.
    if (!(d <= 2147483647.0 && d >= -2147483648.0)) fire(ErrorId::script_out_of_range, {value});
    return int32_t(std::trunc(d));
}

Cell string_to_value(const Cell& text) {
    Cell source = text;
    Rooted keep(source);
    Cell loaded = make_none();
    Rooted keep_loaded(loaded);
    lexer::Result r = lexer::scan_string(&loaded, source, -1, lexer::Options{});
    Cell rest = source;
    if (r.consumed < string::ks_length(rest)) return make_none();
    if (type_of(loaded) != TYPE_BLOCK || block::ks_length(loaded) <= 0) return make_unset();
    return *block::ks_abs_at(loaded, int32_t(loaded.data1));
}

}  // namespace kel::arguments
