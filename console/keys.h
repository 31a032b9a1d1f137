// Key codes of the line editor, decoded from the bytes a terminal sends.
//
// A character key gives its code point (UTF-8 decoded; invalid bytes give
// U+FFFD). Control keys give their control code (Ctrl-A 1 ... Ctrl-Z 26,
// TAB 9, Backspace 127 or 8); Enter gives 13, and a line feed does too.
// Escape sequences, with any modifier parameters ignored:
//   CSI or SS3 A/B/C/D   Up -20, Down -21, Right -22, Left -23
//   CSI or SS3 H, CSI 1~ 7~   Home -25;  F, 4~ 8~   End -24
//   CSI 2~ Insert -26, 3~ Delete -27, 5~ Page Up -28, 6~ Page Down -29
// and any other sequence 0. An ESC that nothing follows within
// ESCAPE_WAIT_MS is the Esc key (27); an ESC followed by a character is that
// character.
#pragma once
#include <cstdint>

#include "runtime/platform/input-reader.h"

namespace kel::console {

namespace key {
inline constexpr int32_t FAILED = -1;  // the input ended or failed
inline constexpr int32_t UP = -20, DOWN = -21, RIGHT = -22, LEFT = -23;
inline constexpr int32_t END = -24, HOME = -25, INSERT = -26, DELETE = -27;
inline constexpr int32_t PAGE_UP = -28, PAGE_DOWN = -29;
inline constexpr int32_t UNKNOWN = 0;
// A signal interrupted the wait for a key (window size, continue): the
// caller looks at the terminal's flags and asks again.
inline constexpr int32_t WAKE = -100;
inline constexpr int32_t ENTER = 13, ESC = 27, TAB = 9;
}  // namespace key

inline constexpr int32_t ESCAPE_WAIT_MS = 40;

// Reads one key from the reader.
int32_t read_key(InputReader& input);

}  // namespace kel::console
