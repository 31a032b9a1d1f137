#include "view/terminal/screen.h"

#include <cmath>
#include <cstdio>

#include "runtime/platform/console.h"
#include "runtime/text/unicode.h"
#include "view/terminal/os.h"
#include "view/terminal/state.h"
#include "view/terminal/terminal-modes.h"

namespace kel::gui {

namespace {

void append_format(std::string& out, const char* format, int32_t n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    out += text;
}

void append_code_point(std::string& out, uint32_t cp) {
    uint8_t bytes[4];
    int32_t n = unicode::encode_utf8_char(cp, bytes);
    out.append(reinterpret_cast<const char*>(bytes), size_t(n));
}

// A float extent as a cell count: truncated, 0 for NaN and below, bounded.
int32_t cells_of(float v, int32_t limit) {
    if (!(v > 0)) return 0;
    if (v >= float(limit)) return limit;
    return int32_t(v);
}

}  // namespace

ScreenBuffer& screen() {
    static ScreenBuffer buffer;
    return buffer;
}

void size_buffer(float x1, float y1, float x2, float y2) {
    State& s = state();
    if (!s.active) return;
    int32_t width = cells_of(x2 - x1, s.width), height = cells_of(y2 - y1, s.height);
    ScreenBuffer& b = screen();
    if (width == b.width && height == b.height) return;
    size_t needed = size_t(width) * size_t(height);
    if (needed > b.cells.size()) b.cells.assign(needed, ScreenCell{});
    b.width = width;
    b.height = height;
}

void clear_buffer() {
    ScreenBuffer& b = screen();
    std::fill(b.cells.begin(), b.cells.end(), ScreenCell{});
}

void reset_buffer() {
    ScreenBuffer& b = screen();
    b = ScreenBuffer{};
    State& s = state();
    s.rows_above = 0;
    s.frame_drawn = false;
    s.caret = false;
    s.caret_column = s.caret_row = 0;
    s.origin_row = s.origin_column = 0;
}

void keep_drawing_area() {
    State& s = state();
    if (s.full_screen) {
        s.origin_row = s.origin_column = 0;
    } else if (s.height < s.origin_row + screen().height) {
        s.origin_row = s.height - screen().height;
        if (s.origin_row < 0) s.origin_row = 0;
    }
}

void compose_frame(std::string& out) {
    State& s = state();
    ScreenBuffer& b = screen();
    if (b.width < 1 || b.height < 1) return;
    if (s.full_screen) {
        out += "\033[H";
    } else {
        out += '\r';
        if (s.rows_above > 0) append_format(out, "\033[%dA", s.rows_above);
        out += "\033[0J";
    }
    ScreenCell previous{};
    for (int32_t row = 0; row < b.height; ++row) {
        for (int32_t column = 0; column < b.width; ++column) {
            const ScreenCell& cell = b.at(column, row);
            if (cell.attributes & ATTR_CONTINUATION) continue;
            // Neighbouring cells mostly look alike: the diff runs only on a
            // change.
            if (cell.attributes != previous.attributes || cell.foreground != previous.foreground ||
                cell.background != previous.background)
                sgr_diff(out, previous, cell);
            previous = cell;
            if (cell.attributes & ATTR_PASSWORD)
                out += '*';
            else if (cell.code_point == 0)
                out += ' ';
            else if (cell.code_point < 0x80)
                out += char(cell.code_point);
            else
                append_code_point(out, cell.code_point);
        }
        if (row + 1 < b.height) {
            previous.background = 0;
            out += "\033[49m\r\n";
        }
    }
    sgr_diff(out, previous, ScreenCell{});
    if (s.caret && (s.caret_column >= 0 || s.caret_row >= 0)) {
        out += '\r';
        int32_t up = b.height - (s.caret_row + 1);
        if (up > 0) append_format(out, "\033[%dA", up);
        if (s.caret_column > 0) append_format(out, "\033[%dC", s.caret_column);
        s.rows_above = s.caret_row;
    } else {
        s.rows_above = b.height - 1;
    }
}

void write_frame() {
    ScreenBuffer& b = screen();
    if (b.width < 1 || b.height < 1) return;
    // The buffer keeps its room from frame to frame.
    static std::string out;
    out.clear();
    out.reserve(2000);
    compose_frame(out);
    os().write(out);
    State& s = state();
    s.frame_drawn = true;
    s.redraw = false;
    update_leave_sequence();
}

void erase_frame() {
    State& s = state();
    if (!s.frame_drawn) return;
    std::string out = "\r";
    if (s.rows_above > 0) append_format(out, "\033[%dA", s.rows_above);
    out += "\033[0J";
    s.rows_above = 0;
    os().write(out);
    console::reset_output_column();
}

std::string end_inline_area_bytes() {
    State& s = state();
    std::string out;
    if (!s.frame_drawn || s.full_screen) return out;
    int32_t down = screen().height - 1 - s.rows_above;
    if (down >= 1) append_format(out, "\033[%dB", down);
    out += "\r\n";
    return out;
}

}  // namespace kel::gui
