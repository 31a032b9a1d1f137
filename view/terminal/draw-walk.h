// What the draw interpreter and its sub-parsers share: reading the values
// of a command block by absolute position, the argument classes and the
// three reading patterns (required, optional, runs), and the errors at a
// position. Positions are re-read from the block at every use: setting a
// word may run Kel code that moves the block's buffer.
#pragma once
#include <algorithm>
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"
#include "view/terminal/draw-grid.h"
#include "view/terminal/draw-symbols.h"
#include "view/terminal/draw.h"

namespace kel::gui::draw {

// One block being walked; `block` is kept reachable by its owner.
struct Walk {
    DrawContext& ctx;
    const Cell& block;
    bool catch_errors;

    int32_t head() const { return int32_t(block.data1); }
    // The tail's absolute position (the block may change while it is drawn).
    int32_t end() const {
        int64_t total = int64_t(block::buffer(block)->cell_count());
        return head() + int32_t(std::max<int64_t>(0, total - head()));
    }
    bool has(int32_t pos) const { return pos < end(); }
    // A copy of the value at a position; none past the tail.
    Cell at(int32_t pos) const { return has(pos) ? block::buffer(block)->cells()[pos] : make_none(); }
    // The values from `pos` (at or after the head) to the tail, in place: for
    // a command that reads its arguments and draws without allocating or
    // running Kel code, which could move the buffer.
    std::span<const Cell> from(int32_t pos) const {
        int32_t e = end();
        return pos < e ? std::span<const Cell>(block::buffer(block)->cells() + pos, size_t(e - pos))
                       : std::span<const Cell>();
    }
    [[noreturn]] void fail(int32_t pos) const { throw_error(block, pos, catch_errors); }
};

inline bool is_integer(const Cell& c) { return type_of(c) == TYPE_INTEGER; }
inline bool is_float(const Cell& c) { return type_of(c) == TYPE_FLOAT; }
inline bool is_block(const Cell& c) { return type_of(c) == TYPE_BLOCK; }
inline bool is_plain_word(const Cell& c) { return type_of(c) == TYPE_WORD; }
bool is_point(const Cell& c);
bool is_number(const Cell& c);
// A point's coordinates; a point2D! is truncated toward zero, NaN gives 0
// and values beyond 32 bits are clamped.
GridPoint point_of(const Cell& c);
// An integer!, or a float! truncated toward zero (clamped to 64 bits, NaN 0).
int64_t integer_of(const Cell& c);
// The canonical symbol id of an any-word!.
int32_t canonical(const Cell& word);
bool is_word(const Cell& c, draw_words::Word w);
bool is_lit_word(const Cell& c, draw_words::Word w);

// The value of a word standing where a colour, image or font is required:
// an unbound word or one without a value is a draw error at `pos` with
// catch?, else the evaluator's error.
Cell word_value(const Walk& w, int32_t pos);
// A colour at pos: a tuple!, or a word whose value is a tuple! (with
// `words`). Packs it into rgba and its alpha flag.
bool colour_at(const Walk& w, int32_t pos, bool words, uint32_t& rgba, bool& alpha);
uint32_t pack_colour(const Cell& tuple, bool* alpha);
// The colour class of optional arguments: a tuple!, or a word whose value
// is a tuple! (any other word, bound or not, is not a colour).
bool is_colour(const Cell& c);

// Whether the last draw error was a silent stop (system/view/silent?);
// clears the mark.
bool take_silent_stop();

// Required: the value at pos must pass `test`, else a draw error there.
template <class Test>
int32_t need(const Walk& w, int32_t pos, Test&& test) {
    if (!w.has(pos) || !test(w.at(pos))) w.fail(pos);
    return pos;
}
// Optional: answers pos + 1 when the value there passes, else pos.
template <class Test>
int32_t optional(const Walk& w, int32_t pos, Test&& test) {
    return w.has(pos) && test(w.at(pos)) ? pos + 1 : pos;
}
// A run: the first position from pos whose value does not pass.
template <class Test>
int32_t run(const Walk& w, int32_t pos, Test&& test) {
    while (w.has(pos) && test(w.at(pos))) ++pos;
    return pos;
}

// Walks a block of the dialect: the walk guard holds its node for the
// walk (a block already on it is an infinite recursion error at itself),
// and `each` (Walk, position, value) answers the position of the last value
// it read.
template <class Each>
void walk_block(DrawContext& ctx, const Cell& commands, bool catch_errors, Each&& each) {
    Cell block = commands;
    Rooted keep(block);
    NodeId node = cycle_guard::node_of(block);
    if (cycle_guard::find(node)) throw_error(block, -1, catch_errors);
    cycle_guard::Scope walking(node);
    Walk w{ctx, block, catch_errors};
    for (int32_t pos = w.head(); pos < w.end(); ++pos) pos = each(w, pos, w.at(pos));
}

// A set-word in a block: set to the block positioned after it (a draw error
// with catch? when its context holds no values).
void set_word(const Walk& w, int32_t pos);

// The sub-parsers; each answers the position of the last value it read.
int32_t parse_pen(const Walk& w, int32_t first, bool fill);
int32_t parse_line_option(const Walk& w, int32_t first, draw_words::Word keyword);
void parse_shape(DrawContext& ctx, const Cell& shape, bool draw, bool catch_errors, bool nested);

}  // namespace kel::gui::draw
