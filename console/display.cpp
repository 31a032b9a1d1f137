#include "console/display.h"

#include "runtime/text/char-width.h"
#include "runtime/text/unicode.h"

namespace kel::console {

int32_t cell_width(uint32_t cp) {
    if (cp >= 0x1F300 && cp <= 0x1F5FF) return 2;
    return unicode::char_width(cp);
}

namespace {

void put_utf8(std::string& out, uint32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    uint8_t bytes[4];
    int32_t n = unicode::encode_utf8_char(cp, bytes);
    out.append(reinterpret_cast<const char*>(bytes), size_t(n));
}

void put_number(std::string& out, int64_t n) { out += std::to_string(n); }

class Composer {
public:
    Composer(Layout& layout, int32_t columns) : l_(layout), columns_(columns) {}

    // Lays out the text; with `hidden` every character of it shows as "*".
    void text(std::u32string_view s, bool hidden, size_t cursor, bool is_line) {
        size_t i = 0;
        bool marked = false;
        while (i < s.size()) {
            if (is_line && !marked && i >= cursor) {
                mark_cursor(s[i], hidden);
                marked = true;
            }
            if (is_line) l_.last_byte = l_.text.size();
            uint32_t c = s[i];
            if (c == 27) {
                i = escape(s, i, hidden);
                continue;
            }
            ++i;
            if (hidden) {
                for (int k = c == '\t' ? 4 : 1; k > 0; --k) cell('*', 1);
            } else if (c == '\t') {
                for (int k = 0; k < 4; ++k) cell(' ', 1);
            } else if (c < 32 || c == 127) {
                cell('^', 2);
                l_.text.push_back(char(c == 127 ? '?' : c + 64));
            } else if (c >= 128 && c < 160) {
                cell(0xFFFD, 1);  // a C1 control would be taken as a command
            } else {
                cell(c, cell_width(c));
            }
        }
        if (is_line && cursor >= s.size()) l_.cursor = l_.end;
    }

private:
    void mark_cursor(uint32_t c, bool hidden) {
        l_.cursor = l_.end;
        l_.wide_at_cursor = !hidden && c >= 160 && cell_width(c) == 2;
    }

    // One character of `width` cells, moved to the next row when it is wide
    // and would start in the last column.
    void cell(uint32_t c, int32_t width) {
        if (width == 2 && l_.end % columns_ == columns_ - 1) {
            l_.text.push_back(' ');
            l_.end += 1;
        }
        put_utf8(l_.text, c);
        l_.end += width;
    }

    // ESC at s[i]: with "[" or "(" after it, a sequence of digits and ";"
    // and one final character, written as it is. Answers the next index.
    size_t escape(std::u32string_view s, size_t i, bool hidden) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '[' || s[j] == '(')) {
            ++j;
            while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == ';')) ++j;
            if (j < s.size()) ++j;
        }
        for (size_t k = i; k < j; ++k) {
            if (hidden)
                cell('*', 1);
            else
                put_utf8(l_.text, s[k]);
        }
        return j;
    }

    Layout& l_;
    int32_t columns_;
};

}  // namespace

Layout lay_out(std::u32string_view prompt, std::u32string_view line, size_t cursor, int32_t columns,
               int32_t start_column, bool hidden) {
    Layout l;
    if (columns < 1) columns = 1;
    l.start = l.end = start_column;
    Composer c(l, columns);
    c.text(prompt, false, 0, false);
    l.last_byte = l.text.size();
    c.text(line, hidden, cursor, true);
    return l;
}

void Display::begin(int64_t column, int32_t columns, bool hidden) {
    columns_ = columns > 0 ? columns : 80;
    // Output that filled its row exactly leaves the cursor in the last
    // column, waiting to wrap: the prompt starts on the next row.
    pending_wrap_ = column > 0 && column % columns_ == 0;
    start_column_ = int32_t(column % columns_);
    row_ = 0;
    first_ = true;
    hidden_ = hidden;
}

void Display::cursor_place(const Layout& l, int64_t& row, int64_t& column) const {
    row = l.cursor / columns_;
    column = l.cursor % columns_;
    // A wide character under the cursor that moved to the next row: the
    // cursor stands on it, not on the blank left before it.
    if (l.wide_at_cursor && column == columns_ - 1) {
        row += 1;
        column = 0;
    }
}

void Display::move_to(std::string& out, int64_t row, int64_t column) {
    if (row < row_) {
        out += "\x1b[";
        put_number(out, row_ - row);
        out += 'A';
    } else if (row > row_) {
        out += "\x1b[";
        put_number(out, row - row_);
        out += 'B';
    }
    if (column == 0) {
        out += '\r';
    } else {
        out += "\x1b[";
        put_number(out, column + 1);
        out += 'G';
    }
    row_ = row;
}

// After the text: leave the deferred wrap of an exactly filled row, then
// put the cursor in place.
void Display::finish(std::string& out, const Layout& l) {
    if (l.end > l.start && l.end % columns_ == 0) out += "\r\n";
    row_ = l.end / columns_;
    int64_t row, column;
    cursor_place(l, row, column);
    if (row == row_ && column == l.end % columns_) return;
    move_to(out, row, column);
}

std::string Display::refresh(std::u32string_view prompt, std::u32string_view line, size_t cursor, bool full) {
    Layout l = lay_out(prompt, line, cursor, columns_, start_column_, hidden_);
    std::string out;
    if (first_) {
        first_ = false;
        if (pending_wrap_) out += "\r\n";
        pending_wrap_ = false;
    } else if (full) {
        move_to(out, 0, start_column_);
        out += "\x1b[J";
    } else {
        int64_t row, column;
        cursor_place(l, row, column);
        move_to(out, row, column);
        return out;
    }
    out += l.text;
    finish(out, l);
    return out;
}

std::string Display::append(std::u32string_view prompt, std::u32string_view line) {
    Layout l = lay_out(prompt, line, line.size(), columns_, start_column_, hidden_);
    std::string out = l.text.substr(l.last_byte);
    finish(out, l);
    return out;
}

void Display::resize(std::u32string_view prompt, std::u32string_view line, size_t cursor, int32_t columns) {
    if (columns < 1) return;
    columns_ = columns;
    start_column_ %= columns_;
    Layout l = lay_out(prompt, line, cursor, columns_, start_column_, hidden_);
    int64_t column;
    cursor_place(l, row_, column);
}

std::string Display::go_below(std::u32string_view prompt, std::u32string_view line) {
    Layout l = lay_out(prompt, line, line.size(), columns_, start_column_, hidden_);
    int64_t last = l.end / columns_;
    if (l.end > l.start && l.end % columns_ == 0) last -= 1;
    std::string out;
    move_to(out, last, 0);
    return out;
}

}  // namespace kel::console
