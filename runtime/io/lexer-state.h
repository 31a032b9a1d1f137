// The lexer's own state: the record of one active scan, the shared value
// stack, and the handlers of the terminal states. Only the lexer's modules
// and its tests include this header.
//
// Invariants:
// - Positions are byte offsets into the input, never addresses: a binary!
//   input moves under the collector, so its bytes are re-read through
//   `State::input()` after anything that may allocate or run code.
// - Value-stack entries are indices. The stack is one array outside series
//   memory, shared by nested scans in stack order; growing it moves no index.
// - A State is linked into the chain for exactly as long as its scan runs
//   (RAII), so the collector's root step never sees a dead one.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/memory.h"

namespace kel::lexer {

struct State {
    State* next = nullptr;  // the next (inner) active scan
    State* parent = nullptr;  // the scan whose callback started this one
    int32_t base = 0;  // first value-stack cell of this scan
    int32_t head = 0;  // first cell of the innermost open series
    int32_t tail = 0;  // next free cell
    // The input: a buffer that never moves, or a byte series read from
    // `input_offset` through its node.
    const uint8_t* fixed = nullptr;
    NodeId input_node = 0;
    uint64_t input_offset = 0;
    int64_t input_end = 0;  // length in bytes
    int64_t pos = 0;
    int64_t token_end = 0;
    int32_t line = 1;
    int32_t line_breaks = 0;
    int32_t type_override = -1;
    int32_t type = 0;
    int32_t entry_state = 0;
    int32_t prev_state = 0;
    int32_t closing_type = 0;
    int32_t last_type = 0;
    int64_t string_start = 0;
    int32_t nesting = 0;
    uint32_t string_flags = 0;
    int32_t point_line_breaks = 0;
    Cell callback{};  // none when there is no tracing
    bool has_callback = false;
    uint32_t event_mask = 0;
    Cell source{};  // the value scanned, given to the callback
    bool load = false;
    bool one = false;
    bool prescan = false;
    bool halted = false;  // a quiet error ended the scan
    bool moved = false;  // a callback moved the position during this token
    int64_t char_cache_pos = 0;
    int64_t char_cache_count = 0;

