// Handlers of the structural tokens: end, error, brackets, parens, braces,
// maps, paths, construction syntax, comments and commas.
#include <cctype>

#include "runtime/core/fire.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/memory/roots.h"

namespace kel::lexer {

void scan_eof(State& st, int64_t, int64_t, uint32_t, bool) { st.pos = st.input_end; }

void scan_error(State& st, int64_t start, int64_t end, uint32_t, bool) {
    int32_t t = st.prev_state < STATE_COUNT ? type_table[st.prev_state] : 0;
    int64_t at = start;
    if (t == int32_t(TYPE_PATH) || t == int32_t(TYPE_BLOCK) || t == int32_t(TYPE_PAREN)) at = -1;
    if (st.nesting > 0) at = st.string_start;
    throw_error(st, at, end, t == 0 ? -1 : t);
}

bool point_ahead(const State& st, int64_t after) {
    if (st.input_end - after < 3) return false;
    const uint8_t* in = st.input();
    int64_t i = after;
    while (i < st.input_end && point_char_table[in[i]]) i++;
    return i >= st.input_end || in[i] == ',';
}

void scan_block_open(State& st, int64_t start, int64_t end, uint32_t, bool) {
    const uint8_t* in = st.input();
    bool paren = in[end] == '(';
    if (paren && point_ahead(st, end + 1)) {
        st.point_line_breaks = st.line_breaks;
        st.type = 0;
        st.entry_state = S_POINT;
        st.pos = end + 1;
        return;
    }
    st.pos = end + 1;
    open_series(st, paren ? TYPE_PAREN : TYPE_BLOCK, start, end + 1);
}

void scan_block_close(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    st.pos = end + 1;
    int32_t open = close_series(st, end, end + 1, TYPE_BLOCK, false);
    if (open != int32_t(TYPE_MAP) || st.type != int32_t(TYPE_MAP)) return;
    if (!load) return;
    // The map's values are the block just closed, on top of the stack.
    Cell* blk = stack_cell(st.tail - 1);
    int32_t count = int32_t(memory::buffer_of(cell_node(*blk))->cell_count());
    if (count % 2 != 0) {
        st.tail--;
        throw_error(st, -1, end, TYPE_MAP);
    }
    (void)start;
    // Every key must be of a type a map accepts; otherwise the map is
    // dropped and the error points at the `]`.
    SeriesBuffer* b = memory::buffer_of(cell_node(*blk));
    for (int32_t i = 0; i < count; i += 2) {
        if (!map::valid_key(type_of(b->cells()[i]))) {
            st.tail--;
            throw_error(st, end, end + 1, TYPE_MAP);
        }
    }
    // The block becomes the map in place (the stack cell stays marked while
    // the keys are normalised).
    Cell m = make_none();
    Rooted keep(m);
    map::make_at(m, stack_cell(st.tail - 1), 0);
    m.header |= stack_cell(st.tail - 1)->header & CELL_NEW_LINE;
    *stack_cell(st.tail - 1) = m;
}

void scan_paren_close(State& st, int64_t, int64_t end, uint32_t, bool) {
    st.pos = end + 1;
    close_series(st, end, end + 1, TYPE_PAREN, false);
}

void scan_map_open(State& st, int64_t start, int64_t end, uint32_t, bool) {
    if (st.input()[start] != '#') throw_error(st, start, end, TYPE_MAP);
    st.pos = end + 1;
    open_series(st, TYPE_MAP, start, end + 1);
}

void scan_brace_open(State& st, int64_t start, int64_t end, uint32_t flags, bool) {
    if (st.nesting == 0) {
        st.string_start = end;
        st.string_flags = st.line_breaks > 0 ? flag::BRACE_NEW_LINE : 0;
        st.pos = end + 1;
        if (listens(st, event::OPEN)) fire_event(st, event::OPEN, TYPE_STRING, nullptr, end, end + 1);
    } else {
        st.pos = end + 1;
    }
    (void)start;
    st.nesting++;
    st.string_flags |= flags;
    st.entry_state = S_BRACED;
}

void scan_brace_close(State& st, int64_t, int64_t end, uint32_t flags, bool load) {
    st.string_flags |= flags;
    st.nesting--;
    st.pos = end + 1;
    if (st.nesting > 0) {
        if (end + 1 >= st.input_end) throw_error(st, st.string_start, end, TYPE_STRING);
        return;
    }
    int64_t from = st.string_start;
    uint32_t collected = st.string_flags;
    st.type = TYPE_STRING;
    if (listens(st, event::CLOSE)) fire_event(st, event::CLOSE, TYPE_STRING, nullptr, from, end + 1);
    if ((collected & flag::BRACE_NEW_LINE) != 0) st.line_breaks = 1;
    bool build = load;
    if (listens(st, event::SCAN) && !fire_event(st, event::SCAN, TYPE_STRING, nullptr, from, end + 1)) build = false;
    int32_t before = st.tail;
    string_text(st, from + 1, end, collected, true, TYPE_STRING, build);
    if (build && listens(st, event::LOAD) && st.tail > before) {
        Cell built = *stack_cell(st.tail - 1);
        fire_event(st, event::LOAD, TYPE_STRING, &built, from, end + 1);
    }
    st.pos = st.pos < end + 1 ? end + 1 : st.pos;
    st.string_start = 0;
    st.string_flags = 0;
    st.entry_state = S_START;
}

void scan_path(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    int32_t type = TYPE_PATH;
    int64_t from = start;
    if (in[start] == '\'') {
        type = TYPE_LIT_PATH;
        from++;
    } else if (in[start] == ':') {
        type = TYPE_GET_PATH;
        from++;
    }
    st.pos = end + 1;
    open_series(st, type, start, end);
    st.type_override = TYPE_WORD;
    st.entry_state = S_PATH;
    if (!load) return;
    st.line_breaks = 0;
    if (listens(st, event::SCAN) && !fire_event(st, event::SCAN, TYPE_WORD, nullptr, from, end)) return;
    int32_t before = st.tail;
    load_word(st, from, end, flags & ~flag::COLON, true);
    st.pos = end + 1;
    if (listens(st, event::LOAD) && st.tail > before) {
        Cell built = *stack_cell(st.tail - 1);
        if (!fire_event(st, event::LOAD, TYPE_WORD, &built, from, end)) st.tail = before;
    }
    st.entry_state = S_PATH;
}

namespace {

bool same_text(const uint8_t* text, int64_t n, const char* name) {
    int64_t k = 0;
    for (; k < n; k++) {
        if (!name[k]) return false;
        if (std::tolower(text[k]) != std::tolower(uint8_t(name[k]))) return false;
    }
    return name[k] == 0;
}

bool starts_name(const uint8_t* text, int64_t n, const char* name) {
    for (int64_t k = 0; k < n; k++) {
        if (!name[k]) return false;
        if (std::tolower(text[k]) != std::tolower(uint8_t(name[k]))) return false;
    }
    return true;
}

}  // namespace

void scan_construct(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    // The text between "#(" and the ")" at `end`.
    int64_t from = start + 2;
    int64_t n = end - from;
    st.pos = end + 1;
    if (n <= 0) throw_error(st, start, end, -2);
    const uint8_t* text = st.input() + from;
    Cell value{};
    if (same_text(text, n, "true"))
        value = logic::make_cell(true);
    else if (same_text(text, n, "false"))
        value = logic::make_cell(false);
    else if (same_text(text, n, "none"))
        value = make_none();
    else if (same_text(text, n, "unset"))
        value = make_unset();
    else {
        uint32_t found = 0;
        for (uint32_t t = 1; t <= datatype::highest() && !found; t++) {
            const char* name = datatype::name(t);
            if (name && starts_name(text, n, name)) found = t;
        }
        if (!found) throw_error(st, start, end, -2);
        value = datatype::make(found);
    }
    st.type = int32_t(type_of(value));
    if (load) push_value(st, value);
}

void scan_comment(State& st, int64_t start, int64_t end, uint32_t, bool) {
    if (listens(st, event::SCAN)) fire_event(st, event::SCAN, -pair_of(T_COMMENT), nullptr, start, end);
}

void scan_comma(State& st, int64_t start, int64_t end, uint32_t, bool) {
    st.pos = end + 1;
    int32_t open = open_type(st);
    Cell* marker = st.head > st.base ? stack_cell(st.head - 1) : nullptr;
    if (open == int32_t(TYPE_PAREN)) {
        marker->data2 = (1u << 16) | TYPE_POINT2D;
    } else if (open == int32_t(TYPE_POINT2D)) {
        marker->data2 += 1u << 16;
    } else {
        throw_error(st, start, end, TYPE_POINT2D);
    }
}

}  // namespace kel::lexer
