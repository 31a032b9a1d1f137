// Case mapping of single code points, one code point to one code point (no
// expansion: sharp s upper-cases to S). Case-insensitive comparison, hashing
// and searching of text and the uppercase/lowercase natives go through it.
//
// Below U+10000 a mapping is one read of a direct table of 65,536 entries,
// computed by the compiler from the generated pairs (read-only data: nothing
// to fill at start-up, and only the pages a text touches are loaded); above,
// a short sorted list is searched. Code points without a mapping (and values
// above U+10FFFF) map to themselves.
#pragma once
#include <array>
#include <cstdint>

namespace kel::unicode {

// The direct tables: entry c holds the mapped code point, or 0 when c maps to
// itself.
using CaseTable = std::array<uint32_t, 65536>;
extern const CaseTable upper_table;
extern const CaseTable lower_table;

// The generated mapping data (runtime/text/case-tables.inc): (key, value) pairs
// flattened and sorted by key; the counts are in pairs.
extern const uint32_t UPPER_PAIRS_BMP[];
extern const int32_t UPPER_PAIRS_BMP_COUNT;
extern const uint32_t LOWER_PAIRS_BMP[];
extern const int32_t LOWER_PAIRS_BMP_COUNT;
extern const uint32_t UPPER_PAIRS_SUPPLEMENTARY[];
extern const int32_t UPPER_PAIRS_SUPPLEMENTARY_COUNT;
extern const uint32_t LOWER_PAIRS_SUPPLEMENTARY[];
extern const int32_t LOWER_PAIRS_SUPPLEMENTARY_COUNT;

// The code point mapped to upper case (upper true) or lower case, or cp itself
// when it has no mapping.
uint32_t change_char_case(uint32_t cp, bool upper);

inline uint32_t upper_char(uint32_t cp) {
    if (cp <= 0xFFFF) {
        uint32_t mapped = upper_table[cp];
        return mapped != 0 ? mapped : cp;
    }
    return change_char_case(cp, true);
}

// The upper-case form when it differs from cp, else the lower-case form.
uint32_t toggle_char_case(uint32_t cp);

}  // namespace kel::unicode
