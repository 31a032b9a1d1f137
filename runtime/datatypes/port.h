// port!: an object (type 48, child of object!) that stands for an external
// resource reached through a scheme. The port holds no I/O code: every series
// and I/O action applied to it goes to its actor.
//
// A port has the fields of `system/standard/port` in order: spec, scheme,
// actor, awake, state, data, extra; class id 2. `make port!` takes an
// object as its spec (the object itself) or anything object! make accepts,
// given to a fresh copy of `system/standard/url-parts`. The spec's first
// field names the scheme (a word!, else access/no-scheme); the scheme object
// is the value after the first entry equal to that word in
// `system/schemes` (else access/unknown-scheme); its `actor` field, an
// object! or a handle!, becomes the port's (else access/invalid-actor).
//
// An object actor: each action is a call of the actor's function of the
// action's name (else access/no-port-action), in a frame of that name, with
// the port and the action's values as its arguments (runtime/datatypes/
// port-actions.cpp lists them); a function declaring fewer arguments takes
// the first ones, one declaring more gets none for the rest. A port whose
// actor field holds no object raises access/invalid-port. `read` is open,
// copy and close; `write` is open, insert, copy and close. An error inside an
// actor passes through and leaves the port as the actor left it.
//
// A native actor: a handle! of class `ACTOR_HANDLE_CLASS` whose value
// indexes a registry of C++ tables of 38 typed action functions (append ..
// write, entry action - 25); the action dispatcher calls an entry directly, a
// null entry raising access/no-port-action.
#pragma once
#include <array>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::port {

inline constexpr int32_t CLASS_ID = 2;
// The handle! class of a native actor (a class without a name: such handles
// mold as any unnamed handle does).
inline constexpr uint32_t ACTOR_HANDLE_CLASS = 6;
inline constexpr int ACTOR_ENTRIES = ACTION_COUNT - ACTION_APPEND + 1;  // 38

using ActorTable = std::array<datatype::Action, ACTOR_ENTRIES>;

// Makes a port from a spec object (the url! module's port maker).
void make_from_spec(Cell* out, const Cell& spec);

// Registers a native actor table (kept for the process) and answers the
// handle! that names it.
Cell register_native_actor(const ActorTable& table);

// Registers port! and installs the port maker and the native actor lookup.
void init();

}  // namespace kel::port
