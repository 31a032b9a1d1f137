// The parse engine's working state, shared by its modules: the state machine
// (engine.cpp), the frame stacks (stacks.cpp), the literal matchers and
// searches (literals.cpp) and the capturing and modifying rules (capture.cpp).
//
// Frames are three cells on the rule stack, as indices and integers only:
//   block frame  [none; triple(parent rule index, input head, input length); parent block]
//   rule frame   [target word, or triple(min, max, count);
//                 triple(index of the cell before the rule, input head, input length);
//                 triple(command code, option, code of the command that last finished inside)]
// The series stack holds the input cells, the base input first and one more
// per `into` level; the working input is a copy of its top cell.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/error-ids.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/memory/memory.h"
#include "runtime/parse/parser.h"

namespace kel::parser {

enum class State : uint8_t {
    push_block,
    pop_block,
    push_rule,
    pop_rule,
    check_pending,
    next_rule,
    match_rule,
    match_literal,
    rule_after_command,
    keyword,
    find_alternative,
    end,
    exit,
};

// Command codes of rule frames.
enum Code : int32_t {
    REPEAT = -1,
    TO = -2,
    THRU = -3,
    COPY = -4,
    SET = -5,
    NOT = -6,
    INTO = -7,
    REMOVE = -9,
    WHILE = -11,
    COLLECT = -12,
    KEEP_RULE = -13,
    KEEP_PAREN = -14,
    AHEAD = -16,
    CHANGE = -17,
    CHANGE_ONLY = -18,
    CASE = -19,
};

enum class Kind : uint8_t { block, text, bytes };

enum class Event : uint8_t { push, pop, fetch, match, iterate, paren, end };

// The keywords, by case-folded symbol.
enum class Keyword : uint8_t {
    none_,
    bar,
    skip,
    any,
    some,
    opt,
    while_,
    to,
    thru,
    ahead,
    not_,
    into,
    if_,
    quote,
    end,
    none,
    fail,
    break_,
    reject,
    case_,
    set,
    copy,
    collect,
    keep,
    pick,
    insert,
    change,
    remove,
    only,
    after,
};

// The symbol ids of the keywords (made with the stacks, by init) and the
// keyword of a word cell: read from a table by symbol id, filled on first
// sight of an id.
namespace detail {
inline constexpr uint8_t KEYWORD_UNKNOWN = 0xFF;
extern const uint8_t* keyword_table;  // by symbol id; KEYWORD_UNKNOWN until first asked
extern uint32_t keyword_table_size;
Keyword keyword_first_sight(int32_t symbol);
}  // namespace detail
inline Keyword keyword_of(const Cell& word) {
    uint32_t id = word.data2;  // the word's symbol id
    if (id < detail::keyword_table_size) {
        uint8_t k = detail::keyword_table[id];
        if (k != detail::KEYWORD_UNKNOWN) return Keyword(k);
    }
    return detail::keyword_first_sight(int32_t(id));
}
int32_t keyword_symbol(Keyword k);
Cell keyword_word(Keyword k);

// The two stacks (root-block cells holding fixed blocks, made by init).
// Frames are read through these accessors by absolute cell index; the
// blocks never move and never grow past their room (check_limits comes
// first), so a push writes its cells in place.
namespace detail {
extern Cell* rule_stack;
extern Cell* series_stack;
// Their buffers: fixed series never move, so the addresses stay good.
extern SeriesBuffer* rule_buffer;
extern SeriesBuffer* series_buffer;
inline void truncate_cells(SeriesBuffer* b, int32_t tail) {
    if (uint64_t(tail) < b->cell_count()) b->tail = b->offset + uint64_t(tail) * sizeof(Cell);
}
}  // namespace detail

// Makes the two stacks (once).
void init();
inline Cell* rule_cell(int32_t index) { return detail::rule_buffer->cells() + index; }
inline int32_t rule_tail() { return int32_t(detail::rule_buffer->cell_count()); }
inline void rule_truncate(int32_t tail) { detail::truncate_cells(detail::rule_buffer, tail); }
// Pushes a frame: its first cell, the triple (a, b, c), and its third cell
// (a block, or the triple (code, option, 0) when third is null). The
// triples are written field by field, never built as temporaries and
// copied (a copy of a cell just written in parts stalls the store buffer).
inline void frame_push(const Cell& first, int32_t a, int32_t b, int32_t c, const Cell* third, int32_t code,
                       int32_t option) {
    SeriesBuffer* buffer = detail::rule_buffer;
    Cell* at = reinterpret_cast<Cell*>(buffer->tail_ptr());
    at[0] = first;
    at[1].header = TYPE_TRIPLE;
    at[1].data1 = uint32_t(a);
    at[1].data2 = uint32_t(b);
    at[1].data3 = uint32_t(c);
    if (third) {
        at[2] = *third;
    } else {
        at[2].header = TYPE_TRIPLE;
        at[2].data1 = uint32_t(code);
        at[2].data2 = uint32_t(option);
        at[2].data3 = 0;
    }
    buffer->tail += 3 * sizeof(Cell);
}
inline Cell* series_cell(int32_t index) { return detail::series_buffer->cells() + index; }
inline int32_t series_tail() { return int32_t(detail::series_buffer->cell_count()); }
inline void series_truncate(int32_t tail) { detail::truncate_cells(detail::series_buffer, tail); }
inline void series_push(const Cell& c) {
    *reinterpret_cast<Cell*>(detail::series_buffer->tail_ptr()) = c;
    detail::series_buffer->tail += sizeof(Cell);
}
inline const Cell& rule_stack_block() { return *detail::rule_stack; }
// Raises script/parse-stack when either stack would hold more than
// STACK_LIMIT cells, `extra` counting the cells about to go on the rule
// stack.
[[noreturn]] void fire_stack_limit();
inline void check_limits(int32_t extra) {
    if (rule_tail() + extra > STACK_LIMIT || series_tail() > STACK_LIMIT) fire_stack_limit();
}

struct Engine {
    State state = State::push_block;
    Cell input{};  // the working input: its head is the position
    Cell rules{};  // the current rule block
    int32_t ri = 0;  // rule pointer: absolute cell index in `rules`
    Cell value{};  // the rule being matched
    bool looked_up = false;  // `value` came from a word's value
    bool after_command = false;  // the keyword state runs for a command's rule
    int32_t op = 0;
    int32_t part = 0;
    bool match = true;
    bool break_flag = false;
    bool block_exit = false;
    bool reached_tail = false;  // the last block popped ran to its tail
    bool result_flag = false;
    bool stopped = false;  // the callback said stop, or the step budget ran out
    int64_t steps = 0;  // state-machine steps, plus what keep added to targets
    int32_t collect_depth = 0;
    Cell callback{};
    bool tracing = false;
    Cell last_copy{};  // the value the last `copy` stored
    Kind kind = Kind::block;
    int32_t rule_base = 0;  // this parse's first cells on the two stacks
    int32_t series_base = 0;
    Cell* result = nullptr;  // the reserved argument cell; markers lie above it

