// The action slots of file!; not for other modules, which reach them through
// the action dispatch (runtime/evaluator/actions.h).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::file {

int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void read(Cell* out, Cell* source, const ReadArgs& args);
void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args);
void delete_(Cell* out, Cell* target);
void query(Cell* out, Cell* target);
void rename(Cell* out, Cell* from, Cell* to);

}  // namespace kel::file
