// The routines held in fields of `system`: the interpreter-state predicate
// and the collector's state.
#include "environment/boot/routine-table.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/memory.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

// True as soon as a frame on the call stack was opened by interpreted code
// (not by the library's own code).
Result interpreted(const Arg*, int32_t) {
    for (uint32_t i = 0; i < stack::calls.top; ++i)
        if (stack::calls.frames[i].kind & stack::FRAME_INTERP) return {1};
    return {0};
}

Result gc_active(const Arg*, int32_t) { return {memory::collector_enabled() ? 1 : 0}; }
Result series_cycles(const Arg*, int32_t) {
    return {collector::stats.cycles > INT32_MAX ? INT32_MAX : int32_t(collector::stats.cycles)};
}
// Nodes are never moved between node frames, so no cycle has moved any.
Result nodes_cycles(const Arg*, int32_t) { return {0}; }

const RoutineDef SYSTEM[] = {
    {"state/interpreted?", R"~("Return TRUE if called from the interpreter" return: [logic!])~", TYPE_LOGIC,
     interpreted},
    {"state/GC/active?", "return: [logic!]", TYPE_LOGIC, gc_active},
    {"state/GC/series-cycles", "return: [integer!]", TYPE_INTEGER, series_cycles},
    {"state/GC/nodes-cycles", "return: [integer!]", TYPE_INTEGER, nodes_cycles},
};

}  // namespace

std::span<const RoutineDef> system_routines() { return SYSTEM; }

}  // namespace kel::library
