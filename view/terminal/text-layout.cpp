#include "view/terminal/text-layout.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/types.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/string.h"
#include "runtime/text/char-width.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/screen.h"

namespace kel::gui {

namespace {

constexpr uint32_t ESC = 0x1B;

int32_t width_of(uint32_t cp) {
    if (cp >= 0x20 && cp < 0x7F) return 1;  // most text: no table look-up
    return std::max(0, unicode::char_width(cp));
}

// The attribute bit of an SGR code 1-9 (21-29 clears it); 0 for 6 and
// codes outside.
uint32_t sgr_attribute(int32_t code) {
    static constexpr uint32_t BITS[] = {0,          ATTR_BOLD, ATTR_DIM,     ATTR_ITALIC,  ATTR_UNDERLINE,
                                        ATTR_BLINK, 0,         ATTR_REVERSE, ATTR_CONCEAL, ATTR_STRIKE};
    return code >= 1 && code <= 9 ? BITS[code] : 0;
}

// The style bits and the password bit are no look: a reset keeps them, so
// that an escape sequence inside a password cannot show its characters.
constexpr uint32_t KEPT_BY_RESET = ATTR_PASSWORD | ATTR_ESCAPES | ATTR_NO_TEXT;

void apply_sgr(int32_t code, EscapeState& s) {
    if (code == 0) {
        s.foreground = s.background = 0;
        s.attributes &= KEPT_BY_RESET;
    } else if (code >= 1 && code <= 9) {
        s.attributes |= sgr_attribute(code);
    } else if (code == 22) {
        s.attributes &= ~(ATTR_BOLD | ATTR_DIM);  // normal intensity ends both
    } else if (code >= 21 && code <= 29) {
        s.attributes &= ~sgr_attribute(code - 20);
    } else if ((code >= 30 && code <= 37) || code == 39) {
        s.foreground = COLOUR_BASIC | uint32_t(code - 30);
    } else if ((code >= 40 && code <= 47) || code == 49) {
        s.background = COLOUR_BASIC | uint32_t(code - 40);
    } else if (code >= 90 && code <= 97) {
        s.foreground = COLOUR_BASIC | uint32_t(code - 80);
    } else if (code >= 100 && code <= 107) {
        s.background = COLOUR_BASIC | uint32_t(code - 90);
    }
}

// The one walk of a laid-out text. Cells are written only inside the
// clip, which lies inside the buffer. `at(i)` gives the code point and
// `put(i, column, row, state)` writes the cell of character i; `escapes`
// says whether escape sequences are read. Lines above the clip are walked
// the same way without writing, so their escape sequences and wrapping
// count.
template <typename At, typename Put>
void walk_layout(size_t n, At at, Put put, std::u32string_view escapes_text, int32_t x, int32_t y, const ClipRect& clip,
                 const RenderStyle& style) {
    const bool wrap = style.para & PARA_WRAP;
    const bool escapes = !escapes_text.empty() && (style.attributes & ATTR_ESCAPES);
    const int32_t left = std::max(clip.x1, x);
    EscapeState look{style.foreground, style.background, style.attributes};
    int32_t line = y, col = x;
    size_t i = 0;
    while (i < n && line < clip.y2) {
        uint32_t cp = at(i);
        if (cp == '\n') {
            ++line;
            col = x;
            ++i;
            continue;
        }
        if (escapes && cp == ESC) {
            if (int32_t used = text_escape(escapes_text, i, look)) {
                i += size_t(used);
                continue;
            }
        }
        int32_t wd = width_of(cp);
        if (wd == 0) {
            ++i;
            continue;
        }
        if (col < left) {
            col += wd;
            ++i;
            continue;
        }
        if (col + wd <= clip.x2) {
            if (line >= clip.y1) put(i, col, line, look);
            col += wd;
            ++i;
            continue;
        }
        // The character does not fit in what is left of the line.
        if (wrap) {
            if (col == x) {
                ++i;  // wider than the whole line: it is never drawn
                continue;
            }
            ++line;
            col = x;
            continue;
        }
        while (i < n && at(i) != '\n') ++i;
    }
}

void mark_continuation(ScreenBuffer& b, int32_t column, int32_t row, int32_t wd, const ClipRect& clip) {
    for (int32_t k = 1; k < wd && column + k < clip.x2; ++k) b.at(column + k, row).attributes = ATTR_CONTINUATION;
}

// The clip cut at the buffer's edges.
ClipRect within_buffer(const ClipRect& clip) {
    ScreenBuffer& b = screen();
    return ClipRect{std::max(clip.x1, 0), std::max(clip.y1, 0), std::min(clip.x2, b.width),
                    std::min(clip.y2, b.height)};
}

// A size's axis as a width limit: pair or point2D, truncated; 0 (no limit)
// for anything else or a value below 1.
int32_t limit_of(const Cell& size) {
    double v = 0;
    if (type_of(size) == TYPE_PAIR) v = pair::x_of(size);
    if (type_of(size) == TYPE_POINT2D) v = point::axis(size, 0);
    return v >= 1 ? to_cells(v) : 0;
}

// Where each character starts when the text wraps at `limit` (0: no
// limit): a character that does not fit moves to the next line.
struct Placed {
    int32_t column = 0, line = 0, width = 0;
};
template <typename Visit>
void walk_wrapped(std::u32string_view text, int32_t limit, Visit visit) {
    int32_t col = 0, line = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp == '\n') {
            if (!visit(i, Placed{col, line, 0})) return;
            ++line;
            col = 0;
            continue;
        }
        int32_t wd = width_of(cp);
        if (limit > 0 && col > 0 && col + wd > limit) {
            ++line;
            col = 0;
        }
        if (!visit(i, Placed{col, line, wd})) return;
        col += wd;
    }
}

}  // namespace

