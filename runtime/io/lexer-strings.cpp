// Handlers of the string-like tokens (strings, braced and raw strings, chars,
// files, urls, emails, tags, refs) and of binaries, with the escape decoder,
// the binary decoders and percent-decoding.
//
// Text is decoded into code points first (outside series memory) and the
// value is made afterwards, so no input address is held across the
// allocation. A byte of 0x80 or more that is not part of a well-formed UTF-8
// sequence is `invalid` for the token's type, and so is an escape above
// U+10FFFF, whatever the type.
#include <cctype>
#include <cstring>
#include <vector>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/encoding/base-tables.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::lexer {

namespace {

thread_local std::vector<uint32_t> decoded;

int hex_value(uint8_t c) {
    return c < 128 && encoding::hex_digit_values[c] != encoding::NOT_HEX ? encoding::hex_digit_values[c] : -1;
}

// The escape after the `^` at `i` (in[i] is the character after `^`).
// Answers the position after it, or -1; `cp` receives the code point.
int64_t escape_char(const uint8_t* in, int64_t i, int64_t end, uint32_t& cp) {
    if (i >= end) return -1;
    uint8_t c = in[i];
    if (c == '(') {
        int64_t j = i + 1;
        int64_t close = j;
        while (close < end && in[close] != ')') close++;
        if (close >= end) return -1;
        int64_t n = close - j;
        if (n == 0) {
            cp = 0;
            return close + 1;
        }
        static const struct {
            const char* name;
            uint32_t cp;
        } names[] = {{"null", 0}, {"back", 8}, {"tab", 9}, {"line", 10}, {"page", 12}, {"esc", 27}, {"del", 127}};
        for (const auto& nm : names) {
            int64_t len = int64_t(std::strlen(nm.name));
            if (len != n) continue;
            bool same = true;
            for (int64_t k = 0; k < n && same; k++) same = std::tolower(in[j + k]) == nm.name[k];
            if (same) {
                cp = nm.cp;
                return close + 1;
            }
        }
        if (n > 6) return -1;
        uint32_t v = 0;
        for (int64_t k = 0; k < n; k++) {
            int h = hex_value(in[j + k]);
            if (h < 0) return -1;
            v = v * 16 + uint32_t(h);
        }
        if (v > 0x10FFFF) return -1;
        cp = v;
        return close + 1;
    }
    switch (c) {
    case '"':
        cp = '"';
        return i + 1;
    case '-':
        cp = '\t';
        return i + 1;
    case '/':
        cp = '\n';
        return i + 1;
    case '^':
        cp = '^';
        return i + 1;
    case '{':
        cp = '{';
        return i + 1;
    case '}':
        cp = '}';
        return i + 1;
    case '~':
        cp = 127;
        return i + 1;
    case '@':
        cp = 0;
        return i + 1;
    default:
        break;
    }
    if (c >= 'a' && c <= 'z') {
        cp = uint32_t(c - 'a' + 1);
        return i + 1;
    }
    if (c >= 'A' && c <= '_') {
        cp = uint32_t(c - 64);
        return i + 1;
    }
    if (c < 0x80) {
        cp = c;
        return i + 1;
    }
    int32_t len = 0;
    int32_t v = unicode::decode_utf8_status(in + i, int32_t(end - i), len);
    if (v < 0) return -1;
    cp = uint32_t(v);
    return i + len;
}

// The unit the width rule gives: from the token flags, raised by the
// `^(...)` escapes of 3 or more hexadecimal digits.
uint32_t width_of(const uint8_t* in, int64_t start, int64_t end, uint32_t flags, bool escapes) {
    uint32_t unit = unit_of_flags(flags);
    if (!escapes || !(flags & flag::CARET) || unit == 4) return unit;
    for (int64_t i = start; i + 1 < end; i++) {
        if (in[i] != '^' || in[i + 1] != '(') {
            if (in[i] == '^') i++;
            continue;
        }
        int64_t j = i + 2, n = 0;
        while (j < end && in[j] != ')' && hex_value(in[j]) >= 0) j++, n++;
        if (j >= end || in[j] != ')') continue;
        if (n >= 5)
            unit = 4;
        else if (n >= 3 && unit == 1)
            unit = 2;
        i = j;
    }
    return unit;
}

// Decodes [start, end) into `decoded`; raises `invalid` for the type at the
// first bad sequence or escape.
void decode_text(State& st, int64_t start, int64_t end, bool escapes, int32_t type) {
    decoded.clear();
    const uint8_t* in = st.input();
    for (int64_t i = start; i < end;) {
        uint8_t c = in[i];
        if (c == '^' && escapes) {
            uint32_t cp = 0;
            int64_t next = escape_char(in, i + 1, end, cp);
            if (next < 0) throw_error(st, i, end, type);
            decoded.push_back(cp);
            i = next;
        } else if (c < 0x80) {
            decoded.push_back(c);
            i++;
        } else {
            int32_t len = 0;
            int32_t cp = unicode::decode_utf8_status(in + i, int32_t(end - i), len);
            if (cp < 0) throw_error(st, i, end, type);
            decoded.push_back(uint32_t(cp));
            i += len;
        }
    }
}

// A string-like value of the type from the decoded code points.
Cell make_text(uint32_t type, uint32_t unit) {
    uint32_t highest = 0;
    for (uint32_t cp : decoded) highest = cp > highest ? cp : highest;
    if (highest > 0xFFFF)
        unit = 4;
    else if (highest > 0xFF && unit < 2)
        unit = 2;
    Cell c{};
    string::make_at(c, int32_t(decoded.size()), unit);
    SeriesBuffer* b = string::buffer(c);
    uint8_t* p = b->data() + b->tail;
    for (uint32_t cp : decoded) {
        if (unit == 1)
            *p = uint8_t(cp);
        else if (unit == 2) {
            uint16_t v = uint16_t(cp);
            std::memcpy(p, &v, 2);
        } else {
            std::memcpy(p, &cp, 4);
        }
        p += unit;
    }
    b->tail += uint64_t(decoded.size()) * unit;
    set_type(c, type);
    return c;
}

}  // namespace