    const uint8_t* input() const { return fixed ? fixed : memory::buffer_of(input_node)->data() + input_offset; }
};

// The chain of active scans, innermost last.
State* first_state();

// Value stack -------------------------------------------------------------

namespace detail {
// The stack's storage (lexer-scan.cpp), grown by realloc.
extern Cell* value_stack;
extern int32_t value_capacity;
void grow_value_stack();
}  // namespace detail

Cell* stack_cell(int32_t index);
// Reserves the next cell (unset, with the new-line marker when line breaks
// came before the token) and answers its index.
int32_t alloc_slot(State& st);
// Pushes a built value with the new-line marker rule.
inline void push_value(State& st, const Cell& value) {
    Cell v = value;  // `value` may be a stack cell, which growth moves
    if (st.tail >= detail::value_capacity) detail::grow_value_stack();
    v.header = (v.header & ~CELL_NEW_LINE) | (st.line_breaks > 0 ? CELL_NEW_LINE : 0);
    detail::value_stack[st.tail++] = v;
}
// Marker cells: an open series (type triple!).
bool is_marker(const Cell& c);
int32_t marker_type(const Cell& c);  // low 16 bits of word 2
int32_t marker_commas(const Cell& c);  // high 16 bits of word 2
int64_t marker_start(const Cell& c);
// The type of the innermost open series, or 0.
int32_t open_type(const State& st);

void open_series(State& st, int32_t type, int64_t start, int64_t end);
int32_t close_series(State& st, int64_t start, int64_t end, int32_t type, bool quiet);
void close_all(State& st);

// Errors and events --------------------------------------------------------

// Raises the syntax error of a token (or, in scan and prescan modes, marks
// the type and stops quietly). start < 0: the input's start or the opening
// of the innermost open series. type: a datatype, or -1 bad-char,
// -2 malconstruct, -3/-4 missing.
[[noreturn]] void throw_error(State& st, int64_t start, int64_t end, int32_t type);
// Ends the current handler and asks the main loop to stop.
[[noreturn]] void request_stop(State& st);
bool fire_event(State& st, uint32_t event, int32_t type, const Cell* token, int64_t start, int64_t end);
inline bool listens(const State& st, uint32_t event) { return st.has_callback && (st.event_mask & event); }

// Handlers ---------------------------------------------------------------------

using Handler = void (*)(State& st, int64_t start, int64_t end, uint32_t flags, bool load);
extern Handler scanners[36];
extern Handler loaders[36];

// Structure (lexer-structure.cpp).
void scan_eof(State&, int64_t, int64_t, uint32_t, bool);
void scan_error(State&, int64_t, int64_t, uint32_t, bool);
void scan_block_open(State&, int64_t, int64_t, uint32_t, bool);
void scan_block_close(State&, int64_t, int64_t, uint32_t, bool);
void scan_paren_close(State&, int64_t, int64_t, uint32_t, bool);
void scan_brace_open(State&, int64_t, int64_t, uint32_t, bool);
void scan_brace_close(State&, int64_t, int64_t, uint32_t, bool);
void scan_map_open(State&, int64_t, int64_t, uint32_t, bool);
void scan_path(State&, int64_t, int64_t, uint32_t, bool);
void scan_construct(State&, int64_t, int64_t, uint32_t, bool);
void scan_comment(State&, int64_t, int64_t, uint32_t, bool);
void scan_comma(State&, int64_t, int64_t, uint32_t, bool);
bool point_ahead(const State& st, int64_t after);

// Words (lexer-words.cpp).
void scan_word(State&, int64_t, int64_t, uint32_t, bool);
void scan_issue(State&, int64_t, int64_t, uint32_t, bool);
void load_word(State&, int64_t, int64_t, uint32_t, bool);
void load_refinement(State&, int64_t, int64_t, uint32_t, bool);
// Loads a word token made only of ASCII whose colon, if any, ends a set-word
// (what scan_word and load_word would build); answers false, having done
// nothing, for any other word token.
bool load_word_quickly(State& st, int64_t start, int64_t end, uint32_t flags);
// The first Unicode blank at or after start (before end), or end; invalid
// UTF-8 raises `invalid` for the type.
int64_t find_blank(State& st, int64_t start, int64_t end, int32_t type);
int64_t skip_blanks(State& st, int64_t start, int64_t end, int32_t type);

// Strings (lexer-strings.cpp).
void check_string(State&, int64_t, int64_t, uint32_t, bool);
void load_string(State&, int64_t, int64_t, uint32_t, bool);
void load_char(State&, int64_t, int64_t, uint32_t, bool);
void load_file(State&, int64_t, int64_t, uint32_t, bool);
void load_binary(State&, int64_t, int64_t, uint32_t, bool);
void load_tag(State&, int64_t, int64_t, uint32_t, bool);
void load_url(State&, int64_t, int64_t, uint32_t, bool);
void load_email(State&, int64_t, int64_t, uint32_t, bool);
void load_raw_string(State&, int64_t, int64_t, uint32_t, bool);
void load_ref(State&, int64_t, int64_t, uint32_t, bool);
// Decodes a string-like text between [start, end) with escapes when
// `escapes` and builds (load) a value of `type`; errors name `type`.
void string_text(State& st, int64_t start, int64_t end, uint32_t flags, bool escapes, int32_t type, bool load);

// Numbers (lexer-numbers.cpp).
void load_integer(State&, int64_t, int64_t, uint32_t, bool);
void load_hex(State&, int64_t, int64_t, uint32_t, bool);
void load_percent(State&, int64_t, int64_t, uint32_t, bool);
void load_float(State&, int64_t, int64_t, uint32_t, bool);
void load_float_special(State&, int64_t, int64_t, uint32_t, bool);
void load_tuple(State&, int64_t, int64_t, uint32_t, bool);
void load_date(State&, int64_t, int64_t, uint32_t, bool);
void load_pair(State&, int64_t, int64_t, uint32_t, bool);
void load_point(State&, int64_t, int64_t, uint32_t, bool);
void load_time(State&, int64_t, int64_t, uint32_t, bool);
void load_money(State&, int64_t, int64_t, uint32_t, bool);

}  // namespace kel::lexer
