// The words of the draw dialect: every keyword, argument word and face
// field the interpreter and its sub-parsers read, interned once at start-up
// (the library's `@draw-symbols` step) and compared by canonical id, so
// that case does not matter and no spelling is looked up while drawing.
#pragma once
#include <cstdint>

namespace kel::gui::draw_words {

// The order is that of the spellings in draw-symbols.cpp.
enum Word : int {
    // Commands, in the order the interpreter tests them.
    PEN,
    FILL_PEN,
    BOX,
    LINE,
    LINE_WIDTH,
    LINE_JOIN,
    LINE_CAP,
    LINE_PATTERN,
    TRIANGLE,
    POLYGON,
    CIRCLE,
    ELLIPSE,
    ANTI_ALIAS,
    FONT,
    TEXT,
    ARC,
    CURVE,
    SPLINE,
    IMAGE,
    SHADOW,
    CLIP,
    SHAPE,
    ROTATE,
    SCALE,
    TRANSLATE,
    SKEW,
    TRANSFORM,
    PUSH,
    MATRIX,
    RESET_MATRIX,
    INVERT_MATRIX,
    // Argument words.
    OFF,
    CLOSED,
    BORDER,
    CROP,
    INSET,
    REPLACE,
    INTERSECT,
    UNION,
    XOR,
    EXCLUDE,
    // Pens: gradient kinds and modes, patterns and bitmaps.
    LINEAR,
    RADIAL,
    DIAMOND,
    PAD,
    REPEAT,
    REFLECT,
    PATTERN,
    BITMAP,
    TILE,
    FLIP_X,
    FLIP_Y,
    FLIP_XY,
    CLAMP,
    // Shape commands and arc flags.
    MOVE,
    HLINE,
    VLINE,
    CURV,
    QCURVE,
    QCURV,
    CLOSE,
    SWEEP,
    LARGE,
    // Rich-text styles.
    BACKDROP,
    BOLD,
    ITALIC,
    UNDERLINE,
    STRIKE,
    COUNT
};

// Interns the spellings; run once at start-up before any drawing.
void intern();

// The canonical id of a word (its alias, else its id).
int32_t id(Word w);
// The word of a canonical symbol id among the commands, or COUNT.
Word command_of(int32_t canonical);
// Whether a canonical id is that word.
inline bool is(int32_t canonical, Word w) { return canonical == id(w); }

}  // namespace kel::gui::draw_words
