#include "view/terminal/face-fields.h"

#include "runtime/core/types.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"

namespace kel::gui {

namespace {

constexpr const char* FACE_NAMES[] = {"type",     "offset",   "size",     "text",  "image",   "color",  "menu", "data",
                                      "enabled?", "visible?", "selected", "flags", "options", "parent", "pane", "state",
                                      "rate",     "edge",     "para",     "font",  "actors",  "extra",  "draw"};
constexpr const char* FONT_NAMES[] = {"name",  "size",        "style",  "weight", "angle",
                                      "color", "anti-alias?", "shadow", "state",  "parent"};
constexpr const char* PARA_NAMES[] = {"origin", "padding", "scroll", "align", "v-align", "wrap?", "parent"};

// The slot at the place when the word there is the expected one; else the
// slot found by name.
Cell* slot(const Cell& obj, int32_t index, const char* name) {
    if (type_of(obj) != TYPE_OBJECT) return nullptr;
    NodeId ctx = obj.data1;
    int32_t symbol = symbol_of(name);
    if (uint32_t(index) < context::word_count(ctx) &&
        symbol::resolve(word::symbol_of(*context::word_at(ctx, index))) == symbol)
        return context::values_of(*context::cell_of(ctx)) + index;
    int32_t found = object::find_field(obj, symbol::make(name));
    return found < 0 ? nullptr : context::values_of(*context::cell_of(ctx)) + found;
}

}  // namespace

int32_t symbol_of(const char* spelling) { return symbol::resolve(symbol::make(spelling)); }

Cell* facet_slot(const Cell& face, Facet which) { return slot(face, int32_t(which), FACE_NAMES[int32_t(which)]); }
Cell* font_slot(const Cell& font, FontField which) { return slot(font, int32_t(which), FONT_NAMES[int32_t(which)]); }
Cell* para_slot(const Cell& para, ParaField which) { return slot(para, int32_t(which), PARA_NAMES[int32_t(which)]); }

Cell facet(const Cell& face, Facet which) {
    Cell* s = facet_slot(face, which);
    return s ? *s : make_none();
}
Cell font_field(const Cell& font, FontField which) {
    Cell* s = font_slot(font, which);
    return s ? *s : make_none();
}
Cell para_field(const Cell& para, ParaField which) {
    Cell* s = para_slot(para, which);
    return s ? *s : make_none();
}

int32_t word_symbol(const Cell& value) {
    uint32_t t = type_of(value);
    if (t != TYPE_WORD && t != TYPE_LIT_WORD && t != TYPE_SET_WORD && t != TYPE_GET_WORD) return 0;
    return symbol::resolve(word::symbol_of(value));
}

bool is_word(const Cell& value, const char* spelling) {
    int32_t s = word_symbol(value);
    return s != 0 && s == symbol_of(spelling);
}

int32_t face_type(const Cell& face) { return word_symbol(facet(face, Facet::type)); }

}  // namespace kel::gui
