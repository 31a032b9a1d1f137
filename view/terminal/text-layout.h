// Text in character cells: laying a text out into the screen buffer, the
// SGR escape sequences a text may hold, and the measurements behind
// `size-text` and `text-box-metrics`.
//
// Each character takes its display width (`unicode::char_width`, as the
// console's display measures): 1 or 2 cells; a character of width 0 takes
// no cell and is not drawn (a cell holds one code point). Lines start at a
// line feed; a line longer than the clip wraps to the next line at the
// clip's edge (para wrap) or is cut there. Lines break at the edge, not at
// spaces.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/cell.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

// Para flags.
inline constexpr uint32_t PARA_RIGHT = 0x1;
inline constexpr uint32_t PARA_CENTER = 0x2;
inline constexpr uint32_t PARA_MIDDLE = 0x4;
inline constexpr uint32_t PARA_BOTTOM = 0x8;
inline constexpr uint32_t PARA_WRAP = 0x20;

// How a text is drawn: the attribute bits (the cell looks plus the style
// bits ATTR_ESCAPES and ATTR_NO_TEXT), the para flags and the colours.
struct RenderStyle {
    uint32_t attributes = 0;
    uint32_t para = 0;
    uint32_t foreground = 0, background = 0;
};

// A rectangle of buffer cells; x2 and y2 are exclusive.
struct ClipRect {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool empty() const { return x1 >= x2 || y1 >= y2; }
};

// The look an escape sequence changes.
struct EscapeState {
    uint32_t foreground = 0, background = 0, attributes = 0;
};

// A coordinate in cells as a whole number: truncated towards zero, 0 for
// NaN, bounded to +-1e9 (so sums of a few stay within 32 bits).
int32_t to_cells(double v);

// The characters of a string from its head; its length.
std::u32string text_of(const Cell& str);
// The same into a buffer the caller keeps (no allocation once it is large
// enough).
void text_into(const Cell& str, std::u32string& out);
int32_t text_length(const Cell& str);

// Writes the text into the buffer's cells from x, y inside the clip:
// code points, the style's foreground and attributes (changed by escape
// sequences when the style has ATTR_ESCAPES); the cells keep their
// background. A wide character's second cell is a continuation.
void layout_text(std::u32string_view text, int32_t x, int32_t y, const ClipRect& clip, const RenderStyle& style);
// The same for a run of cells: each keeps its own colours, and its
// attributes are ORed with the style's.
void layout_cells(const CellRun& cells, int32_t x, int32_t y, const ClipRect& clip, const RenderStyle& style);

// Interprets the escape sequence at `position` (an ESC followed by "["):
// SGR codes change the state; cursor and erase commands are read and do
// nothing. Answers the characters it used, 0 when there is no sequence
// there (the ESC is then an ordinary character).
int32_t text_escape(std::u32string_view text, size_t position, EscapeState& state);

// Walks the text while the running width is below the limit, without
// wrapping: the widest line's width, the characters counted and the lines.
// A character that takes the width past the limit is taken back.
struct TextMeasure {
    int32_t width = 0, count = 0, lines = 1;
};
TextMeasure measure_text(std::u32string_view text, int32_t limit);

// The widest line and the number of lines (at least 1) of the text wrapped
// at max_width (0: no limit). The walk stops at a character wider than the
// limit.
struct TextSize {
    int32_t width = 0, lines = 1;
};
TextSize text_size(std::u32string_view text, int32_t max_width);

// The offset of the text's rectangle inside a box of width x height by the
// para's alignment flags.
struct CellOffset {
    int32_t x = 0, y = 0;
};
CellOffset align_text(std::u32string_view text, int32_t width, int32_t height, uint32_t para);

// The para flags of a face's `para` (0 without a para object).
uint32_t para_flags(const Cell& para);

// `size-text`: the point2D (width, lines) of the text without a limit.
Cell get_text_size(const Cell& text);
// `text-box-metrics` of a face with its text: caret-to-offset (0, and 6
// for the lower corner), offset-to-caret (1), offset-to-char (5),
// line-height (2: 1.0), size-text (3), the line count (any other type).
Cell text_box_metrics(const Cell& face, const Cell& arg, int32_t type);

// For a text stored with 4-byte units: walks `length` characters from
// `start` (counted from the text's head) and adds `step` to the length for
// every character above U+FFFF; a negative step also ends the walk one
// position earlier for each. Texts with 1- or 2-byte units answer the
// length unchanged.
int32_t utf16_length(const Cell& text, int32_t start, int32_t length, int32_t step);

}  // namespace kel::gui
