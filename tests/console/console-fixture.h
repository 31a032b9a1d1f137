// Shared by the console tests: the line editor driven in-process by a
// scripted terminal whose writes go to a VT screen model, a history of
// plain strings, and UTF-8 / UTF-32 conversions.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "console/keys.h"
#include "console/line-editor.h"
#include "tests/console/vt-screen.h"

namespace kel::test {

inline std::u32string u32(std::string_view utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = uint8_t(utf8[i++]);
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more) c &= 0x3Fu >> more;
        while (more-- > 0 && i < utf8.size()) c = (c << 6) | (uint8_t(utf8[i++]) & 0x3F);
        out.push_back(char32_t(c));
    }
    return out;
}

inline std::string utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) append_utf8(out, c);
    return out;
}

// The rows from `first_row` on and the cursor are as given.
inline void expect_screen(const VtScreen& screen, int first_row, const std::vector<std::string>& rows, int cursor_row,
                          int cursor_column, const std::string& name = "") {
    for (size_t r = 0; r < rows.size(); ++r)
        EXPECT_EQ(screen.row(first_row + int(r)), rows[r]) << name << " row " << first_row + int(r);
    EXPECT_EQ(screen.cursor_row(), cursor_row) << name;
    EXPECT_EQ(screen.cursor_column(), cursor_column) << name;
    EXPECT_EQ(screen.unknown(), "") << name;
}

class Entries final : public console::History {
public:
    std::vector<std::u32string> lines;  // newest first
    int32_t count() override { return int32_t(lines.size()); }
    std::u32string entry(int32_t i) override { return lines.at(size_t(i)); }
};

// Key scripts: key codes, the characters of a text, and window resizes.
struct Step {
    int32_t key = 0;
    int resize_columns = 0;  // > 0: the window becomes this wide first
};
inline std::vector<Step> keys(std::initializer_list<int32_t> codes) {
    std::vector<Step> out;
    for (int32_t k : codes) out.push_back({k, 0});
    return out;
}
inline std::vector<Step> typed(std::string_view text) {
    std::vector<Step> out;
    for (char32_t c : u32(text)) out.push_back({int32_t(c), 0});
    return out;
}
inline std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline std::vector<Step> resize_to(int columns) { return {{0, columns}}; }

class ScriptedTerminal final : public console::EditorTerminal {
public:
    ScriptedTerminal(int rows, int columns) : screen(rows, columns), columns_(columns), rows_(rows) {}

    void script(const std::vector<Step>& steps) { steps_.assign(steps.begin(), steps.end()); }

    int32_t read_key() override {
        if (steps_.empty()) return console::key::FAILED;
        Step s = steps_.front();
        steps_.pop_front();
        if (s.resize_columns > 0) {
            columns_ = s.resize_columns;
            screen.resize(rows_of_screen(), columns_);
            resized_ = true;
            return console::key::WAKE;
        }
        return s.key;
    }
    void write(std::string_view bytes) override {
        screen.feed(bytes);
        writes.emplace_back(bytes);
    }
    int32_t columns() override { return columns_; }
    bool take_resized() override { return std::exchange(resized_, false); }
    bool take_continued() override { return false; }

    VtScreen screen;
    std::vector<std::string> writes;

private:
    int rows_of_screen() const { return rows_; }
    std::deque<Step> steps_;
    int columns_;
    int rows_;
    bool resized_ = false;
};

}  // namespace kel::test
