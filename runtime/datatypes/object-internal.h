// Helpers shared by the files of the object! module; not for other modules.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"

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