int32_t to_cells(double v) {
    if (v != v) return 0;
    if (v <= -1e9) return -1000000000;
    if (v >= 1e9) return 1000000000;
    return int32_t(v);
}

int32_t text_length(const Cell& str) { return std::max(0, string::ks_abs_length(str) - int32_t(str.data1)); }

std::u32string text_of(const Cell& str) {
    std::u32string out;
    text_into(str, out);
    return out;
}

void text_into(const Cell& str, std::u32string& out) {
    out.clear();
    if (type_of(str) != TYPE_STRING && type_of(str) != TYPE_FILE && type_of(str) != TYPE_URL &&
        type_of(str) != TYPE_TAG && type_of(str) != TYPE_EMAIL)
        return;
    int32_t head = int32_t(str.data1), end = string::ks_abs_length(str);
    if (head >= end) return;
    out.resize(size_t(end - head));
    // The units read straight from the buffer: nothing here allocates.
    const SeriesBuffer* b = string::buffer(str);
    const uint8_t* p = b->data() + b->offset;
    uint32_t unit = b->unit();
    for (int32_t i = head; i < end; ++i) {
        uint32_t cp;
        if (unit == 1) {
            cp = p[i];
        } else if (unit == 2) {
            uint16_t v;
            std::memcpy(&v, p + size_t(i) * 2, 2);
            cp = v;
        } else {
            std::memcpy(&cp, p + size_t(i) * 4, 4);
        }
        out[size_t(i - head)] = char32_t(cp);
    }
}

void layout_text(std::u32string_view text, int32_t x, int32_t y, const ClipRect& given, const RenderStyle& style) {
    ClipRect clip = within_buffer(given);
    if (clip.empty()) return;
    ScreenBuffer& b = screen();
    walk_layout(
        text.size(), [&](size_t i) { return uint32_t(text[i]); },
        [&](size_t i, int32_t column, int32_t row, const EscapeState& look) {
            ScreenCell& c = b.at(column, row);
            c.code_point = text[i];
            c.foreground = look.foreground;
            c.attributes = look.attributes;
            mark_continuation(b, column, row, width_of(text[i]), clip);
        },
        text, x, y, clip, style);
}

void layout_cells(const CellRun& cells, int32_t x, int32_t y, const ClipRect& given, const RenderStyle& style) {
    ClipRect clip = within_buffer(given);
    if (clip.empty()) return;
    ScreenBuffer& b = screen();
    walk_layout(
        cells.size(), [&](size_t i) { return cells[i].code_point; },
        [&](size_t i, int32_t column, int32_t row, const EscapeState&) {
            ScreenCell& c = b.at(column, row);
            c.code_point = cells[i].code_point;
            c.foreground = cells[i].foreground;
            c.background = cells[i].background;
            c.attributes = cells[i].attributes | style.attributes;
            mark_continuation(b, column, row, width_of(cells[i].code_point), clip);
        },
        std::u32string_view{}, x, y, clip, style);
}

int32_t text_escape(std::u32string_view text, size_t position, EscapeState& state) {
    if (position + 1 >= text.size() || text[position] != ESC || text[position + 1] != '[') return 0;
    int32_t params[3] = {0, 0, 0};
    int32_t count = 0, current = -1;
    auto push = [&] {
        if (count == 3) count = 0;  // a fourth parameter starts a new group
        params[count++] = current < 0 ? 0 : current;
        current = -1;
    };
    for (size_t i = position + 2; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= '0' && c <= '9') {
            current = std::min(current < 0 ? 0 : current, 99999) * 10 + int32_t(c - '0');
            current = std::min(current, 999999);
            continue;
        }
        if (c == ';') {
            push();
            continue;
        }
        if (c == 'm') {
            if (current >= 0) push();
            if (count == 3 && (params[0] == 38 || params[0] == 48) && params[1] == 5) {
                uint32_t colour = COLOUR_PALETTE | uint32_t(params[2] & 0xFF);
                (params[0] == 38 ? state.foreground : state.background) = colour;
            } else {
                for (int32_t k = 0; k < count; ++k) apply_sgr(params[k], state);
            }
        }
        // "m", the cursor and erase commands (read, no effect) and any other
        // character end the sequence.
        return int32_t(i - position + 1);
    }
    return 0;  // the text ends inside the sequence
}

