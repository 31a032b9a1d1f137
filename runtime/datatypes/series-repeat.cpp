#include "runtime/datatypes/series-repeat.h"

#include <cstring>

#include "runtime/datatypes/string.h"

namespace kel {

int64_t mold_indent(const Cell& target, int levels, int64_t budget) {
    // Eight levels per append. The target is copied first: the appends may
    // move buffers, and the caller's cell may lie in one.
    static const char spaces[] = "                                ";
    constexpr int per_append = int(sizeof spaces - 1) / 4;
    const Cell out = target;
    for (int left = levels; left > 0; left -= per_append)
        string::append_c_string_part(out, spaces, 4 * (left < per_append ? left : per_append));
    return budget - 4 * int64_t(levels);
}

uint8_t* replicate_bytes(uint8_t* buffer, uint64_t n, uint64_t count) {
    uint64_t total = n * count;
    if (total == 0) return buffer;
    uint64_t filled = n;
    while (filled > 0 && total - filled >= filled) {
        std::memcpy(buffer + filled, buffer, filled);
        filled *= 2;
    }
    if (filled < total) std::memcpy(buffer + filled, buffer, total - filled);
    return buffer + total;
}

}  // namespace kel
