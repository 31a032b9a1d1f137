// The system natives: stats, recycle, wait, set-env, get-env, list-env,
// now, call and browse.
//
// `now` reads the UTC date and time of one instant from the platform clock
// and moves it into the local zone (or keeps UTC with /utc). Of /year /month
// /day /time /zone /date /weekday /yearday /precise at most one is allowed,
// except /time with /precise; any other combination is script/bad-refines.
//
// `browse` hands its text to `open_with_system`.
#pragma once
#include <string>

#include "runtime/evaluator/natives.h"

namespace kel::natives::system_natives {

void register_natives(Entry* table);

// Starts `xdg-open` on the text, found through PATH, with the text as its one
// argument (an argument vector: no shell reads it), its standard streams on
// /dev/null; returns without waiting for it and leaves no zombie. A failure
// is silent.
void open_with_system(const std::string& target);

}  // namespace kel::natives::system_natives
