#include "runtime/evaluator/natives-sets.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/native-frame.h"

namespace kel::natives::sets {

namespace {

using frame::args;
using frame::keep_first;
using frame::used;

inline bool block_like(uint32_t t) { return t == TYPE_BLOCK || t == TYPE_HASH; }

[[noreturn]] void fire_bad_set(uint32_t type) {
    fire(ErrorId::script_expect_arg, {stack::current_call_word(), datatype::make(type), stack::call_arg_word(1)});
}

// The five set operations: refinement 0 is /case, refinement 1 /skip with its
// size. The first argument cell receives the result.
uint32_t set_operation(const int32_t* r, int32_t code) {
    Cell* a = args();
    uint32_t t1 = type_of(a[0]);
    bool two = code != block::SET_UNIQUE;
    if (two) {
        uint32_t t2 = type_of(a[1]);
        bool compatible = block_like(t1) ? block_like(t2) : t1 == t2;
        if (!compatible) fire(ErrorId::script_expect_val, {datatype::make(t1), datatype::make(t2)});
    }
    bool case_sensitive = used(r, 0);
    const Cell* skip = used(r, 1) ? &a[r[1]] : nullptr;
    switch (t1) {
    case TYPE_BLOCK:
    case TYPE_HASH:
        block::set_operation(&a[0], &a[0], two ? &a[1] : nullptr, code, case_sensitive, skip);
        break;
    case TYPE_STRING:
        string::set_operation(&a[0], a[0], two ? a[1] : a[0], case_sensitive, skip, code);
        break;
    case TYPE_BITSET:
        bitset::do_bitwise(code);
        break;
    case TYPE_TYPESET:
        typeset::do_bitwise(code);
        break;
    case TYPE_DATE:
        if (code != block::SET_DIFFERENCE) fire_bad_set(t1);
        a[0] = date::difference(a[0], a[1]);
        break;
    default:
        fire_bad_set(t1);
    }
    keep_first();
    return 0;
}

uint32_t union_native(bool, const int32_t* r) { return set_operation(r, block::SET_UNION); }
uint32_t intersect_native(bool, const int32_t* r) { return set_operation(r, block::SET_INTERSECT); }
uint32_t unique_native(bool, const int32_t* r) { return set_operation(r, block::SET_UNIQUE); }
uint32_t difference_native(bool, const int32_t* r) { return set_operation(r, block::SET_DIFFERENCE); }
uint32_t exclude_native(bool, const int32_t* r) { return set_operation(r, block::SET_EXCLUDE); }

uint32_t complement_q_native(bool, const int32_t*) {
    Cell* a = args();
    if (type_of(a[0]) != TYPE_BITSET)
        fire(ErrorId::script_expect_arg,
             {word::make_global("complement?"), datatype::make(type_of(a[0])), word::make_global("bits")});
    frame::result(logic::make_cell(bitset::complemented(a[0])));
    return 0;
}

}  // namespace

// The refinements of the five operations, and the arguments of the four
// that take two sets of the given types.
#define KEL_SET_REFINEMENTS \
    " /case \"Use case-sensitive comparison\" /skip \"Treat the series as fixed size records\" size [integer!]"
#define KEL_TWO_SETS(types) " set1 [" types "] set2 [" types "]" KEL_SET_REFINEMENTS

void register_natives(Entry* table) {
    table[UNION] = {union_native, "union",
                    "\"Returns the union of two data sets\"" KEL_TWO_SETS("block! hash! string! bitset! typeset!")};
    table[INTERSECT] = {
        intersect_native, "intersect",
        "\"Returns the intersection of two data sets\"" KEL_TWO_SETS("block! hash! string! bitset! typeset!")};
    table[UNIQUE] = {unique_native, "unique",
                     "\"Returns the data set with duplicates removed\" set [block! hash! string!]" KEL_SET_REFINEMENTS};
    table[DIFFERENCE] = {difference_native, "difference",
                         "\"Returns the special difference of two data sets\"" KEL_TWO_SETS(
                             "block! hash! string! bitset! typeset! date!")};
    table[EXCLUDE] = {exclude_native, "exclude",
                      "\"Returns the first data set less the second data set\"" KEL_TWO_SETS(
                          "block! hash! string! bitset! typeset!")};
    table[COMPLEMENT_Q] = {complement_q_native, "complement?",
                           R"spec("Returns TRUE if the bitset is complemented" bits [bitset!])spec"};
}

#undef KEL_TWO_SETS
#undef KEL_SET_REFINEMENTS

}  // namespace kel::natives::sets
