// The column the terminal cursor stands in after everything the runtime has
// written: the cells written since the last line feed (or carriage return),
// counted by display width. Escape sequences (CSI, OSC and two-byte escapes)
// take no cells, a TAB moves to the next multiple of 8, a backspace steps one
// cell back. The line editor takes the prompt's start column from it, so
// nothing has to ask the terminal where its cursor is.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::console {

class ColumnTracker {
public:
    // Feeds written bytes; sequences may be split anywhere between calls.
    void feed(const uint8_t* data, size_t size);
    int64_t column() const { return column_; }
    void reset() { *this = ColumnTracker{}; }

private:
    enum class State : uint8_t { TEXT, ESCAPE, CSI, OSC, OSC_ESCAPE };
    void add_code_point(uint32_t cp);
    int64_t column_ = 0;
    State state_ = State::TEXT;
    uint32_t code_point_ = 0;
    int32_t continuation_ = 0;  // UTF-8 continuation bytes still expected
};

}  // namespace kel::console
