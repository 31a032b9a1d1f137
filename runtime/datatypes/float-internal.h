// float!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in float.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"

namespace kel::float_ {

// Action slots --------------------------------------------------------------

// make and to of float! and percent!.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void add();
void subtract();
void multiply();
void divide();
void remainder();
void absolute();
void negate(Cell* out, Cell* value);
bool even(const Cell& value);
bool odd(const Cell& value);

}  // namespace kel::float_
