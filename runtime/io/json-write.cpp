#include "runtime/io/json-write.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/json-read.h"
#include "runtime/io/text-range.h"
#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

namespace kel::json {

namespace {

// An open block (any block type, read from its position), map or object:
// the next item to write and how many there are (pairs for a map, fields
// for an object).
struct Open {
    Cell value;
    uint32_t kind;
    int32_t next;  // a map's: the next raw pair, removed ones included
    int32_t count;
    int32_t written;  // items written
};

const char HEX[] = "0123456789ABCDEF";

// Hands fn each character of str from its position; fn must not allocate.
template <class Fn>
void for_each_char(const Cell& str, Fn fn) {
    text_range::View in(str);
    int32_t n = text_range::tail_of(str);
    for (int32_t i = std::max(int32_t(str.data1), 0); i < n; ++i) fn(in.at(i));
}

struct Writer {
    const Cell& output;
    const Cell* indent;
    bool ascii;
    static constexpr size_t CHUNK = 65536;
    std::u32string text;  // written, not yet in a chunk
    std::vector<std::u32string> chunks;  // the text so far, appended to output at the end
    size_t total = 0;
    char32_t widest = 0;
    std::u32string indent_text;
    int32_t level = 0;
    std::vector<Open> open;

    void put(const char* s) {
        while (*s) text.push_back(char32_t(uint8_t(*s++)));
    }
    void put(char32_t c) { text.push_back(c); }

    // The text gathered so far becomes a finished chunk.
    void flush() {
        if (text.empty()) return;
        for (char32_t c : text) widest = std::max(widest, c);
        total += text.size();
        chunks.push_back(std::move(text));
        text = std::u32string();
        text.reserve(CHUNK + 64);
    }

    // Appends every chunk to output in one step: widened first when a
    // character needs it, grown once to the exact size, written unit by
    // unit.
    void commit() {
        flush();
        if (!total) return;
        SeriesBuffer* b = string::buffer(output);
        uint32_t need = widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1;
        if (need > b->unit()) b = string::widen_to(b, b->unit(), need);
        uint32_t unit = b->unit();
        uint64_t bytes = b->tail + uint64_t(total) * unit;
        b = memory::grow_series(b, bytes, bytes);
        uint8_t* p = b->tail_ptr();
        for (const std::u32string& chunk : chunks)
            for (char32_t c : chunk) {
                if (unit == 1) {
                    *p = uint8_t(c);
                } else if (unit == 2) {
                    uint16_t u = uint16_t(c);
                    std::memcpy(p, &u, 2);
                } else {
                    uint32_t u = uint32_t(c);
                    std::memcpy(p, &u, 4);
                }
                p += unit;
            }
        b->tail += uint64_t(total) * unit;
        chunks.clear();
        total = 0;
    }

    bool normal(uint32_t c) const {
        if (ascii) return c >= 32 && c <= 127 && c != '"' && c != '\\';
        return c >= 32 && c != '"' && c != '\\';
    }

    void put_u(uint32_t code) {
        put("\\u");
        for (int shift = 12; shift >= 0; shift -= 4) put(char32_t(HEX[(code >> shift) & 15]));
    }

    // One character of a JSON string: itself, its short escape, \u and four
    // upper-case hex digits, or a surrogate pair of those.
    void put_char(uint32_t c) {
        if (normal(c)) {
            text.push_back(char32_t(c));
            return;
        }
        switch (c) {
        case '"':
            put("\\\"");
            break;
        case '\\':
            put("\\\\");
            break;
        case 8:
            put("\\b");
            break;
        case 12:
            put("\\f");
            break;
        case '\n':
            put("\\n");
            break;
        case '\r':
            put("\\r");
            break;
        case '\t':
            put("\\t");
            break;
        default:
            if (c <= 0xFFFF) {
                put_u(c);
            } else {
                put_u(((c - 0x10000) >> 10) + 0xD800);
                put_u(((c - 0x10000) & 0x3FF) + 0xDC00);
            }
        }
    }

    // A JSON string of the characters of str from its position.
    void put_string(const Cell& str) {
        put('"');
        for_each_char(str, [&](uint32_t c) { put_char(c); });
        put('"');
    }

    // The formed (or molded) text of value as a JSON string.
    void put_text_of(const Cell& value, bool molded) {
        Cell* tmp = stack::push(make_none());
        string::ks_make_at(*tmp, 16);
        if (molded)
            actions::mold(value, *tmp, MoldOptions{});
        else
            actions::form(value, *tmp, false, INT32_MAX);
        put_string(*tmp);
        stack::pop(1);
    }

    // A word's text as a JSON string, from its UTF-8 spelling.
    void put_spelling(int32_t symbol) {
        uint32_t n = 0;
        const uint8_t* p = symbol::spelling(symbol, &n);
        size_t start = text.size();
        put('"');
        for (const uint8_t *at = p, *end = p + n; at < end;) {
            int32_t c;
            at = unicode::fast_decode_utf8_char(at, end, c);
            if (c < 0) {  // a spelling that is not plain UTF-8: the word's formed text
                text.resize(start);
                put_text_of(word_of(symbol), false);
                return;
            }
            put_char(uint32_t(c));
        }
        put('"');
    }
    static Cell word_of(int32_t symbol) { return Cell{TYPE_WORD, 0, uint32_t(symbol), 0}; }