void string_text(State& st, int64_t start, int64_t end, uint32_t flags, bool escapes, int32_t type, bool load) {
    bool esc = escapes && (flags & flag::CARET);
    if (load && !esc && !(flags & (flag::UTF8_2_3 | flag::UTF8_4))) {
        // ASCII text without escapes is its own 1-byte string.
        const uint8_t* in = st.input();
        uint8_t high = 0;
        for (int64_t k = start; k < end; k++) high |= in[k];
        if (!(high & 0x80)) {
            // A callback that moved the position may leave end before start:
            // the text is then empty.
            uint64_t n = end > start ? uint64_t(end - start) : 0;
            Cell c{};
            string::make_at(c, int32_t(n), 1);
            SeriesBuffer* b = string::buffer(c);
            if (n) std::memcpy(b->data() + b->tail, st.input() + start, n);  // input re-read: make_at may collect
            b->tail += n;
            set_type(c, uint32_t(type));
            push_value(st, c);
            return;
        }
    }
    uint32_t unit = width_of(st.input(), start, end, flags, esc);
    decode_text(st, start, end, esc, type);
    if (!load) return;
    push_value(st, make_text(uint32_t(type), unit));
}

void check_string(State& st, int64_t start, int64_t end, uint32_t flags, bool) {
    string_text(st, start + 1, end, flags, true, TYPE_STRING, false);
    st.pos = end + 1;
}

void load_string(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    int32_t type = st.type_override > 0 ? st.type_override : int32_t(TYPE_STRING);
    string_text(st, start + 1, end, flags, true, type, load);
    st.pos = end + 1;
}

