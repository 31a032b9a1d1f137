#include "runtime/io/os-path.h"

#include "runtime/datatypes/string.h"
#include "runtime/text/unicode.h"

namespace kel::os_path {

bool from_text(const Cell& text, std::string& out) {
    out.clear();
    SeriesBuffer* b = memory::buffer_of(cell_node(text));
    uint32_t unit = b->unit();
    uint64_t shift = unicode::unit_shift(unit);
    int64_t head = int32_t(text.data1);
    int64_t total = int64_t((b->tail - b->offset) >> shift);
    if (head < 0) head = 0;
    if (head >= total) return true;
    const uint8_t* p = b->head_ptr();
    out.reserve(size_t(total - head));
    uint8_t bytes[4];
    for (int64_t i = head; i < total; ++i) {
        uint32_t cp = unicode::get_unit(p, unit, uint64_t(i));
        if (cp == 0 || cp > 0x10FFFF) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp < ESCAPE_BASE + 0x80 || cp > ESCAPE_BASE + 0xFF) return false;
            out.push_back(char(cp - ESCAPE_BASE));
            continue;
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
            continue;
        }
        int32_t n = unicode::encode_utf8_char(cp, bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return true;
}

void make_name(Cell& out, const std::string& name, uint32_t type, bool slash) {
    const auto* p = reinterpret_cast<const uint8_t*>(name.data());
    int32_t count = 0;
    uint32_t widest = decode_name(p, name.size(), [&](uint32_t) { ++count; });
    if (slash) ++count;
    uint32_t unit = widest < 0x100 ? 1 : widest < 0x10000 ? 2 : 4;
    out = Cell{type, 0, 0, 0};
    string::make_at(out, count, unit);
    set_type(out, type);
    SeriesBuffer* b = memory::buffer_of(cell_node(out));  // nothing allocates from here on
    uint8_t* data = b->data();
    uint64_t at = b->offset;
    auto put = [&](uint32_t cp) {
        switch (unit) {
        case 1:
            data[at] = uint8_t(cp);
            break;
        case 2: {
            uint16_t v = uint16_t(cp);
            std::memcpy(data + at, &v, 2);
            break;
        }
        default:
            std::memcpy(data + at, &cp, 4);
            break;
        }
        at += unit;
    };
    decode_name(p, name.size(), put);
    if (slash) put('/');
    b->tail = at;
}

}  // namespace kel::os_path
