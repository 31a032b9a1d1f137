// Reading the code points of a string! by index, for the codec readers:
// positions are indices into the string's series, never addresses, and the
// data is fetched again after anything that allocates (the collector moves
// buffers).
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/core/cell.h"
#include "runtime/datatypes/string.h"

namespace kel::text_range {

// A view of a string's data, valid until the next allocation.
struct View {
    const uint8_t* base = nullptr;
    uint32_t unit = 1;

    explicit View(const Cell& str) { fetch(str); }
    void fetch(const Cell& str) {
        SeriesBuffer* b = string::buffer(str);
        unit = b->unit();
        base = b->head_ptr();
    }
    uint32_t at(int32_t i) const {
        if (unit == 1) return base[i];
        if (unit == 2) {
            uint16_t u;
            std::memcpy(&u, base + int64_t(i) * 2, 2);
            return u;
        }
        uint32_t u;
        std::memcpy(&u, base + int64_t(i) * 4, 4);
        return u;
    }
};

// The string's tail as an index.
int32_t tail_of(const Cell& str);
// A new string! on the argument stack holding the characters [s, e) of
// str's series (same unit).
Cell* push_copy(const Cell& str, int32_t s, int32_t e);

}  // namespace kel::text_range
