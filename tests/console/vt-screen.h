// A small model of a VT terminal screen for the console tests: UTF-8 text
// in cells (a wide character takes its cell and the next), the deferred
// wrap of the last column, CR, LF (scrolling at the bottom row), BS, and
// the sequences the console writes: CSI n A / B / C / D / G / H / J / K,
// SGR (ignored) and OSC (its title kept). Anything else is recorded as
// unknown, so a test can insist that nothing unexpected was written.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
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

class VtScreen {
public:
    VtScreen(int rows, int columns) { resize(rows, columns); }

    void resize(int rows, int columns) {
        rows_ = rows;
        columns_ = columns;
        cells_.resize(size_t(rows));
        for (auto& r : cells_) r.resize(size_t(columns), U" ");
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
        for (const auto& cell : cells_[size_t(r)]) s += cell;
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

private:
    enum class State { TEXT, ESCAPE, CSI, OSC, OSC_ESCAPE };

    void line_feed() {
        if (row_ + 1 < rows_) {
            ++row_;
            return;
        }
        cells_.erase(cells_.begin());
        cells_.emplace_back(size_t(columns_), U" ");
        ++scrolled_;
    }

    void put(char32_t c) {
        int w = unicode::char_width(c);
        if (w == 0) return;
        if (wrap_pending_ || (w == 2 && column_ == columns_ - 1)) {
            column_ = 0;
            line_feed();
            wrap_pending_ = false;
        }
        cells_[size_t(row_)][size_t(column_)] = std::u32string(1, c);
        if (w == 2) cells_[size_t(row_)][size_t(column_ + 1)] = U"";
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
            for (int c = column_; c < columns_; ++c) cells_[size_t(row_)][size_t(c)] = U" ";
            for (int r = row_ + 1; r < rows_; ++r)
                for (auto& cell : cells_[size_t(r)]) cell = U" ";
            break;
        case 'K':
            for (int c = column_; c < columns_; ++c) cells_[size_t(row_)][size_t(c)] = U" ";
            break;
        case 'm':
            break;
        default:
            unknown_ += std::string("CSI ") + final + " ";
            break;
        }
    }

    void byte(uint8_t b) {
        switch (state_) {
        case State::ESCAPE:
            if (b == '[') {
                state_ = State::CSI;
                params_.assign(1, 0);
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
    std::vector<std::vector<std::u32string>> cells_;
    State state_ = State::TEXT;
    std::vector<int> params_;
    std::string osc_, title_, unknown_;
    char32_t code_ = 0;
    int more_ = 0;
};

}  // namespace kel::test
