// The slot functions of image! and the helpers its files share; not for
// other modules.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/series.h"

namespace kel::image {

inline NodeId record_of(const Cell& img) { return img.data2; }
inline int64_t index_of_cell(const Cell& img) { return int32_t(img.data1); }
// The first pixel, or null (no record, or released).
uint8_t* pixels(const Cell& img);
// A new image value over a record (0: none) of that size.
Cell image_cell(NodeId record, uint32_t width, uint32_t height);
// The pixel index a position designates (integer! or pair!, counting from
// base 1 or 0), with out_of_range set as the position rules say.
int64_t index_of(const Cell& img, const Cell& position, int base, bool* out_of_range);
// Tells the owner of an image of a change (no-op without an owner).
int tell_owner(const Cell& img, series::Change change, const Cell* value, int64_t index, int32_t part);
// The size pair checked: each side in 0..65535 (negative counts as 0), the
// product at most 2,147,483,647; else script/out-of-range with the pair.
void checked_size(const Cell& pair, uint32_t& w, uint32_t& h);

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void at();
void skip();
void next();
void tail();
void tail_q();
int32_t length_q(Cell* img);
void pick(Cell* out, Cell* img, int32_t index, Cell* index_cell);
void poke(Cell* out, Cell* img, int32_t index, Cell* value, Cell* index_cell);
void change(Cell* out, Cell* img, Cell* value, const AppendOptions& options);
void copy(Cell* out, Cell* img, const CopyOptions& options);

}  // namespace kel::image
