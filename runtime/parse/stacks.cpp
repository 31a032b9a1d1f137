// The parse engine's two stacks, its keyword table and position helpers.
//
// Both stacks are fixed blocks (they never move) held by cells of the root
// block, made on first use with room for the limit and one frame more, so a
// push checked against the limit never needs to grow them. Their tails cover
// every live frame, so the collector marks what the frames hold (parent rule
// blocks, target words, nested inputs).
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/roots.h"
#include "runtime/parse/engine.h"

namespace kel::parser {

namespace detail {
Cell* rule_stack = nullptr;
Cell* series_stack = nullptr;
SeriesBuffer* rule_buffer = nullptr;
SeriesBuffer* series_buffer = nullptr;
}  // namespace detail

namespace {
void make_keywords();
}  // namespace

void init() {
    if (detail::rule_stack) return;
    // The keyword symbols first: making them allocates, which the engine
    // never does between its own allocation points.
    make_keywords();
    detail::rule_stack = roots::append(make_none());
    block::make_fixed_at(*detail::rule_stack, STACK_LIMIT + 16, true);
    detail::series_stack = roots::append(make_none());
    block::make_fixed_at(*detail::series_stack, STACK_LIMIT + 16, true);
    detail::rule_buffer = memory::buffer_of(cell_node(*detail::rule_stack));
    detail::series_buffer = memory::buffer_of(cell_node(*detail::series_stack));
}

namespace {

const char* const KEYWORD_NAMES[] = {
    "",    "|",    "skip",    "any",   "some", "opt",    "while",  "to",     "thru",   "ahead",
    "not", "into", "if",      "quote", "end",  "none",   "fail",   "break",  "reject", "case",
    "set", "copy", "collect", "keep",  "pick", "insert", "change", "remove", "only",   "after",
};
constexpr int KEYWORD_COUNT = int(sizeof KEYWORD_NAMES / sizeof KEYWORD_NAMES[0]);
int32_t keyword_symbols[KEYWORD_COUNT] = {};
// The keyword of each symbol id met so far (by id, so no case folding is
// needed on the way): KEYWORD_UNKNOWN until first asked.
std::vector<uint8_t> keyword_by_symbol;

void make_keywords() {
    if (keyword_symbols[1]) return;
    for (int k = 1; k < KEYWORD_COUNT; ++k) keyword_symbols[k] = symbol::resolve(symbol::make(KEYWORD_NAMES[k]));
}

Keyword lookup(int32_t id) {
    make_keywords();
    int32_t s = symbol::resolve(id);
    for (int k = 1; k < KEYWORD_COUNT; ++k)
        if (keyword_symbols[k] == s) return Keyword(k);
    return Keyword::none_;
}

}  // namespace

namespace detail {
const uint8_t* keyword_table = nullptr;
uint32_t keyword_table_size = 0;

Keyword keyword_first_sight(int32_t id) {
    if (id < 0) return Keyword::none_;
    if (size_t(id) >= keyword_by_symbol.size()) {
        keyword_by_symbol.resize(size_t(id) + 256, KEYWORD_UNKNOWN);
        keyword_table = keyword_by_symbol.data();
        keyword_table_size = uint32_t(keyword_by_symbol.size());
    }
    uint8_t& k = keyword_by_symbol[size_t(id)];
    if (k == KEYWORD_UNKNOWN) k = uint8_t(lookup(id));
    return Keyword(k);
}
}  // namespace detail

int32_t keyword_symbol(Keyword k) {
    make_keywords();
    return keyword_symbols[int(k)];
}

Cell keyword_word(Keyword k) { return word::make(keyword_symbol(k)); }

[[noreturn]] void fire_stack_limit() { fire(ErrorId::script_parse_stack); }

[[noreturn]] void fail_with(ErrorId id, const Cell& arg) { fire(id, {arg}); }
[[noreturn]] void fail_with(ErrorId id) { fire(id); }

// Positions ------------------------------------------------------------------

Kind kind_of(uint32_t type) {
    if (type == TYPE_BINARY) return Kind::bytes;
    if (series::is_string_type(type)) return Kind::text;
    return Kind::block;
}

void clamp_position(Engine& e) {
    int32_t tail = input_tail(e);
    if (head(e) > tail) set_head(e, tail);
    if (head(e) < 0) set_head(e, 0);
}

}  // namespace kel::parser
