// Path evaluation: the head word's value, then each element selects into the
// value so far through its type's eval-path action; a function met on the
// way is called with the rest of the path as refinements.
//
// The walk keeps its values on the argument stack above the caller's cells
// (current value, grand-parent, previous element, selector, the path), so a
// collection during a paren element or an action keeps them, and a paren
// that changes the walked series is seen through the series' node. The
// path's tail is read again at every step.
//
// A value whose payload refers to nothing (pair!, tuple!, time!, date!, the
// points) lives in the cell that holds it, so the walk selects into a copy.
// A set-path whose last step changes such a value stores the changed value
// back where it was read: into the step before through that holder's own
// eval-path (a block's poke, an object's field with its on-change*, a map's
// key), and on up while the holder is such a value too, ending at the head
// word (whose object, if any, hears the change as for any assignment). The
// change is reported once: an object holder's store calls its on-change*
// (the field word, the old and the new value, the field already holding
// it), while the owner of any other holder hears it from the changed
// value's own step (set-path, the part, its index) and the store back into
// that holder adds nothing. A set-path records each step's parent and
// selector for that walk back.
#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/trace.h"
#include "runtime/memory/ownership.h"

namespace kel::interpreter {

namespace {

enum Slot { CURRENT, GRAND, PREVIOUS, SELECTOR, BEFORE, PATH, SLOTS };

// A value held by its cell: nothing else shares it, so a change made to a
// copy is lost unless the copy goes back. An event! shares its record block
// but keeps its type, the one field a path sets, in the cell.
inline bool held_in_cell(uint32_t t) { return !type_classes::of(t).refers() || t == TYPE_EVENT; }

// One step of the walk: selects `selector` in `parent` (or, with a value,
// sets it) into *out through the parent's eval-path.
void select(Cell* out, Cell* parent, Cell* selector, Cell* value, PathStep& step) {
    if (object::is_object_like(type_of(*parent)) && !datatype::slot(type_of(*parent), ACTION_EVAL_PATH)) {
        // Objects, errors and ports answer their fields through the
        // object module's path access.
        object::eval_path(out, *parent, *selector, value, *step.path, step.get, step.last);
        return;
    }
    auto fn = reinterpret_cast<ActionSlot<ACTION_EVAL_PATH>::type>(
        actions::lookup_path(*parent, step.path, *selector, step.index));
    fn(out, parent, selector, value, step);
}

// A store whose change its owner has heard of already: no deep-change
// report while it runs (nothing in it runs Kel code).
struct UnreportedStore {
    ownership::DeepChange saved = ownership::install_deep_change(nullptr);
    ~UnreportedStore() { ownership::install_deep_change(saved); }
};

// After the last step of a set-path changed w[BEFORE], a value held by its
// cell, in place: stores it into the parent of the step before (trail[2j]
// at selector trail[2j + 1]) and on up while that parent is held by its
// cell too; past the first step, into the head word.
void write_back(Cell* w, Cell* trail, int32_t last_index, const Cell& head, bool case_sensitive) {
    Cell* changed = &w[BEFORE];
    for (int32_t j = last_index - 1; j >= 0; --j) {
        PathStep step;
        step.path = &w[PATH];
        step.index = j;
        step.case_sensitive = case_sensitive;
        Cell* holder = &trail[2 * j];
        Cell* out = stack::push(none_value);
        if (j == last_index - 1 && !object::is_object_like(type_of(*holder))) {
            // The changed value's step told this holder's owner already
            // (set-path, the part and its index): the store adds no report.
            UnreportedStore quiet;
            select(out, holder, &trail[2 * j + 1], changed, step);
        } else {
            select(out, holder, &trail[2 * j + 1], changed, step);
        }
        if (!held_in_cell(type_of(*holder))) return;
        changed = holder;
    }
    Cell word = head;
    context::set(word, *changed);
}

}  // namespace

uint32_t eval_path(const Cell& path_cell, const Cell& code, int32_t& index, bool get, bool set, bool case_sensitive) {
    Cell* start = stack::state.top;
    Cell* w = stack::state.top;
    for (int i = 0; i < SLOTS; ++i) stack::push(none_value);
    w[PATH] = path_cell;
    NodeId pnode = cell_node(w[PATH]);
    int32_t head = int32_t(w[PATH].data1);
    if (head >= code_tail(pnode)) fire(ErrorId::script_empty_path);
    if (state.tracing) [[unlikely]]
        trace::event(trace::ENTER, &w[PATH], head, nullptr, nullptr);
    Cell first = *code_at(pnode, head);
    if (type_of(first) != TYPE_WORD) fire(ErrorId::script_word_first, {w[PATH]});
    w[CURRENT] = *context::get(first);
    uint32_t t = type_of(w[CURRENT]);
    if (type_families::is_direct_callable(t)) {
        if (set) fire(ErrorId::script_invalid_path_set, {w[PATH]});
        if (get) fire(ErrorId::script_invalid_path_get, {w[PATH]});
        Cell fn = w[CURRENT];
        if (uint32_t s = eval_call(fn, &code, index, first, &w[PATH], head, false)) return s;
        *start = *(stack::state.top - 1);
        stack::state.top = start + 1;
        return 0;
    }
    if (t == TYPE_UNSET) fire(ErrorId::script_unset_path, {w[PATH], first});
    // The grand-parent of the second element: the owner of the head word's
    // context when that is neither the global context nor an object.
    if (first.data1 && first.data1 != context::global()) {
        Cell owner = *context::owner_of(first.data1);
        if (type_of(owner) != TYPE_OBJECT) w[GRAND] = owner;
    }
    w[PREVIOUS] = first;
    // A set-path's trail: each step's parent and selector, above the slots.
    Cell* trail = w + SLOTS;
    int32_t step_index = 0;
    for (int32_t at = head + 1; at < code_tail(pnode); ++at, ++step_index) {
        Cell element = *code_at(pnode, at);
        if (state.tracing) [[unlikely]]
            trace::event(trace::FETCH, &w[PATH], at, nullptr, &element);
        switch (type_of(element)) {
        case TYPE_GET_WORD:
            w[SELECTOR] = *context::get(element);
            break;
        case TYPE_PAREN:
            if (uint32_t s = eval(element, false)) return s;
            w[SELECTOR] = *(stack::state.top - 1);
            stack::pop(1);
            break;
        default:
            w[SELECTOR] = element;
            break;
        }
        if (type_of(w[SELECTOR]) == TYPE_UNSET) fire(ErrorId::script_invalid_path, {w[PATH], element});
        bool last = at == code_tail(pnode) - 1;
        Cell* value = set && last ? stack::state.arguments : nullptr;
        w[BEFORE] = w[CURRENT];
        bool written_back = value && held_in_cell(type_of(w[BEFORE]));
        if (set) {
            stack::state.top = trail + 2 * step_index;
            stack::push(w[BEFORE]);
            stack::push(w[SELECTOR]);
        }
        PathStep step;
        step.path = &w[PATH];
        step.grand_parent = &w[GRAND];
        step.previous = &w[PREVIOUS];
        step.index = step_index;
        step.case_sensitive = case_sensitive;
        step.get = get;
        step.last = last;
        step.event = set && last && step_index >= 1 && type_families::is_any_block(type_of(w[GRAND]));
        select(&w[CURRENT], &w[BEFORE], &w[SELECTOR], value, step);
        if (written_back) write_back(w, trail, step_index, first, case_sensitive);
        if (!get && !set && type_families::is_direct_callable(type_of(w[CURRENT]))) {
            // A method: the rest of the path is its refinements.
            Cell method = w[CURRENT];
            if (uint32_t s = eval_call(method, &code, index, element, &w[PATH], at, false)) return s;
            w[CURRENT] = *(stack::state.top - 1);
            break;
        }
        w[GRAND] = w[BEFORE];
        w[PREVIOUS] = element;
    }
    if (state.tracing) [[unlikely]]
        trace::event(trace::EXIT, &w[PATH], code_tail(pnode), nullptr, &w[CURRENT]);
    *start = w[CURRENT];
    stack::state.top = start + 1;
    return 0;
}

}  // namespace kel::interpreter
