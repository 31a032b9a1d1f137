#include "view/terminal/draw-walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/roots.h"

namespace kel::gui::draw {

namespace {

int32_t clamp32(float f) {
    if (!(f == f)) return 0;
    if (f >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (f <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return int32_t(f);
}

// system/view/silent?, read only on the way out of a failed drawing.
bool silent_stop = false;

bool silent() {
    Cell system = *context::get(word::make(symbol::make("system")));
    if (type_of(system) != TYPE_OBJECT) return false;
    Cell view = object::field_value(system, symbol::make("view"));
    if (type_of(view) != TYPE_OBJECT) return false;
    Cell flag = object::field_value(view, symbol::make("silent?"));
    return type_of(flag) == TYPE_LOGIC && flag.data1 != 0;
}

// The value of a word when it has one, without raising: false for a word
// that is unbound, not in its context, whose context has no values, or
// whose value is unset.
bool peek_value(const Cell& c, Cell& out) {
    if (type_of(c) != TYPE_WORD || !c.data1 || !context::cell_of(c.data1)->data2) return false;
    Cell word = c;
    if (int32_t(word.data3) < 0) {
        int32_t index = context::find_word(word.data1, int32_t(word.data2), false);
        if (index < 0) return false;
        word.data3 = uint32_t(index);
    }
    out = *context::get(word);
    return type_of(out) != TYPE_UNSET;
}

}  // namespace

bool is_point(const Cell& c) { return type_of(c) == TYPE_PAIR || type_of(c) == TYPE_POINT2D; }

bool is_number(const Cell& c) { return type_of(c) == TYPE_INTEGER || type_of(c) == TYPE_FLOAT; }

GridPoint point_of(const Cell& c) {
    if (type_of(c) == TYPE_PAIR) return {int32_t(c.data2), int32_t(c.data3)};
    return {clamp32(point::axis(c, 0)), clamp32(point::axis(c, 1))};
}

int64_t integer_of(const Cell& c) {
    if (type_of(c) == TYPE_INTEGER) return cell_integer(c);
    double d = cell_double(c);
    if (!(d == d)) return 0;
    if (d >= 9.2e18) return std::numeric_limits<int64_t>::max();
    if (d <= -9.2e18) return std::numeric_limits<int64_t>::min();
    return int64_t(d);
}

int32_t canonical(const Cell& word) { return symbol::resolve(int32_t(word.data2)); }

bool is_word(const Cell& c, draw_words::Word w) { return type_of(c) == TYPE_WORD && canonical(c) == draw_words::id(w); }

bool is_lit_word(const Cell& c, draw_words::Word w) {
    return type_of(c) == TYPE_LIT_WORD && canonical(c) == draw_words::id(w);
}

Cell word_value(const Walk& w, int32_t pos) {
    Cell word = w.at(pos);
    Cell value;
    if (peek_value(word, value)) return value;
    if (w.catch_errors) w.fail(pos);
    Rooted keep(word);
    value = *context::get(word);  // raises for an unbound word
    if (type_of(value) == TYPE_UNSET) fire(ErrorId::script_no_value, {word});
    return value;
}

uint32_t pack_colour(const Cell& tuple, bool* alpha) {
    uint32_t n = tuple::count(tuple), rgba = 0;
    for (uint32_t i = 0; i < 4; ++i)
        if (i < n) rgba |= uint32_t(tuple::byte_at(tuple, i)) << (8 * i);
    if (alpha) *alpha = n > 3;
    return rgba;
}

bool is_colour(const Cell& c) {
    Cell value;
    return type_of(c) == TYPE_TUPLE || (peek_value(c, value) && type_of(value) == TYPE_TUPLE);
}

bool take_silent_stop() {
    bool was = silent_stop;
    silent_stop = false;
    return was;
}

bool colour_at(const Walk& w, int32_t pos, bool words, uint32_t& rgba, bool& alpha) {
    if (!w.has(pos)) return false;
    Cell c = w.at(pos);
    if (type_of(c) == TYPE_WORD && words) c = word_value(w, pos);
    if (type_of(c) != TYPE_TUPLE) return false;
    rgba = pack_colour(c, &alpha);
    return true;
}

void set_word(const Walk& w, int32_t pos) {
    Cell word = w.at(pos);
    if (w.catch_errors && (!word.data1 || !context::cell_of(word.data1)->data2)) w.fail(pos);
    Cell rest = w.block;
    rest.data1 = uint32_t(pos + 1);
    Rooted keep_word(word), keep_rest(rest);
    context::set(word, rest);
}

void throw_error(const Cell& commands, int32_t position, bool catch_errors) {
    Cell arg = commands;
    bool itself = position < 0;
    if (!itself) {
        int32_t end = int32_t(commands.data1) + std::max(0, block::ks_length(commands));
        if (position < end) {
            const Cell& value = *block::ks_abs_at(commands, position);
            itself = type_of(value) == TYPE_BLOCK && cell_node(value) == cell_node(commands);
        }
        if (!itself) arg.data1 = uint32_t(position);
    }
    if (silent()) {
        silent_stop = true;
        system_throw(catch_errors ? thrown::ERROR : STOPPED);
    }
    fire(itself ? ErrorId::script_draw_infinite : ErrorId::script_draw_invalid, {arg});
}

}  // namespace kel::gui::draw
