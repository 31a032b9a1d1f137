// The CSV writer: values as delimited text, as the writing functions of
// csv-ctx (environment/library/csv.kel) write them. Each value is formed,
// its quote characters replaced by `double_quote`, and quoted when that
// changed it or when it holds a character of `quotable`. Every line ends
// with a line feed; the values of a line are separated by the delimiter.
//
// Shapes written here: a map or object whose fields hold blocks (columns,
// under a header line of the keys), a flat block cut into lines of `size`
// values (size >= 0; 0 raises math/zero-divide, a negative size
// script/invalid-arg), a block of blocks, a block of maps or of objects
// (one line each under a header of all their keys in order of first
// appearance; none, false and a missing key give an empty value), and a
// block of other values as one line. Misaligned lines give the alignment
// error value (made, not raised). Any other shape (blocks mixed with other
// values, a column that is not a block, a map without keys) is declined:
// `write` answers false and the caller's Kel functions write it.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::csv {

struct WriteOptions {
    const Cell* delimiter = nullptr;  // char! or string!
    const Cell* quote = nullptr;  // char!
    const Cell* double_quote = nullptr;  // string!
    const Cell* quotable = nullptr;  // bitset!
    bool strict = true;
    bool skip = false;  // /skip given, with its size
    int32_t size = 0;
    const Cell* non_aligned = nullptr;  // the alignment message (string!)
};

// `data` and `out` must stay put (argument cells). True with the text or
// the error value in *out; false when the shape is declined.
bool write(const Cell& data, Cell* out, const WriteOptions& options);

}  // namespace kel::csv
