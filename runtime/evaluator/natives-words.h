// The word and context natives: get, set, bind, in, construct, value?,
// extend, unset, context? and apply. They dispatch on their arguments'
// types and hand the work to the context, word, object and interpreter
// modules (map! work to the map datatype through the natives' services).
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::word_natives {

// Stores the word and context natives at their indexes of the table.
void register_natives(Entry* table);

}  // namespace kel::natives::word_natives
