#include "runtime/io/json-read.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/json-unescape.h"
#include "runtime/io/lexer.h"
#include "runtime/io/text-range.h"
#include "runtime/numbers/text-to-number.h"

namespace kel::json {

bool word_first_char(uint32_t c) { return word_char(c) && !(c >= '0' && c <= '9') && c != '\''; }

bool word_char(uint32_t c) {
    // A surrogate code point has no UTF-8 form, which a word's spelling
    // needs: a name holding one stays a string.
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    switch (c) {
    case '/':
    case '\\':
    case '^':
    case ',':
    case '[':
    case ']':
    case '(':
    case ')':
    case '{':
    case '}':
    case '"':
    case '#':
    case '%':
    case '$':
    case '@':
    case ':':
    case ';':
    case '\n':
    case 0xA0:
    case ' ':
    case '\t':
    case '\r':
    case '<':
    case '>':
        return false;
    default:
        return true;
    }
}

namespace {

bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }

// An open object or array: its values wait in the work block from `start`.
struct Open {
    bool object;
    int32_t start;
};

struct Reader {
    const Cell& input;
    Cell* work;  // argument cell: the values of the open containers, in order
    ReadPlace& place;
    int32_t pos;
    int32_t end;
    text_range::View in;
    std::vector<Open> open;

    // The input's data, fetched again after anything that allocates.
    void refresh() { in.fetch(input); }
    uint32_t at(int32_t i) const { return in.at(i); }
    uint32_t peek() const { return pos < end ? at(pos) : 0xFFFFFFFFu; }

    // ws*: spaces, tabs, carriage returns and line feeds; a line feed moves
    // the line count, last_lf and mark.
    void skip_ws() {
        while (pos < end) {
            uint32_t c = at(pos);
            if (c == ' ' || c == '\t' || c == '\r') {
                ++pos;
            } else if (c == '\n') {
                ++pos;
                ++place.line_ct;
                place.last_lf = place.mark = pos;
            } else {
                return;
            }
        }
    }

    bool literal(const char* text) {
        int32_t n = int32_t(std::strlen(text));
        if (end - pos < n) return false;
        for (int32_t i = 0; i < n; ++i)
            if (at(pos + i) != uint8_t(text[i])) return false;
        pos += n;
        return true;
    }

    void emit(const Cell& value) {
        block::append_cell(*work, value);
        refresh();
    }

    // string-literal at a double quote: a new string of its content with the
    // escapes resolved, on the argument stack; null when the grammar refuses
    // it (a raw control character, a bad escape, no closing quote).
    Cell* string_literal() {
        int32_t s = pos + 1;
        int32_t i = s;
        bool escapes = false;
        for (;;) {
            if (i >= end) return nullptr;
            uint32_t c = at(i);
            if (c == '"') break;
            if (c == '\\') {
                if (i + 1 >= end) return nullptr;
                uint32_t e = at(i + 1);
                if (e == 'u') {
                    if (end - i < 6) return nullptr;
                    for (int32_t k = i + 2; k < i + 6; ++k) {
                        uint32_t h = at(k);
                        if (!(is_digit(h) || (h >= 'A' && h <= 'F') || (h >= 'a' && h <= 'f'))) return nullptr;
                    }
                    i += 6;
                } else if (e == '"' || e == 't' || e == '\\' || e == '/' || e == 'n' || e == 'r' || e == 'b' ||
                           e == 'f') {
                    i += 2;
                } else {
                    return nullptr;
                }
                escapes = true;
            } else if (c < 0x20) {
                return nullptr;
            } else {
                ++i;
            }
        }
        pos = i + 1;
        Cell* str = text_range::push_copy(input, s, i);
        if (escapes) unescape(*str);
        refresh();
        return str;
    }

    // numeric-literal: an optional "-", an integer part without leading
    // zeros, an optional fraction and exponent. Its value is the lexer's for
    // the text: an integer when it fits 32 bits, else a float.
    bool number(Cell& value) {
        int32_t s = pos;
        int32_t i = pos;
        if (i < end && at(i) == '-') ++i;
        if (i >= end || !is_digit(at(i))) return false;
        if (at(i) == '0')
            ++i;
        else
            while (i < end && is_digit(at(i))) ++i;
        bool integer = true;
        if (i + 1 < end && at(i) == '.' && is_digit(at(i + 1))) {
            integer = false;
            i += 2;
            while (i < end && is_digit(at(i))) ++i;
        }
        if (i < end && (at(i) == 'e' || at(i) == 'E')) {
            int32_t k = i + 1;
            if (k < end && (at(k) == '+' || at(k) == '-')) ++k;
            if (k < end && is_digit(at(k))) {
                integer = false;
                i = k + 1;
                while (i < end && is_digit(at(i))) ++i;
            }
        }
        pos = i;
        std::string text;
        text.reserve(size_t(i - s));
        for (int32_t k = s; k < i; ++k) text.push_back(char(at(k)));
        if (integer) {
            numbers::IntegerRead r = numbers::read_integer(text);
            if (r.error == numbers::READ_OK && text.size() - (text[0] == '-') <= 10) {
                value = make_integer(r.value);
                return true;
            }
        }
        numbers::FloatRead f = numbers::read_float_token(text, 0);
        if (f.error == numbers::READ_OK) {
            value = float_::make_cell(f.value);
            return true;
        }
        // What the lexer says of a text it refuses: its own error.
        Cell* out = stack::push(make_none());
        lexer::Options one;
        one.one = true;
        lexer::scan(out, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), one);
        value = *out;
        stack::pop(1);
        refresh();
        return true;
    }

