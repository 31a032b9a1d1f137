// A small model of a VT terminal screen for the console and view tests:
// UTF-8 text in cells (a wide character takes its cell and the next), the
// deferred wrap of the last column, CR, LF (scrolling at the bottom row), BS,
// CAN (ends a sequence), and the sequences the console and the view backend
// write: CSI n A / B / C / D / G / H / J (0 and 2) / K, SGR (attributes and
// 16, 256 and true colours, kept per cell), the private modes ?1049 (an
// alternate screen of its own; the main one and its cursor come back),
// ?25 (cursor visibility) and the mouse modes ?1000 ?1003 ?1015 ?1006, the
// cursor-position request "\033[6n" (its answer is kept for the test to
// send back) and OSC (its title kept). Anything else is recorded as
// unknown, so a test can insist that nothing unexpected was written.
//
// A cell's look uses the view backend's words: attribute bits (bold 0x2,
// dim 0x4, reverse 0x8, underline 0x10, strike 0x40, italic 0x100) and
// colour words (0 default, 0x1000000 | n basic 0-7 and bright 10-17,
// 0x2000000 | n palette, 0x4000000 | RGB).
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "runtime/text/char-width.h"

namespace kel::test {

inline void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80)
        out += char(c);
    else if (c < 0x800)
        out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
    else if (c < 0x10000)
        out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    else
        out += char(0xF0 | (c >> 18)), out += char(0x80 | ((c >> 12) & 0x3F)), out += char(0x80 | ((c >> 6) & 0x3F)),
            out += char(0x80 | (c & 0x3F));
}

struct VtLook {
    uint32_t attributes = 0;
    uint32_t foreground = 0, background = 0;
    bool operator==(const VtLook&) const = default;
    bool operator<(const VtLook& o) const {
        return std::tie(attributes, foreground, background) < std::tie(o.attributes, o.foreground, o.background);
    }
};

class VtScreen {
public:
    static constexpr uint32_t BOLD = 0x2, DIM = 0x4, REVERSE = 0x8, UNDERLINE = 0x10, STRIKE = 0x40, ITALIC = 0x100;

    VtScreen(int rows, int columns) { resize(rows, columns); }

    void resize(int rows, int columns) {
        rows_ = rows;
        columns_ = columns;
        for (Page* p : {&main_, &alternate_}) {
            p->cells.resize(size_t(rows));
            for (auto& r : p->cells) r.resize(size_t(columns), U" ");
            p->looks.resize(size_t(rows));
            for (auto& r : p->looks) r.resize(size_t(columns));
        }
        if (row_ >= rows_) row_ = rows_ - 1;
        if (column_ >= columns_) column_ = columns_ - 1;
        wrap_pending_ = false;
    }

    void feed(std::string_view bytes) {
        for (char ch : bytes) byte(uint8_t(ch));
    }

    // Row text with trailing blanks cut; wide characters appear once.
    std::string row(int r) const {
        std::u32string s;
        for (const auto& cell : page().cells[size_t(r)]) s += cell;
        while (!s.empty() && s.back() == U' ') s.pop_back();
        std::string out;
        for (char32_t c : s) append_utf8(out, c);
        return out;
    }
    std::string text() const {
        std::string all;
        for (int r = 0; r < rows_; ++r) all += row(r) + "\n";
        return all;
    }
    int cursor_row() const { return row_; }
    int cursor_column() const { return column_; }
    int scrolled() const { return scrolled_; }
    const std::string& title() const { return title_; }
    const std::string& unknown() const { return unknown_; }

    // The character of a cell ("" for the right half of a wide one) and its
    // look; the look the next character gets.
    std::string cell(int r, int c) const {
        std::string out;
        for (char32_t ch : page().cells[size_t(r)][size_t(c)]) append_utf8(out, ch);
        return out;
    }
    VtLook look(int r, int c) const { return page().looks[size_t(r)][size_t(c)]; }
    VtLook pen() const { return pen_; }
    bool alternate_screen() const { return on_alternate_; }
    bool cursor_visible() const { return cursor_visible_; }
    // The mouse modes on (1000, 1003, 1015, 1006), as a sorted list.
    std::vector<int> mouse_modes() const { return std::vector<int>(mouse_.begin(), mouse_.end()); }
    // What the terminal answered (cursor-position reports), taken once.
    std::string take_answers() {
        std::string a;
        a.swap(answers_);
        return a;
    }

