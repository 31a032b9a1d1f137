#include "runtime/datatypes/logic.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::logic {

namespace {
RandomSource& source = random_source();
}  // namespace

Cell* box(bool flag) {
    *stack::arguments() = make_cell(flag);
    return stack::arguments();
}

Cell* make_in(const Cell& block, bool flag) {
    Cell* c = alloc_block_tail(block);
    *c = make_cell(flag);
    return c;
}

Cell* push(bool flag) { return stack::push(make_cell(flag)); }

bool last_true() {
    const Cell& result = *stack::arguments();
    if (type_of(result) == TYPE_UNSET) fire(ErrorId::script_no_return);
    return !is_false(result);
}

bool last_false() { return is_false(*stack::arguments()); }

bool top_false() {
    const Cell* last = stack::top() > stack::arguments() ? stack::top() - 1 : stack::arguments();
    return is_false(*last);
}

bool top_true() { return !top_false(); }

bool cell_true(const Cell& cell, bool check_unset, const Cell& word) {
    if (check_unset && type_of(cell) == TYPE_UNSET) fire(ErrorId::script_no_value, {word});
    return !is_false(cell);
}

// Each action writes its answer into out (which may be the first argument's
// cell). to: logic! gives itself, none! false, anything else true.
static void to(Cell* out, Cell*, Cell* spec, uint32_t) {
    switch (type_of(*spec)) {
    case TYPE_LOGIC:
        *out = *spec;
        return;
    case TYPE_NONE:
        *out = false_value;
        return;
    default:
        *out = true_value;
    }
}

// From integer!: true unless 0; from float! or percent!: true unless 0.0 (NaN
// is true); otherwise as to.
static void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    switch (type_of(*spec)) {
    case TYPE_INTEGER:
        *out = make_cell(cell_integer(*spec) != 0);
        return;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        *out = make_cell(cell_double(*spec) != 0.0);
        return;  // NaN is not 0.0: true
    default:
        to(out, proto, spec, type);
    }
}

// /seed seeds the generator with 0 or 1 and answers unset; otherwise true
// and false are equally likely (a 31-bit draw above 1073741823 is true).
static void random(Cell* out, Cell* value, const RandomOptions& options) {
    if (!source.seed || !source.next) fire(ErrorId::internal_not_done);
    if (options.seed) {
        source.seed(int32_t(get(*value)));
        *out = unset_value;
        return;
    }
    *out = make_cell(source.next(options.secure) > 1073741823);
}

static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    bool flag = get(value) != 0;
    string::append_c_string(buffer, flag ? "true" : "false");
    return limit - (flag ? 4 : 5);
}

static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    if (!options.all) return form(value, buffer, false, options.limit);
    bool flag = get(value) != 0;
    string::append_c_string(buffer, flag ? "#(true)" : "#(false)");
    return options.limit - (flag ? 7 : 8);
}

// false orders before true; the ordering ops cannot compare them.
static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_LOGIC || !is_equality_or_sort_op(op)) return COMP_NOT_COMPARABLE;
    uint32_t a = get(value1), b = get(value2);
    return (a > b) - (a < b);
}

// The value flipped (in place when out is the value's cell).
static void complement(Cell* out, Cell* value) { *out = make_cell(get(*value) == 0); }

// Math op codes 6 (and), 5 (or), 7 (xor) on two logic values.
static void do_math(int32_t op) {
    Cell* left = stack::arguments();
    const Cell& right = left[1];
    if (type_of(right) != TYPE_LOGIC) {
        int action = op == MATH_AND ? ACTION_AND_T : op == MATH_OR ? ACTION_OR_T : ACTION_XOR_T;
        actions::fire_expect_arg(action, type_of(right));
    }
    uint32_t a = get(*left) != 0, b = get(right) != 0;
    uint32_t r;
    switch (op) {
    case MATH_AND:
        r = a & b;
        break;
    case MATH_OR:
        r = a | b;
        break;
    case MATH_XOR:
        r = a ^ b;
        break;
    default:
        internal_fault();  // callers pass and, or and xor only
    }
    *left = make_cell(r != 0);
}

// and~, or~, xor~ on the first two cells of the current frame; the second
// must be a logic! (else script/expect-arg); the result replaces the first.
static void and_t() { do_math(MATH_AND); }
static void or_t() { do_math(MATH_OR); }
static void xor_t() { do_math(MATH_XOR); }

void init() {
    datatype::register_type(datatype::Record(TYPE_LOGIC, 0, "logic!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(to)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_AND_T>(and_t)
                                .own<ACTION_COMPLEMENT>(complement)
                                .own<ACTION_OR_T>(or_t)
                                .own<ACTION_XOR_T>(xor_t));
}

}  // namespace kel::logic
