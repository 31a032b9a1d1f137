#include "runtime/io/csv-read.h"

#include <climits>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/text-range.h"

namespace kel::csv {

namespace {

Cell* push_text(const char* text) {
    return string::import(reinterpret_cast<const uint8_t*>(text), int32_t(std::strlen(text)), string::ENCODING_UTF8);
}

}  // namespace

void make_error(Cell* out, const Cell& message) {
    Cell* spec = stack::push(message);
    Cell* proto = stack::push(datatype::make(TYPE_ERROR));
    Cell* made = stack::push(make_none());
    actions::make(made, proto, spec);
    *out = *made;
    stack::pop(3);
}

namespace {

int32_t length_of(const Cell& blk) { return block::ks_length(blk); }

// Each doubled quote character of a quoted value's content made single, in
// place (the content holds quote characters only in pairs). Every character
// written comes from the string itself and lands before the tail, so no
// write widens or grows it: nothing allocates.
void undouble(const Cell& v, uint32_t q) {
    text_range::View in(v);
    int32_t n = text_range::tail_of(v);
    int32_t w = 0;
    while (w < n && in.at(w) != q) ++w;
    SeriesBuffer* b = string::buffer(v);
    for (int32_t r = w; r < n; ++r, ++w) {
        uint32_t c = in.at(r);
        if (c == q) ++r;
        b = string::overwrite_char(b, w, c);
    }
    string::truncate_at(b, w);
}

struct Reader {
    const Cell& data;
    const ReadOptions& o;
    Cell* output;
    Cell* line;
    Cell* names;
    text_range::View in;
    int32_t pos;
    int32_t end;
    // Every run of quote characters from here on is of even length: a
    // quoted value opened after it closes only within its own run.
    int32_t no_close_from = INT_MAX;
    int32_t line_no = 1;
    bool first_line = true;
    int32_t longest = 0;
    bool delimiter_char;
    uint32_t delimiter_cp = 0;
    std::u32string delimiter_text;

    void refresh() { in.fetch(data); }

    int32_t delimiter_at(int32_t i) const {
        if (delimiter_char) return i < end && in.at(i) == delimiter_cp ? 1 : -1;
        int32_t n = int32_t(delimiter_text.size());
        if (end - i < n) return -1;
        for (int32_t k = 0; k < n; ++k)
            if (in.at(i + k) != uint32_t(delimiter_text[size_t(k)])) return -1;
        return n;
    }
    int32_t newline_at(int32_t i) const {
        if (i >= end) return 0;
        uint32_t c = in.at(i);
        if (c == '\r') return i + 1 < end && in.at(i + 1) == '\n' ? 2 : 1;
        return c == '\n' ? 1 : 0;
    }

    // The closing quote of a quoted value whose content starts at s, or -1.
    int32_t close_of(int32_t s) {
        uint32_t q = o.quote;
        if (s >= no_close_from) {
            int32_t i = s;
            while (i < end && in.at(i) == q) ++i;
            return (i - s) % 2 ? i - 1 : -1;
        }
        int32_t i = s;
        while (i < end) {
            if (in.at(i) != q) {
                ++i;
            } else if (i + 1 < end && in.at(i + 1) == q) {
                i += 2;
            } else {
                return i;
            }
        }
        no_close_from = s;
        return -1;
    }

    // single-value: a new string on the argument stack.
    Cell* single_value() {
        uint32_t q = o.quote;
        if (pos < end && in.at(pos) == q) {
            int32_t close = close_of(pos + 1);
            if (close >= 0) {
                Cell* v = text_range::push_copy(data, pos + 1, close);
                undouble(*v, q);
                pos = close + 1;
                refresh();
                return v;
            }
        }
        int32_t s = pos;
        while (pos < end) {
            uint32_t c = in.at(pos);
            if (c == '\n' || c == '\r' || delimiter_at(pos) >= 0) break;
            ++pos;
        }
        Cell* v = text_range::push_copy(data, s, pos);
        refresh();
        return v;
    }

    // add-value: the value (on the stack top) trimmed under /trim, then into
    // the line; it leaves the stack.
    void add_value(Cell* v) {
        if (o.trim) {
            TrimOptions none;
            actions::trim(v, v, none);
            int32_t head = int32_t(v->data1);
            int32_t n = string::ks_length(*v);
            if (n > 0 && string::get_char_at(*v, head) == o.quote && string::get_char_at(*v, head + n - 1) == o.quote) {
                string::remove_char(*v, head);
                if (n > 1) string::remove_char(*v, head + n - 2);
            }
        }
        block::append_cell(*line, *v);
        stack::pop(1);
        refresh();
    }

    void values() {
        for (;;) {
            int32_t start = pos;
            Cell* v = single_value();
            int32_t d = delimiter_at(pos);
            if (d < 0) {
                add_value(v);
                return;
            }
            pos += d;
            add_value(v);
            if (pos == start) {
                add_value(single_value());
                return;
            }
        }
    }

    // Column names after the last one until there are `count`.
    void name_columns(int32_t count) {
        while (length_of(*names) < count) {
            Cell* next = stack::push(make_none());
            Cell last = *block::ks_abs_at(*names, length_of(*names) - 1);
            next_column_name(last, next);
            block::append_cell(*names, *next);
            stack::pop(1);
        }
    }

