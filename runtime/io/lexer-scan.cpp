// The main loop, the value stack, the chain of active scans and the
// collector's root step for them.
#include <cstdlib>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/memory/collector.h"

namespace kel::lexer {

namespace {

Cell*& values = detail::value_stack;
int32_t& capacity = detail::value_capacity;
State* chain_head = nullptr;

inline constexpr uint32_t MARKER_TYPE = TYPE_TRIPLE;

}  // namespace

namespace detail {

Cell* value_stack = nullptr;
int32_t value_capacity = 0;

void grow_value_stack() {
    if (value_capacity > INT32_MAX / 2) fire(ErrorId::internal_no_memory);
    int32_t bigger = value_capacity * 2;
    void* p = std::realloc(value_stack, size_t(bigger) * sizeof(Cell));
    if (!p) fire(ErrorId::internal_no_memory);
    value_stack = static_cast<Cell*>(p);
    value_capacity = bigger;
}

}  // namespace detail

State* first_state() { return chain_head; }

namespace {
void mark_states() {
    for (State* st = chain_head; st; st = st->next) {
        if (st->tail > st->base) collector::mark_values(values + st->base, values + st->tail);
        collector::mark_value(st->source);
        collector::mark_value(st->callback);
        if (!st->fixed && st->input_node) collector::mark_node(st->input_node);
    }
}
}  // namespace

void init_value_stack() {
    if (values) return;
    capacity = VALUE_STACK_CELLS;
    values = static_cast<Cell*>(std::malloc(size_t(capacity) * sizeof(Cell)));
    if (!values) fire(ErrorId::internal_no_memory);
    collector::root_steps.lexer_states = mark_states;
}

Cell* stack_cell(int32_t index) { return values + index; }

int32_t alloc_slot(State& st) {
    if (st.tail >= capacity) detail::grow_value_stack();
    int32_t i = st.tail++;
    values[i] = make_unset();
    if (st.line_breaks > 0) values[i].header |= CELL_NEW_LINE;
    return i;
}

bool is_marker(const Cell& c) { return type_of(c) == MARKER_TYPE && (c.header & 0x100) != 0; }
int32_t marker_type(const Cell& c) { return int32_t(c.data2 & 0xFFFF); }
int32_t marker_commas(const Cell& c) { return int32_t(c.data2 >> 16); }
int64_t marker_start(const Cell& c) { return int64_t(c.data3); }

int32_t open_type(const State& st) {
    if (st.head <= st.base) return 0;
    return marker_type(values[st.head - 1]);
}

// The chain -------------------------------------------------------------------

namespace {

// Links a state at the end of the chain for the life of the scan.
class Chained {
public:
    explicit Chained(State& st) : st_(st) {
        State* last = chain_head;
        while (last && last->next) last = last->next;
        if (last) {
            st.parent = last;
            st.base = last->tail;
            last->next = &st;
        } else {
            st.base = 0;
            chain_head = &st;
        }
        st.head = st.tail = st.base;
    }
    ~Chained() {
        if (st_.parent)
            st_.parent->next = nullptr;
        else
            chain_head = nullptr;
    }
    Chained(const Chained&) = delete;
    Chained& operator=(const Chained&) = delete;

private:
    State& st_;
};

}  // namespace

// Series -----------------------------------------------------------------------

void open_series(State& st, int32_t type, int64_t start, int64_t end) {
    if (st.head > st.base && marker_type(values[st.head - 1]) == int32_t(TYPE_POINT2D))
        throw_error(st, start, end, TYPE_POINT2D);
    if (listens(st, event::OPEN) && !fire_event(st, event::OPEN, type, nullptr, start, end)) return;
    int32_t i = alloc_slot(st);
    Cell& m = values[i];
    m.header = (m.header & CELL_NEW_LINE) | MARKER_TYPE | 0x100;
    m.data1 = uint32_t(i - st.head);
    m.data2 = uint32_t(type) & 0xFFFF;
    m.data3 = uint32_t(start);
    st.head = i + 1;
    st.entry_state = S_START;
}

namespace {

bool is_path_type(int32_t t) {
    return t == int32_t(TYPE_PATH) || t == int32_t(TYPE_LIT_PATH) || t == int32_t(TYPE_SET_PATH) ||
        t == int32_t(TYPE_GET_PATH);
}

bool types_agree(int32_t open, int32_t close) {
    if (open == close) return true;
    if (open == int32_t(TYPE_MAP) && close == int32_t(TYPE_BLOCK)) return true;
    if (close == int32_t(TYPE_SET_PATH) && open != int32_t(TYPE_LIT_PATH) && open != int32_t(TYPE_GET_PATH) &&
        is_path_type(open))
        return true;
    return false;
}

}  // namespace

int32_t close_series(State& st, int64_t start, int64_t end, int32_t type, bool quiet) {
    int32_t open = open_type(st);
    if (!quiet && listens(st, event::CLOSE)) {
        int32_t t = (type < 0 || open == int32_t(TYPE_MAP)) ? open : type;
        int64_t from = st.head > st.base ? marker_start(values[st.head - 1]) : start;
        if (!fire_event(st, event::CLOSE, t, nullptr, from, end)) {
            st.entry_state = S_START;
            return open;
        }
    }
    if (open == 0) {
        // A closing bracket with nothing open: named by the opening char.
        st.closing_type = type;
        throw_error(st, start, end, -3);
    }
    if (type >= 0 && !types_agree(open, type)) {
        // The wrong closing bracket: the open series' closing char is named.
        st.closing_type = open;
        throw_error(st, marker_start(values[st.head - 1]), end, -4);
    }
    int32_t closing = (type < 0 || (open == int32_t(TYPE_MAP) && type == int32_t(TYPE_BLOCK))) ? open : type;
    if (is_path_type(open) && type == int32_t(TYPE_SET_PATH)) closing = type;
    int32_t marker = st.head - 1;
    int32_t count = st.tail - st.head;
    int32_t back = int32_t(values[marker].data1);
    Cell result{};
    if (st.load) {
        // The block is made while the values are still on the stack, which
        // the collector marks.
        block::make_at(result, count);
        SeriesBuffer* b = block::buffer(result);
        std::memcpy(b->cells(), values + st.head, size_t(count) * sizeof(Cell));
        b->tail = b->offset + uint64_t(count) * sizeof(Cell);
        uint32_t t = uint32_t(closing == int32_t(TYPE_MAP) ? TYPE_BLOCK : closing);
        set_type(result, t);
    } else {
        result = make_none();
    }
    uint32_t nl = values[marker].header & CELL_NEW_LINE;
    result.header = (result.header & ~CELL_NEW_LINE) | nl;
    values[marker] = result;
    st.tail = marker + 1;
    st.head = marker - back;
    st.type = closing;
    st.entry_state = (st.head > st.base && is_path_type(marker_type(values[st.head - 1]))) ? S_PATH : S_START;
    return open;
}

void close_all(State& st) {
    while (st.head > st.base) {
        int32_t open = open_type(st);
        if (is_path_type(open)) {
            int32_t marker = st.head - 1;
            st.head = marker - int32_t(values[marker].data1);
            st.tail = marker;
        } else {
            close_series(st, 0, 0, -1, true);
        }
    }
}

// The main loop -----------------------------------------------------------------

namespace {

bool run_handler(Handler h, State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    uint32_t code = protect(thrown::LEXER_ESCAPE, [&] { h(st, start, end, flags, load); });
    if (code == 0) return false;
    if (code != thrown::LEXER_ESCAPE) system_throw(code);
    handled();
    return true;
}

// The path-end step after a path element.
void path_end(State& st) {
    const uint8_t* in = st.input();
    if (st.pos >= st.input_end || path_end_table[class_of(in[st.pos])]) {
        if (st.pos < st.input_end && in[st.pos] == ':') {
            if (st.pos + 1 < st.input_end && in[st.pos + 1] == '/') {
                throw_error(st, -1, st.pos, TYPE_PATH);
            }
            st.pos++;
            st.token_end = st.pos;
            close_series(st, st.pos, st.pos, TYPE_SET_PATH, false);
        } else {
            close_series(st, st.pos, st.pos, -1, false);
        }
        return;
    }
    // The byte is the separator; the path goes on.
    if (st.pos + 1 >= st.input_end) throw_error(st, -1, st.pos, TYPE_PATH);
    st.pos++;
}

// An integer of up to nine digits, with a sign: it always fits.
bool load_integer_quickly(State& st, int64_t start, int64_t end, uint32_t flags) {
    if ((flags & flag::QUOTE) || end <= start) return false;
    const uint8_t* in = st.input();
    int64_t k = start;
    bool negative = in[k] == '-';
    if (negative || in[k] == '+') k++;
    if (end - k < 1 || end - k > 9) return false;
    int32_t v = 0;
    for (; k < end; k++) {
        uint32_t d = uint32_t(in[k]) - '0';
        if (d > 9) return false;
        v = v * 10 + int32_t(d);
    }
    push_value(st, make_integer(negative ? -v : v));
    return true;
}

// A float of the form [sign] digits.digits with at most 15 digits: the
// digits as an integer are exact in a double, and so is 10^n for n <= 22, so
// one division gives the correctly rounded value, as the float reader would.
bool load_decimal_quickly(State& st, int64_t start, int64_t end) {
    if (end <= start) return false;
    const uint8_t* in = st.input();
    int64_t k = start;
    bool negative = in[k] == '-';
    if (negative || in[k] == '+') k++;
    if (end - k > 16) return false;
    int64_t mantissa = 0;
    int digits = 0, fraction = -1;
    for (; k < end; k++) {
        uint32_t d = uint32_t(in[k]) - '0';
        if (d <= 9) {
            mantissa = mantissa * 10 + int64_t(d);
            digits++;
            if (fraction >= 0) fraction++;
        } else if (in[k] == '.' && fraction < 0 && digits > 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (fraction <= 0) return false;
    static constexpr double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    double d = double(mantissa) / powers[fraction];
    st.type = TYPE_FLOAT;
    push_value(st, float_::make_cell(negative ? -d : d));
    return true;
}

// The common tokens of a load without a callback (none of their handlers can
// then stop the scan quietly: a syntax error is raised): words, integers,
// decimals, strings and brackets, handled without the scanner-then-loader
// sequence. Answers false, having done nothing, for a token the general path
// must take (non-ASCII words, colons other than a set-word's, long or quoted
// numbers).
bool load_quickly(State& st, int term, int64_t start, int64_t end, uint32_t flags) {
    switch (term) {
    case T_BLOCK_OPEN:
    case T_PAREN_OPEN:
        scan_block_open(st, start, end, flags, true);
        return true;
    case T_BLOCK_CLOSE:
        scan_block_close(st, start, end, flags, true);
        return true;
    case T_PAREN_CLOSE:
        scan_paren_close(st, start, end, flags, true);
        return true;
    case T_STRING:
        // The string loader makes every check the string scanner makes.
        load_string(st, start, end, flags, true);
        return true;
    case T_WORD:
        return load_word_quickly(st, start, end, flags);
    case T_INTEGER:
        return load_integer_quickly(st, start, end, flags);
    case T_FLOAT:
        return load_decimal_quickly(st, start, end);
    default:
        return false;
    }
}

}  // namespace

void scan_tokens(State& st) {
    const bool quick = st.load && !st.has_callback && !st.prescan && !st.one;
    for (;;) {
        if (st.halted) return;
        st.moved = false;
        int state = st.entry_state;
        int64_t start = st.pos;
        uint32_t flags = 0;
        int64_t skip = 0;
        int32_t lines = 0;
        const uint8_t* in = st.input();
        int64_t i = start;
        int prev;
        int next;
        const int64_t end = st.input_end;
        for (;;) {
            if (i >= end) {
                // One more transition with the end class.
                next = transitions[state][C_END];
                skip += skip_of(next);
                break;
            }
            uint8_t b = in[i];
            flags |= class_table[b];
            next = byte_transitions[state][b];
            lines += b == '\n';
            if (next == state) {
                // Most bytes keep the state (a word's letters, a string's
                // text, blanks): the next lookup then does not wait for this
                // one's result.
                skip += skip_of(next);
                i++;
                continue;
            }
            skip += skip_of(next);
            if (next >= FIRST_TERMINAL) {
                lines -= b == '\n';
                break;
            }
            state = next;
            i++;
        }
        flags &= 0xFFFFFF00u;
        if (next < FIRST_TERMINAL) next = T_ERROR;  // cannot happen: the end class always ends a token
        prev = state;
        int64_t tok_start = start + skip;
        if (tok_start > i) tok_start = i;
        st.pos = st.token_end = i;
        st.line += lines;
        st.line_breaks = lines;
        st.prev_state = prev;
        st.type_override = -1;
        st.type = type_table[next];
        int term = next;
        int pair = pair_of(term);

        if (quick && load_quickly(st, term, tok_start, i, flags)) {
            if (st.entry_state == S_PATH) path_end(st);
            st.last_type = st.type;
            if (st.pos <= start && st.entry_state == state) st.pos = start + 1;
            if (st.pos >= st.input_end) break;
            continue;
        }

        if (st.prescan && term <= T_STRING && scanners[pair - 1]) {
            if (run_handler(scanners[pair - 1], st, tok_start, i, flags, false)) return;
        }
        if (term == T_WORD) {
            tok_start = skip_blanks(st, tok_start, i, TYPE_WORD);
            if (tok_start >= i) {
                if (i >= st.input_end) {
                    st.type = 0;
                    st.pos = st.input_end;
                    st.last_type = 0;
                    return;
                }
                continue;
            }
        }
        bool skip_rest = false;
        if (st.has_callback) {
            if (st.nesting == 0 && listens(st, event::PRESCAN)) {
                int32_t t = st.type ? st.type : -pair;
                if (!fire_event(st, event::PRESCAN, t, nullptr, tok_start, st.pos)) skip_rest = true;
            }
        } else if (st.prescan) {
            skip_rest = true;
        }
        if (st.prescan) {
            skip_rest = true;
            if (term == T_POINT) {
                // A point literal ends here: its own loader is not run.
                st.entry_state = S_START;
                st.pos = i + 1;
            }
        }

        if (!skip_rest) {
            if (term <= T_COMMA) {
                if (scanners[pair - 1] && run_handler(scanners[pair - 1], st, tok_start, i, flags, st.load)) {
                    if (st.halted || st.one || !st.load) return;
                }
            } else {
                Handler check = scanners[pair - 1] ? scanners[pair - 1] : loaders[pair - 1];
                bool build = st.load;
                bool stopped = false;
                if (!st.load || scanners[pair - 1] || listens(st, event::SCAN)) {
                    stopped = run_handler(check, st, tok_start, i, flags, false);
                    if (stopped) {
                        if (st.halted || st.one || !st.load) return;
                        build = false;
                    } else if (listens(st, event::SCAN)) {
                        int32_t t = st.type ? st.type : -pair;
                        if (!fire_event(st, event::SCAN, t, nullptr, tok_start, st.pos)) build = false;
                    }
                }
                if (build && loaders[pair - 1]) {
                    int32_t before = st.tail;
                    if (run_handler(loaders[pair - 1], st, tok_start, st.token_end, flags, true)) {
                        if (st.halted || st.one) return;
                    } else if (listens(st, event::LOAD) && st.tail > before) {
                        Cell built = values[st.tail - 1];
                        if (!fire_event(st, event::LOAD, st.type, &built, tok_start, st.pos)) st.tail = before;
                    }
                }
            }
        }
        if (st.halted) return;
        if (st.entry_state == S_PATH && term != T_PATH && term != T_ERROR) path_end(st);
        if ((st.one || st.prescan) && st.type > 0 && st.entry_state != S_PATH && st.entry_state != S_BRACED &&
            term != T_PATH) {
            int32_t n = st.tail - st.base;
            if (n == 0 || (n == 1 && !is_marker(values[st.base]))) {
                st.last_type = st.type;
                return;
            }
        }
        st.last_type = st.type;
        // Every token moves the scan on, unless a callback moved it.
        if (st.pos <= start && st.entry_state == state && !st.moved) st.pos = start + 1;
        if (st.pos >= st.input_end) break;
    }
    if (st.entry_state == S_BRACED && st.nesting > 0) throw_error(st, st.string_start, st.input_end, TYPE_STRING);
}

// Entry points ----------------------------------------------------------------

namespace {

// Holds collection off for a large load that runs no callback. Such a load
// runs no Kel code, and every series it makes is one of its values, reachable
// from the value stack until it returns (the few others, such as the symbol
// table's old buffers when it grows, are a fixed fraction of what is made):
// a collection in the middle would walk everything loaded so far and could
// free only the garbage that was there when the load began.
//
// That garbage is bounded as long as held loads do not follow one another
// with no collection between them (a loop that only loads would otherwise
// never collect): a load is held only when a collection has run since the
// last held load ended; the next one runs under the pacing rule, which then
// collects the garbage that is due. Loads of less than HOLD_MIN_BYTES are not
// held (they meet a collection rarely) and so never use up the turn of a large
// one. Scan and prescan modes make no values; a load with a callback runs Kel
// code, which makes garbage, and keeps collecting; so does every scan under
// KEL_GC_STRESS, so that the loaders are checked against moving buffers.
inline constexpr int64_t HOLD_MIN_BYTES = 1 << 20;
bool held_since_cycle = false;
int64_t cycles_at_hold_end = 0;

class CollectionHold {
public:
    CollectionHold(bool load_without_callback, int64_t bytes)
        : held_(load_without_callback && bytes >= HOLD_MIN_BYTES && memory::collector_enabled() && !memory::stress() &&
                !(held_since_cycle && collector::stats.cycles == cycles_at_hold_end)) {
        if (held_) memory::set_collector_enabled(false);
    }
    ~CollectionHold() {
        if (!held_) return;
        memory::set_collector_enabled(true);
        held_since_cycle = true;
        cycles_at_hold_end = collector::stats.cycles;
    }
    CollectionHold(const CollectionHold&) = delete;
    CollectionHold& operator=(const CollectionHold&) = delete;

private:
    bool held_;
};

// Scans run in this process (runs()).
uint64_t scans = 0;

Result run_scan(Cell* out, State& st, const Options& options) {
    ++scans;
    Chained link(st);
    bool traced = options.callback && type_of(*options.callback) != TYPE_NONE;
    CollectionHold hold(!traced && !options.prescan && !options.scan, st.input_end);
    st.load = !options.prescan && !options.scan;
    st.one = options.one;
    st.prescan = options.prescan;
    if (options.callback && type_of(*options.callback) != TYPE_NONE) {
        st.callback = *options.callback;
        st.has_callback = true;
        st.event_mask = event_mask_of(st.callback);
    } else {
        st.callback = make_none();
    }
    Result r;
    uint32_t code = protect(thrown::LEXER_ESCAPE, [&] {
        scan_tokens(st);
        if (st.tail > st.base && !st.halted) {
            if (st.prescan && st.entry_state == S_PATH) {
                st.type = open_type(st);
            } else if (st.head > st.base) {
                int32_t open = open_type(st);
                st.closing_type = open;
                int64_t at = marker_start(values[st.head - 1]);
                throw_error(st, at, st.input_end, -3);
            }
        }
    });
    if (code != 0) {
        if (code != thrown::LEXER_ESCAPE) system_throw(code);
        handled();
    }
    // A series still open here had its `missing` error refused by the
    // callback (a raised one closes them all): it is closed as that error's
    // path closes it, so no open marker reaches the result.
    if (st.load && st.head > st.base) close_all(st);
    r.type = st.halted ? int32_t(TYPE_ERROR) : st.type;
    if (st.halted) {
        st.type = TYPE_ERROR;
        r.type = TYPE_ERROR;
    }
    r.consumed = st.pos;
    if (!st.load) {
        if (out) *out = make_none();
        st.tail = st.base;
        return r;
    }
    int32_t count = st.tail - st.base;
    r.values = count;
    if (out) {
        if (options.one && !options.wrap && count >= 1) {
            Cell first = values[st.base];
            if (options.into) {
                block::append_cell(*options.into, first);
                *out = *options.into;
            } else {
                *out = first;
            }
        } else if (options.into) {
            for (int32_t k = 0; k < count; k++) block::append_cell(*options.into, values[st.base + k]);
            *out = *options.into;
        } else {
            Cell blk{};
            block::make_at(blk, count);
            SeriesBuffer* b = block::buffer(blk);
            std::memcpy(b->cells(), values + st.base, size_t(count) * sizeof(Cell));
            b->tail = b->offset + uint64_t(count) * sizeof(Cell);
            *out = blk;
        }
    }
    st.tail = st.base;
    return r;
}

}  // namespace

Result scan(Cell* out, const uint8_t* utf8, int64_t length, const Options& options, const Cell* source) {
    State st;
    st.fixed = utf8 ? utf8 : reinterpret_cast<const uint8_t*>("");
    st.input_end = length;
    st.source = source ? *source : make_none();
    return run_scan(out, st, options);
}

Result scan_binary(Cell* out, const Cell& binary, int64_t length, const Options& options) {
    State st;
    st.input_node = cell_node(binary);
    SeriesBuffer* b = memory::buffer_of(st.input_node);
    uint64_t head = b->offset + uint64_t(int64_t(int32_t(binary.data1)) < 0 ? 0 : binary.data1);
    if (head > b->tail) head = b->tail;
    st.input_offset = head;
    int64_t avail = int64_t(b->tail - head);
    st.input_end = length < 0 || length > avail ? avail : length;
    st.source = binary;
    return run_scan(out, st, options);
}

uint64_t runs() { return scans; }

}  // namespace kel::lexer
