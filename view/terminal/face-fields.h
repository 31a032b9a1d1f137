// Reading and writing the fields of faces, fonts and paras by their place.
//
// The field order of face!, font! and para! is an interface of the view
// engine: the backend reads a facet by its 0-based position. An object made
// otherwise (any object with the face words) is read by name, so a face
// that only looks like one still works.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::gui {

enum class Facet : int32_t {
    type,
    offset,
    size,
    text,
    image,
    color,
    menu,
    data,
    enabled,
    visible,
    selected,
    flags,
    options,
    parent,
    pane,
    state,
    rate,
    edge,
    para,
    font,
    actors,
    extra,
    draw
};
enum class FontField : int32_t { name, size, style, weight, angle, color, anti_alias, shadow, state, parent };
enum class ParaField : int32_t { origin, padding, scroll, align, v_align, wrap, parent };

// The slot of a field of an object, or null when the value is no object or
// has no such field. Good until the next allocation.
Cell* facet_slot(const Cell& face, Facet which);
Cell* font_slot(const Cell& font, FontField which);
Cell* para_slot(const Cell& para, ParaField which);

// The values of a face whose fields stand in face! order (good until the
// next allocation), or null: then read it by `facet`.
const Cell* face_values(const Cell& face);

// A copy of the field's value; none when there is no such field.
Cell facet(const Cell& face, Facet which);
Cell font_field(const Cell& font, FontField which);
Cell para_field(const Cell& para, ParaField which);

// Whether a value is the word of the spelling (letter case ignored).
bool is_word(const Cell& value, const char* spelling);
// The resolved symbol of a word!-family value, or 0.
int32_t word_symbol(const Cell& value);
// A face's type as a resolved symbol, 0 when it is no word.
int32_t face_type(const Cell& face);
// The resolved symbol of a spelling (a string literal: answers are kept by
// its address).
int32_t symbol_of(const char* spelling);

}  // namespace kel::gui