    // add-line: false when the line breaks the alignment (*out holds the
    // error then).
    bool add_line(Cell* out) {
        int32_t n = length_of(*line);
        if (o.ignore_empty && n > 0 && string::ks_abs_length(*block::ks_abs_at(*line, n - 1)) == 0) {
            block::truncate_at(*line, --n);
        }
        if (first_line) {
            longest = n;
            first_line = false;
        } else if (o.strict && n != longest) {
            make_error(out, *o.non_aligned);
            return false;
        } else if (n > longest) {
            longest = n;
        }
        if (o.as_records) {
            name_columns(longest);
            Cell* pairs = block::push_only(2 * n);
            for (int32_t i = 0; i < n; ++i) {
                Cell name = *block::ks_abs_at(*names, i);  // copies: appending may move the blocks
                block::append_cell(*pairs, name);
                Cell v = *block::ks_abs_at(*line, i);
                block::append_cell(*pairs, v);
            }
            Cell* m = map::push_new(pairs, 0);
            block::append_cell(*output, *m);
            stack::pop(2);
        } else if (o.flat) {
            block::append_block(*output, *line);
        } else {
            block::append_cell(*output, *block::push_copy(*line, false, false));
            stack::pop(1);
        }
        block::truncate_at(*line, 0);
        refresh();
        return true;
    }

    // The rest of the text after the lines: the result, or the error of
    // text the rules stop on.
    void run(Cell* out) {
        if (o.header) {
            values();
            int32_t nl = newline_at(pos);
            if (nl > 0) {
                pos += nl;
                ++line_no;
                block::append_block(*names, *line);
                block::truncate_at(*line, 0);
            }
            if (nl == 0 || pos >= end)
                fire(ErrorId::user_message, {*push_text("CSV data are too small to use /HEADER refinement")});
        } else {
            block::append_cell(*names, *push_text("A"));
            stack::pop(1);
        }
        refresh();  // the column names allocated: the text may have moved
        while (pos < end) {
            values();
            int32_t nl = newline_at(pos);
            if (nl == 0 && pos < end) break;
            pos += nl;
            if (nl) ++line_no;
            if (!add_line(out)) return;
        }
        if (pos < end) {
            std::string text = "Invalid CSV data. Line: " + std::to_string(line_no);
            make_error(out, *push_text(text.c_str()));
            return;
        }
        if (o.as_columns)
            columns(out);
        else
            *out = *output;
    }

    // The map from each column name to the block of that column's values.
    void columns(Cell* out) {
        if (longest > length_of(*names)) {
            block::truncate_at(*names, 0);
            block::append_cell(*names, *push_text("A"));
            stack::pop(1);
            name_columns(longest);
        }
        int32_t columns = length_of(*names);
        int32_t lines = length_of(*output);
        Cell* pairs = block::push_only(2 * columns);
        for (int32_t c = 0; c < columns; ++c) {
            Cell name = *block::ks_abs_at(*names, c);
            block::append_cell(*pairs, name);
            Cell* column = block::push_only(lines);
            for (int32_t l = 0; l < lines; ++l) {
                Cell ln = *block::ks_abs_at(*output, l);
                Cell v = c < length_of(ln) ? *block::ks_abs_at(ln, c) : make_none();
                block::append_cell(*column, v);
            }
            block::append_cell(*pairs, *column);
            stack::pop(1);
        }
        *out = *map::push_new(pairs, 0);
    }
};

}  // namespace

void next_column_name(const Cell& name, Cell* out) {
    Cell* copy = stack::push(make_none());
    string::ks_make_at(*copy, string::ks_abs_length(name) + 2);
    string::copy_into(*copy, name, -1, false);
    int32_t n = string::ks_abs_length(*copy);
    for (int32_t i = n - 1; i >= 0; --i) {
        uint32_t c = string::get_char_at(*copy, i);
        if (c == 'Z' || c == 'z') {
            string::overwrite_char(string::buffer(*copy), i, 'A');
            if (i == 0) string::insert_char(string::buffer(*copy), 0, 'A');
        } else {
            string::overwrite_char(string::buffer(*copy), i, c + 1);
            break;
        }
    }
    *out = *copy;
    stack::pop(1);
}

void read(const Cell& data, Cell* out, const ReadOptions& o) {
    Cell* saved = stack::top();
    Cell* output = block::push_only(string::ks_abs_length(data) / 80 + 1);
    Cell* line = block::push_only(20);
    Cell* names = block::push_only(8);
    Reader r{data, o, output, line, names, text_range::View(data), 0, text_range::tail_of(data), INT_MAX, 1,
             true, 0, false,  0,    {}};
    r.pos = std::min(std::max(int32_t(data.data1), 0), r.end);
    r.delimiter_char = type_of(*o.delimiter) == TYPE_CHAR;
    if (r.delimiter_char) {
        r.delimiter_cp = o.delimiter->data2;
    } else {
        text_range::View d(*o.delimiter);
        for (int32_t i = int32_t(o.delimiter->data1); i < text_range::tail_of(*o.delimiter); ++i)
            r.delimiter_text.push_back(char32_t(d.at(i)));
    }
    r.run(out);
    stack::pop(uint32_t(stack::top() - saved));
}

}  // namespace kel::csv
