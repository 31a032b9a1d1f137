// Handlers of words, issues and refinements, and the Unicode blanks that
// separate words.
#include <cstring>

#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/text/unicode.h"

namespace kel::lexer {

namespace {

// Decodes the character at i; raises `invalid` for the type on bad UTF-8.
uint32_t char_at(State& st, int64_t i, int64_t end, int32_t type, int64_t& length) {
    const uint8_t* in = st.input();
    if (in[i] < 0x80) {
        length = 1;
        return in[i];
    }
    int32_t n = 0;
    int32_t cp = unicode::decode_utf8_status(in + i, int32_t(end - i), n);
    if (cp < 0) throw_error(st, i, end, type);
    length = n;
    return uint32_t(cp);
}

bool in_path(const State& st) {
    int32_t t = open_type(st);
    return t == int32_t(TYPE_PATH) || t == int32_t(TYPE_LIT_PATH) || t == int32_t(TYPE_GET_PATH) ||
        t == int32_t(TYPE_SET_PATH);
}

// The word type of a token by its `'` and `:` placement; raises the errors of
// the misplaced ones.
int32_t word_type(State& st, int64_t start, int64_t end, uint32_t flags) {
    const uint8_t* in = st.input();
    bool lit = in[start] == '\'';
    if (!(flags & flag::COLON)) return lit ? TYPE_LIT_WORD : TYPE_WORD;
    bool leading = in[start] == ':';
    bool trailing = end - start > 1 && in[end - 1] == ':';
    int colons = 0;
    for (int64_t i = start; i < end; i++) colons += in[i] == ':';
    if (lit) {
        if (trailing || colons > 0) throw_error(st, start, end, TYPE_LIT_WORD);
        return TYPE_LIT_WORD;
    }
    if (leading && !trailing && colons == 1) return TYPE_GET_WORD;
    if (trailing && !leading && colons == 1) return TYPE_SET_WORD;
    if (colons == 0 && end < st.input_end && in[end] == ':' && in_path(st)) {
        // `a/b:` — the path-end step makes the path a set-path.
        if (end + 1 < st.input_end) {
            uint8_t after = in[end + 1];
            if (after == '/') throw_error(st, -1, end, TYPE_PATH);
            if (!path_end_table[class_of(after)]) throw_error(st, start, end, TYPE_WORD);
        }
        return TYPE_WORD;
    }
    if (colons == 0 && end < st.input_end && in[end] == ':') throw_error(st, start, end, TYPE_WORD);
    throw_error(st, start, end, TYPE_WORD);
}

// The words made most recently, by a hash of their spelling: a word met
// again is taken from here without interning its spelling and looking it up
// in the global context again. An entry is used only when its symbol's
// spelling is exactly the token's bytes; symbols and the global context's
// slots never change, so an entry never goes stale.
struct CachedWord {
    uint64_t hash = 0;
    uint32_t length = 0;
    uint64_t text[3] = {};  // the spelling, zero-padded, when it has at most 24 bytes
    Cell word{};
};
CachedWord word_cache[4096];

// Up to eight bytes at p (n of them, 1 to 8) as a little-endian word, zero
// above them. With `wide` eight bytes may be read at p and the extra ones
// are masked off; else only the n bytes are read.
inline uint64_t chunk_at(const uint8_t* p, uint32_t n, bool wide) {
    uint64_t w = 0;
    if (wide || n == 8) {
        std::memcpy(&w, p, 8);
        return n >= 8 ? w : w & ((uint64_t(1) << (8 * n)) - 1);
    }
    for (uint32_t k = 0; k < n; k++) w |= uint64_t(p[k]) << (8 * k);
    return w;
}

inline uint64_t mix(uint64_t h, uint64_t w) {
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
}

// The word of a spelling of `length` bytes at `spelling`, of which
// `readable` bytes (at least `length`) may be read.
Cell global_word(const uint8_t* spelling, uint32_t length, int64_t readable) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    uint64_t chunks[3] = {};
    bool short_text = length <= sizeof chunks;
    for (uint32_t at = 0; at < length; at += 8) {
        uint32_t n = length - at < 8 ? length - at : 8;
        uint64_t w = chunk_at(spelling + at, n, readable - int64_t(at) >= 8);
        if (short_text) chunks[at / 8] = w;
        h = mix(h, w);
    }
    CachedWord& e = word_cache[h & 4095];
    if (e.hash == h && e.length == length && type_of(e.word) == TYPE_WORD) {
        if (short_text) {
            if (e.text[0] == chunks[0] && e.text[1] == chunks[1] && e.text[2] == chunks[2]) return e.word;
        } else {
            uint32_t n = 0;
            const uint8_t* p = symbol::spelling(word::symbol_of(e.word), &n);
            if (n == length && std::memcmp(p, spelling, length) == 0) return e.word;
        }
    }
    int32_t sym = symbol::make_with_length(spelling, length);
    Cell w{};
    word::make_at(sym, w);
    e.hash = h;
    e.length = length;
    for (int k = 0; k < 3; k++) e.text[k] = chunks[k];
    e.word = w;
    return w;
}

}  // namespace

