#include "runtime/text/char-width.h"

namespace kel::unicode {

#include "runtime/text/width-tables.inc"

bool in_ranges(uint32_t cp, const uint32_t* table, int32_t words) {
    int32_t count = words / 2;
    if (count <= 0 || cp < table[0] || cp > table[2 * count - 1]) return false;
    // The last range whose first code point is at or below cp is the only one
    // that can hold it.
    int32_t low = 0;
    int32_t high = count - 1;
    while (low < high) {
        int32_t mid = low + (high - low + 1) / 2;
        if (table[2 * mid] <= cp) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return cp <= table[2 * low + 1];
}

int32_t char_width(uint32_t cp) {
    if (cp == 0) return 0;
    if (cp < 32 || (cp >= 127 && cp <= 159)) return 1;
    if (in_ranges(cp, ZERO_WIDTH_RANGES, ZERO_WIDTH_WORDS)) return 0;
    if (in_ranges(cp, WIDE_RANGES, WIDE_WORDS)) return 2;
    return 1;
}

int32_t char_width_cjk(uint32_t cp) {
    if (in_ranges(cp, AMBIGUOUS_RANGES, AMBIGUOUS_WORDS)) return 2;
    return char_width(cp);
}

}  // namespace kel::unicode
