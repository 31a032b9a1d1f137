// The `shape` sub-dialect (also the path of `clip`): path commands, a word
// absolute and a lit-word relative to the current point. The grid draws no
// paths: the commands are checked and go no further.
#include "view/terminal/draw-walk.h"

namespace kel::gui::draw {

namespace {

using namespace draw_words;

// The points a command needs at least (0: a single point).
int32_t points_needed(Word command) {
    switch (command) {
    case LINE:
    case QCURV:
        return 1;
    case CURV:
    case QCURVE:
        return 2;
    case CURVE:
        return 3;
    default:
        return 0;
    }
}

int32_t shape_command(const Walk& w, int32_t pos, int32_t symbol) {
    int32_t p = pos + 1;
    if (symbol == id(MOVE)) return need(w, p, is_point);
    if (symbol == id(HLINE) || symbol == id(VLINE)) return need(w, p, is_number);
    if (symbol == id(CLOSE)) return pos;
    if (symbol == id(ARC)) {
        need(w, p, is_point);
        for (int i = 1; i <= 3; ++i) need(w, p + i, is_number);
        int32_t q = p + 4;
        for (int i = 0; i < 2 && w.has(q) && (is_word(w.at(q), SWEEP) || is_word(w.at(q), LARGE)); ++i) ++q;
        return q - 1;
    }
    for (Word command : {LINE, CURVE, CURV, QCURVE, QCURV}) {
        if (symbol != id(command)) continue;
        int32_t end = run(w, p, is_point);
        if (end - p < points_needed(command)) w.fail(end > p ? end - 1 : p);
        return end - 1;
    }
    w.fail(pos);
}

}  // namespace

void parse_shape(DrawContext& ctx, const Cell& shape, bool draw, bool catch_errors, bool) {
    // The path's begin and end are empty on the grid: `nested` changes
    // nothing here.
    walk_block(ctx, shape, catch_errors, [&](const Walk& w, int32_t pos, const Cell& value) {
        switch (type_of(value)) {
        case TYPE_WORD:
        case TYPE_LIT_WORD:
            return shape_command(w, pos, canonical(value));
        case TYPE_SET_WORD:
            set_word(w, pos);
            return pos;
        case TYPE_BLOCK:
            parse_shape(ctx, value, draw, catch_errors, true);
            return pos;
        default:
            w.fail(pos);
        }
    });
}

}  // namespace kel::gui::draw
