// The action slots of object! and the helpers the files of the module share;
// not for other modules.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/symbol.h"

namespace kel::object {

// Action slots.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void reflect(Cell* out, Cell* value, int32_t field);
void select(Cell* out, Cell* obj, Cell* value, const FindOptions& options);
void modify(Cell* out, Cell* value, Cell* field, Cell* new_value, bool case_sensitive);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);

}  // namespace kel::object

namespace kel::object::detail {

inline NodeId ctx_of(const Cell& obj) { return obj.data1; }
inline int32_t canonical(int32_t symbol) { return symbol::resolve(symbol); }
inline Cell value_at(NodeId ctx, uint32_t i) { return context::values_of(*context::cell_of(ctx))[i]; }
inline Cell word_at(NodeId ctx, uint32_t i) { return *context::word_at(ctx, int32_t(i)); }

// Kinds that construction copies instead of sharing.
inline bool is_copied_kind(uint32_t t) {
    return type_families::is_any_block(t) || type_families::is_any_string(t) || t == TYPE_BINARY || t == TYPE_VECTOR ||
        t == TYPE_IMAGE;
}

// The canonical symbol of the on-change* field, or with deep of the
// on-deep-change* field.
int32_t handler_symbol(bool deep);
// The canonical symbol names one of the two handler fields.
inline bool is_handler_symbol(int32_t symbol) {
    return symbol == handler_symbol(false) || symbol == handler_symbol(true);
}

}  // namespace kel::object::detail
