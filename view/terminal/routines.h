// The terminal backend's routines that the library makes at its place in
// the boot order (statement 19): `event?` and `send-event-os`.
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::gui {

// event? value: true exactly for an event!. send-event-os event queued?:
// hands the event to the backend, which accepts none: always false.
std::span<const routines::Entry> event_routines();

// What the terminal backend does with an event sent to it: nothing is
// accepted, so the answer is always false.
bool OS_send_event(const Cell& event, bool queued);

}  // namespace kel::gui
