// The CSV reader: delimited text (a string! from its position to its tail)
// into values, as the Kel rules of load-csv read it (environment/library/
// csv.kel; the rules themselves live with the tests). Characters are
// compared exactly (no case folding).
//
// A line is values separated by the delimiter, ended by CR LF, LF, CR or
// the end of the text. A value is quoted (the quote character, then any
// characters with the quote character doubled for itself, line ends
// included, then the quote character) or plain (up to a line feed, a
// carriage return or the whole delimiter). A quoted value that never closes
// is read as plain text. With `trim` each value loses the white space
// around it (the trim action's) and then a quote character at both ends.
//
// Results: a block of line blocks (default), one block of all values
// (`flat`), a block of maps keyed by column names (`as_records`), or a map
// from column name to the block of that column (`as_columns`); or an error
// value, made and not raised: the alignment message (lines of different
// lengths while `strict`) or "Invalid CSV data. Line: " and the 1-based line
// where the text stops matching. /header on a text without a header line
// followed by data raises "CSV data are too small to use /HEADER refinement".
// Column names past the header (or without one) are A, B ... Z, AA ...
//
// Work is linear in the text: a quoted value that does not close is
// remembered, so no later one rescans the rest of the text. Positions are
// indices; every value made is kept on the argument stack until stored.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::csv {

struct ReadOptions {
    const Cell* delimiter = nullptr;  // char! or string!
    uint32_t quote = '"';
    bool header = false;
    bool as_columns = false;
    bool as_records = false;
    bool flat = false;
    bool trim = false;
    bool strict = true;
    bool ignore_empty = false;
    const Cell* non_aligned = nullptr;  // the alignment message (string!)
};

// `data` and `out` must stay put (argument cells).
void read(const Cell& data, Cell* out, const ReadOptions& options);

// The column name after `name` (a string!) into `out`: the last character
// steps on (a Z or z becomes A and carries to the one before it; a carry
// past the first inserts an A in front).
void next_column_name(const Cell& name, Cell* out);

// An error! made (not raised) from a message string, as `make error!` of
// it, into `out`.
void make_error(Cell* out, const Cell& message);

}  // namespace kel::csv
