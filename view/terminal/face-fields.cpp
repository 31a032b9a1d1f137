#include "view/terminal/face-fields.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <vector>

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

struct Layout {
    const char* const* names;
    int32_t count;
    std::vector<uint32_t> classes;  // class ids whose fields stand in this order
    uint32_t last = 0;  // the one of them met last
};

Layout& layout(int32_t which) {
    static Layout layouts[] = {{FACE_NAMES, int32_t(std::size(FACE_NAMES)), {}, 0},
                               {FONT_NAMES, int32_t(std::size(FONT_NAMES)), {}, 0},
                               {PARA_NAMES, int32_t(std::size(PARA_NAMES)), {}, 0}};
    return layouts[which];
}

// Whether the object's first fields are the layout's, in order.
bool in_order(NodeId ctx, const Layout& l) {
    if (context::word_count(ctx) < uint32_t(l.count)) return false;
    for (int32_t i = 0; i < l.count; ++i)
        if (symbol::resolve(word::symbol_of(*context::word_at(ctx, i))) != symbol_of(l.names[i])) return false;
    return true;
}

// Whether the object's fields stand in the layout's order.
bool known_order(const Cell& obj, Layout& l) {
    uint32_t klass = obj.data2;
    if (klass != 0 && (klass == l.last || std::find(l.classes.begin(), l.classes.end(), klass) != l.classes.end())) {
        l.last = klass;
        return true;
    }
    if (!in_order(obj.data1, l)) return false;
    if (klass != 0) l.classes.push_back(klass);
    return true;
}

// The slot of field `index` of the layout. Objects of one class have the
// same fields in the same order, so a class is checked once; an object of
// another order is read by name.
Cell* slot(const Cell& obj, int32_t which, int32_t index) {
    if (type_of(obj) != TYPE_OBJECT) return nullptr;
    NodeId ctx = obj.data1;
    Layout& l = layout(which);
    if (known_order(obj, l)) return context::values_of(*context::cell_of(ctx)) + index;
    int32_t found = object::find_field(obj, symbol_of(l.names[index]));
    return found < 0 ? nullptr : context::values_of(*context::cell_of(ctx)) + found;
}

}  // namespace

int32_t symbol_of(const char* spelling) {
    // Symbols live as long as the process; the backend asks for the same few
    // spellings at every frame, by the address of their literals.
    static std::unordered_map<const char*, int32_t> known;
    auto it = known.find(spelling);
    if (it != known.end()) return it->second;
    int32_t id = symbol::resolve(symbol::make(spelling));
    known.emplace(spelling, id);
    return id;
}

const Cell* face_values(const Cell& face) {
    if (type_of(face) != TYPE_OBJECT || !known_order(face, layout(0))) return nullptr;
    return context::values_of(*context::cell_of(face.data1));
}

Cell* facet_slot(const Cell& face, Facet which) { return slot(face, 0, int32_t(which)); }
Cell* font_slot(const Cell& font, FontField which) { return slot(font, 1, int32_t(which)); }
Cell* para_slot(const Cell& para, ParaField which) { return slot(para, 2, int32_t(which)); }

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
