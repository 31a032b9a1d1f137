#include "view/terminal/colour.h"

namespace kel::gui {

namespace {

// The xterm palette's colour for an index.
void palette_rgb(uint32_t index, int32_t& r, int32_t& g, int32_t& b) {
    static const uint8_t system[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                          {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    static const int32_t levels[6] = {0, 95, 135, 175, 215, 255};
    if (index < 16) {
        r = system[index][0], g = system[index][1], b = system[index][2];
    } else if (index < 232) {
        uint32_t i = index - 16;
        r = levels[i / 36], g = levels[(i / 6) % 6], b = levels[i % 6];
    } else {
        r = g = b = int32_t(8 + 10 * (index - 232));
    }
}

int32_t level(int32_t c) { return c < 48 ? 0 : c <= 114 ? 1 : (c - 35) / 40; }

int32_t distance(int32_t r, int32_t g, int32_t b, uint32_t index) {
    int32_t pr, pg, pb;
    palette_rgb(index, pr, pg, pb);
    return (r - pr) * (r - pr) + (g - pg) * (g - pg) + (b - pb) * (b - pb);
}

void append_code(std::string& out, const char* code) {
    out += "\033[";
    out += code;
    out += 'm';
}

// The decimal digits of a number from 0 to 999 (frames write thousands of
// colour codes: no formatting call for each).
void append_decimal(std::string& out, uint32_t n) {
    if (n >= 100) out += char('0' + n / 100);
    if (n >= 10) out += char('0' + n / 10 % 10);
    out += char('0' + n % 10);
}

void append_number(std::string& out, int32_t n) {
    out += "\033[";
    append_decimal(out, uint32_t(n));
    out += 'm';
}

}  // namespace

uint32_t rgb_to_256(uint32_t rgba) {
    if ((rgba >> 24) == 255) return 0;
    int32_t r = int32_t(rgba & 0xFF), g = int32_t((rgba >> 8) & 0xFF), b = int32_t((rgba >> 16) & 0xFF);
    uint32_t cube = uint32_t(16 + 36 * level(r) + 6 * level(g) + level(b));
    int32_t average = (r + g + b) / 3;
    int32_t step = average > 238 ? 23 : (average - 3) / 10;
    uint32_t grey = uint32_t(232 + step);
    return COLOUR_PALETTE | (distance(r, g, b, cube) < distance(r, g, b, grey) ? cube : grey);
}

void sgr_colour(std::string& out, uint32_t colour, bool fore) {
    uint32_t kind = colour >> 24;
    if (kind == 1) {
        uint32_t n = colour & 0xFFFFFF;
        if (n <= 7) return append_number(out, int32_t((fore ? 30 : 40) + n));
        if (n >= 10 && n <= 17) return append_number(out, int32_t((fore ? 90 : 100) + n - 10));
    } else if (kind == 2 || kind == 4) {
        out += fore ? "\033[38;" : "\033[48;";
        if (kind == 2) {
            out += "5;";
            append_decimal(out, colour & 0xFF);
        } else {
            out += "2;";
            append_decimal(out, (colour >> 16) & 0xFF);
            out += ';';
            append_decimal(out, (colour >> 8) & 0xFF);
            out += ';';
            append_decimal(out, colour & 0xFF);
        }
        out += 'm';
        return;
    }
    // The default colour: also basic 8 and unknown kinds, which a full reset
    // would answer with attributes the diff no longer tracks.
    append_code(out, fore ? "39" : "49");
}

void sgr_diff(std::string& out, const ScreenCell& previous, const ScreenCell& cell) {
    struct Attribute {
        uint32_t bit;
        int32_t on, off;
    };
    static const Attribute attributes[] = {{ATTR_DIM, 2, 22},    {ATTR_REVERSE, 7, 27}, {ATTR_BOLD, 1, 22},
                                           {ATTR_ITALIC, 3, 23}, {ATTR_STRIKE, 9, 29},  {ATTR_UNDERLINE, 4, 24}};
    uint32_t was = previous.attributes, now = cell.attributes;
    bool intensity_off = false;
    for (const Attribute& a : attributes) {
        if (!(was & a.bit) || (now & a.bit)) continue;
        if (a.off == 22) {
            if (intensity_off) continue;
            intensity_off = true;
        }
        append_number(out, a.off);
    }
    for (const Attribute& a : attributes) {
        if (!(now & a.bit)) continue;
        if (!(was & a.bit) || (a.off == 22 && intensity_off)) append_number(out, a.on);
    }
    if (previous.foreground != cell.foreground) sgr_colour(out, cell.foreground, true);
    if (previous.background != cell.background) sgr_colour(out, cell.background, false);
}

}  // namespace kel::gui
