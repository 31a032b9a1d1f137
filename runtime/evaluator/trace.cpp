#include "runtime/evaluator/trace.h"

namespace kel::interpreter::trace {

// The tracer arrives with do/trace; until then no tracer is installed and
// no event is sent.
void event(uint32_t, const Cell*, int32_t, const Cell*, const Cell*) {}

}  // namespace kel::interpreter::trace
