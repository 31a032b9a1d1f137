// What both writers decide the same way: which values are written as a
// series record, and which words are written plain.
#pragma once
#include "runtime/core/cell.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/context.h"

namespace kel::kelbin {

// A value written as a series record: a block-family value, a string-family
// value or binary! (hash! has a record of its own).
inline bool series_record(uint32_t t) {
    using type_classes::Series;
    Series s = type_classes::of(t).series;
    return t != TYPE_HASH && (s == Series::cells || s == Series::code_points || s == Series::bytes);
}

inline bool word_record(uint32_t t) { return t >= TYPE_WORD && t <= TYPE_REFINEMENT; }

// A word of the global context, of no context, or of a context without an
// object or function owner: the reader binds it by name in the global
// context, so every word of such a context is written plain.
inline bool plain_word(const Cell& w) {
    NodeId ctx = w.data1;
    if (ctx == 0 || ctx == context::global()) return true;
    uint32_t owner = type_of(*context::owner_of(ctx));
    return owner == TYPE_NONE || owner == TYPE_UNSET || owner == TYPE_BLOCK;
}

}  // namespace kel::kelbin
