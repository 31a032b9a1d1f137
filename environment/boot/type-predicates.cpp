// The type predicates: one routine per datatype, which compares the value's
// type id with its type, and one per named typeset, which tests the value's
// type in the typeset its word holds when it is called (a script that gives
// `number!` another typeset changes `number?`).
#include <array>
#include <utility>

#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

constexpr const char* TYPE_DOC = R"~("Returns true if the value is this type" value [any-type!] return: [logic!])~";

template <uint32_t T>
Result is_type(const Arg* a, int32_t) {
    return {type_of(*a[0].cell) == T ? 1 : 0};
}

// The named typesets, in the order of their predicates.
constexpr const char* TYPESETS[] = {"any-list!",   "any-block!", "any-function!", "any-object!", "any-path!",
                                    "any-string!", "any-word!",  "series!",       "number!",     "immediate!",
                                    "scalar!",     "all-word!",  "any-point!",    "planar!"};

// The typeset's global word, read at every call (no-value when it is unset).
// A value other than a typeset holds no type.
template <int I>
Result in_typeset(const Arg* a, int32_t) {
    static Cell word{};
    if (!word.header) word = word::make(symbol::make(TYPESETS[I]));
    Cell ts = *context::get(word);
    if (type_of(ts) == TYPE_UNSET) fire(ErrorId::script_no_value, {word});
    return {type_of(ts) == TYPE_TYPESET && typeset::has(ts, type_of(*a[0].cell)) ? 1 : 0};
}

#define KEL_TYPE_PREDICATE(name, type) \
    { name, TYPE_DOC, TYPE_LOGIC, is_type<type> }
#define KEL_TYPESET_PREDICATE(name, doc, i)                                                                          \
    {                                                                                                                \
        name, "\"Returns true if the value is any type of " doc "\" value [any-type!] return: [logic!]", TYPE_LOGIC, \
            in_typeset<i>                                                                                            \
    }

const RoutineDef PREDICATES[] = {
    KEL_TYPE_PREDICATE("bitset?", TYPE_BITSET),
    KEL_TYPE_PREDICATE("binary?", TYPE_BINARY),
    KEL_TYPE_PREDICATE("block?", TYPE_BLOCK),
    KEL_TYPE_PREDICATE("char?", TYPE_CHAR),
    KEL_TYPE_PREDICATE("email?", TYPE_EMAIL),
    KEL_TYPE_PREDICATE("file?", TYPE_FILE),
    KEL_TYPE_PREDICATE("float?", TYPE_FLOAT),
    KEL_TYPE_PREDICATE("get-path?", TYPE_GET_PATH),
    KEL_TYPE_PREDICATE("get-word?", TYPE_GET_WORD),
    KEL_TYPE_PREDICATE("hash?", TYPE_HASH),
    KEL_TYPE_PREDICATE("integer?", TYPE_INTEGER),
    KEL_TYPE_PREDICATE("issue?", TYPE_ISSUE),
    KEL_TYPE_PREDICATE("lit-path?", TYPE_LIT_PATH),
    KEL_TYPE_PREDICATE("lit-word?", TYPE_LIT_WORD),
    KEL_TYPE_PREDICATE("logic?", TYPE_LOGIC),
    KEL_TYPE_PREDICATE("map?", TYPE_MAP),
    KEL_TYPE_PREDICATE("none?", TYPE_NONE),
    KEL_TYPE_PREDICATE("pair?", TYPE_PAIR),
    KEL_TYPE_PREDICATE("paren?", TYPE_PAREN),
    KEL_TYPE_PREDICATE("path?", TYPE_PATH),
    KEL_TYPE_PREDICATE("percent?", TYPE_PERCENT),
    KEL_TYPE_PREDICATE("refinement?", TYPE_REFINEMENT),
    KEL_TYPE_PREDICATE("set-path?", TYPE_SET_PATH),
    KEL_TYPE_PREDICATE("set-word?", TYPE_SET_WORD),
    KEL_TYPE_PREDICATE("string?", TYPE_STRING),
    KEL_TYPE_PREDICATE("tag?", TYPE_TAG),
    KEL_TYPE_PREDICATE("time?", TYPE_TIME),
    KEL_TYPE_PREDICATE("typeset?", TYPE_TYPESET),
    KEL_TYPE_PREDICATE("tuple?", TYPE_TUPLE),
    KEL_TYPE_PREDICATE("unset?", TYPE_UNSET),
    KEL_TYPE_PREDICATE("url?", TYPE_URL),
    KEL_TYPE_PREDICATE("word?", TYPE_WORD),
    KEL_TYPE_PREDICATE("image?", TYPE_IMAGE),
    KEL_TYPE_PREDICATE("date?", TYPE_DATE),
    KEL_TYPE_PREDICATE("money?", TYPE_MONEY),
    KEL_TYPE_PREDICATE("ref?", TYPE_REF),
    KEL_TYPE_PREDICATE("point2D?", TYPE_POINT2D),
    KEL_TYPE_PREDICATE("point3D?", TYPE_POINT3D),
    KEL_TYPE_PREDICATE("handle?", TYPE_HANDLE),
    KEL_TYPE_PREDICATE("error?", TYPE_ERROR),
    KEL_TYPE_PREDICATE("action?", TYPE_ACTION),
    KEL_TYPE_PREDICATE("native?", TYPE_NATIVE),
    KEL_TYPE_PREDICATE("datatype?", TYPE_DATATYPE),
    KEL_TYPE_PREDICATE("function?", TYPE_FUNCTION),
    KEL_TYPE_PREDICATE("object?", TYPE_OBJECT),
    KEL_TYPE_PREDICATE("op?", TYPE_OP),
    KEL_TYPE_PREDICATE("routine?", TYPE_ROUTINE),
    KEL_TYPE_PREDICATE("vector?", TYPE_VECTOR),
    KEL_TYPESET_PREDICATE("any-list?", "any-list", 0),
    KEL_TYPESET_PREDICATE("any-block?", "any-block", 1),
    KEL_TYPESET_PREDICATE("any-function?", "any-function", 2),
    KEL_TYPESET_PREDICATE("any-object?", "any-object", 3),
    KEL_TYPESET_PREDICATE("any-path?", "any-path", 4),
    KEL_TYPESET_PREDICATE("any-string?", "any-string", 5),
    KEL_TYPESET_PREDICATE("any-word?", "any-word", 6),
    KEL_TYPESET_PREDICATE("series?", "series", 7),
    KEL_TYPESET_PREDICATE("number?", "number", 8),
    KEL_TYPESET_PREDICATE("immediate?", "immediate", 9),
    KEL_TYPESET_PREDICATE("scalar?", "scalar", 10),
    KEL_TYPESET_PREDICATE("all-word?", "all-word", 11),
    KEL_TYPESET_PREDICATE("any-point?", "any-point", 12),
    KEL_TYPESET_PREDICATE("planar?", "planar", 13),
};

#undef KEL_TYPE_PREDICATE
#undef KEL_TYPESET_PREDICATE

static_assert(std::size(PREDICATES) == 62, "48 datatype predicates and 14 typeset predicates");

}  // namespace

std::span<const RoutineDef> type_predicates() { return PREDICATES; }

}  // namespace kel::library
