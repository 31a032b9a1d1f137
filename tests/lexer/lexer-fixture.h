// Shared by the lexer tests: loading and scanning texts, the values shown as
// compact text (a test-side rendering, independent of the mold actions), and
// syntax errors caught with their arguments.
#pragma once
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel::test {

class Lexer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { boot(); }
};

inline const uint8_t* bytes_of(std::string_view text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// The values of a text, loaded into a block.
inline Cell load_text(std::string_view text, lexer::Options o = {}) {
    Cell out = make_none();
    lexer::scan(&out, bytes_of(text), int64_t(text.size()), o);
    return out;
}

// The type scan mode answers for a text (one token, no values).
inline int32_t scan_type(std::string_view text) {
    lexer::Options o;
    o.scan = true;
    o.one = true;
    return lexer::scan(nullptr, bytes_of(text), int64_t(text.size()), o).type;
}

inline std::string utf8_of(const Cell& str) {
    Cell s = str;
    SeriesBuffer* b = string::buffer(s);
    uint32_t unit = b->unit();
    std::string out;
    for (uint64_t i = b->offset + uint64_t(int32_t(s.data1)) * unit; i < b->tail; i += unit) {
        uint32_t cp = string::get_char(b->data() + i, unit);
        if (cp < 0x80)
            out += char(cp);
        else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "<U+%04X>", cp);
            out += buf;
        }
    }
    return out;
}

