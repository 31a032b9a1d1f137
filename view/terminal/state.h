// The terminal backend's state shared by its parts (one instance for the
// process): the terminal's modes, its size, the inline drawing area and the
// requests between input, drawing and output.
#pragma once
#include <cstdint>

namespace kel::gui {

struct State {
    int32_t colour_depth = 4;  // 4 true colour, 2 the 256-colour palette

    // The terminal's modes.
    bool active = false;  // raw mode and the backend's modes are on
    bool cursor_hidden = false;
    bool alternate_screen = false;
    bool full_screen = false;  // a window asked for the whole screen
    bool mouse = false;  // mouse reporting is on
    int32_t width = 80, height = 24;  // the terminal's size in cells

    // The inline drawing area: where it starts (0-based), from the last
    // cursor-position answer, and the cursor-position requests not answered
    // yet.
    int32_t origin_row = 0, origin_column = 0;
    int32_t unanswered_queries = 0;

    // Drawing: how many drawn rows lie above the cursor after the last frame,
    // whether a frame is on screen, and the redraw request.
    int32_t rows_above = 0;
    bool frame_drawn = false;
    bool redraw = false;
    // Clicks: 0 none, 2 after a click, 10 after a double click; the
    // milliseconds since the last release (a second click within 500 makes a
    // double click; the count stops at 800).
    int32_t click_state = 0;
    int32_t double_click_ms = 0;
    // The caret: whether the focused widget shows one, and where.
    bool caret = false;
    int32_t caret_column = 0, caret_row = 0;
};

State& state();

}  // namespace kel::gui