void load_char(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    if (end - start < 3 || in[start] != '#' || in[start + 1] != '"' || in[start + 2] == '"' || end >= st.input_end ||
        in[end] != '"')
        throw_error(st, start, end, TYPE_CHAR);
    if (in[start + 2] == '^' && end - start == 3) throw_error(st, start, end, TYPE_CHAR);
    string_text(st, start + 2, end, flags, true, TYPE_CHAR, false);
    if (decoded.size() != 1 || decoded[0] > 0x10FFFF) throw_error(st, start, end, TYPE_CHAR);
    st.pos = end + 1;
    if (!load) return;
    uint32_t cp = decoded[0];
    push_value(st, char_::make_cell(cp));
}

void load_file(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    if (start + 1 < st.input_end && in[start + 1] == '"') {
        if (end >= st.input_end || in[end] != '"') throw_error(st, start, end, TYPE_FILE);
        string_text(st, start + 2, end, flags, true, TYPE_FILE, load);
        st.pos = end + 1;
        return;
    }
    string_text(st, start + 1, end, flags & ~flag::CARET, false, TYPE_FILE, load);
    if (load) url::decode_in_place(*stack_cell(st.tail - 1));
}

void load_url(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    if (in[start] == ':') throw_error(st, start, end, TYPE_GET_WORD);
    if (in[start] == '\'') throw_error(st, start, end, TYPE_LIT_WORD);
    string_text(st, start, end, flags & ~flag::CARET, false, TYPE_URL, load);
    if (load && (flags & flag::PERCENT)) url::decode_in_place(*stack_cell(st.tail - 1));
}

void load_email(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    string_text(st, start, end, flags & ~flag::CARET, false, TYPE_EMAIL, load);
}

void load_ref(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    string_text(st, start + 1, end, flags & ~flag::CARET, false, TYPE_REF, load);
}

void load_tag(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    if (st.input()[start] != '<') throw_error(st, start, end, TYPE_TAG);
    string_text(st, start + 1, end, flags & ~flag::CARET, false, TYPE_TAG, load);
    st.pos = end + 1;
}

void load_raw_string(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    int64_t n = 0;
    while (start + n < end && in[start + n] == '%') n++;
    int64_t open = start + n;  // the `{`
    int64_t m = 0;
    while (end - m - 1 > open && in[end - m - 1] == '%') m++;
    if (m > n) throw_error(st, start, end, TYPE_STRING);
    int64_t close;  // the `}` that ends the text
    int64_t after;
    if (m == n) {
        close = end - m - 1;
        after = end;
    } else {
        int64_t i = end;
        close = -1;
        for (; i < st.input_end; i++) {
            if (in[i] != '}') continue;
            int64_t k = 0;
            while (k < n && i + 1 + k < st.input_end && in[i + 1 + k] == '%') k++;
            if (k == n) {
                close = i;
                break;
            }
        }
        if (close < 0) throw_error(st, start, st.input_end, TYPE_STRING);
        for (int64_t j = end; j < close; j++) st.line += in[j] == '\n';
        if (st.line_breaks == 0) {
            for (int64_t j = end; j < close; j++)
                if (in[j] == '\n') st.line_breaks = 1;
        }
        after = close + 1 + n;
    }
    if (!load && st.has_callback) {
        fire_event(st, event::OPEN, TYPE_STRING, nullptr, start, open + 1);
        fire_event(st, event::CLOSE, TYPE_STRING, nullptr, start, after);
    }
    // The text's own flags decide its width.
    uint32_t text_flags = 0;
    in = st.input();
    for (int64_t i = open + 1; i < close; i++) text_flags |= class_table[in[i]] & (flag::UTF8_2_3 | flag::UTF8_4);
    (void)flags;
    string_text(st, open + 1, close, text_flags, false, TYPE_STRING, load);
    st.pos = st.token_end = after;
}

// Binaries ----------------------------------------------------------------------

