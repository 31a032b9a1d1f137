// The screen buffer and the frame output: a grid of cells written to the
// terminal as one frame, in one write.
//
// A frame is drawn inline, in the rows below the console's output (each
// frame moves the cursor back up over the last one), or, in full-screen
// mode, from the top-left corner of the alternate screen. The rows-above
// count links one frame to the next. Frames are written whole, never as a
// difference from the previous one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "view/terminal/colour.h"

namespace kel::gui {

struct ScreenBuffer {
    int32_t width = 0, height = 0;
    std::vector<ScreenCell> cells;  // width x height in row order; grows only

    ScreenCell& at(int32_t column, int32_t row) { return cells[size_t(row) * size_t(width) + size_t(column)]; }
};

ScreenBuffer& screen();

// Sets the buffer's size from a window's extent in cells (x2 - x1 by
// y2 - y1, truncated, each at most the terminal's size); only while the
// terminal is active. Storage is reallocated only when a dimension grows.
void size_buffer(float x1, float y1, float x2, float y2);
// Every cell back to the all-zero cell.
void clear_buffer();
// Frees the buffer and zeroes the drawing state (the backend's window state
// is reset).
void reset_buffer();

// Keeps the inline drawing area on the terminal: in full-screen mode the
// origin is 0,0; else the origin row moves up when the buffer would pass the
// terminal's last row.
void keep_drawing_area();

// Composes the buffer as one frame into `out`: the start (cursor home, or a
// carriage return, the move up over the last frame and an erase), the rows
// with their SGR changes, the return to the default look and the caret's
// place. Updates the rows-above count.
void compose_frame(std::string& out);
// Composes and writes the frame in one write; marks it drawn and clears the
// redraw request. Nothing is written for a buffer below 1x1.
void write_frame();

// Takes the drawn frame off the terminal: a carriage return, the move up over
// the rows above the cursor and an erase to the end of the screen. The
// cursor is then at column 0, which the runtime's column tracker is told.
void erase_frame();

// The bytes that end the inline drawing area: the cursor moves below the
// drawn rows and to the start of a new line; empty when no frame is drawn
// inline.
std::string end_inline_area_bytes();

}  // namespace kel::gui