    // The text of every row between bars, then a map of the looks: under each
    // row a line with a letter per cell whose look is not the default (the
    // same letter for the same look), then one legend line per letter.
    std::string screenshot() const {
        std::map<VtLook, char> letters;
        std::string out;
        for (int r = 0; r < rows_; ++r) {
            std::string text = "|", map = " ";
            bool any = false;
            for (int c = 0; c < columns_; ++c) {
                const std::u32string& ch = page().cells[size_t(r)][size_t(c)];
                for (char32_t x : ch) append_utf8(text, x);
                VtLook l = page().looks[size_t(r)][size_t(c)];
                char letter = ' ';
                if (!(l == VtLook{})) {
                    auto it = letters.find(l);
                    if (it == letters.end()) it = letters.emplace(l, char('a' + letters.size())).first;
                    letter = it->second;
                    any = true;
                }
                map += letter;
            }
            out += text + "|\n";
            if (any) {
                while (!map.empty() && map.back() == ' ') map.pop_back();
                out += map + "\n";
            }
        }
        std::vector<std::string> legend(letters.size());
        for (const auto& [l, letter] : letters)
            legend[size_t(letter - 'a')] = std::string(1, letter) + ": " + describe(l);
        for (const std::string& line : legend) out += line + "\n";
        return out;
    }

    static std::string describe(const VtLook& l) {
        static const std::pair<uint32_t, const char*> names[] = {{BOLD, "bold"},       {DIM, "dim"},
                                                                 {REVERSE, "reverse"}, {UNDERLINE, "underline"},
                                                                 {STRIKE, "strike"},   {ITALIC, "italic"}};
        std::string out;
        for (const auto& [bit, name] : names)
            if (l.attributes & bit) out += std::string(name) + " ";
        if (l.foreground) out += "fg " + colour(l.foreground) + " ";
        if (l.background) out += "bg " + colour(l.background) + " ";
        if (!out.empty()) out.pop_back();
        return out;
    }

    static std::string colour(uint32_t word) {
        char text[32];
        uint32_t kind = word >> 24;
        if (kind == 1)
            std::snprintf(text, sizeof text, "basic %u", word & 0xFF);
        else if (kind == 2)
            std::snprintf(text, sizeof text, "%u", word & 0xFF);
        else
            std::snprintf(text, sizeof text, "#%06X", word & 0xFFFFFF);
        return text;
    }

private:
    enum class State { TEXT, ESCAPE, CSI, OSC, OSC_ESCAPE };

    struct Page {
        std::vector<std::vector<std::u32string>> cells;
        std::vector<std::vector<VtLook>> looks;
    };
    Page& page() { return on_alternate_ ? alternate_ : main_; }
    const Page& page() const { return on_alternate_ ? alternate_ : main_; }

    void line_feed() {
        if (row_ + 1 < rows_) {
            ++row_;
            return;
        }
        Page& p = page();
        p.cells.erase(p.cells.begin());
        p.cells.emplace_back(size_t(columns_), U" ");
        p.looks.erase(p.looks.begin());
        p.looks.emplace_back(size_t(columns_));
        ++scrolled_;
    }

    void erase(int r, int from) {
        for (int c = from; c < columns_; ++c) {
            page().cells[size_t(r)][size_t(c)] = U" ";
            page().looks[size_t(r)][size_t(c)] = VtLook{};
        }
    }

    // One colour from the SGR parameters at i (38/48 forms move i on).
    uint32_t extended_colour(size_t& i) const {
        if (i + 2 < params_.size() && params_[i + 1] == 5) {
            i += 2;
            return 0x2000000u | uint32_t(params_[i] & 0xFF);
        }
        if (i + 4 < params_.size() && params_[i + 1] == 2) {
            uint32_t rgb =
                uint32_t((params_[i + 2] & 0xFF) << 16 | (params_[i + 3] & 0xFF) << 8 | (params_[i + 4] & 0xFF));
            i += 4;
            return 0x4000000u | rgb;
        }
        i = params_.size();
        return 0;
    }

