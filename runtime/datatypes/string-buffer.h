// The string module's interface moved to runtime/datatypes/string.h; this
// header forwards to it for files that still include the old name.
#pragma once
#include "runtime/datatypes/string.h"
