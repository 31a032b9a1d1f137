// The series iteration natives: foreach, forall and remove-each, and the
// assignment of a block of words from a block of values that they share
// with `set`.
//
// Loop state lives on the argument stack, below the loop frame: a copy of
// the series (its head is the iteration position; the caller's series cell
// never moves), a copy of the word argument and, for remove-each, the word
// count. Every step reads the series' tail again, so a body may grow,
// shrink or clear the series it walks; nothing holds a buffer address
// across the body.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::iteration {

// Stores foreach, forall and remove-each at their indexes of the table.
void register_natives(Entry* table);

// Sets the first n words of the block `words` (from its head). When value is
// a map! or of the block family and not `only`, word i gets item i of the
// value (none past its tail), else every word gets the whole value; with
// `some` a none is not assigned. Each element must be a word!, set-word!,
// lit-word! or get-word! (else script/invalid-arg with it); without `any`
// an unset item raises script/need-value with its word before any word is
// set.
void set_words(const Cell& words, const Cell& value, int32_t n, bool any, bool only, bool some);

}  // namespace kel::natives::iteration
