#include "runtime/datatypes/string-buffer.h"

#include <cstring>

#include "runtime/memory.h"
#include "runtime/system.h"

namespace kel::string {

// Only the foundation's ASCII texts pass here so far (markers, indentation),
// which every unit holds without widening.
void append_c_string(const Cell& str, const char* text) {
    size_t n = std::strlen(text);
    if (n == 0) return;
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    uint32_t unit = b->unit();
    uint8_t* at = alloc_tail_bytes(b, n * unit);
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = static_cast<unsigned char>(text[i]);
        switch (unit) {
            case 1: at[i] = uint8_t(cp); break;
            case 2: { uint16_t u = uint16_t(cp); std::memcpy(at + 2 * i, &u, 2); break; }
            case 4: std::memcpy(at + 4 * i, &cp, 4); break;
            default: no_switch_matched();
        }
    }
}

}  // namespace kel::string