TextMeasure measure_text(std::u32string_view text, int32_t limit) {
    TextMeasure m;
    int32_t running = 0, last = 0;
    for (size_t i = 0; i < text.size() && running < limit; ++i) {
        uint32_t cp = text[i];
        if (cp == '\n') {
            ++m.lines;
            running = 0;
            last = 0;
            continue;
        }
        last = width_of(cp);
        running += last;
        ++m.count;
        m.width = std::max(m.width, running);
    }
    if (m.width > limit && m.count > 0) {
        m.width -= last;
        --m.count;
    }
    return m;
}

TextSize text_size(std::u32string_view text, int32_t max_width) {
    TextSize s;
    int32_t line = 0;
    for (uint32_t cp : text) {
        if (cp == '\n') {
            ++s.lines;
            line = 0;
            continue;
        }
        int32_t wd = width_of(cp);
        if (max_width > 0 && line + wd > max_width) {
            if (line == 0) break;  // wider than the limit
            ++s.lines;
            line = 0;
        }
        line += wd;
        s.width = std::max(s.width, line);
    }
    return s;
}

CellOffset align_text(std::u32string_view text, int32_t width, int32_t height, uint32_t para) {
    CellOffset o;
    if (para == 0) return o;
    TextSize s = text_size(text, std::max(width, 0));
    if (s.width < width) {
        if (para & PARA_CENTER)
            o.x = (width - s.width) / 2;
        else if (para & PARA_RIGHT)
            o.x = width - s.width;
    }
    if (s.lines < height) {
        if (para & PARA_MIDDLE)
            o.y = (height - s.lines) / 2;
        else if (para & PARA_BOTTOM)
            o.y = height - s.lines;
    }
    return o;
}

uint32_t para_flags(const Cell& para) {
    if (type_of(para) != TYPE_OBJECT) return 0;
    uint32_t flags = 0;
    Cell align = para_field(para, ParaField::align);
    if (is_word(align, "center")) flags |= PARA_CENTER;
    if (is_word(align, "right")) flags |= PARA_RIGHT;
    Cell v_align = para_field(para, ParaField::v_align);
    if (is_word(v_align, "middle")) flags |= PARA_MIDDLE;
    if (is_word(v_align, "bottom")) flags |= PARA_BOTTOM;
    Cell wrap = para_field(para, ParaField::wrap);
    if (type_of(wrap) == TYPE_LOGIC && wrap.data1 != 0) flags |= PARA_WRAP;
    return flags;
}

Cell get_text_size(const Cell& text) {
    TextSize s = text_size(text_of(text), 0);
    return point::make2(float(s.width), float(s.lines));
}

Cell text_box_metrics(const Cell& face, const Cell& arg, int32_t type) {
    std::u32string text = text_of(facet(face, Facet::text));
    int32_t limit = limit_of(facet(face, Facet::size));
    switch (type) {
    case 0:
    case 6: {
        int32_t wanted = type_of(arg) == TYPE_INTEGER ? cell_integer(arg) : 0;
        Placed last;
        int32_t walked = 0;
        walk_wrapped(text, limit, [&](size_t, Placed p) {
            if (walked >= wanted) return false;
            ++walked;
            last = p;
            return true;
        });
        if (type == 0) return point::make2(float(last.column), float(last.line));
        if (walked == 0) return point::make2(0, 1);
        return point::make2(float(last.column + last.width), float(last.line + 1));
    }
    case 1:
    case 5: {
        int32_t px = 0, py = 0;
        if (type_of(arg) == TYPE_PAIR) {
            px = pair::x_of(arg);
            py = pair::y_of(arg);
        } else if (type_of(arg) == TYPE_POINT2D) {
            px = to_cells(point::axis(arg, 0));
            py = to_cells(point::axis(arg, 1));
        }
        int32_t reached = -1;
        walk_wrapped(text, limit, [&](size_t i, Placed p) {
            // The line feed ends the point's line: a point past the line's
            // end reaches it.
            bool ends_line = text[i] == '\n' && p.line == py;
            if (p.line > py || (p.line == py && p.column >= px) || ends_line) {
                reached = int32_t(i) + 1;
                return false;
            }
            return true;
        });
        int32_t n = int32_t(text.size());
        if (reached < 0) return make_integer(type == 5 ? std::max(n, 1) : n + 1);
        return make_integer(reached);
    }
    case 2:
        return float_::make_cell(1.0);
    case 3: {
        TextSize s = text_size(text, limit);
        return point::make2(float(s.width), float(s.lines));
    }
    default:
        return make_integer(text_size(text, limit).lines);
    }
}

int32_t utf16_length(const Cell& text, int32_t start, int32_t length, int32_t step) {
    if (type_of(text) != TYPE_STRING || string::buffer(text)->unit() != 4) return length;
    int32_t head = int32_t(text.data1), end_of_text = string::ks_abs_length(text);
    int32_t result = length, end = start + length;
    for (int32_t i = start; i < end && head + i < end_of_text; ++i) {
        if (i < 0) continue;
        if (string::get_char_at(text, head + i) > 0xFFFF) {
            result += step;
            if (step < 0) --end;
        }
    }
    return result;
}

}  // namespace kel::gui
