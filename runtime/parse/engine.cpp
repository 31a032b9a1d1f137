// The parse engine's state machine: entering and leaving rule blocks,
// alternatives, commands and their frames, the keyword state, events and
// parens. The capturing and modifying rules are capture.cpp; the literal
// matchers and searches literals.cpp.
#include "runtime/parse/engine.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/triple.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/exits.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/interrupt-check.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::parser {

namespace {

int64_t step_budget = 0;
constexpr uint64_t BUDGET_INPUT_BYTES = 64 << 10;

int32_t top_frame() { return rule_tail() - 3; }
bool is_block_frame(int32_t f) { return type_of(*rule_cell(f)) == TYPE_NONE; }
bool rule_frame_on_top(const Engine& e) {
    int32_t f = top_frame();
    return f >= e.rule_base && !is_block_frame(f);
}
int32_t remaining(const Engine& e) { return input_tail(e) - head(e); }

// A rule's outcome goes on: to the pending command, the next rule or the
// next alternative. The cheap transitions are direct calls, not passes of
// the state loop; every chain of them ends in a state.
inline State check_pending(Engine& e) {
    if (rule_frame_on_top(e)) return State::pop_rule;
    return e.match ? State::next_rule : State::find_alternative;
}
State keyword(Engine& e);
State match_rule(Engine& e);
State pop_rule(Engine& e);
State rule_after_command(Engine& e);
State next_rule(Engine& e) {
    e.ri += 1;
    int32_t tail = rules_tail(e);
    if (e.ri >= tail) {
        e.ri = tail;
        return rule_frame_on_top(e) ? State::pop_rule : State::pop_block;
    }
    e.value = rule_at(e, e.ri);
    e.looked_up = false;
    event(e, Event::fetch);
    return match_rule(e);
}
State match_literal_state(Engine& e) {
    e.match = match_literal(e, e.value);
    event(e, Event::match);
    return check_pending(e);
}

// The keyword whose word names a command, for its errors.
Keyword command_keyword(int32_t code) {
    switch (code) {
    case TO:
        return Keyword::to;
    case THRU:
        return Keyword::thru;
    case COPY:
        return Keyword::copy;
    case SET:
        return Keyword::set;
    case NOT:
        return Keyword::not_;
    case INTO:
        return Keyword::into;
    case REMOVE:
        return Keyword::remove;
    case WHILE:
        return Keyword::while_;
    case COLLECT:
        return Keyword::collect;
    case KEEP_RULE:
    case KEEP_PAREN:
        return Keyword::keep;
    case AHEAD:
        return Keyword::ahead;
    case CHANGE:
    case CHANGE_ONLY:
        return Keyword::change;
    case CASE:
        return Keyword::case_;
    default:
        return Keyword::any;
    }
}

bool needs_rule(int32_t code) {
    switch (code) {
    case TO:
    case THRU:
    case NOT:
    case REMOVE:
    case WHILE:
    case COLLECT:
    case KEEP_RULE:
    case KEEP_PAREN:
    case AHEAD:
        return true;
    default:
        return false;
    }
}

State push_block(Engine& e, const Cell& block) {
    check_limits(3);
    frame_push(none_value, e.ri, head(e), remaining(e), &e.rules, 0, 0);
    e.rules = block;
    int32_t h = int32_t(block.data1);
    e.ri = (h < 0 ? 0 : h) - 1;
    e.match = true;
    event(e, Event::push);
    return State::next_rule;
}

State push_rule(Engine& e) {
    check_limits(3);
    frame_push(e.pending_first, e.ri, head(e), remaining(e), nullptr, e.pending_code, e.pending_option);
    int32_t tail = rules_tail(e);
    e.ri = e.ri + 1 < tail ? e.ri + 1 : tail;
    e.looked_up = false;
    event(e, Event::push);
    return rule_after_command(e);
}

State pop_block(Engine& e) {
    int32_t f = top_frame();
    e.reached_tail = e.ri >= rules_tail(e);
    event(e, Event::pop);
    if (f <= e.rule_base) return State::end;
    e.ri = int32_t(rule_cell(f + 1)->data1);
    e.rules = *rule_cell(f + 2);
    rule_truncate(f);
    if (rule_frame_on_top(e)) return pop_rule(e);
    return e.match ? next_rule(e) : State::find_alternative;
}

// Drops the finished command's frame and tells the frame below which
// command ended (keep takes a copy's value).
State finish(Engine& e, int32_t code) {
    event(e, Event::pop);
    rule_truncate(top_frame());
    int32_t f = top_frame();
    if (f >= e.rule_base && !is_block_frame(f)) rule_cell(f + 2)->data3 = uint32_t(code);
    return check_pending(e);
}

State pop_repeat(Engine& e, int32_t f, int32_t code) {
    Cell* c0 = rule_cell(f);
    int32_t min = int32_t(c0->data1), max = int32_t(c0->data2), count = int32_t(c0->data3);
    Cell* c1 = rule_cell(f + 1);
    bool go = e.match && (max < 0 || count < max);
    if (e.break_flag) {
        e.break_flag = false;
        go = false;
    }
    if (go && code != WHILE && head(e) == int32_t(c1->data2) && remaining(e) >= int32_t(c1->data3)) go = false;
    if (go && int32_t(c1->data1) + 1 < rules_tail(e)) {
        c1->data2 = uint32_t(head(e));
        c1->data3 = uint32_t(remaining(e));
        c0->data3 = uint32_t(count + 1);
        e.ri = int32_t(c1->data1);
        event(e, Event::iterate);
        e.ri += 1;
        e.looked_up = false;
        return rule_after_command(e);
    }
    e.match = e.match ? count >= min : (count - 1 >= min || min == 0);
    return finish(e, code);
}

// to / thru of a rule that is no literal: the rule is tried at each
// position until it matches.
State pop_search(Engine& e, int32_t f, int32_t code) {
    Cell* c1 = rule_cell(f + 1);
    int32_t start = int32_t(c1->data2);
    if (e.match) {
        if (code == TO) set_head(e, start);
        return finish(e, code);
    }
    int32_t next = start + 1;
    if (start >= input_tail(e) || next > limit_of(e)) {
        set_head(e, int32_t(rule_cell(f)->data2));  // where the search began
        clamp_position(e);
        e.match = false;
        return finish(e, code);
    }
    c1->data2 = uint32_t(next);
    set_head(e, next);
    event(e, Event::pop);
    event(e, Event::iterate);
    e.ri = int32_t(c1->data1) + 1;
    e.looked_up = false;
    return rule_after_command(e);
}

State pop_rule(Engine& e) {
    int32_t f = top_frame();
    if (is_block_frame(f)) {
        // Reached from break or reject: the block ends at once.
        e.block_exit = false;
        return State::pop_block;
    }
    int32_t code = int32_t(rule_cell(f + 2)->data1);
    switch (code) {
    case REPEAT:
    case WHILE:
        return pop_repeat(e, f, code);
    case TO:
    case THRU:
        return pop_search(e, f, code);
    case NOT:
        // Never consumes: the position goes back to where the rule started.
        e.match = !e.match;
        set_head(e, int32_t(rule_cell(f + 1)->data2));
        clamp_position(e);
        return finish(e, code);
    case AHEAD:
        set_head(e, int32_t(rule_cell(f + 1)->data2));
        clamp_position(e);
        return finish(e, code);
    case CASE:
        e.op = int32_t(rule_cell(f)->data2);
        return finish(e, code);
    case INTO: {
        bool ok = e.match && at_end(e) && e.reached_tail;
        series_truncate(series_tail() - 1);
        e.input = *series_cell(series_tail() - 1);
        e.kind = kind_of(type_of(e.input));
        if (ok) set_head(e, head(e) + 1);
        e.match = ok;
        clamp_position(e);
        return finish(e, code);
    }
    default:
        capture_pop(e, code, f);
        return finish(e, code);
    }
}

// The rule right after a command (the frame is on top).
State rule_after_command(Engine& e) {
    int32_t f = top_frame();
    int32_t code = int32_t(rule_cell(f + 2)->data1);
    if (!e.looked_up) {
        if (e.ri >= rules_tail(e)) {
            if (needs_rule(code)) fail_with(ErrorId::script_parse_end, keyword_word(command_keyword(code)));
            e.match = true;
            return finish(e, code);
        }
        e.value = rule_at(e, e.ri);
    }
    e.looked_up = false;
    const Cell& v = e.value;
    switch (type_of(v)) {
    case TYPE_BLOCK:
        return push_block(e, v);
    case TYPE_WORD:
        e.after_command = true;
        return keyword(e);
    case TYPE_PAREN:
        if (code == KEEP_PAREN) {
            eval_paren(e, v, true);
            event(e, Event::paren);
            clamp_position(e);
            e.match = true;
            return check_pending(e);
        }
        return match_rule(e);
    case TYPE_INTEGER:
    case TYPE_TYPESET:
    case TYPE_DATATYPE:
    case TYPE_SET_WORD:
    case TYPE_GET_WORD:
    case TYPE_PATH:
        return match_rule(e);
    default:
        break;
    }
    if (code == TO || code == THRU) {
        e.match = find_token(e, v, code == THRU);
        event(e, Event::match);
        return finish(e, code);
    }
    Cell* c0 = rule_cell(f);
    if ((code == REPEAT || code == WHILE) && type_of(*c0) == TYPE_TRIPLE) {
        e.match = loop_token(e, v, int32_t(c0->data1), int32_t(c0->data2));
        event(e, Event::match);
        return finish(e, code);
    }
    return match_literal_state(e);
}

// An integer! rule: a count or a range for the rule after it.
State repetition_count(Engine& e) {
    int32_t n = cell_integer(e.value);
    Cell count = e.value;
    if (n < 0) fail_with(ErrorId::script_out_of_range, count);
    int32_t tail = rules_tail(e);
    int32_t at = e.ri + 1;
    if (at >= tail) fail_with(ErrorId::script_parse_rule, count);
    Cell next = rule_at(e, at);
    if (type_of(next) == TYPE_WORD && keyword_of(next) == Keyword::none_) {
        Cell* slot = context::get(next);
        if (type_of(*slot) == TYPE_INTEGER) next = *slot;
    }
    int32_t max = n;
    bool ranged = false;
    if (type_of(next) == TYPE_INTEGER) {
        max = cell_integer(next);
        if (max < 0) fail_with(ErrorId::script_out_of_range, next);
        ranged = true;
        if (at + 1 >= tail || n > max) fail_with(ErrorId::script_parse_rule, count);
    }
    if (n == 0 && max == 0) {
        // Nothing to match: the rule after the count is skipped unseen.
        e.ri = ranged ? at + 1 : at;
        e.match = true;
        return check_pending(e);
    }
    if (ranged) e.ri = at;
    e.pending_first = triple::make_cell(n, max, 1);
    e.pending_code = REPEAT;
    e.pending_option = 0;
    return State::push_rule;
}

State match_rule(Engine& e) {
    const Cell& v = e.value;
    // Words and blocks first: most rules are one or the other.
    uint32_t t = type_of(v);
    if (t == TYPE_WORD) {
        if (e.looked_up) fail_with(ErrorId::script_parse_rule, v);
        return keyword(e);
    }
    if (t == TYPE_BLOCK) return push_block(e, v);
    switch (t) {
    case TYPE_DATATYPE:
    case TYPE_TYPESET:
        if (e.kind == Kind::text) fail_with(ErrorId::script_parse_unsupported);
        e.match = match_type(e, v);
        event(e, Event::match);
        return check_pending(e);
    case TYPE_SET_WORD:
    case TYPE_GET_WORD:
        return position_word(e, v);
    case TYPE_INTEGER:
        return repetition_count(e);
    case TYPE_PAREN: {
        Cell paren = v;
        eval_paren(e, paren, false);
        event(e, Event::paren);
        int32_t tail = rules_tail(e);
        if (e.ri >= tail) e.ri = tail - 1;
        clamp_position(e);
        return check_pending(e);
    }
    case TYPE_PATH:
        fail_with(ErrorId::script_parse_rule, v);
    default:
        return match_literal_state(e);
    }
}

// A repetition of one literal, or of a word that holds one, when nothing
// traces: the literal loop runs at once, with no frame pushed and popped
// around it. The outcome is the command's own: the stack limit is checked as
// the push would, the frame below learns which command finished, and the
// rule pointer rests on the literal. False (nothing done) for any other rule.
bool repeat_literal(Engine& e, int32_t code, int32_t min, int32_t max) {
    check_limits(3);
    Cell v = rule_at(e, e.ri + 1);
    if (type_of(v) == TYPE_WORD) {
        if (keyword_of(v) != Keyword::none_) return false;
        v = *context::get(v);
        if (type_of(v) == TYPE_UNSET) return false;
    }
    if (!is_plain_literal(type_of(v))) return false;
    e.ri += 1;
    e.value = v;
    e.looked_up = false;
    e.match = loop_token(e, v, min, max);
    int32_t f = top_frame();
    if (f >= e.rule_base && !is_block_frame(f)) rule_cell(f + 2)->data3 = uint32_t(code);
    return true;
}

State push_command(Engine& e, int32_t code, const Cell& first) {
    e.pending_first = first;
    e.pending_code = code;
    e.pending_option = 0;
    return push_rule(e);
}

State into_keyword(Engine& e) {
    if (!is_any_block(type_of(e.input))) fail_with(ErrorId::script_parse_block, e.input);
    int32_t at = e.ri + 1;
    Cell into_word = keyword_word(Keyword::into);
    if (at >= rules_tail(e)) fail_with(ErrorId::script_parse_end, into_word);
    Cell rule = rule_at(e, at);
    if (type_of(rule) == TYPE_WORD) rule = *context::get(rule);
    if (type_of(rule) != TYPE_BLOCK) fail_with(ErrorId::script_parse_end, into_word);
    bool nested = false;
    if (!at_end(e)) {
        uint32_t t = type_of(*block::ks_abs_at(e.input, head(e)));
        nested = is_any_block(t) || series::is_string_type(t) || t == TYPE_BINARY;
    }
    if (!nested) {
        e.ri = at;
        e.match = false;
        return check_pending(e);
    }
    check_limits(3);
    Cell inner = *block::ks_abs_at(e.input, head(e));
    *series_cell(series_tail() - 1) = e.input;
    series_push(inner);
    e.pending_first = triple::make_cell(-1, -1, 0);
    e.pending_code = INTO;
    e.pending_option = 0;
    State next = push_rule(e);
    e.input = inner;
    e.kind = kind_of(type_of(inner));
    clamp_position(e);
    return next;
}

State keyword(Engine& e) {
    Cell word = e.value;
    bool after = e.after_command;
    e.after_command = false;
    Keyword k = keyword_of(word);
    int32_t tail = rules_tail(e);
    switch (k) {
    case Keyword::bar:
        e.ri = tail;
        return rule_frame_on_top(e) ? State::pop_rule : State::pop_block;
    case Keyword::skip:
        e.match = !at_end(e);
        if (e.match) set_head(e, head(e) + 1);
        event(e, Event::match);
        return check_pending(e);
    case Keyword::any:
    case Keyword::some:
    case Keyword::opt:
    case Keyword::while_: {
        if (e.ri + 1 >= tail && k != Keyword::while_) fail_with(ErrorId::script_parse_end, word);
        int32_t min = k == Keyword::some ? 1 : 0;
        int32_t max = k == Keyword::opt ? 1 : -1;
        int32_t code = k == Keyword::while_ ? WHILE : REPEAT;
        if (e.ri + 1 < tail && !e.tracing && !e.stopped && repeat_literal(e, code, min, max)) return check_pending(e);
        return push_command(e, code, triple::make_cell(min, max, 1));
    }
    case Keyword::to:
    case Keyword::thru:
        if (e.ri + 1 < tail) {
            Cell next = rule_at(e, e.ri + 1);
            if (type_of(next) == TYPE_WORD && keyword_of(next) == Keyword::end) {
                set_head(e, limit_of(e) > head(e) ? limit_of(e) : head(e));
                e.ri += 1;
                e.match = true;
                event(e, Event::match);
                return check_pending(e);
            }
        }
        return push_command(e, k == Keyword::to ? TO : THRU, triple::make_cell(-1, head(e), 0));
    case Keyword::ahead:
        return push_command(e, AHEAD, triple::make_cell(-1, -1, 0));
    case Keyword::not_:
        return push_command(e, NOT, triple::make_cell(-1, -1, 0));
    case Keyword::into:
        return into_keyword(e);
    case Keyword::if_: {
        if (e.ri + 1 >= tail || type_of(rule_at(e, e.ri + 1)) != TYPE_PAREN) fail_with(ErrorId::script_parse_end, word);
        e.ri += 1;
        eval_paren(e, rule_at(e, e.ri), true);
        e.match = !logic::is_false(*(stack::state.top - 1));
        stack::pop(1);
        clamp_position(e);
        event(e, Event::match);
        return check_pending(e);
    }
    case Keyword::quote:
        if (e.ri + 1 >= tail) fail_with(ErrorId::script_parse_end, word);
        e.ri += 1;
        e.value = rule_at(e, e.ri);
        return match_literal_state(e);
    case Keyword::end:
        e.match = at_end(e);
        event(e, Event::match);
        return check_pending(e);
    case Keyword::none:
        e.match = true;
        event(e, Event::match);
        return check_pending(e);
    case Keyword::fail:
        // Fails the current alternative wherever it stands.
        e.match = false;
        event(e, Event::match);
        return rule_frame_on_top(e) ? State::pop_rule : State::find_alternative;
    case Keyword::break_:
        e.match = true;
        e.break_flag = e.block_exit = true;
        e.ri += 1;
        event(e, Event::match);
        return State::pop_rule;
    case Keyword::reject:
        e.match = false;
        e.break_flag = e.block_exit = true;
        event(e, Event::match);
        return State::pop_rule;
    case Keyword::case_: {
        if (e.ri + 1 >= tail || type_of(rule_at(e, e.ri + 1)) != TYPE_WORD) fail_with(ErrorId::script_parse_end, word);
        e.ri += 1;
        Cell flag = *context::get(rule_at(e, e.ri));
        Cell first = triple::make_cell(-1, e.op, 0);
        e.op = !logic::is_false(flag) ? COMP_STRICT_EQUAL : COMP_EQUAL;
        return push_command(e, CASE, first);
    }
    case Keyword::set:
    case Keyword::copy:
    case Keyword::collect:
    case Keyword::keep:
    case Keyword::insert:
    case Keyword::change:
    case Keyword::remove:
        return capture_keyword(e, k);
    default:
        break;
    }
    // Any other word: its value is the rule.
    Cell v = word_value(word, ErrorId::script_parse_rule);
    e.value = v;
    e.looked_up = true;
    if (!after) return match_rule(e);
    int32_t code = int32_t(rule_cell(top_frame() + 2)->data1);
    if (code == COLLECT || code == KEEP_RULE || code == KEEP_PAREN) return match_rule(e);
    if (type_of(v) == TYPE_WORD) return match_literal_state(e);
    return rule_after_command(e);
}

State find_alternative(Engine& e) {
    int32_t f = top_frame();
    set_head(e, int32_t(rule_cell(f + 1)->data2));
    clamp_position(e);
    int32_t tail = rules_tail(e);
    for (int32_t i = e.ri + 1; i < tail; ++i) {
        Cell c = rule_at(e, i);
        if (type_of(c) == TYPE_WORD && keyword_of(c) == Keyword::bar) {
            e.ri = i;
            e.match = true;
            return next_rule(e);
        }
    }
    e.match = false;
    return State::pop_block;
}

State step(Engine& e) {
    switch (e.state) {
    case State::push_block:
        return push_block(e, e.value);
    case State::pop_block:
        return pop_block(e);
    case State::push_rule:
        return push_rule(e);
    case State::pop_rule:
        return pop_rule(e);
    case State::check_pending:
        return check_pending(e);
    case State::next_rule:
        return next_rule(e);
    case State::match_rule:
        return match_rule(e);
    case State::match_literal:
        return match_literal_state(e);
    case State::rule_after_command:
        return rule_after_command(e);
    case State::keyword:
        return keyword(e);
    case State::find_alternative:
        return find_alternative(e);
    case State::end:
        if (e.match) e.match = e.ri >= rules_tail(e);
        if (!at_end(e) && series_tail() - e.series_base == 1) e.match = false;
        event(e, Event::end);
        return State::exit;
    case State::exit:
        break;
    }
    return State::exit;
}

// Gives the stacks back as they were before the parse, on every road.
struct StackGuard {
    int32_t rules, series;
    ~StackGuard() {
        rule_truncate(rules);
        series_truncate(series);
    }
};

}  // namespace

