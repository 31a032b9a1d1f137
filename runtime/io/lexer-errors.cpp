// Syntax errors and tracing events.
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/callbacks.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::lexer {

namespace {

// Without a runner of its own, a callback runs through the callback seam;
// a runner installed here can also hand back the input argument as the
// callback left it (a moved index moves the scan).
Cell call_through_seam(const Cell& callback, std::span<Cell> args) {
    return callbacks::call_function(callback, std::span<const Cell>(args.data(), args.size()),
                                    callbacks::Callback::lexer);
}

CallbackRunner runner = call_through_seam;

const char* const event_names[] = {"prescan", "scan", "load", "open", "close", "error"};
int32_t event_symbols[6] = {};

int event_index(uint32_t event) {
    for (int k = 0; k < 6; k++)
        if (event == (1u << k)) return k;
    return 0;
}

// Bytes at which scanning resumes after a refused error.
bool separates(uint8_t b) {
    uint8_t c = class_of(b);
    return c == C_BLANK || c == C_LINE || c == C_BLOCK_OPEN || c == C_BLOCK_CLOSE || c == C_PAREN_OPEN ||
        c == C_PAREN_CLOSE || c == C_END;
}

bool is_path_type(int32_t t) {
    return t == int32_t(TYPE_PATH) || t == int32_t(TYPE_LIT_PATH) || t == int32_t(TYPE_SET_PATH) ||
        t == int32_t(TYPE_GET_PATH);
}

// The excerpt of the input from `start`: whole UTF-8 characters until at
// least 30 bytes are taken, a LF is reached or the input ends. A byte that
// is no part of a well-formed character stands as U+FFFD.
std::string excerpt_at(const State& st, int64_t start) {
    const uint8_t* in = st.input();
    std::string text;
    if (start < 0) start = 0;
    int64_t i = start;
    while (i < st.input_end && (i - start) < 30 && in[i] != '\n') {
        int32_t n = 0;
        int32_t cp = unicode::decode_utf8_status(in + i, int32_t(st.input_end - i > 4 ? 4 : st.input_end - i), n);
        if (cp < 0) {
            text += "\xEF\xBF\xBD";
            i++;
            continue;
        }
        text.append(reinterpret_cast<const char*>(in + i), size_t(n));
        i += n;
    }
    return text;
}

Cell text_value(const std::string& text) {
    Cell c{};
    string::import_at(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), &c, string::ENCODING_UTF8);
    return c;
}

}  // namespace

CallbackRunner install_callback_runner(CallbackRunner r) {
    CallbackRunner old = runner;
    runner = r ? r : call_through_seam;
    return old;
}

Cell event_word(uint32_t event) {
    int k = event_index(event);
    if (event_symbols[k] == 0) event_symbols[k] = symbol::make(event_names[k]);
    return word::make_global(event_names[k]);
}

uint32_t event_mask_of(const Cell& callback) {
    if (type_of(callback) != TYPE_FUNCTION || callback.data3 == 0) return event::ALL;
    SeriesBuffer* more = memory::buffer_of(callback.data3);
    if (more->cell_count() < 1) return event::ALL;
    Cell body = more->cells()[0];
    if (type_of(body) != TYPE_BLOCK) return event::ALL;
    SeriesBuffer* b = memory::buffer_of(cell_node(body));
    int64_t head = int32_t(body.data1);
    if (head < 0 || uint64_t(head) >= b->cell_count()) return event::ALL;
    Cell first = b->cells()[head];
    if (type_of(first) != TYPE_BLOCK) return event::ALL;
    for (int k = 0; k < 6; k++)
        if (event_symbols[k] == 0) event_symbols[k] = symbol::make(event_names[k]);
    uint32_t mask = 0;
    SeriesBuffer* words = memory::buffer_of(cell_node(first));
    uint64_t n = words->cell_count();
    for (uint64_t i = uint64_t(int32_t(first.data1) < 0 ? 0 : first.data1); i < n; i++) {
        const Cell& w = words->cells()[i];
        if (!word::is_any_word(type_of(w))) continue;
        int32_t sym = symbol::resolve(word::symbol_of(w));
        for (int k = 0; k < 6; k++)
            if (symbol::resolve(event_symbols[k]) == sym) mask |= 1u << k;
    }
    return mask;
}

[[noreturn]] void request_stop(State&) {
    system_throw(thrown::LEXER_ESCAPE);
    __builtin_unreachable();  // a code other than 0 always unwinds
}

namespace {

// A string-like source counts positions in characters, anything else in bytes.
bool is_text_source(const State& st) {
    uint32_t t = type_of(st.source);
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL || t == TYPE_REF;
}

// Characters of the input before byte `pos` (for a string! source), counted
// on from the last position asked for when that lies before.
int64_t chars_before(State& st, int64_t pos) {
    if (!is_text_source(st)) return pos;
    if (pos < st.char_cache_pos) {
        st.char_cache_pos = 0;
        st.char_cache_count = 0;
    }
    const uint8_t* in = st.input();
    int64_t count = st.char_cache_count;
    for (int64_t i = st.char_cache_pos; i < pos && i < st.input_end; i++)
        if ((in[i] & 0xC0) != 0x80) count++;
    st.char_cache_pos = pos;
    st.char_cache_count = count;
    return count;
}

// The byte position of the character `chars` of the input (string! sources).
int64_t bytes_of_chars(State& st, int64_t chars) {
    if (!is_text_source(st)) return chars;
    const uint8_t* in = st.input();
    int64_t i = 0, n = 0;
    while (i < st.input_end && n < chars) {
        i++;
        while (i < st.input_end && (in[i] & 0xC0) == 0x80) i++;
        n++;
    }
    return i;
}

}  // namespace