    void put_indent() {
        for (int32_t i = 0; i < level; ++i) text += indent_text;
    }

    // A member name: a word's text, a string, else the molded key.
    void put_key(const Cell& key) {
        uint32_t t = type_of(key);
        if (type_families::is_any_word(t))
            put_spelling(int32_t(key.data2));
        else if (t == TYPE_STRING)
            put_string(key);
        else
            put_text_of(key, true);
    }

    // Opens a container or writes a value that holds no others.
    void value(const Cell& v) {
        uint32_t t = type_of(v);
        switch (t) {
        case TYPE_NONE:
            put("null");
            return;
        case TYPE_LOGIC:
            put(v.data1 ? "true" : "false");
            return;
        case TYPE_INTEGER: {
            integer::Text t = integer::to_text(cell_integer(v));
            for (uint32_t i = 0; i < t.length; ++i) text.push_back(char32_t(uint8_t(t.chars[i])));
            return;
        }
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            // A percent is written as its float (50% as 0.5).
            float_::Text t = float_::to_text(cell_double(v), float_::TEXT_FLOAT);
            for (uint32_t i = 0; i < t.length; ++i) text.push_back(char32_t(uint8_t(t.chars[i])));
            return;
        }
        case TYPE_STRING:
            put_string(v);
            return;
        case TYPE_MAP:
            if (map::key_count(v) == 0)
                put("{}");
            else
                open_container(v, t, int32_t(map::buffer(v)->cell_count() / 2));
            return;
        case TYPE_OBJECT:
            open_container(v, t, int32_t(object::field_count(v)));
            return;
        default:
            break;
        }
        if (type_families::is_any_block(t)) {
            SeriesBuffer* b = memory::buffer_of(cell_node(v));
            int32_t n = int32_t(b->used() / sizeof(Cell)) - int32_t(v.data1);
            open_container(v, TYPE_BLOCK, n < 0 ? 0 : n);
        } else {
            put_text_of(v, !type_families::is_any_string(t));
        }
    }

    void open_container(const Cell& v, uint32_t kind, int32_t count) {
        bool object = kind != TYPE_BLOCK;
        if (count == 0) {
            put(object ? "{}" : "[]");
            return;
        }
        if (int32_t(open.size()) >= MAX_DEPTH) fire(ErrorId::internal_too_deep);
        put(object ? '{' : '[');
        if (indent) {
            put('\n');
            ++level;
            put_indent();
        }
        open.push_back({v, kind, 0, count, 0});
    }

    // A map's raw pairs from `next` on: none live is left.
    bool map_done(Open& o) {
        const Cell* c = map::buffer(o.value)->cells();
        while (o.next < o.count && map::removed(c[2 * o.next + 1])) ++o.next;
        return o.next == o.count;
    }

    // The next item of an open container: a block's value; a map's or an
    // object's member (its name written here, its value answered).
    Cell item(Open& o) {
        int32_t i = o.next++;
        ++o.written;
        if (o.kind == TYPE_BLOCK) {
            SeriesBuffer* b = memory::buffer_of(cell_node(o.value));
            return b->cells()[int32_t(o.value.data1) + i];
        }
        Cell key, v;
        if (o.kind == TYPE_MAP) {
            const Cell* c = map::buffer(o.value)->cells();
            key = c[2 * i];
            v = c[2 * i + 1];
            if (type_of(key) == TYPE_SET_WORD) key.header = TYPE_WORD;
        } else {
            NodeId ctx = o.value.data1;
            key = *context::word_at(ctx, i);
            key.header = TYPE_WORD;
            key.data1 = ctx;
            v = context::values_of(*context::cell_of(ctx))[i];
        }
        put_key(key);
        put(indent ? ": " : ":");
        return v;
    }

    void run(const Cell& data) {
        value(data);
        while (!open.empty()) {
            Open& o = open.back();
            if (o.kind == TYPE_MAP ? map_done(o) : o.next == o.count) {
                if (indent) {
                    put('\n');
                    --level;
                    put_indent();
                }
                put(o.kind == TYPE_BLOCK ? ']' : '}');
                open.pop_back();
                continue;
            }
            if (o.written > 0) {
                put(',');
                if (indent) {
                    put('\n');
                    put_indent();
                }
            }
            Cell v = item(o);
            value(v);
            if (text.size() > CHUNK) flush();
        }
        commit();
    }
};

}  // namespace

void write(const Cell& output, const Cell& data, const Cell* indent, bool ascii) {
    Writer w{output, indent, ascii, {}, {}, 0, 0, {}, 0, {}};
    if (indent) for_each_char(*indent, [&](uint32_t c) { w.indent_text.push_back(char32_t(c)); });
    w.run(data);
}

}  // namespace kel::json
