// The parse engine's two stacks, its keyword table and position helpers.
//
// Both stacks are fixed blocks (they never move) held by cells of the root
// block, made on first use with room for the limit and one frame more, so a
// push checked against the limit never needs to grow them. Their tails cover
// every live frame, so the collector marks what the frames hold (parent rule
// blocks, target words, nested inputs).
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/roots.h"
#include "runtime/parse/engine.h"

namespace kel::parser {

namespace {

Cell* rule_stack = nullptr;
Cell* series_stack = nullptr;

void make_stacks() {
    if (rule_stack) return;
    rule_stack = roots::append(make_none());
    block::make_fixed_at(*rule_stack, STACK_LIMIT + 16, true);
    series_stack = roots::append(make_none());
    block::make_fixed_at(*series_stack, STACK_LIMIT + 16, true);
}

Cell* cells_of(const Cell* stack) { return memory::buffer_of(cell_node(*stack))->cells(); }

const char* const KEYWORD_NAMES[] = {
    "", "|", "skip", "any", "some", "opt", "while", "to", "thru", "ahead", "not", "into", "if", "quote", "end",
    "none", "fail", "break", "reject", "case", "set", "copy", "collect", "keep", "pick", "insert", "change",
    "remove", "only", "after",
};
constexpr int KEYWORD_COUNT = int(sizeof KEYWORD_NAMES / sizeof KEYWORD_NAMES[0]);
int32_t keyword_symbols[KEYWORD_COUNT] = {};

void make_keywords() {
    if (keyword_symbols[1]) return;
    for (int k = 1; k < KEYWORD_COUNT; ++k) keyword_symbols[k] = symbol::resolve(symbol::make(KEYWORD_NAMES[k]));
}

}  // namespace

Keyword keyword_of(const Cell& word) {
    make_keywords();
    int32_t s = symbol::resolve(word::symbol_of(word));
    for (int k = 1; k < KEYWORD_COUNT; ++k)
        if (keyword_symbols[k] == s) return Keyword(k);
    return Keyword::none_;
}

int32_t keyword_symbol(Keyword k) {
    make_keywords();
    return keyword_symbols[int(k)];
}

Cell keyword_word(Keyword k) { return word::make(keyword_symbol(k)); }

Cell* rule_cell(int32_t index) {
    make_stacks();
    return cells_of(rule_stack) + index;
}

int32_t rule_tail() {
    make_stacks();
    return int32_t(memory::buffer_of(cell_node(*rule_stack))->cell_count());
}

void rule_truncate(int32_t tail) {
    make_stacks();
    if (tail < rule_tail()) block::truncate_at(*rule_stack, tail);
}

void rule_push(const Cell& c0, const Cell& c1, const Cell& c2) {
    make_stacks();
    block::append_cell(*rule_stack, c0);
    block::append_cell(*rule_stack, c1);
    block::append_cell(*rule_stack, c2);
}

Cell* series_cell(int32_t index) {
    make_stacks();
    return cells_of(series_stack) + index;
}

int32_t series_tail() {
    make_stacks();
    return int32_t(memory::buffer_of(cell_node(*series_stack))->cell_count());
}

void series_truncate(int32_t tail) {
    make_stacks();
    if (tail < series_tail()) block::truncate_at(*series_stack, tail);
}

void series_push(const Cell& c) {
    make_stacks();
    block::append_cell(*series_stack, c);
}

const Cell& rule_stack_block() {
    make_stacks();
    return *rule_stack;
}

void check_limits(int32_t extra) {
    if (rule_tail() + extra > STACK_LIMIT || series_tail() > STACK_LIMIT) fail_with(ErrorId::script_parse_stack);
}

[[noreturn]] void fail_with(ErrorId id, const Cell& arg) { fire(id, {arg}); }
[[noreturn]] void fail_with(ErrorId id) { fire(id); }

// Positions ------------------------------------------------------------------

bool is_any_block(uint32_t type) {
    switch (type) {
    case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
    case TYPE_GET_PATH: case TYPE_HASH:
        return true;
    default:
        return false;
    }
}

Kind kind_of(uint32_t type) {
    if (type == TYPE_BINARY) return Kind::bytes;
    if (series::is_string_type(type)) return Kind::text;
    return Kind::block;
}

int32_t input_tail(const Engine& e) { return series::ks_abs_length(e.input); }

int32_t limit_of(const Engine& e) {
    int32_t tail = input_tail(e);
    if (e.part > 0 && e.part < tail && series_tail() - e.series_base == 1) return e.part;
    return tail;
}

bool at_end(const Engine& e) { return head(e) >= limit_of(e); }

void update_end(Engine& e) { e.end_flag = at_end(e); }

void clamp_position(Engine& e) {
    int32_t tail = input_tail(e);
    if (head(e) > tail) set_head(e, tail);
    if (head(e) < 0) set_head(e, 0);
    update_end(e);
}

int32_t rules_tail(const Engine& e) { return int32_t(block::buffer(e.rules)->cell_count()); }

Cell rule_at(const Engine& e, int32_t index) { return *block::ks_abs_at(e.rules, index); }

}  // namespace kel::parser
