// Display width and case mapping lookups against a reference that tests the
// ranges or keys one after another, measured in the same run. Prints the
// reference time divided by the lookup time (above 1: the lookup is faster).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/text/case-folding.h"
#include "runtime/text/char-width.h"

using namespace kel;

namespace {

bool scan_ranges(uint32_t cp, const uint32_t* table, int32_t words) {
    if (words < 2 || cp < table[0] || cp > table[words - 1]) return false;
    for (int32_t i = 0; i + 1 < words; i += 2)
        if (cp >= table[i] && cp <= table[i + 1]) return true;
    return false;
}

int32_t scan_char_width(uint32_t cp) {
    if (cp == 0) return 0;
    if (cp < 32 || (cp >= 127 && cp <= 159)) return 1;
    if (scan_ranges(cp, unicode::ZERO_WIDTH_RANGES, unicode::ZERO_WIDTH_WORDS)) return 0;
    if (scan_ranges(cp, unicode::WIDE_RANGES, unicode::WIDE_WORDS)) return 2;
    return 1;
}

uint32_t scan_upper(uint32_t cp) {
    const uint32_t* pairs = unicode::UPPER_PAIRS_SUPPLEMENTARY;
    int32_t count = unicode::UPPER_PAIRS_SUPPLEMENTARY_COUNT;
    if (cp < pairs[0] || cp > pairs[2 * (count - 1)]) return cp;
    for (int32_t i = 0; i < count; i++) {
        if (pairs[2 * i] > cp) return cp;
        if (pairs[2 * i] == cp) return pairs[2 * i + 1];
    }
    return cp;
}

template <class F>
double seconds(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    // A text of mixed scripts: Latin with accents, Cyrillic, CJK, Hangul,
    // emoji, combining marks.
    std::vector<uint32_t> text;
    uint32_t seed = 12345;
    const uint32_t blocks[][2] = {{0x20, 0x7E},     {0xC0, 0x17F},    {0x300, 0x36F},     {0x400, 0x4FF},
                                  {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3}, {0x1F300, 0x1F64F}, {0x0E00, 0x0E7F}};
    for (int i = 0; i < 1 << 16; i++) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t* b = blocks[(seed >> 16) % 8];
        seed = seed * 1103515245u + 12345u;
        text.push_back(b[0] + (seed >> 8) % (b[1] - b[0] + 1));
    }
    std::vector<uint32_t> adlam;
    for (int i = 0; i < 1 << 16; i++) adlam.push_back(0x1E900 + uint32_t(i) % 0x50);

    const int rounds = 200;
    volatile int64_t sink = 0;
    double width = seconds([&] {
        for (int r = 0; r < rounds; r++) {
            int64_t s = 0;
            for (uint32_t cp : text) s += unicode::char_width(cp);
            sink = sink + s;
        }
    });
    double width_ref = seconds([&] {
        for (int r = 0; r < rounds; r++) {
            int64_t s = 0;
            for (uint32_t cp : text) s += scan_char_width(cp);
            sink = sink + s;
        }
    });
    double upper = seconds([&] {
        for (int r = 0; r < rounds; r++) {
            int64_t s = 0;
            for (uint32_t cp : adlam) s += unicode::upper_char(cp);
            sink = sink + s;
        }
    });
    double upper_ref = seconds([&] {
        for (int r = 0; r < rounds; r++) {
            int64_t s = 0;
            for (uint32_t cp : adlam) s += scan_upper(cp);
            sink = sink + s;
        }
    });
    std::printf("char-width (mixed text) vs range scan: %.2f\n", width_ref / width);
    std::printf("upper-char (supplementary) vs key scan: %.2f\n", upper_ref / upper);
    return 0;
}