    void sgr() {
        for (size_t i = 0; i < params_.size(); ++i) {
            int p = params_[i];
            switch (p) {
            case 0:
                pen_ = VtLook{};
                break;
            case 1:
                pen_.attributes |= BOLD;
                break;
            case 2:
                pen_.attributes |= DIM;
                break;
            case 3:
                pen_.attributes |= ITALIC;
                break;
            case 4:
                pen_.attributes |= UNDERLINE;
                break;
            case 7:
                pen_.attributes |= REVERSE;
                break;
            case 9:
                pen_.attributes |= STRIKE;
                break;
            case 22:
                pen_.attributes &= ~(BOLD | DIM);
                break;
            case 23:
                pen_.attributes &= ~ITALIC;
                break;
            case 24:
                pen_.attributes &= ~UNDERLINE;
                break;
            case 27:
                pen_.attributes &= ~REVERSE;
                break;
            case 29:
                pen_.attributes &= ~STRIKE;
                break;
            case 38:
                pen_.foreground = extended_colour(i);
                break;
            case 39:
                pen_.foreground = 0;
                break;
            case 48:
                pen_.background = extended_colour(i);
                break;
            case 49:
                pen_.background = 0;
                break;
            default:
                if (p >= 30 && p <= 37)
                    pen_.foreground = 0x1000000u | uint32_t(p - 30);
                else if (p >= 40 && p <= 47)
                    pen_.background = 0x1000000u | uint32_t(p - 40);
                else if (p >= 90 && p <= 97)
                    pen_.foreground = 0x1000000u | uint32_t(p - 90 + 10);
                else if (p >= 100 && p <= 107)
                    pen_.background = 0x1000000u | uint32_t(p - 100 + 10);
                else
                    unknown_ += "SGR " + std::to_string(p) + " ";
            }
        }
    }

    void private_mode(char final) {
        bool on = final == 'h';
        for (int p : params_) {
            if (p == 1049) {
                if (on == on_alternate_) continue;
                if (on) {
                    saved_row_ = row_, saved_column_ = column_;
                    on_alternate_ = true;
                    for (int r = 0; r < rows_; ++r) erase(r, 0);
                } else {
                    on_alternate_ = false;
                    row_ = saved_row_, column_ = saved_column_;
                }
            } else if (p == 25) {
                cursor_visible_ = on;
            } else if (p == 1000 || p == 1003 || p == 1015 || p == 1006) {
                mouse_.erase(std::remove(mouse_.begin(), mouse_.end(), p), mouse_.end());
                if (on) {
                    mouse_.push_back(p);
                    std::sort(mouse_.begin(), mouse_.end());
                }
            } else {
                unknown_ += "CSI ?" + std::to_string(p) + final + " ";
            }
        }
    }

    void put(char32_t c) {
        int w = unicode::char_width(c);
        if (w == 0) return;
        if (wrap_pending_ || (w == 2 && column_ == columns_ - 1)) {
            column_ = 0;
            line_feed();
            wrap_pending_ = false;
        }
        page().cells[size_t(row_)][size_t(column_)] = std::u32string(1, c);
        page().looks[size_t(row_)][size_t(column_)] = pen_;
        if (w == 2) {
            page().cells[size_t(row_)][size_t(column_ + 1)] = U"";
            page().looks[size_t(row_)][size_t(column_ + 1)] = pen_;
        }
        column_ += w;
        if (column_ >= columns_) {
            column_ = columns_ - 1;
            wrap_pending_ = true;
        }
    }

    int param(size_t i, int fallback) const {
        if (i >= params_.size() || params_[i] == 0) return fallback;
        return params_[i];
    }

