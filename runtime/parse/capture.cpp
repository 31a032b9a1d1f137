// The rules that take something out of the input or change it: position
// words, set, copy, collect, keep, insert, change and remove.
//
// Every change goes through the series actions (copy, insert, append,
// change, remove) of the value's own type, so owners are told and a hash!
// keeps its table, whatever the input or the collect target. Values handed
// to an action are pushed on the argument stack first (they stay put and
// reachable while it allocates); positions are indices read again after it.
// Collect markers live on the argument stack above the engine's result
// cell: a block (plain collect, or the block of `collect set`, above its
// word), a get-word! (`collect into`) or a refinement! (`collect after`).
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/triple.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/parse/engine.h"

namespace kel::parser {

namespace {

int32_t tail_of_rules(const Engine& e) { return rules_tail(e); }

bool is_word(const Cell& c) { return type_of(c) == TYPE_WORD; }

// The input's element at an index: a value (block input), a char! (text)
// or an integer! byte (binary!).
Cell element_at(const Engine& e, int32_t index) {
    switch (e.kind) {
    case Kind::block:
        return *block::ks_abs_at(e.input, index);
    case Kind::text:
        return char_::make_cell(string::get_char_at(e.input, index));
    case Kind::bytes:
        return make_integer(int32_t(string::get_char_at(e.input, index)));
    }
    return none_value;
}

Cell input_at(const Engine& e, int32_t index) {
    Cell c = e.input;
    c.data1 = uint32_t(index);
    return c;
}

// The value of insert and change: a paren's result, a word's value, or the
// value as written; pushed on the argument stack.
Cell* argument_value(Engine& e, int32_t index) {
    Cell v = rule_at(e, index);
    switch (type_of(v)) {
    case TYPE_PATH:
        fail_with(ErrorId::script_parse_rule, v);
    case TYPE_PAREN:
        eval_paren(e, v, true);
        event(e, Event::paren);
        return stack::state.top - 1;
    case TYPE_WORD:
        return stack::push(word_value(v, ErrorId::script_no_value));
    default:
        return stack::push(v);
    }
}

// A position word at the index: a word! or get-word! whose value is a
// position in the working input; its position in *at.
bool position_word_at(const Engine& e, int32_t index, int32_t* at) {
    if (index >= tail_of_rules(e)) return false;
    Cell w = rule_at(e, index);
    if (type_of(w) != TYPE_WORD && type_of(w) != TYPE_GET_WORD) return false;
    if (type_of(w) == TYPE_WORD && keyword_of(w) != Keyword::none_) return false;
    if (!w.data1) return false;
    Cell v = *context::get(w);
    if (!is_position(e, v)) return false;
    *at = int32_t(v.data1);
    return true;
}

bool family_matches(uint32_t target, const Engine& e) {
    if (target == TYPE_BINARY) return e.kind == Kind::bytes;
    if (series::is_string_type(target)) return e.kind == Kind::text;
    return false;
}

// The series a collect into/after marker names, checked.
Cell marker_target(const Engine& e, const Cell& marker) {
    Cell w = marker;
    w.header = TYPE_WORD;
    Cell t = *context::get(w);
    uint32_t tt = type_of(t);
    bool usable = series::is_series_type(tt) && tt != TYPE_VECTOR && tt != TYPE_IMAGE &&
        (tt == type_of(e.input) || is_any_block(tt) || (series::is_string_type(tt) && e.kind != Kind::block) ||
         (tt == TYPE_BINARY && e.kind == Kind::bytes));
    if (!usable) fail_with(ErrorId::script_parse_into_type);
    return t;
}

// Adds a value to the target of the marker: a block marker gets it appended
// (as one value with only); an into or after target gets it through its own
// type's insert (at its position, which moves past it) or append. What the
// target may grow by (one, or the units of a series value) counts as steps,
// so that a step budget bounds the targets as it bounds the work.
void keep_value(Engine& e, Cell* marker, const Cell& value, bool only) {
    Cell counted = value;
    e.steps += 1 + (series::is_series_type(type_of(value)) ? series::length_in_units(counted, false) : 0);
    Cell* top = stack::state.top;
    Cell* v = stack::push(value);
    if (type_of(*marker) == TYPE_BLOCK) {
        if (only) {
            block::append_cell(*marker, *v);
        } else {
            Cell* out = stack::push(*marker);
            actions::append(out, out, v, AppendOptions{-1, false, 1});
        }
        stack::state.top = top;
        return;
    }
    Cell* out = stack::push(marker_target(e, *marker));
    Cell w = *marker;
    bool into = type_of(w) == TYPE_GET_WORD;
    w.header = TYPE_WORD;
    if (into) {
        actions::insert(out, out, v, AppendOptions{-1, only, 1});
        context::set(w, *out);
    } else {
        actions::append(out, out, v, AppendOptions{-1, only, 1});
    }
    stack::state.top = top;
}

// Keeps the span [start, end) of the input as one value: an into or after
// target of the input's own family takes the units straight from the input
// (insert or append /part), anything else a copy of the span.
void keep_span(Engine& e, Cell* marker, int32_t start, int32_t end) {
    Cell* top = stack::state.top;
    Cell* span = stack::push(input_at(e, start));
    if (type_of(*marker) != TYPE_BLOCK) {
        Cell* out = stack::push(marker_target(e, *marker));
        if (family_matches(type_of(*out), e)) {
            e.steps += end - start;
            Cell w = *marker;
            bool into = type_of(w) == TYPE_GET_WORD;
            w.header = TYPE_WORD;
            AppendOptions o{end - start, false, 1};
            if (into) {
                actions::insert(out, out, span, o);
                context::set(w, *out);
            } else {
                actions::append(out, out, span, o);
            }
            stack::state.top = top;
            return;
        }
    }
    Cell part = input_at(e, end);
    actions::copy(span, span, CopyOptions{&part, false, nullptr});
    keep_value(e, marker, *span, true);
    stack::state.top = top;
}

State set_or_copy(Engine& e, Keyword k) {
    int32_t at = e.ri + 1;
    int32_t tail = tail_of_rules(e);
    if (at >= tail || !is_word(rule_at(e, at)) || at + 1 >= tail) fail_with(ErrorId::script_parse_end, keyword_word(k));
    e.pending_first = rule_at(e, at);
    e.pending_code = k == Keyword::set ? SET : COPY;
    e.pending_option = 0;
    e.ri = at;
    return State::push_rule;
}

State collect_keyword(Engine& e) {
    int32_t at = e.ri + 1;
    int32_t tail = tail_of_rules(e);
    Cell collect_word = keyword_word(Keyword::collect);
    Keyword form = at < tail && is_word(rule_at(e, at)) ? keyword_of(rule_at(e, at)) : Keyword::none_;
    Cell first = triple::make_cell(-1, -1, 0);
    if (form == Keyword::set || form == Keyword::into || form == Keyword::after) {
        if (at + 1 >= tail || !is_word(rule_at(e, at + 1))) fail_with(ErrorId::script_parse_end, collect_word);
        Cell w = rule_at(e, at + 1);
        if (form == Keyword::set) {
            stack::push(w);
            block::push_only(8);
        } else {
            Cell target = *context::get(w);
            Cell marker = w;
            marker.header = TYPE_GET_WORD;
            Cell checked = marker_target(e, marker);
            if (cell_node(checked) == cell_node(e.input)) fail_with(ErrorId::script_parse_into_bad);
            marker.header = form == Keyword::into ? TYPE_GET_WORD : TYPE_REFINEMENT;
            stack::push(marker);
            first = triple::make_cell(-1, int32_t(target.data1), 0);
        }
        e.ri = at + 1;
    } else {
        block::push_only(8);
    }
    e.collect_depth += 1;
    e.pending_first = first;
    e.pending_code = COLLECT;
    e.pending_option = 0;
    return State::push_rule;
}

State keep_keyword(Engine& e) {
    Cell keep_word = keyword_word(Keyword::keep);
    if (e.collect_depth <= 0) fail_with(ErrorId::script_parse_keep, keep_word);
    int32_t at = e.ri + 1;
    int32_t tail = tail_of_rules(e);
    if (at >= tail) fail_with(ErrorId::script_parse_end, keep_word);
    int32_t option = 0;
    if (is_word(rule_at(e, at)) && keyword_of(rule_at(e, at)) == Keyword::pick) {
        option = 1;
        at += 1;
        if (at >= tail) fail_with(ErrorId::script_parse_end, keep_word);
    }
    e.pending_first = triple::make_cell(-1, -1, 0);
    e.pending_code = type_of(rule_at(e, at)) == TYPE_PAREN ? KEEP_PAREN : KEEP_RULE;
    e.pending_option = option;
    e.ri = at - 1;
    return State::push_rule;
}

// The word `only` at the index: steps over it.
bool only_after(const Engine& e, int32_t& at) {
    if (at >= tail_of_rules(e) || !is_word(rule_at(e, at)) || keyword_of(rule_at(e, at)) != Keyword::only) return false;
    at += 1;
    return true;
}

State insert_keyword(Engine& e) {
    Cell insert_word = keyword_word(Keyword::insert);
    int32_t at = e.ri + 1;
    bool only = only_after(e, at);
    if (at >= tail_of_rules(e)) fail_with(ErrorId::script_parse_end, insert_word);
    int32_t pos = head(e);
    if (position_word_at(e, at, &pos)) {
        at += 1;
        if (at >= tail_of_rules(e)) fail_with(ErrorId::script_parse_rule, insert_word);
    }
    Cell* top = stack::state.top;
    Cell* value = argument_value(e, at);
    Cell* target = stack::push(input_at(e, pos));
    int32_t before = input_tail(e);
    actions::insert(target, target, value, AppendOptions{-1, only, 1});
    int32_t added = input_tail(e) - before;
    if (pos <= head(e)) set_head(e, head(e) + added);
    stack::state.top = top;
    e.ri = at;
    clamp_position(e);
    return State::next_rule;
}

// Replaces [start, end) by the value at the rule index; the position becomes
// the one the change answers (just after what it wrote).
void change_span(Engine& e, int32_t start, int32_t end, int32_t value_index, bool only) {
    Cell* top = stack::state.top;
    Cell* value = argument_value(e, value_index);
    Cell* target = stack::push(input_at(e, start));
    actions::change(target, target, value, AppendOptions{end - start, only, 1});
    int32_t after = int32_t(target->data1);
    stack::state.top = top;
    set_head(e, after);
    clamp_position(e);
}

State change_keyword(Engine& e) {
    Cell change_word = keyword_word(Keyword::change);
    int32_t at = e.ri + 1;
    bool only = only_after(e, at);
    int32_t pos = 0;
    if (position_word_at(e, at, &pos)) {
        at += 1;
        if (at >= tail_of_rules(e)) fail_with(ErrorId::script_parse_rule, change_word);
        int32_t start = pos < head(e) ? pos : head(e);
        int32_t end = pos < head(e) ? head(e) : pos;
        change_span(e, start, end, at, only);
        e.ri = at;
        return State::check_pending;
    }
    e.ri = at - 1;
    e.pending_first = triple::make_cell(-1, -1, 0);
    e.pending_code = only ? CHANGE_ONLY : CHANGE;
    e.pending_option = 0;
    return State::push_rule;
}

State remove_keyword(Engine& e) {
    Cell remove_word = keyword_word(Keyword::remove);
    int32_t at = e.ri + 1;
    if (at < tail_of_rules(e) && type_of(rule_at(e, at)) == TYPE_PATH)
        fail_with(ErrorId::script_parse_rule, remove_word);
    if (at >= tail_of_rules(e)) fail_with(ErrorId::script_parse_end, remove_word);
    int32_t pos = 0;
    if (position_word_at(e, at, &pos)) {
        Cell* top = stack::state.top;
        Cell* target = stack::push(input_at(e, pos));
        Cell* part = stack::push(e.input);
        actions::remove(target, target, part, nullptr);
        stack::state.top = top;
        set_head(e, pos);
        clamp_position(e);
        e.ri = at;
        return State::check_pending;
    }
    e.pending_first = triple::make_cell(-1, -1, 0);
    e.pending_code = REMOVE;
    e.pending_option = 0;
    return State::push_rule;
}

void pop_collect(Engine& e, int32_t f) {
    e.collect_depth -= 1;
    Cell* marker = stack::state.top - 1;
    if (type_of(*marker) != TYPE_BLOCK) {
        // into / after: the target's position goes back to where it was.
        Cell w = *marker;
        w.header = TYPE_WORD;
        Cell target = *context::get(w);
        target.data1 = rule_cell(f)->data2;
        context::set(w, target);
        stack::pop(1);
        return;
    }
    if (marker == e.result + 1) {
        e.result_flag = true;  // a top-level plain collect: the parse's result
        return;
    }
    Cell* below = marker - 1;
    switch (type_of(*below)) {
    case TYPE_WORD: {
        Cell w = *below;
        context::set(w, *marker);
        stack::pop(2);
        e.result_flag = false;
        return;
    }
    case TYPE_GET_WORD:
    case TYPE_REFINEMENT:
        keep_value(e, below, *marker, true);
        stack::pop(1);
        e.result_flag = false;
        return;
    default:
        block::append_cell(*below, *marker);
        stack::pop(1);
        e.result_flag = true;
        return;
    }
}

void pop_keep(Engine& e, int32_t f, int32_t code) {
    bool pick = rule_cell(f + 2)->data2 != 0;
    int32_t finished = int32_t(rule_cell(f + 2)->data3);
    int32_t start = int32_t(rule_cell(f + 1)->data2);
    Cell* top = stack::state.top;
    if (code == KEEP_PAREN) {
        // The paren's result stands above the marker.
        Cell* result = stack::state.top - 1;
        Cell* marker = result - 1;
        if (e.match) keep_value(e, marker, *result, !pick);
        stack::state.top = top - 1;
        return;
    }
    if (!e.match) return;
    Cell* marker = stack::state.top - 1;
    if (type_of(*marker) != TYPE_BLOCK) marker_target(e, *marker);
    if (finished == COPY) {
        keep_value(e, marker, e.last_copy, true);
        return;
    }
    int32_t end = head(e);
    int32_t tail = input_tail(e);
    if (start > tail) start = tail;
    if (end > tail) end = tail;
    if (pick) {
        for (int32_t i = start; i < end; ++i) keep_value(e, marker, element_at(e, i), true);
    } else if (end - start > 1) {
        keep_span(e, marker, start, end);
    } else if (end - start == 1) {
        keep_value(e, marker, element_at(e, start), true);
    }
}

}  // namespace

bool is_position(const Engine& e, const Cell& value) {
    return type_of(value) == type_of(e.input) && cell_node(value) == cell_node(e.input);
}

State position_word(Engine& e, const Cell& rule) {
    Cell w = rule;
    if (type_of(rule) == TYPE_SET_WORD) {
        context::set(w, e.input);
        return State::next_rule;
    }
    Cell v = *context::get(w);
    if (!is_position(e, v)) fail_with(ErrorId::script_parse_invalid_ref, rule);
    set_head(e, int32_t(v.data1));
    clamp_position(e);
    e.match = true;
    return State::check_pending;
}

State capture_keyword(Engine& e, Keyword k) {
    switch (k) {
    case Keyword::set:
    case Keyword::copy:
        return set_or_copy(e, k);
    case Keyword::collect:
        return collect_keyword(e);
    case Keyword::keep:
        return keep_keyword(e);
    case Keyword::insert:
        return insert_keyword(e);
    case Keyword::change:
        return change_keyword(e);
    default:
        return remove_keyword(e);
    }
}

bool capture_pop(Engine& e, int32_t code, int32_t f) {
    int32_t start = int32_t(rule_cell(f + 1)->data2);
    int32_t tail = input_tail(e);
    if (start > tail) start = tail;
    switch (code) {
    case COPY: {
        if (!e.match) return true;
        Cell w = *rule_cell(f);
        Cell* top = stack::state.top;
        Cell* span = stack::push(input_at(e, start));
        Cell* part = stack::push(e.input);
        actions::copy(span, span, CopyOptions{part, false, nullptr});
        e.last_copy = *span;
        context::set(w, *span);
        stack::state.top = top;
        return true;
    }
    case SET: {
        if (!e.match) return true;
        Cell w = *rule_cell(f);
        context::set(w, head(e) == start || start >= tail ? none_value : element_at(e, start));
        return true;
    }
    case REMOVE: {
        if (!e.match) return true;
        int32_t n = head(e) - start;
        if (n > 0) {
            Cell* top = stack::state.top;
            Cell* target = stack::push(input_at(e, start));
            Cell* part = stack::push(make_integer(n));
            actions::remove(target, target, part, nullptr);
            stack::state.top = top;
        }
        set_head(e, start);
        clamp_position(e);
        return true;
    }
    case COLLECT:
        pop_collect(e, f);
        return true;
    case KEEP_RULE:
    case KEEP_PAREN:
        pop_keep(e, f, code);
        return true;
    case CHANGE:
    case CHANGE_ONLY: {
        int32_t value_index = e.ri + 1;
        if (value_index >= tail_of_rules(e)) fail_with(ErrorId::script_parse_end, keyword_word(Keyword::change));
        e.ri = value_index;
        if (e.match) change_span(e, start, head(e), value_index, code == CHANGE_ONLY);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace kel::parser