namespace {

// The LF that ends a `;` comment at i (or the end).
int64_t comment_end(const uint8_t* in, int64_t i, int64_t end) {
    while (i < end && in[i] != '\n') i++;
    return i;
}

// A comment, TAB, LF, CR or space at i, which Base2 and Base16 pass over
// (i moves to a comment's end).
bool passed_over(const uint8_t* in, int64_t& i, int64_t end) {
    uint8_t c = in[i];
    if (c == ';') {
        i = comment_end(in, i, end);
        return true;
    }
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// Each decoder answers -1 on success or the position of the first bad byte.
int64_t decode_2(const uint8_t* in, int64_t start, int64_t end, std::vector<uint8_t>* out) {
    int bits = 0, count = 0;
    int64_t last = start;
    for (int64_t i = start; i < end; i++) {
        uint8_t c = in[i];
        if (passed_over(in, i, end)) continue;
        if (c != '0' && c != '1') return i;
        bits = (bits << 1) | (c - '0');
        last = i;
        if (++count == 8) {
            if (out) out->push_back(uint8_t(bits));
            bits = count = 0;
        }
    }
    return count == 0 ? -1 : last;
}

int64_t decode_16(const uint8_t* in, int64_t start, int64_t end, std::vector<uint8_t>* out) {
    int high = -1;
    int64_t last = start;
    for (int64_t i = start; i < end; i++) {
        uint8_t c = in[i];
        if (passed_over(in, i, end)) continue;
        int h = hex_value(c);
        if (h < 0) return i;
        last = i;
        if (high < 0) {
            high = h;
        } else {
            if (out) out->push_back(uint8_t(high * 16 + h));
            high = -1;
        }
    }
    return high < 0 ? -1 : last;
}

int64_t decode_64(const uint8_t* in, int64_t start, int64_t end, std::vector<uint8_t>* out) {
    uint32_t acc = 0;
    int count = 0;
    int64_t last = start;
    for (int64_t i = start; i < end; i++) {
        uint8_t c = in[i];
        if (c == ';') {
            i = comment_end(in, i, end);
            continue;
        }
        if (c >= 128) return i;
        uint8_t v = encoding::base64_decode_table[c];
        if (v == encoding::SKIP) continue;
        if (v == encoding::INVALID) return i;
        if (c == '=') {
            if (count == 3) {
                if (out) {
                    out->push_back(uint8_t(acc >> 10));
                    out->push_back(uint8_t(acc >> 2));
                }
            } else if (count == 2) {
                if (out) out->push_back(uint8_t(acc >> 4));
            } else {
                return i;
            }
            return -1;  // the rest of the text is ignored
        }
        acc = (acc << 6) | v;
        last = i;
        if (++count == 4) {
            if (out) {
                out->push_back(uint8_t(acc >> 16));
                out->push_back(uint8_t(acc >> 8));
                out->push_back(uint8_t(acc));
            }
            acc = 0;
            count = 0;
        }
    }
    return count == 0 ? -1 : last;
}

}  // namespace

void load_binary(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    int base = 16;
    int64_t brace = start;
    while (brace < end && in[brace] != '{') brace++;
    if (in[start] != '#') {
        base = 0;
        for (int64_t i = start; i < brace && in[i] != '#'; i++) {
            if (in[i] < '0' || in[i] > '9' || base > 64) throw_error(st, start, end, TYPE_BINARY);
            base = base * 10 + (in[i] - '0');
        }
        if (base != 2 && base != 16 && base != 64) throw_error(st, start, end, TYPE_BINARY);
    }
    std::vector<uint8_t> bytes;
    std::vector<uint8_t>* out = load ? &bytes : nullptr;
    int64_t bad = base == 2 ? decode_2(in, brace + 1, end, out)
        : base == 16        ? decode_16(in, brace + 1, end, out)
                            : decode_64(in, brace + 1, end, out);
    if (bad >= 0) throw_error(st, bad, end, TYPE_BINARY);
    st.pos = end + 1;
    if (!load) return;
    Cell made{};
    binary::make_at(made, bytes.size());
    SeriesBuffer* b = memory::buffer_of(cell_node(made));
    if (!bytes.empty()) std::memcpy(b->tail_ptr(), bytes.data(), bytes.size());
    b->tail += bytes.size();
    push_value(st, made);
}

}  // namespace kel::lexer
