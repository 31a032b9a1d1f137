// The slots of port! and what its modules share: the field indexes of the
// port prototype and the forwarding of an action to an object actor.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::port {

// Field positions of `system/standard/port`.
inline constexpr uint32_t FIELD_SPEC = 0;
inline constexpr uint32_t FIELD_SCHEME = 1;
inline constexpr uint32_t FIELD_ACTOR = 2;

// The port's actor field (a port always has the prototype's fields: make
// refuses a prototype with fewer).
Cell actor_of(const Cell& port);

// Calls the object actor's function for the action with the port and the
// values as its arguments; its result goes to out.
void forward(Cell* out, int action, const Cell& port, std::initializer_list<Cell> values);

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);

// Fills the forwarders of the series and I/O actions into the record.
void add_forwarders(datatype::Record& record);

}  // namespace kel::port
