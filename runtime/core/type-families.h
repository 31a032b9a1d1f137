// The type families the runtime tests values against, as constexpr
// predicates derived from the type-class table (type-classes.h), so a
// family changes where the table does: any block (a series of cells), any
// path, any string (a series of code points), the word family, and the
// callables (a spec block in payload word 2 and a more block in word 3).
//
// Two families of callables, with two names: `is_any_function` is the
// language's any-function! (native!, action!, op!, function!, routine!);
// `is_direct_callable` leaves op! out, since the evaluator calls an op!
// only through its infix position and a value met directly holds one of
// the other four.
//
// Each family is a 64-bit mask over the type ids (every member's id is
// below 64), so a test is one range check (a family of consecutive ids) or
// one shift and one bit, as the evaluator's hot paths want.
#pragma once
#include <cstdint>

#include "runtime/core/type-classes.h"
#include "runtime/core/types.h"

namespace kel::type_families {

namespace detail {

// The mask of the type ids whose row the test accepts; a member at 64 or
// above stops the compilation.
template <class Test>
constexpr uint64_t mask_of(Test test) {
    uint64_t mask = 0;
    for (uint32_t t = 0; t < 256; ++t) {
        if (!test(type_classes::of(t))) continue;
        if (t >= 64) throw "a type family member needs an id below 64";
        mask |= uint64_t(1) << t;
    }
    return mask;
}

constexpr uint64_t bit(uint32_t t) { return uint64_t(1) << t; }

using type_classes::TypeClass;
using type_classes::Word;

constexpr uint64_t ANY_BLOCK = mask_of([](const TypeClass& c) { return c.series == type_classes::Series::cells; });
constexpr uint64_t ANY_STRING =
    mask_of([](const TypeClass& c) { return c.series == type_classes::Series::code_points; });
// The word family: a context in word 1 and nothing else.
constexpr uint64_t ALL_WORD = mask_of([](const TypeClass& c) {
    return c.words[0] == Word::context && c.words[1] == Word::none && c.words[2] == Word::none;
});
// Callables: a spec block in word 2 and a more block in word 3.
constexpr uint64_t ANY_FUNCTION =
    mask_of([](const TypeClass& c) { return c.words[1] == Word::cells && c.words[2] == Word::cells; });

constexpr uint64_t ANY_PATH = ANY_BLOCK & ~(bit(TYPE_BLOCK) | bit(TYPE_PAREN) | bit(TYPE_HASH));
constexpr uint64_t ANY_WORD = ALL_WORD & ~(bit(TYPE_REFINEMENT) | bit(TYPE_ISSUE));
constexpr uint64_t DIRECT_CALLABLE = ANY_FUNCTION & ~bit(TYPE_OP);

// Whether the type is in the family: a family of consecutive ids is one
// range check, any other one shift and one bit.
template <uint64_t Mask>
constexpr bool in(uint32_t type) {
    constexpr uint32_t low = uint32_t(__builtin_ctzll(Mask));
    constexpr uint32_t high = 63 - uint32_t(__builtin_clzll(Mask));
    constexpr bool run = (Mask >> low) == (high - low == 63 ? ~uint64_t(0) : (uint64_t(1) << (high - low + 1)) - 1);
    if constexpr (run)
        return type - low <= high - low;
    else
        return type < 64 && ((Mask >> type) & 1);
}

static_assert(ANY_BLOCK ==
              (bit(TYPE_BLOCK) | bit(TYPE_PAREN) | bit(TYPE_PATH) | bit(TYPE_LIT_PATH) | bit(TYPE_SET_PATH) |
               bit(TYPE_GET_PATH) | bit(TYPE_HASH)));
static_assert(ALL_WORD ==
              (bit(TYPE_WORD) | bit(TYPE_SET_WORD) | bit(TYPE_GET_WORD) | bit(TYPE_LIT_WORD) | bit(TYPE_REFINEMENT) |
               bit(TYPE_ISSUE)));
static_assert(ANY_FUNCTION ==
              (bit(TYPE_NATIVE) | bit(TYPE_ACTION) | bit(TYPE_OP) | bit(TYPE_FUNCTION) | bit(TYPE_ROUTINE)));

}  // namespace detail

// block!, paren!, the four paths and hash!: a series of cells.
constexpr bool is_any_block(uint32_t type) { return detail::in<detail::ANY_BLOCK>(type); }
// path!, lit-path!, set-path!, get-path!.
constexpr bool is_any_path(uint32_t type) { return detail::in<detail::ANY_PATH>(type); }
// string!, file!, url!, tag!, email!, ref!: a series of code points.
constexpr bool is_any_string(uint32_t type) { return detail::in<detail::ANY_STRING>(type); }
// word!, set-word!, get-word!, lit-word! (the language's any-word!).
constexpr bool is_any_word(uint32_t type) { return detail::in<detail::ANY_WORD>(type); }
// any-word! with refinement! and issue! (the language's all-word!).
constexpr bool is_all_word(uint32_t type) { return detail::in<detail::ALL_WORD>(type); }
// native!, action!, op!, function!, routine! (the language's any-function!).
constexpr bool is_any_function(uint32_t type) { return detail::in<detail::ANY_FUNCTION>(type); }
// native!, action!, function!, routine!: called when met directly.
constexpr bool is_direct_callable(uint32_t type) { return detail::in<detail::DIRECT_CALLABLE>(type); }

}  // namespace kel::type_families
