// Shared by the test programs: a started runtime, and whether every
// allocation collects (KEL_GC_STRESS), so that the heaviest cases can use
// smaller data sizes under stress.
#pragma once
#include <cstddef>

#include "environment/start.h"
#include "runtime/memory/memory.h"

namespace kel::test {

inline void boot() { start_runtime(); }

inline bool gc_stress() { return memory::stress(); }

// `full` normally, `reduced` when every allocation collects.
inline size_t scaled(size_t full, size_t reduced) { return gc_stress() ? reduced : full; }

}  // namespace kel::test
