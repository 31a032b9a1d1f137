#include "runtime/text/case-folding.h"

namespace kel::unicode {

#include "runtime/text/case-tables.inc"

namespace {

constexpr CaseTable direct_table(const uint32_t* pairs, int32_t count) {
    CaseTable table{};
    for (int32_t i = 0; i < count; i++) {
        uint32_t key = pairs[2 * i];
        if (key <= 0xFFFF) table[key] = pairs[2 * i + 1];
    }
    return table;
}

// Binary search of a list of (key, value) pairs sorted by key.
uint32_t search_pairs(const uint32_t* pairs, int32_t count, uint32_t cp) {
    if (count <= 0 || cp < pairs[0] || cp > pairs[2 * (count - 1)]) return cp;
    int32_t low = 0;
    int32_t high = count - 1;
    while (low <= high) {
        int32_t mid = low + (high - low) / 2;
        uint32_t key = pairs[2 * mid];
        if (key == cp) return pairs[2 * mid + 1];
        if (key < cp) {
            low = mid + 1;
        } else {
            high = mid - 1;
        }
    }
    return cp;
}

}  // namespace

constexpr CaseTable upper_table = direct_table(UPPER_PAIRS_BMP, UPPER_PAIRS_BMP_COUNT);
constexpr CaseTable lower_table = direct_table(LOWER_PAIRS_BMP, LOWER_PAIRS_BMP_COUNT);

uint32_t change_char_case(uint32_t cp, bool upper) {
    if (cp <= 0xFFFF) {
        uint32_t mapped = upper ? upper_table[cp] : lower_table[cp];
        return mapped != 0 ? mapped : cp;
    }
    return upper ? search_pairs(UPPER_PAIRS_SUPPLEMENTARY, UPPER_PAIRS_SUPPLEMENTARY_COUNT, cp)
                 : search_pairs(LOWER_PAIRS_SUPPLEMENTARY, LOWER_PAIRS_SUPPLEMENTARY_COUNT, cp);
}

uint32_t toggle_char_case(uint32_t cp) {
    uint32_t up = upper_char(cp);
    return up != cp ? up : change_char_case(cp, false);
}

}  // namespace kel::unicode
