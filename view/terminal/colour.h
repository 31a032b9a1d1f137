// Colours and attributes of screen cells as SGR sequences, and the mapping
// of RGB colours onto the xterm 256-colour palette.
//
// A colour word is 0 (the terminal's default), 0x1000000 | n a basic colour
// (0-7 normal, 9 default, 10-17 bright; 8 reads as the default), 0x2000000 |
// n a palette colour (0-255) or 0x4000000 | 0xRRGGBB a true colour. A kind
// outside these reads as the default.
#pragma once
#include <cstdint>
#include <string>

namespace kel::gui {

inline constexpr uint32_t COLOUR_BASIC = 0x1000000;
inline constexpr uint32_t COLOUR_PALETTE = 0x2000000;
inline constexpr uint32_t COLOUR_TRUE = 0x4000000;

// Cell attribute bits.
inline constexpr uint32_t ATTR_BLINK = 0x1;
inline constexpr uint32_t ATTR_BOLD = 0x2;
inline constexpr uint32_t ATTR_DIM = 0x4;
inline constexpr uint32_t ATTR_REVERSE = 0x8;
inline constexpr uint32_t ATTR_UNDERLINE = 0x10;
inline constexpr uint32_t ATTR_STRIKE = 0x40;
inline constexpr uint32_t ATTR_ITALIC = 0x100;
inline constexpr uint32_t ATTR_CONCEAL = 0x200;
inline constexpr uint32_t ATTR_CONTINUATION = 0x400;  // covered by the wide character to its left
inline constexpr uint32_t ATTR_PASSWORD = 0x800;  // written as "*"
inline constexpr uint32_t ATTR_ESCAPES = 0x1000;  // escape sequences in the text are interpreted
inline constexpr uint32_t ATTR_NO_TEXT = 0x2000;  // the face's text is not drawn

// One character cell of the screen.
struct ScreenCell {
    uint32_t code_point = 0;  // 0 is drawn as a space
    uint32_t background = 0;
    uint32_t foreground = 0;
    uint32_t attributes = 0;
    bool operator==(const ScreenCell&) const = default;
};

// The colour word of the palette entry nearest an RGBA colour (r in the
// lowest byte, then g, b and alpha; alpha 255 is fully transparent and
// gives 0, the default colour). On a tie between the colour cube and the
// grey ramp the grey wins.
uint32_t rgb_to_256(uint32_t rgba);

// Appends one colour sequence, "\033[" code "m", for the foreground or the
// background.
void sgr_colour(std::string& out, uint32_t colour, bool fore);

// Appends the SGR sequences that change the terminal's look from one cell to
// the next: the attributes that end first, then those that begin (bold and
// dim share their off code 22, so after a 22 the one the cell keeps is put
// on again), then the foreground and the background when they change.
// Blink and conceal are not written.
void sgr_diff(std::string& out, const ScreenCell& previous, const ScreenCell& cell);

}  // namespace kel::gui