int64_t skip_blanks(State& st, int64_t start, int64_t end, int32_t type) {
    int64_t i = start;
    while (i < end) {
        if (st.input()[i] < 0x80) return i;
        int64_t n = 0;
        uint32_t cp = char_at(st, i, end, type, n);
        if (!is_unicode_blank(cp)) return i;
        i += n;
    }
    return i;
}

int64_t find_blank(State& st, int64_t start, int64_t end, int32_t type) {
    int64_t i = start;
    while (i < end) {
        int64_t n = 0;
        uint32_t cp = char_at(st, i, end, type, n);
        if (is_unicode_blank(cp)) break;
        i += n;
    }
    st.pos = st.token_end = i;
    return i;
}

void scan_word(State& st, int64_t start, int64_t end, uint32_t flags, bool) {
    bool wide = (flags & (flag::UTF8_2_3 | flag::UTF8_4)) != 0;
    if (wide) end = find_blank(st, start, end, TYPE_WORD);
    st.type = word_type(st, start, end, flags);
}

void scan_issue(State& st, int64_t start, int64_t end, uint32_t, bool) {
    if (st.input()[start] != '#' || end - start < 2) throw_error(st, start, end, TYPE_ISSUE);
}

void load_word(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    // The word scanner, which runs first, has decided the type.
    int32_t type = st.type_override > 0 ? st.type_override : st.type;
    (void)flags;
    int64_t from = start, to = end;
    if (type == TYPE_REFINEMENT || type == TYPE_ISSUE || type == TYPE_GET_WORD || type == TYPE_LIT_WORD) from++;
    if (type == TYPE_SET_WORD) to--;
    if ((type == TYPE_REFINEMENT || type == TYPE_ISSUE) && to <= from) throw_error(st, start, end, type);
    // The spelling must be well-formed UTF-8.
    const uint8_t* in = st.input();
    bool ascii = true;
    for (int64_t i = from; i < to && ascii; i++) ascii = in[i] < 0x80;
    if (!ascii) {
        for (int64_t i = from; i < to;) {
            int64_t n = 0;
            char_at(st, i, to, type, n);
            i += n;
        }
    }
    if (type == TYPE_SET_WORD) st.pos = end;
    if (!load) return;
    Cell w = global_word(st.input() + from, uint32_t(to - from), st.input_end - from);
    set_type(w, uint32_t(type));
    push_value(st, w);
}

bool load_word_quickly(State& st, int64_t start, int64_t end, uint32_t flags) {
    if ((flags & (flag::UTF8_2_3 | flag::UTF8_4)) || end <= start) return false;
    const uint8_t* in = st.input();
    uint8_t high = 0;
    for (int64_t k = start; k < end; k++) high |= in[k];
    if (high & 0x80) return false;
    int32_t type = TYPE_WORD;
    int64_t from = start, to = end;
    if (in[start] == '\'') {
        if (flags & flag::COLON) return false;
        type = TYPE_LIT_WORD;
        from++;
    } else if (flags & flag::COLON) {
        // The colon may also be the byte after the token (in a path).
        if (end - start < 2 || in[end - 1] != ':' || in[start] == ':') return false;
        if (std::memchr(in + start, ':', size_t(end - 1 - start))) return false;
        type = TYPE_SET_WORD;
        to = end - 1;
        st.pos = end;
    }
    Cell w = global_word(in + from, uint32_t(to - from), st.input_end - from);
    set_type(w, uint32_t(type));
    st.type = type;
    push_value(st, w);
    return true;
}

void load_refinement(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    int64_t n = end - start;
    int32_t type = TYPE_REFINEMENT;
    if (n == 1) {
        type = TYPE_WORD;
    } else if (n == 2) {
        if (in[start] == '\'' && in[start + 1] == '/')
            type = TYPE_LIT_WORD;
        else if (in[start] == ':' && in[start + 1] == '/')
            type = TYPE_GET_WORD;
        else if (in[start] == '/' && in[start + 1] == ':')
            type = TYPE_SET_WORD;
    }
    if (type == TYPE_REFINEMENT && in[start] != '/') throw_error(st, start, end, TYPE_REFINEMENT);
    st.type = type;
    int32_t saved = st.type_override;
    st.type_override = type;
    load_word(st, start, end, flags, load);
    st.type_override = saved;
}

}  // namespace kel::lexer
