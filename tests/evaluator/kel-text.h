// A small reader of Kel text for the evaluator's tests and benchmarks, until
// the lexer lands: blocks, parens, strings in double quotes or braces,
// integers, floats, words in all their forms (word, set-word:, :get-word,
// 'lit-word, /refinement, #issue) and paths of words, integers, get-words
// and parens (a/b/1, :a/b, a/b:, 'a/b, a/(1 + 1)). Words are bound to the
// global context. The block is made on the argument stack, so it stays
// reachable while the caller's stack frame holds it.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::test {

class KelReader {
public:
    explicit KelReader(const char* text) : p_(text) {}

    // Reads every value up to the closing character (0: the end of text)
    // into the block.
    void values(Cell& block, char close) {
        for (;;) {
            skip_space();
            if (*p_ == close) {
                if (close) ++p_;
                return;
            }
            if (!*p_) return;
            bool new_line = new_line_;
            Cell v = value();
            if (new_line) v.header |= CELL_NEW_LINE;
            Rooted keep(v);
            block::append_cell(block, v);
        }
    }

private:
    const char* p_;
    bool new_line_ = false;

    static bool delimiter(char c) {
        return !c || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '[' || c == ']' || c == '(' || c == ')' ||
            c == '"' || c == '{' || c == '}';
    }

    void skip_space() {
        new_line_ = false;
        for (;;) {
            if (*p_ == '\n') new_line_ = true;
            if (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r') {
                ++p_;
            } else if (*p_ == ';') {
                while (*p_ && *p_ != '\n') ++p_;
            } else {
                return;
            }
        }
    }

    Cell series(uint32_t type, char close) {
        ++p_;
        Cell b = make_none();
        Rooted keep(b);
        block::make_at(b, 4);
        b.header = type;
        values(b, close);
        return b;
    }

    Cell text(char close) {
        ++p_;
        std::string s;
        while (*p_ && *p_ != close) s += *p_++;
        if (*p_) ++p_;
        Cell str = make_none();
        Rooted keep(str);
        string::ks_make_at(str, int32_t(s.size()) + 1);
        string::append_c_string(str, s.c_str());
        return str;
    }

    static bool number_text(const std::string& s, bool& is_float) {
        size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
        if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        is_float = false;
        for (; i < s.size(); ++i) {
            char c = s[i];
            if (c == '.' || c == 'e' || c == 'E')
                is_float = true;
            else if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != '+')
                return false;
        }
        return true;
    }

    static Cell segment(const std::string& s, uint32_t word_type) {
        bool is_float = false;
        if (number_text(s, is_float)) {
            if (is_float) return float_::make_cell(std::strtod(s.c_str(), nullptr));
            return make_integer(int32_t(std::strtol(s.c_str(), nullptr, 10)));
        }
        Cell w = word::make(symbol::make(s.c_str()));
        w.header = word_type;
        return w;
    }

    std::string token() {
        std::string s;
        while (!delimiter(*p_) && *p_ != '/' && !(*p_ == ':' && !s.empty())) s += *p_++;
        return s;
    }

    Cell value() {
        switch (*p_) {
        case '[':
            return series(TYPE_BLOCK, ']');
        case '(':
            return series(TYPE_PAREN, ')');
        case '"':
            return text('"');
        case '{':
            return text('}');
        default:
            break;
        }
        if (*p_ == '#') {
            ++p_;
            return word::issue_of(token().c_str());
        }
        if (*p_ == '/') {
            std::string s(1, *p_++);
            if (*p_ == '/') s += *p_++;
            if (delimiter(*p_)) return segment(s, TYPE_WORD);  // the words / and //
            s = token();
            Cell r = word::make(symbol::make(s.c_str()));
            r.header = TYPE_REFINEMENT;
            return r;
        }
        uint32_t prefix = 0;
        if (*p_ == '\'')
            prefix = '\'', ++p_;
        else if (*p_ == ':')
            prefix = ':', ++p_;
        std::vector<Cell> parts;
        Cell holder = make_none();  // keeps the parens read so far
        Rooted keep(holder);
        block::make_at(holder, 4);
        holder.header = TYPE_BLOCK;
        bool set = false;
        for (;;) {
            if (*p_ == '(') {
                block::append_cell(holder, series(TYPE_PAREN, ')'));
            } else {
                std::string s = token();
                bool first = block::ks_length(holder) == 0;
                uint32_t type = TYPE_WORD;
                if (first && prefix == '\'' && *p_ != '/') type = TYPE_LIT_WORD;
                if (first && prefix == ':' && *p_ != '/') type = TYPE_GET_WORD;
                if (!first && s.size() > 1 && s[0] == ':') {
                    Cell g = segment(s.substr(1), TYPE_GET_WORD);
                    block::append_cell(holder, g);
                } else {
                    block::append_cell(holder, segment(s, type));
                }
            }
            if (*p_ == ':') {
                set = true;
                ++p_;
                break;
            }
            if (*p_ != '/') break;
            ++p_;
        }
        int32_t n = block::ks_length(holder);
        if (n == 1) {
            Cell v = *block::ks_abs_at(holder, 0);
            if (set && type_of(v) == TYPE_WORD) v.header = TYPE_SET_WORD;
            return v;
        }
        holder.header = set  ? TYPE_SET_PATH
            : prefix == '\'' ? TYPE_LIT_PATH
            : prefix == ':'  ? TYPE_GET_PATH
                             : TYPE_PATH;
        return holder;
    }
};

// The text's values as a new block on the argument stack.
inline Cell* load(const char* text) {
    Cell* b = stack::push(make_none());
    block::make_at(*b, 8);
    b->header = TYPE_BLOCK;
    Cell block = *b;
    KelReader(text).values(block, 0);
    return b;
}

}  // namespace kel::test