    // The rule frame being pushed.
    Cell pending_first{};
    int32_t pending_code = 0;
    int32_t pending_option = 0;
};

// Positions ----------------------------------------------------------------

Kind kind_of(uint32_t type);
using type_families::is_any_block;
// Units (cells) of the input's series from its start to its tail.
inline int32_t input_tail(const Engine& e) {
    const SeriesBuffer* b = memory::buffer_of(cell_node(e.input));
    // The unit is 1, 2, 4 or 16 bytes: the shift is its count of trailing
    // zero bits (bit 5 is added so the count is always defined).
    return int32_t(b->used() >> __builtin_ctz(b->unit() | 32u));
}
inline int32_t head(const Engine& e) { return int32_t(e.input.data1); }
inline void set_head(Engine& e, int32_t h) { e.input.data1 = uint32_t(h); }
// The tail, or the part limit when that comes first (base input only).
inline int32_t limit_of(const Engine& e) {
    int32_t tail = input_tail(e);
    if (e.part > 0 && e.part < tail && series_tail() - e.series_base == 1) [[unlikely]]
        return e.part;
    return tail;
}
// At the tail, or (base input only) at or past the part limit.
inline bool at_end(const Engine& e) { return head(e) >= limit_of(e); }
// Keeps the position inside the input after Kel code ran.
void clamp_position(Engine& e);
// The rule block's tail and the value at an index (copied).
inline int32_t rules_tail(const Engine& e) { return int32_t(memory::buffer_of(cell_node(e.rules))->cell_count()); }
inline Cell rule_at(const Engine& e, int32_t index) { return memory::buffer_of(cell_node(e.rules))->cells()[index]; }

// Errors: the stacks are reset by the caller's guard as the error leaves.
[[noreturn]] void fail_with(ErrorId id, const Cell& arg);
[[noreturn]] void fail_with(ErrorId id);

// Events, parens ---------------------------------------------------------------

// Sends an event to the trace callback; false (and e.stopped) when it
// answers stop.
bool send_event(Engine& e, Event ev);
inline bool event(Engine& e, Event ev) { return e.tracing || e.stopped ? send_event(e, ev) : true; }
// Evaluates a paren; with keep its value is pushed on the argument stack
// (the caller pops it), else dropped. Break, continue, return and exit leave
// as `Thrown`.
void eval_paren(Engine& e, const Cell& paren, bool keep);

// Literal matching (literals.cpp) ----------------------------------------------

// One literal at the position; advances on a match. Answers the match.
bool match_literal(Engine& e, const Cell& rule);
// A datatype! or typeset! rule at the position (block or binary input).
bool match_type(Engine& e, const Cell& rule);
// Repetitions of one literal from the position; answers whether the count
// lies within min..max (max -1: unbounded).
bool loop_token(Engine& e, const Cell& rule, int32_t min, int32_t max);
// `to` / `thru` of one literal: moves the position on success (to: onto the
// found value, thru: past it); unchanged on failure.
bool find_token(Engine& e, const Cell& rule, bool thru);
// Whether a literal rule can run in the dedicated loops (not a block, word,
// paren, datatype, typeset, integer or position word).
inline bool is_plain_literal(uint32_t type) {
    switch (type) {
    case TYPE_BLOCK:
    case TYPE_WORD:
    case TYPE_SET_WORD:
    case TYPE_GET_WORD:
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_DATATYPE:
    case TYPE_TYPESET:
    case TYPE_INTEGER:
        return false;
    default:
        return true;
    }
}

// Capturing and modifying (capture.cpp) -------------------------------------------

// The keyword state of set, copy, collect, keep, insert, change, remove:
// answers the next state.
State capture_keyword(Engine& e, Keyword k);
// pop-rule for the capturing commands; answers whether the code was one.
bool capture_pop(Engine& e, int32_t code, int32_t frame);
// set-word! and get-word! rules.
State position_word(Engine& e, const Cell& rule);
// The value of a word rule or argument, its unset value raising `id`.
Cell word_value(const Cell& word, ErrorId id);
// A value held by a word that is a position in the working input.
bool is_position(const Engine& e, const Cell& value);

}  // namespace kel::parser
