#include "view/terminal/routines.h"

#include "runtime/core/types.h"

namespace kel::gui {

namespace {

using routines::Arg;
using routines::Result;

Result is_event(const Arg* a, int32_t) { return {type_of(*a[0].cell) == TYPE_EVENT ? 1 : 0}; }

Result send_event_os(const Arg* a, int32_t) { return {OS_send_event(*a[0].cell, a[1].integer != 0) ? 1 : 0}; }

const routines::Entry ENTRIES[] = {
    {"event?", R"~("Returns true if the value is this type" value [any-type!] return: [logic!])~", TYPE_LOGIC,
     is_event},
    {"send-event-os", R"~(event [event!] queued? [logic!] return: [logic!])~", TYPE_LOGIC, send_event_os},
};

}  // namespace

std::span<const routines::Entry> event_routines() { return ENTRIES; }

bool OS_send_event(const Cell&, bool) { return false; }

}  // namespace kel::gui
