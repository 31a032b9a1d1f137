// tuple!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in tuple.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/tuple.h"

namespace kel::tuple {

// The bytes from the binary's head, at most 12, padded to 3.
Cell from_binary(const Cell& binary);
// #F80 (each digit doubled: 255.136.0), #FF8000 (r.g.b) or #FF800080
// (r.g.b.a); another length, or a character that is no hexadecimal digit
// (any character beyond ASCII included), is script/invalid-data with the
// issue.
Cell from_issue(const Cell& issue);
// The op core on the current frame: the tuple in the first cell, the other
// operand (integer!, float!, percent! or tuple!) in the second; number_left
// says it was the left operand. The result replaces the first cell.
void do_math(int32_t op, bool number_left);

// Action slots --------------------------------------------------------------

// make and to (the same function).
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Reads byte n as an integer!; sets it from an integer! (clamped to 0..255)
// or cuts the tuple before it with none (never below 3 bytes). The tuple in
// *parent changes in place; the value set is the answer.
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
// Byte by byte up to the longer length, a missing byte counting as 0:
// 1.2.3 equals 1.2.3.0.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void complement(Cell* out, Cell* value);
int32_t length(Cell* value);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);
// /part n reverses the first n bytes; /skip s reverses groups of s bytes.
void reverse(Cell* out, Cell* value, Cell* part, Cell* skip);

}  // namespace kel::tuple