bool send_event(Engine& e, Event ev) {
    if (e.stopped) return false;
    static constexpr words::Word names[] = {words::Word::push,  words::Word::pop,     words::Word::fetch,
                                            words::Word::match, words::Word::iterate, words::Word::paren};
    Cell* top = stack::state.top;
    Cell* args = stack::push(ev == Event::end ? words::word(words::SymWord::end) : words::word(names[int(ev)]));
    stack::push(logic::make_cell(e.match));
    Cell rules = e.rules;
    rules.data1 = uint32_t(e.ri < 0 ? 0 : e.ri);
    stack::push(rules);
    stack::push(e.input);
    Cell rule_stack = rule_stack_block();
    rule_stack.data1 = uint32_t(e.rule_base);
    stack::push(rule_stack);
    Cell answer = interpreter::call_function(e.callback, args, 5, words::word(words::Word::parse_callback));
    stack::state.top = top;
    if (logic::is_false(answer)) e.stopped = true;
    // The callback may have changed the rules or the input.
    int32_t tail = rules_tail(e);
    if (e.ri > tail) e.ri = tail;
    clamp_position(e);
    return !e.stopped;
}

void eval_paren(Engine&, const Cell& paren, bool keep) {
    Cell* top = stack::state.top;
    Cell* code = stack::push(paren);
    code->header = TYPE_BLOCK;
    interpreter::throw_status(interpreter::eval(*code, false));
    Cell result = *(stack::state.top - 1);
    stack::state.top = top;
    if (keep) stack::push(result);
}

