// The action slots of url! (file! inherits make, to and path access from
// them); not for other modules, which reach them through the action
// dispatch (runtime/evaluator/actions.h).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::url {

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
void read(Cell* out, Cell* source, const ReadArgs& args);
void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args);
void open(Cell* out, Cell* spec, const OpenArgs& args);

}  // namespace kel::url
