// series! positions: the unit-aware helpers and the actions that move a
// series' head or report it.
#include "runtime/core/fire.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/stack.h"

namespace kel::series {

bool ks_tail_q(const Cell& s) { return int64_t(head_index(s)) >= total_units(buffer(s)); }

int32_t ks_abs_length(const Cell& s) { return int32_t(total_units(buffer(s))); }

bool ks_skip(Cell& s, int32_t n) {
    int64_t units = total_units(buffer(s));
    int64_t at = int64_t(head_index(s)) + n;
    if (at <= units) set_head(s, at < INT32_MIN ? INT32_MIN : int32_t(at));
    return at >= units;
}

int32_t length_in_units(Cell& s, bool from_head) {
    int64_t units = total_units(buffer(s));
    int64_t head = from_head ? 0 : head_index(s);
    if (head < 0) head = 0;
    if (head > units) {
        set_head(s, int32_t(units));
        return 0;
    }
    return int32_t(units - head);
}

int32_t get_position(bool at) {
    Cell& s = stack::arguments()[0];
    const Cell& arg = stack::arguments()[1];
    if (type_of(arg) != TYPE_INTEGER) fire(ErrorId::script_invalid_arg, {arg});
    int64_t n = cell_integer(arg);
    int64_t head = head_index(s);
    int64_t p = at && n > 0 ? head + n - 1 : head + n;
    int64_t units = total_units(buffer(s));
    if (p < 0) p = 0;
    if (p > units) p = units;
    return int32_t(p);
}

void head() { set_head(stack::arguments()[0], 0); }

void tail() {
    Cell& s = stack::arguments()[0];
    set_head(s, int32_t(total_units(buffer(s))));
}

void back() {
    Cell& s = stack::arguments()[0];
    if (head_index(s) >= 1) set_head(s, head_index(s) - 1);
}

void next() { ks_skip(stack::arguments()[0], 1); }

void at() { set_head(stack::arguments()[0], get_position(true)); }

void skip() { set_head(stack::arguments()[0], get_position(false)); }

void head_q() { stack::arguments()[0] = logic::make_cell(head_index(stack::arguments()[0]) == 0); }

void tail_q() { stack::arguments()[0] = logic::make_cell(ks_tail_q(stack::arguments()[0])); }

void index() { stack::arguments()[0] = make_integer(int32_t(int64_t(head_index(stack::arguments()[0])) + 1)); }

int32_t length(Cell* s) { return length_in_units(*s, false); }

}  // namespace kel::series
