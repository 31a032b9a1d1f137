// Columns that a code point takes in a character-cell terminal: none for
// combining marks and invisible format characters, two for East Asian wide
// and fullwidth characters (emoji presentation included), one otherwise.
#pragma once
#include <cstdint>

namespace kel::unicode {

// The generated range tables (runtime/text/width-tables.inc): inclusive
// [first, last] pairs sorted by first, not overlapping, flattened; the counts
// are in 32-bit words, two per range.
extern const uint32_t ZERO_WIDTH_RANGES[];
extern const int32_t ZERO_WIDTH_WORDS;
extern const uint32_t WIDE_RANGES[];
extern const int32_t WIDE_WORDS;
extern const uint32_t AMBIGUOUS_RANGES[];
extern const int32_t AMBIGUOUS_WORDS;

// True when cp lies in one of the ranges of a table of `words` 32-bit words
// laid out as above. A code point outside the table's first and last bounds is
// answered without searching.
bool in_ranges(uint32_t cp, const uint32_t* table, int32_t words);

// 0, 1 or 2 columns. NUL takes none; other control characters (below 32 and
// 127-159) count one column.
int32_t char_width(uint32_t cp);

// The same for a terminal that draws East Asian ambiguous characters two
// columns wide.
int32_t char_width_cjk(uint32_t cp);

}  // namespace kel::unicode