    void csi(char final) {
        if (private_) {
            if (final == 'h' || final == 'l')
                private_mode(final);
            else
                unknown_ += std::string("CSI ? ") + final + " ";
            return;
        }
        if (final == 'm') return sgr();
        wrap_pending_ = false;
        int n = param(0, 1);
        switch (final) {
        case 'A':
            row_ = std::max(0, row_ - n);
            break;
        case 'B':
            row_ = std::min(rows_ - 1, row_ + n);
            break;
        case 'C':
            column_ = std::min(columns_ - 1, column_ + n);
            break;
        case 'D':
            column_ = std::max(0, column_ - n);
            break;
        case 'G':
            column_ = std::min(columns_ - 1, n - 1);
            break;
        case 'H':
            row_ = std::min(rows_ - 1, param(0, 1) - 1);
            column_ = std::min(columns_ - 1, param(1, 1) - 1);
            break;
        case 'J':
            if (params_[0] == 2) {
                for (int r = 0; r < rows_; ++r) erase(r, 0);
                break;
            }
            erase(row_, column_);
            for (int r = row_ + 1; r < rows_; ++r) erase(r, 0);
            break;
        case 'K':
            erase(row_, column_);
            break;
        case 'n':
            if (params_[0] == 6) {
                answers_ += "\033[" + std::to_string(row_ + 1) + ";" + std::to_string(column_ + 1) + "R";
                break;
            }
            unknown_ += "CSI n ";
            break;
        default:
            unknown_ += std::string("CSI ") + final + " ";
            break;
        }
    }

    void byte(uint8_t b) {
        if (b == 0x18) {  // CAN ends any sequence and shows nothing
            state_ = State::TEXT;
            more_ = 0;
            return;
        }
        switch (state_) {
        case State::ESCAPE:
            if (b == '[') {
                state_ = State::CSI;
                params_.assign(1, 0);
                private_ = false;
            } else if (b == ']') {
                state_ = State::OSC;
                osc_.clear();
            } else {
                unknown_ += "ESC " + std::string(1, char(b)) + " ";
                state_ = State::TEXT;
            }
            return;
        case State::CSI:
            if (b >= '0' && b <= '9')
                params_.back() = params_.back() * 10 + (b - '0');
            else if (b == ';')
                params_.push_back(0);
            else if (b == '?')
                private_ = true;
            else if (b >= 0x40 && b <= 0x7E) {
                state_ = State::TEXT;
                csi(char(b));
            }
            return;
        case State::OSC:
            if (b == 7) {
                state_ = State::TEXT;
                if (osc_.rfind("2;", 0) == 0) title_ = osc_.substr(2);
            } else if (b == 27) {
                state_ = State::OSC_ESCAPE;
            } else {
                osc_ += char(b);
            }
            return;
        case State::OSC_ESCAPE:
            state_ = State::TEXT;
            if (osc_.rfind("2;", 0) == 0) title_ = osc_.substr(2);
            return;
        case State::TEXT:
            break;
        }
        if (more_ > 0) {
            if ((b & 0xC0) == 0x80) {
                code_ = (code_ << 6) | (b & 0x3F);
                if (--more_ == 0) put(code_);
                return;
            }
            more_ = 0;
            put(0xFFFD);
        }
        if (b == 27)
            state_ = State::ESCAPE;
        else if (b == '\r')
            column_ = 0, wrap_pending_ = false;
        else if (b == '\n')
            line_feed(), wrap_pending_ = false;
        else if (b == 8)
            column_ = std::max(0, column_ - 1), wrap_pending_ = false;
        else if (b == 7) {
        } else if (b < 0x20 || b == 0x7F)
            unknown_ += "C0 " + std::to_string(b) + " ";
        else if (b < 0x80)
            put(b);
        else if ((b & 0xE0) == 0xC0)
            code_ = b & 0x1F, more_ = 1;
        else if ((b & 0xF0) == 0xE0)
            code_ = b & 0x0F, more_ = 2;
        else if ((b & 0xF8) == 0xF0)
            code_ = b & 0x07, more_ = 3;
        else
            put(0xFFFD);
    }

    int rows_ = 0, columns_ = 0;
    int row_ = 0, column_ = 0;
    bool wrap_pending_ = false;
    int scrolled_ = 0;
    Page main_, alternate_;
    bool on_alternate_ = false;
    int saved_row_ = 0, saved_column_ = 0;
    VtLook pen_;
    bool cursor_visible_ = true;
    std::vector<int> mouse_;
    std::string answers_;
    bool private_ = false;
    State state_ = State::TEXT;
    std::vector<int> params_;
    std::string osc_, title_, unknown_;
    char32_t code_ = 0;
    int more_ = 0;
};

}  // namespace kel::test