inline std::string spelling_of(const Cell& w) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(int32_t(w.data2), &n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

inline std::string show(const Cell& c);

inline std::string show_cells(const Cell& blk, const char* sep) {
    SeriesBuffer* b = memory::buffer_of(cell_node(blk));
    std::string out;
    for (uint64_t i = uint64_t(int32_t(blk.data1)); i < b->cell_count(); i++) {
        if (i > uint64_t(int32_t(blk.data1))) out += sep;
        Cell v = b->cells()[i];
        if (v.header & CELL_NEW_LINE) out += "\\n";
        out += show(v);
        b = memory::buffer_of(cell_node(blk));
    }
    return out;
}

inline std::string show_double(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

// Type names by id, whether or not the type's module is registered.
inline std::string type_name(uint32_t t) {
    static const char* const names[] = {
        "",          "datatype!", "unset!",    "none!",       "logic!",    "block!",   "paren!",   "string!",
        "file!",     "url!",      "char!",     "integer!",    "float!",    "symbol!",  "context!", "word!",
        "set-word!", "lit-word!", "get-word!", "refinement!", "issue!",    "native!",  "action!",  "op!",
        "function!", "path!",     "lit-path!", "set-path!",   "get-path!", "routine!", "bitset!",  "triple!",
        "object!",   "typeset!",  "error!",    "vector!",     "hash!",     "pair!",    "percent!", "tuple!",
        "map!",      "binary!",   "series!",   "time!",       "tag!",      "email!",   "handle!",  "date!",
        "port!",     "money!",    "ref!",      "point2D!",    "point3D!",  "image!",   "event!"};
    return t < sizeof names / sizeof names[0] ? names[t] : "type" + std::to_string(t);
}

// A compact text for every type the lexer makes.
inline std::string show(const Cell& c) {
    switch (type_of(c)) {
    case TYPE_UNSET:
        return "unset";
    case TYPE_NONE:
        return "none";
    case TYPE_LOGIC:
        return c.data1 ? "true" : "false";
    case TYPE_DATATYPE:
        return type_name(c.data1);
    case TYPE_INTEGER:
        return std::to_string(int32_t(c.data2));
    case TYPE_FLOAT:
        return show_double(cell_double(c));
    case TYPE_PERCENT:
        return show_double(cell_double(c)) + "%";
    case TYPE_TIME:
        return "time:" + show_double(cell_double(c));
    case TYPE_CHAR:
        return "char:" + std::to_string(c.data2);
    case TYPE_PAIR:
        return std::to_string(int32_t(c.data2)) + "x" + std::to_string(int32_t(c.data3));
    case TYPE_TUPLE: {
        int n = int((c.header >> 19) & 0xF);
        uint8_t bytes[12];
        std::memcpy(bytes, &c.data1, 12);
        std::string out;
        for (int i = 0; i < n; i++) out += (i ? "." : "") + std::to_string(bytes[i]);
        return out;
    }
    case TYPE_POINT2D:
    case TYPE_POINT3D: {
        float f[3];
        std::memcpy(f, &c.data1, 12);
        int n = type_of(c) == TYPE_POINT2D ? 2 : 3;
        std::string out = "point:";
        for (int i = 0; i < n; i++) out += (i ? "," : "") + show_double(double(f[i]));
        return out;
    }
    case TYPE_WORD:
        return spelling_of(c);
    case TYPE_SET_WORD:
        return spelling_of(c) + ":";
    case TYPE_GET_WORD:
        return ":" + spelling_of(c);
    case TYPE_LIT_WORD:
        return "'" + spelling_of(c);
    case TYPE_REFINEMENT:
        return "/" + spelling_of(c);
    case TYPE_ISSUE:
        return "#" + spelling_of(c);
    case TYPE_STRING:
        return "\"" + utf8_of(c) + "\"";
    case TYPE_FILE:
        return "file:" + utf8_of(c);
    case TYPE_URL:
        return "url:" + utf8_of(c);
    case TYPE_TAG:
        return "tag:" + utf8_of(c);
    case TYPE_EMAIL:
        return "email:" + utf8_of(c);
    case TYPE_REF:
        return "ref:" + utf8_of(c);
    case TYPE_BINARY: {
        SeriesBuffer* b = memory::buffer_of(cell_node(c));
        std::string out = "#{";
        char buf[4];
        for (uint64_t i = b->offset; i < b->tail; i++) {
            std::snprintf(buf, sizeof buf, "%02X", b->data()[i]);
            out += buf;
        }
        return out + "}";
    }
    case TYPE_BLOCK:
        return "[" + show_cells(c, " ") + "]";
    case TYPE_PAREN:
        return "(" + show_cells(c, " ") + ")";
    case TYPE_MAP:
        return "#[" + show_cells(Cell{TYPE_BLOCK, 0, c.data2, 0}, " ") + "]";
    case TYPE_PATH:
        return "path:" + show_cells(c, "/");
    case TYPE_LIT_PATH:
        return "lit-path:" + show_cells(c, "/");
    case TYPE_GET_PATH:
        return "get-path:" + show_cells(c, "/");
    case TYPE_SET_PATH:
        return "set-path:" + show_cells(c, "/");
    default:
        return type_name(type_of(c));
    }
}

// The values of a block without its brackets.
inline std::string shown(std::string_view text, lexer::Options o = {}) {
    Cell blk = load_text(text, o);
    Rooted keep(blk);
    if (type_of(blk) != TYPE_BLOCK || (o.one && !o.wrap)) return show(blk);
    return show_cells(blk, " ");
}

// A syntax error of loading a text: its id (-1 when none) and its arguments
// as text.
struct SyntaxError {
    int id = -1;
    std::string args[3];
};

inline std::string arg_text(const Cell& c) {
    if (type_of(c) == TYPE_STRING) return utf8_of(c);
    if (type_of(c) == TYPE_CHAR) return std::string(1, char(c.data2));
    return show(c);
}

inline SyntaxError error_of_text(std::string_view text, lexer::Options o = {}) {
    SyntaxError e;
    e.id = error_of([&] { load_text(text, o); });
    if (e.id >= 0)
        for (int i = 0; i < error_in_flight().argc && i < 3; i++) e.args[i] = arg_text(error_in_flight().args[i]);
    return e;
}

}  // namespace kel::test

namespace kel::test {

// What loading a text gives: its values shown, or the error: "invalid <type>",
// "missing <char>", "malconstruct", "bad-char", or the error's code.
inline std::string outcome(std::string_view text, lexer::Options o = {}) {
    std::string r;
    Cell* top = stack::top();
    int e = error_of([&] { r = shown(text, o); });
    stack::pop(uint32_t(stack::top() - top));  // the error value fire pushed
    if (e < 0) return r;
    switch (ErrorId(e)) {
    case ErrorId::syntax_invalid:
        return "invalid " + arg_text(error_in_flight().args[1]);
    case ErrorId::syntax_missing:
        return "missing " + arg_text(error_in_flight().args[1]);
    case ErrorId::syntax_malconstruct:
        return "malconstruct";
    case ErrorId::syntax_bad_char:
        return "bad-char";
    case ErrorId::internal_not_done:
        return "not-done";
    default:
        return "error " + std::to_string(e);
    }
}

}  // namespace kel::test
