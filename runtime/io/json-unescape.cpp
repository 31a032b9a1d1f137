// Escapes of a JSON string literal resolved in place. Every escape is at
// least two characters and yields one, so the write position never passes
// the read position; both are code-point positions, which widening the
// string keeps, so the buffer is fetched again after every write.
#include "runtime/io/json-unescape.h"

#include <algorithm>

#include "runtime/core/fire.h"
#include "runtime/datatypes/string.h"

namespace kel::json {

namespace {

struct Unescaper {
    Cell& str;
    int32_t src;
    int32_t tail;

    [[noreturn]] void fail() { fire(ErrorId::script_invalid_data, {str}); }

    uint32_t next() {
        SeriesBuffer* b = string::buffer(str);
        uint32_t unit = b->unit();
        return string::get_char(b->head_ptr() + int64_t(src++) * unit, unit);
    }

    uint32_t decode_4() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (src >= tail) fail();
            uint32_t c = next();
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                fail();
            value = value << 4 | digit;
        }
        return value;
    }

    // The character of the escape after a backslash.
    uint32_t escape() {
        if (src >= tail) fail();
        switch (uint32_t c = next()) {
        case '"':
        case '\\':
        case '/':
            return c;
        case 'b':
            return 8;
        case 'f':
            return 12;
        case 'n':
            return 10;
        case 'r':
            return 13;
        case 't':
            return 9;
        case 'u':
            break;
        default:
            fail();
        }
        uint32_t high = decode_4();
        if (high < 0xD800 || high > 0xDBFF) return high;
        if (tail - src < 6 || next() != '\\' || next() != 'u') fail();
        uint32_t low = decode_4();
        if (low < 0xDC00 || low > 0xDFFF) fail();
        return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    }
};

}  // namespace

void unescape(Cell& str) {
    SeriesBuffer* b = string::buffer(str);
    int32_t tail = int32_t(b->used() / b->unit());
    int32_t start = std::clamp(int32_t(str.data1), 0, tail);
    Unescaper u{str, start, tail};
    int32_t dst = start;
    while (u.src < tail) {
        uint32_t c = u.next();
        if (c == '\\')
            c = u.escape();
        else if (dst + 1 == u.src) {  // still in place: nothing to move
            ++dst;
            continue;
        }
        string::overwrite_char(string::buffer(str), dst++, c);
    }
    string::truncate_at(string::buffer(str), dst);
}

}  // namespace kel::json
