#include "runtime/evaluator/natives-iteration.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/natives-control.h"
#include "runtime/memory/roots.h"

namespace kel::natives::iteration {

namespace {

using interpreter::state;

using frame::args;
const Cell& body_word() { return words::word(words::Word::body); }

inline bool is_loop_word(uint32_t t) {
    return t == TYPE_WORD || t == TYPE_SET_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD;
}

// The series kinds the loops step through.
bool steppable(uint32_t t) {
    switch (type_classes::of(t).series) {
    case type_classes::Series::cells:
    case type_classes::Series::code_points:
    case type_classes::Series::bytes:
    case type_classes::Series::elements:
    case type_classes::Series::pixels:
        return true;
    default:
        return false;
    }
}

// The position has values left: its head lies before its tail, read now.
bool values_left(const Cell& s) {
    uint32_t t = type_of(s);
    if (t == TYPE_IMAGE) return need(services().image_values_left)(s);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    uint64_t unit = type_classes::holds_cells(t) ? sizeof(Cell) : b->unit();
    int32_t head = int32_t(s.data1);
    return head >= 0 && uint64_t(head) < b->used() / unit;
}

// Moves a position's head by n (n may be negative), never below 0 or past
// the largest index.
void move_head(Cell& s, int64_t n) {
    int64_t head = int64_t(int32_t(s.data1)) + n;
    if (head < 0) head = 0;
    if (head > INT32_MAX) head = INT32_MAX;
    s.data1 = uint32_t(head);
}

// Element i (0-based) of the words block as it is now; none past its tail,
// which the word check then refuses.
Cell word_at(const Cell& words, int32_t i) {
    SeriesBuffer* b = memory::buffer_of(cell_node(words));
    int64_t at = int64_t(int32_t(words.data1)) + i;
    if (at < 0 || uint64_t(at) >= b->cell_count()) return none_value;
    return b->cells()[at];
}

Cell checked_word(const Cell& words, int32_t i) {
    Cell w = word_at(words, i);
    if (!is_loop_word(type_of(w))) fire(ErrorId::script_invalid_arg, {w});
    return w;
}

// Item i (0-based) of a block-like value or a map, none past its end.
Cell item_at(const Cell& value, int32_t i) {
    if (type_of(value) == TYPE_MAP) return map::item(value, i);
    return word_at(value, i);
}

// One step of foreach with a single word; the series copy at f[-2], the
// word at f[-1]. A block's value is its cell; any other series' value is
// what pick answers at index 1, into f[1].
bool step_word(Cell* f) {
    if (type_classes::holds_cells(type_of(f[-2]))) {
        SeriesBuffer* b = memory::buffer_of(cell_node(f[-2]));
        int32_t head = int32_t(f[-2].data1);
        if (head < 0 || uint64_t(head) >= b->cell_count()) return false;
        Cell value = b->cells()[head];
        f[-2].data1 = uint32_t(head + 1);
        context::set(f[-1], value);
        return true;
    }
    if (!values_left(f[-2])) return false;
    stack::push(none_value);
    Cell index = make_integer(1);
    actions::pick(&f[1], &f[-2], 1, &index);
    context::set(f[-1], f[1]);
    move_head(f[-2], 1);
    return true;
}

// One step with a block of n words (n > 0).
bool step_words(Cell* f, int32_t n) {
    uint32_t t = type_of(f[-2]);
    if (t == TYPE_MAP) return map::set_loop_words(f[-1], f[-2], n);
    if (!values_left(f[-2])) return false;
    if (t == TYPE_IMAGE) {
        need(services().image_set_loop_words)(f[-1], n, f[-2]);
    } else if (type_classes::holds_cells(t)) {
        set_words(f[-1], f[-2], n, true, false, false);
    } else {
        stack::push(none_value);
        for (int32_t i = 0; i < n; ++i) {
            Cell w = checked_word(f[-1], i);
            Cell index = make_integer(i + 1);
            actions::pick(&f[1], &f[-2], i + 1, &index);
            context::set(w, f[1]);
        }
    }
    move_head(f[-2], n);
    return true;
}

bool step(Cell* f, int32_t n, bool block_of_words) {
    stack::state.top = f + 1;
    bool left = block_of_words ? step_words(f, n) : step_word(f);
    stack::state.top = f;
    return left;
}

// What a loop does after its body: 1 ends the loop, 0 goes on, and any
// other status is the body's non-local exit on its way. The frame's first
// cell gets the break value, or unset after continue.
enum : uint32_t { GO_ON = 0, END = 1 };
uint32_t after_body(uint32_t s) {
    Cell* f = stack::state.arguments;
    if (s == thrown::BREAK) {
        f[0] = state.exit_value;
        return END;
    }
    if (s == thrown::CONTINUE) {
        f[0] = unset_value;
        return GO_ON;
    }
    return s;
}

// Closes the loop frame keeping its first cell as the native's result (the
// native's frame starts at a).
void close_loop(stack::OpenFrame& loop, Cell* a) {
    stack::state.top = stack::state.arguments + 1;
    loop.set_last();
    stack::state.top = a + 1;
}

// foreach ('word, series, body).
uint32_t foreach_native(bool, const int32_t*) {
    Cell* a = args();
    bool block_of_words = type_of(a[0]) == TYPE_BLOCK;
    int32_t n = 1;
    if (block_of_words) {
        n = block::ks_length(a[0]);
        if (n <= 0) fire(ErrorId::script_invalid_arg, {a[0]});
    } else if (type_of(a[1]) == TYPE_MAP) {
        fire(ErrorId::script_invalid_arg, {a[0]});
    }
    stack::state.top = a + 3;
    stack::push(a[1]);
    stack::push(a[0]);
    stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
    stack::push(unset_value);
    for (;;) {
        if (!step(stack::state.arguments, n, block_of_words)) break;
        uint32_t s = after_body(control::loop_body(a[2]));
        if (s == END) break;
        if (s) return s;
    }
    close_loop(loop, a);
    return 0;
}

// forall ('word, body).
uint32_t forall_native(bool, const int32_t*) {
    Cell* a = args();
    Cell start = *context::get(a[0]);
    if (type_of(start) == TYPE_UNSET) fire(ErrorId::script_no_value, {a[0]});
    if (!steppable(type_of(start)))
        fire(ErrorId::script_expect_arg,
             {stack::current_call_word(), datatype::make(type_of(start)), stack::call_arg_word(1)});
    stack::state.top = a + 2;
    stack::push(start);
    stack::push(a[0]);
    bool broken = false;
    {
        stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
        stack::push(unset_value);
        Cell* f = stack::state.arguments;
        while (values_left(*context::get(f[-1]))) {
            stack::state.top = f;
            uint32_t s = after_body(control::loop_body(a[1]));
            if (s == END) {
                broken = true;
                break;
            }
            if (s) return s;
            // The body may have set the word to anything: it must still be
            // a position in the series the loop started with.
            Cell* slot = context::get(f[-1]);
            if (!steppable(type_of(*slot)) || cell_node(*slot) != cell_node(f[-2]))
                fire(ErrorId::script_bad_loop_series, {*slot});
            move_head(*slot, 1);
            if (!values_left(*slot)) break;
        }
        close_loop(loop, a);
        stack::state.top = a + 4;
    }
    // A full run puts the word back at the start; after a break it stays
    // where the body left it.
    if (!broken) context::set(a[3], a[2]);
    stack::state.top = a + 1;
    return 0;
}

// The remove step: a truthy body value (unset included) removes the n
// values the step just took; the copy takes the position remove answers.
void remove_if_truthy(Cell* f, int32_t n) {
    if (logic::is_false(f[0])) return;
    move_head(f[-2], -int64_t(n));
    actions::remove(&f[-2], &f[-2], n > 1 ? &f[-3] : nullptr, nullptr);
}

// remove-each ('word, data, body).
uint32_t remove_each_native(bool, const int32_t*) {
    Cell* a = args();
    bool block_of_words = type_of(a[0]) == TYPE_BLOCK;
    int32_t n = block_of_words ? block::ks_length(a[0]) : 1;
    if (n < 0) n = 0;
    stack::state.top = a + 3;
    stack::push(make_integer(n));
    stack::push(a[1]);
    stack::push(a[0]);
    {
        stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
        stack::push(unset_value);
        Cell* f = stack::state.arguments;
        while (n > 0 && step(f, n, block_of_words)) {
            uint32_t status = control::loop_body(a[2]);
            uint32_t s = after_body(status);
            if (s == END) break;
            if (s) return s;
            if (status != thrown::CONTINUE) remove_if_truthy(f, n);
        }
        // The result is the series at its starting position.
        f[0] = a[1];
        close_loop(loop, a);
    }
    return 0;
}

}  // namespace

void set_words(const Cell& words_in, const Cell& value_in, int32_t n, bool any, bool only, bool some) {
    Cell words = words_in;
    Cell value = value_in;
    Rooted keep_words(words);
    Rooted keep_value(value);
    uint32_t t = type_of(value);
    bool spread = !only && (t == TYPE_MAP || type_classes::holds_cells(t));
    if (spread) {
        for (int32_t i = 0; i < n; ++i) {
            Cell w = checked_word(words, i);
            if (!any && type_of(item_at(value, i)) == TYPE_UNSET) fire(ErrorId::script_need_value, {w});
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        Cell w = checked_word(words, i);
        Cell v = spread ? item_at(value, i) : value;
        if (some && type_of(v) == TYPE_NONE) continue;
        context::set(w, v);
    }
}

void register_natives(Entry* table) {
    table[FOREACH] = {foreach_native, "foreach",
                      R"~("Evaluates body for each value in a series"
                         'word [word! block!] "Word, or words, to set on each iteration"
                         series [series! map!]
                         body [block!])~"};
    table[FORALL] = {forall_native, "forall",
                     R"~("Evaluates body for all values in a series"
                        'word [word!] "Word referring to series to iterate over"
                        body [block!])~"};
    table[REMOVE_EACH] = {remove_each_native, "remove-each",
                          R"~("Removes values for each block that returns truthy value"
                             'word [word! block!] "Word or block of words to set each time"
                             data [series!] "The series to traverse (modified)"
                             body [block!] "Block to evaluate (return truthy value to remove)")~"};
}

}  // namespace kel::natives::iteration
