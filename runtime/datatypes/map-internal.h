// map!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in map.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/map.h"

namespace kel::map {

// Action slots --------------------------------------------------------------

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void reflect(Cell* out, Cell* value, int32_t field);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void clear(Cell* out, Cell* series);
void copy(Cell* out, Cell* series, const CopyOptions& options);
void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
int32_t length(Cell* series);
void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive);
void remove(Cell* out, Cell* series, Cell* part, Cell* key);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);

}  // namespace kel::map