Cell word_value(const Cell& word, ErrorId id) {
    Cell* slot = context::get(word);
    if (type_of(*slot) == TYPE_UNSET) fail_with(id, word);
    return *slot;
}

int64_t set_step_budget(int64_t steps) {
    int64_t old = step_budget;
    step_budget = steps;
    return old;
}

void process(Cell* out, const Request& request) {
    init();
    Engine e;
    e.input = request.input;
    e.kind = kind_of(type_of(e.input));
    e.op = request.case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
    e.part = request.part;
    if (request.callback) {
        e.callback = *request.callback;
        e.tracing = true;
    }
    Rooted keep_input(e.input), keep_rules(e.rules), keep_value(e.value), keep_callback(e.callback),
        keep_copy(e.last_copy), keep_first(e.pending_first);
    e.rule_base = rule_tail();
    e.series_base = series_tail();
    StackGuard guard{e.rule_base, e.series_base};
    Cell* top = stack::state.top;
    e.result = stack::push(unset_value);
    if (series_tail() + 1 > STACK_LIMIT) fire_stack_limit();
    series_push(e.input);
    e.rules = request.rules;
    e.value = request.rules;
    int32_t h = int32_t(request.rules.data1);
    e.ri = (h < 0 ? 0 : h) - 1;
    e.state = State::push_block;
    while (e.state != State::exit && !e.stopped) {
        // Under a budget a parse also stops once its input holds more than
        // BUDGET_INPUT_BYTES: rules that insert the input into itself grow
        // it exponentially within a few steps. Values kept count as steps
        // (capture.cpp), so collect targets stay within the budget too.
        if (step_budget > 0 &&
            (++e.steps > step_budget || memory::buffer_of(cell_node(e.input))->used() > BUDGET_INPUT_BYTES)) {
            e.stopped = true;
            e.match = false;
            break;
        }
        interpreter::poll_interrupt();
        e.state = step(e);
    }
    if (e.result_flag && !e.stopped)
        *out = e.result[1];
    else
        *out = logic::make_cell(e.match);
    stack::state.top = top;
}

}  // namespace kel::parser
