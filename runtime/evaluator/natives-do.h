// The do native: evaluates a block, paren or hash as code, a string after
// loading it with the lexer, a path, a word or any other single value as
// one expression; raises an error! value; hands a file! or url! to the
// library's do-file (a native service). /next evaluates one expression and
// sets a word to the position after it; /trace runs the evaluation under a
// tracer function.
//
// A do/trace that starts a trace always ends it before anything leaves
// `do`: the end event is sent, the tracer cell and both tracing flags are
// cleared and the mark on the caller's frame is removed, whether the code
// finished, raised, threw or returned, and before an error! value given to
// `do` is raised. An error or throw in flight while the clean-up runs the
// tracer is the one that leaves.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::do_native {

// Stores do at its index of the table.
void register_natives(Entry* table);

}  // namespace kel::natives::do_native
