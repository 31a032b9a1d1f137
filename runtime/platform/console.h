// Console output: every text the runtime prints leaves the process here.
//
// Strings arrive in the runtime's three string units (1-byte Latin-1, 2-byte
// UCS-2, 4-byte UCS-4) or as NUL-terminated byte strings. All of them are
// written to standard output as UTF-8 with write(2), staged in a 1,024-byte
// output buffer that is empty again when a writer returns. Escape sequences
// pass through untouched: the terminal carries them out. A line ends with LF.
#pragma once
#include <sys/types.h>
#include <cstddef>
#include <cstdint>

namespace kel::console {

inline constexpr size_t OUTPUT_BUFFER_SIZE = 1024;
// Pending bytes are written once there are more than this many; it leaves
// room for one more encoded code point and the line end.
inline constexpr size_t FLUSH_LIMIT = 1020;
inline constexpr size_t NUMBER_BUFFER_SIZE = 64;

// Empties the output buffer and sets the console flag: whether standard output
// is a terminal. The flag reads true until this runs.
void init();
bool is_console();

// Text of `size` bytes in units of `unit` bytes; a trailing partial unit is
// ignored. With `newline`, a line end follows.
void write_units(const void* text, size_t size, uint32_t unit, bool newline);
// The UTF-8 writer behind every string printer. A unit other than 1, 2 or 4
// ends the process with status 101.
void write_utf8(const void* text, size_t size, uint32_t unit, bool newline);

void print_latin1(const void* text, size_t size);
void print_line_latin1(const void* text, size_t size);
void print_ucs2(const void* text, size_t size);
void print_line_ucs2(const void* text, size_t size);
void print_ucs4(const void* text, size_t size);
void print_line_ucs4(const void* text, size_t size);

// Writes the bytes unchanged, then hands them to the raw output hooks.
// Returns the text. A null text prints nothing.
const char* print_c_string(const char* text);

// The 64-byte buffer into which the number printers format.
char* number_buffer();
// Writes the first `count` bytes of the number buffer, then hands them to the
// raw output hooks.
void print_number_buffer(size_t count);

// Cells written on the current line so far: the display width of what
// followed the last line feed or carriage return, escape sequences taking
// none (runtime/platform/output-column.h). The line editor's prompt starts
// in this column.
int64_t output_column();
// The terminal itself moved the cursor to the start of a line (its echo of
// a line typed in canonical mode).
void reset_output_column();

// The errno of the first write to standard output that failed (EIO for a
// write that wrote nothing), 0 while every write succeeded. The bytes of a
// failed write are dropped; `end_process` turns a normal end into
// OUTPUT_FAILED when this is set.
int output_failure();
void forget_output_failure();  // tests

// The function that receives every flushed chunk, with standard output's
// descriptor. A test seam: nullptr restores write(2).
using Writer = ssize_t (*)(int fd, const void* data, size_t size);
void set_writer(Writer writer);

}  // namespace kel::console