    // A name at a double quote that has no escape and is a word: its symbol,
    // the position moved past its closing quote; else 0, nothing moved.
    int32_t plain_word_name() {
        int32_t s = pos + 1;
        int32_t i = s;
        char bytes[64];
        uint32_t n = 0;
        while (i < end) {
            uint32_t c = at(i);
            if (c == '"') break;
            if (c == '\\' || c < 0x20 || c >= 0x80 || n == sizeof bytes) return 0;
            if (i == s ? !word_first_char(c) : !word_char(c)) return 0;
            bytes[n++] = char(c);
            ++i;
        }
        if (i >= end || n == 0) return 0;
        int32_t sym = symbol::make_with_length(reinterpret_cast<const uint8_t*>(bytes), n);
        refresh();
        pos = i + 1;
        return sym;
    }

    // The member name on the argument stack, as a word when it is one.
    void emit_name(Cell* name) {
        SeriesBuffer* b = string::buffer(*name);
        int32_t n = int32_t(b->used() / b->unit());
        bool word = n > 0;
        for (int32_t k = 0; k < n && word; ++k) {
            uint32_t c = string::get_char(b->head_ptr() + int64_t(k) * b->unit(), b->unit());
            word = k == 0 ? word_first_char(c) : word_char(c);
        }
        if (word) {
            int32_t sym = symbol::make_from_string(*name, -1);
            *name = word::make(sym);
        }
        emit(*name);
    }

    // Closes the innermost container: its values leave the work block as
    // one block, which an object turns into a map.
    void close() {
        Open o = open.back();
        open.pop_back();
        Cell view = *work;
        view.data1 = uint32_t(o.start);
        Cell* blk = block::push_copy(view, false, false);
        block::truncate_at(*work, o.start);
        Cell* made = o.object ? map::push_new(blk, 0) : blk;
        emit(*made);
        stack::pop(uint32_t(stack::top() - blk));
    }

    void open_container(bool object) {
        if (int32_t(open.size()) >= MAX_DEPTH) fire(ErrorId::script_parse_stack);
        open.push_back({object, block::ks_length(*work)});
        ++pos;
    }

    bool run();
};

bool Reader::run() {
    enum { VALUE, AFTER_VALUE, MEMBER } state = VALUE;
    for (;;) {
        switch (state) {
        case VALUE: {
            skip_ws();
            uint32_t c = peek();
            Cell value;
            if (c == 't' && literal("true")) {
                emit(logic::make_cell(true));
            } else if (c == 'f' && literal("false")) {
                emit(logic::make_cell(false));
            } else if (c == 'n' && literal("null")) {
                emit(make_none());
            } else if (c == '{' || c == '[') {
                bool object = c == '{';
                open_container(object);
                skip_ws();
                if (peek() == (object ? '}' : ']')) {
                    ++pos;
                    close();
                } else {
                    state = object ? MEMBER : VALUE;
                    continue;
                }
            } else if (c == '"') {
                Cell* str = string_literal();
                if (!str) return false;
                emit(*str);
                stack::pop(1);
            } else if ((c == '-' || is_digit(c)) && number(value)) {
                emit(value);
            } else {
                return false;
            }
            state = AFTER_VALUE;
            break;
        }
        case AFTER_VALUE: {
            place.mark = pos;
            skip_ws();
            if (open.empty()) return pos == end;
            bool object = open.back().object;
            uint32_t c = peek();
            if (c == ',') {
                ++pos;
                skip_ws();
                state = object ? MEMBER : VALUE;
            } else if (c == (object ? '}' : ']')) {
                ++pos;
                close();
            } else {
                return false;
            }
            break;
        }
        case MEMBER: {
            skip_ws();
            if (peek() != '"') return false;
            if (int32_t sym = plain_word_name(); sym > 0) {
                skip_ws();
                if (peek() != ':') return false;
                ++pos;
                place.mark = pos;
                emit(word::make(sym));
                state = VALUE;
                break;
            }
            Cell* name = string_literal();
            if (!name) return false;
            skip_ws();
            if (peek() != ':') {
                stack::pop(1);
                return false;
            }
            ++pos;
            place.mark = pos;
            emit_name(name);
            stack::pop(1);
            state = VALUE;
            break;
        }
        }
    }
}

}  // namespace

bool read(const Cell& input, Cell* out, ReadPlace& place) {
    Cell* work = block::push_only(16);
    int32_t end = text_range::tail_of(input);
    Reader r{input, work, place, std::clamp(int32_t(input.data1), 0, end), end, text_range::View(input), {}};
    place = ReadPlace{r.pos, r.pos, 1};
    bool ok = r.run();
    if (ok) *out = *block::ks_abs_at(*work, 0);
    stack::pop(uint32_t(stack::top() - work));
    return ok;
}

}  // namespace kel::json