bool fire_event(State& st, uint32_t ev, int32_t type, const Cell* token, int64_t start, int64_t end) {
    if (!listens(st, ev)) return true;
    // A `(` that starts a point literal is reported with the point, not alone.
    if (ev == event::PRESCAN && type == -pair_of(T_PAREN_OPEN) && start < st.input_end && st.input()[start] == '(' &&
        point_ahead(st, start + 1))
        return true;
    // Adjustments of the positions.
    if (ev == event::SCAN && (type == int32_t(TYPE_POINT2D) || type == int32_t(TYPE_POINT3D)) && start > 0) start--;
    if (ev == event::PRESCAN && type == int32_t(TYPE_ERROR) && st.nesting > 0) start = st.string_start;
    if (ev == event::PRESCAN && type == int32_t(TYPE_POINT2D)) {
        if (start > 0) start--;
        if (end < st.input_end) end++;
    }
    Cell args[5] = {};
    Rooted k0(args[0]), k1(args[1]), k2(args[2]), k3(args[3]), k4(args[4]);
    args[0] = event_word(ev);
    // input: the source at the token start or end.
    bool at_start = (ev == event::PRESCAN && type <= 0) || ev == event::OPEN;
    int64_t at = at_start ? start : end;
    int64_t base_index = int32_t(st.source.data1);
    if (type_of(st.source) == TYPE_NONE || type_of(st.source) == 0) {
        args[1] = make_none();
    } else {
        args[1] = st.source;
        args[1].data1 = uint32_t(base_index + chars_before(st, at));
    }
    if (type < 0)
        args[2] = exit_state(-type);
    else if (type == 0)
        args[2] = make_none();
    else
        args[2] = datatype::make(uint32_t(type));
    args[3] = make_integer(st.line);
    if (token) {
        args[4] = *token;
    } else {
        args[4] = pair::make_cell(int32_t(chars_before(st, start) + 1), int32_t(chars_before(st, end) + 1));
    }
    uint32_t index_before = args[1].data1;
    Cell result = runner(st.callback, std::span<Cell>(args, 5));
    // A moved input index moves the lexer, kept inside the scanned input.
    if (type_of(args[1]) != TYPE_NONE && args[1].data1 != index_before) {
        int64_t chars = int64_t(int32_t(args[1].data1)) - base_index;
        if (chars < 0) chars = 0;
        int64_t p = bytes_of_chars(st, chars);
        if (p > st.input_end) p = st.input_end;
        if (p < 0) p = 0;
        st.pos = p;
        st.moved = true;
    }
    return !logic::is_false(result);
}

[[noreturn]] void throw_error(State& st, int64_t start, int64_t end, int32_t type) {
    if (!st.load) {
        st.type = TYPE_ERROR;
        st.halted = true;
        request_stop(st);
    }
    if (start < 0) start = st.head > st.base ? marker_start(*stack_cell(st.head - 1)) : 0;
    if (listens(st, event::ERROR)) {
        int32_t t = type > 0       ? type
            : st.closing_type > 0  ? st.closing_type
            : st.type > 0          ? st.type
            : st.type_override > 0 ? st.type_override
                                   : int32_t(TYPE_ERROR);
        if (st.entry_state == S_PATH && is_path_type(open_type(st))) close_series(st, start, end, -1, true);
        int64_t before = st.pos;
        if (!fire_event(st, event::ERROR, t, nullptr, start, end)) {
            st.closing_type = 0;
            // The bad token is skipped: the scan goes on at the first blank,
            // line break or bracket from where it stands, or from the byte
            // after the token's start when it has not passed that. The
            // separator that ended a token already scanned is not skipped.
            if (st.pos == before) {
                const uint8_t* in = st.input();
                int64_t p = st.pos > start ? st.pos : start + 1;
                while (p < st.input_end && !separates(in[p])) p++;
                st.pos = p;
            }
            if (st.pos > st.input_end) st.pos = st.input_end;
            st.entry_state = S_START;
            st.nesting = 0;
            if (st.one) st.halted = true;
            request_stop(st);
        }
    }
    Cell line{}, what{}, excerpt{};
    Rooted k1(line), k2(what), k3(excerpt);
    excerpt = text_value(excerpt_at(st, start));
    int32_t closing = st.closing_type;
    st.closing_type = 0;
    if (is_path_type(closing)) type = -1;
    uint8_t byte = (start >= 0 && start < st.input_end) ? st.input()[start] : 0;
    close_all(st);
    line = text_value("(line " + std::to_string(st.line) + ")");
    if (type == -1) fire(ErrorId::syntax_bad_char, {line, excerpt});
    if (type == -2) fire(ErrorId::syntax_malconstruct, {line, excerpt});
    if (type == -3 || type == -4) {
        if (type == -4) byte = '_';
        uint32_t ch = 0;
        if (closing == int32_t(TYPE_BLOCK) || closing == int32_t(TYPE_MAP))
            ch = byte == ']' ? '[' : ']';
        else if (closing == int32_t(TYPE_PAREN) || closing == int32_t(TYPE_POINT2D))
            ch = byte == ')' ? '(' : ')';
        what = char_::make_cell(ch);
        fire(ErrorId::syntax_missing, {line, what, excerpt});
    }
    what = datatype::make(uint32_t(type > 0 ? type : int32_t(TYPE_ERROR)));
    fire(ErrorId::syntax_invalid, {line, what, excerpt});
}

}  // namespace kel::lexer
