// The bootstrap launch, until the console exists: a routine held in
// cli-console-ctx/bootstrap that cli-console-ctx/launch calls. With a script
// on the command line (the first argument that is not a "--" switch) it
// reads the file, loads it with the library's `load`, checks that it starts
// with the word Kel and a header block and evaluates what follows; without
// one it loads standard input and evaluates it as one block. An error that
// nothing caught prints its report and ends the process with status 1;
// every other throw goes on to the root catcher (quit, throw).
#pragma once

#include "environment/routine-table.h"

namespace kel::library {

const RoutineDef& bootstrap_launch();

}  // namespace kel::library
