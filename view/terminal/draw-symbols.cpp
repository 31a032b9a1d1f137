#include "view/terminal/draw-symbols.h"

#include "runtime/datatypes/symbol.h"

namespace kel::gui::draw_words {

namespace {

constexpr const char* SPELLINGS[COUNT] = {
    "pen",       "fill-pen", "box",       "line",    "line-width", "line-join",    "line-cap",      "line-pattern",
    "triangle",  "polygon",  "circle",    "ellipse", "anti-alias", "font",         "text",          "arc",
    "curve",     "spline",   "image",     "shadow",  "clip",       "shape",        "rotate",        "scale",
    "translate", "skew",     "transform", "push",    "matrix",     "reset-matrix", "invert-matrix", "off",
    "closed",    "border",   "crop",      "inset",   "replace",    "intersect",    "union",         "xor",
    "exclude",   "linear",   "radial",    "diamond", "pad",        "repeat",       "reflect",       "pattern",
    "bitmap",    "tile",     "flip-x",    "flip-y",  "flip-xy",    "clamp",        "move",          "hline",
    "vline",     "curv",     "qcurve",    "qcurv",   "close",      "sweep",        "large",         "backdrop",
    "bold",      "italic",   "underline", "strike",
};

int32_t ids[COUNT];

}  // namespace

void intern() {
    for (int i = 0; i < COUNT; ++i) ids[i] = symbol::resolve(symbol::make(SPELLINGS[i]));
}

int32_t id(Word w) { return ids[w]; }

Word command_of(int32_t canonical) {
    for (int i = PEN; i <= INVERT_MATRIX; ++i)
        if (ids[i] == canonical) return Word(i);
    return COUNT;
}

}  // namespace kel::gui::draw_words
