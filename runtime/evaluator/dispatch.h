// Action dispatch for calls: the dispatcher table of stack forms (the code
// of action! values), the lookup that sends port actions to a port's native
// actor table, the path lookup with its own errors, and the pick/poke index
// of a frame.
//
// A stack form reads the action's arguments from the current argument frame
// in spec order and gets one int32 per refinement of the action's spec: -1
// when not used, else the index of the refinement's first argument cell in
// the frame. It turns them into the typed form's arguments (a flag for a
// refinement without argument, the argument cell's address or null for one
// with) and leaves the result in the frame's first cell.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::actions {

using StackForm = void (*)(const int32_t* refinements);

// The stack form of an action (1-62); null for 8, 9 (compare is reached
// through the comparison layer) and 57 (open?), which no type implements.
StackForm stack_form(int action);
// The action's name, as its action! value's word spells it.
const char* action_name(int action);
// The number of refinements of the action's spec.
int refinement_count(int action);

// Sets the global word of every action (compare and the empty slot 8
// excepted) to an action! value made from its spec. Needs the lexer, the
// global context and the type words.
void make_words();

// Fills the dispatcher table; later calls do nothing.
void init_dispatcher();

// A port whose actor is a native table: the seam through which the port
// datatype answers the table of 38 functions (append .. write, entry
// action - 25) of a port value, or null when its actor is not one. Answers
// the seam it replaces.
using PortActors = const datatype::Action* (*)(const Cell& port);
PortActors install_port_actors(PortActors actors);

// The function of an action for a value: a port's actor table entry for a
// port action (a null entry raises access/no-port-action), else the type's
// slot (an empty one raises script/expect-arg).
datatype::Action lookup_value(const Cell& value, int action);

// The eval-path slot of the value's type. An empty slot raises
// script/bad-path-type2 (element, datatype) without a path, and with one
// script/bad-path-type (the path cut after index + 1 elements, the datatype,
// the path).
datatype::Action lookup_path(const Cell& value, const Cell* path, const Cell& element, int32_t index);

// The second cell of the frame as a pick or poke index: an integer! its
// value, a char! its code point, logic! true 1 and false 2, else 0.
int32_t get_index();

}  // namespace kel::actions
