// The set operation natives (union, intersect, unique, difference,
// exclude) and complement?. One dispatcher checks that the two sets go
// together (a block! or hash! with a block! or hash!, any other type with
// its own) and hands the work, with the operation's code, to the datatype:
// block!/hash!, string!, bitset!, typeset!, and date! for difference.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::sets {

void register_natives(Entry* table);

}  // namespace kel::natives::sets
