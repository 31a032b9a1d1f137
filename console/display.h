// The line editor's drawing: the prompt and the line laid out in screen
// cells and turned into the bytes of one write.
//
// Every position is a display offset counted in reading order from column 0
// of the prompt's row (offset = row x columns + column); the prompt starts at
// the offset of its start column. The terminal is never asked where its
// cursor is: the display remembers the row (relative to the prompt's) on
// which it left the cursor, and goes back to the prompt with CR, CSI n A and
// CSI col G, which works however far the screen has scrolled since.
//
// Layout: a TAB shows as four blanks; an escape sequence (ESC "[" or "(",
// digits and ";", one final character) is written as it is and takes no
// cell; a wide character (display width 2, and every code point from
// U+1F300 to U+1F5FF) never starts in the last column: a blank fills that
// cell first; other control characters show in caret form (^M); hidden
// input shows every character of the line, each blank of a TAB and each
// character of an escape sequence as one "*" (the prompt in clear). When the
// text fills its last row exactly, CR LF follows, so that the cursor leaves
// the terminal's deferred-wrap state and stands where the offsets say.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kel::console {

// Columns a code point of the line takes before caret forms: the display
// width, and 2 from U+1F300 to U+1F5FF whatever the width table says.
int32_t cell_width(uint32_t cp);

struct Layout {
    std::string text;  // the bytes of prompt and line
    int64_t start = 0;  // offset of the prompt's first cell
    int64_t cursor = 0;  // offset of the cursor (before any wide-character move)
    int64_t end = 0;  // offset after the last cell
    size_t last_byte = 0;  // where the last character of the line begins in text
    bool wide_at_cursor = false;
};

// Lays out prompt and line from the start column.
Layout lay_out(std::u32string_view prompt, std::u32string_view line, size_t cursor, int32_t columns,
               int32_t start_column, bool hidden);

class Display {
public:
    // Starts an edit: the cursor stands at the prompt's start, which is
    // `column` cells into the current line of output.
    void begin(int64_t column, int32_t columns, bool hidden);

    // The bytes that bring the screen up to date: with `full` (or at the
    // first draw) erase from the prompt and rewrite it all, otherwise only
    // move the cursor.
    std::string refresh(std::u32string_view prompt, std::u32string_view line, size_t cursor, bool full);
    // The bytes after a character was appended at the end of the line with
    // the cursor after it: that character only.
    std::string append(std::u32string_view prompt, std::u32string_view line);
    // The window is now `columns` wide. The cursor still stands at the same
    // character of the text, which the terminal may have wrapped anew: the
    // prompt's row is found again from the cursor's place under the new width.
    void resize(std::u32string_view prompt, std::u32string_view line, size_t cursor, int32_t columns);
    // Column 0 of the last row of the text.
    std::string go_below(std::u32string_view prompt, std::u32string_view line);

    int32_t columns() const { return columns_; }
    int32_t start_column() const { return start_column_; }

private:
    // Row and column where the cursor goes for a layout.
    void cursor_place(const Layout& layout, int64_t& row, int64_t& column) const;
    void move_to(std::string& out, int64_t row, int64_t column);
    void finish(std::string& out, const Layout& layout);

    int32_t columns_ = 80;
    int32_t start_column_ = 0;
    int64_t row_ = 0;  // row of the terminal's cursor, counted from the prompt's row
    bool first_ = true;
    bool pending_wrap_ = false;
    bool hidden_ = false;
};

}  // namespace kel::console
