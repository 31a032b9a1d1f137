// integer!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in integer.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/integer.h"

namespace kel::integer {

// Action slots --------------------------------------------------------------

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void add();
void subtract();
void multiply();
void divide();
void remainder();
void and_t();
void or_t();
void xor_t();
void absolute();
void power();
void negate(Cell* out, Cell* value);
void complement(Cell* out, Cell* value);
bool even(const Cell& value);
bool odd(const Cell& value);

// Conversions of `to integer!` -----------------------------------------------

// The hexadecimal value of an issue's spelling (8 digits wrap into the sign
// bit); script/invalid-data with the issue for more than 8 characters or a
// character that is not a hexadecimal digit.
int32_t from_hex_issue(const Cell& issue);
// The first bytes (at most 4) from the binary's head, big-endian.
int32_t from_binary(const Cell& binary);

}  // namespace kel::integer
