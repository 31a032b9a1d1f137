// Text to operating-system paths and back.
//
// An OS path is bytes: the UTF-8 of the text, built in one pass. Names that
// come from the system (listing entries, the current directory) are decoded
// as UTF-8, and each byte that does not start a valid sequence becomes the
// code point U+DC00 + byte (U+DC80-U+DCFF); the OS path turns those code
// points back into their bytes. So every name the system hands out reaches
// the same file again. A text holding NUL, any other surrogate or a value
// above U+10FFFF has no OS path: it is never passed to the system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"

namespace kel::os_path {

// The OS path of a string-family value from its index to its tail, into
// `out` (replaced). False when the text has no OS path. Allocates nothing.
bool from_text(const Cell& text, std::string& out);

// Code points of a name from the system, in order, each given to `emit`.
// Answers the largest code point (0 for an empty name).
template <class Emit>
uint32_t decode_name(const uint8_t* p, size_t n, Emit&& emit);

// A new value of a string-family type holding the decoded name, with "/"
// appended when `slash`. The cell must not lie in a series buffer.
void make_name(Cell& out, const std::string& name, uint32_t type, bool slash);

// The escape code point of a byte that starts no valid sequence.
inline constexpr uint32_t ESCAPE_BASE = 0xDC00;

}  // namespace kel::os_path

#include "runtime/text/unicode.h"

namespace kel::os_path {

template <class Emit>
uint32_t decode_name(const uint8_t* p, size_t n, Emit&& emit) {
    uint32_t widest = 0;
    size_t i = 0;
    while (i < n) {
        uint32_t cp;
        if (p[i] < 0x80) {
            cp = p[i++];
        } else {
            int32_t len = 0;
            int32_t room = n - i > 4 ? 4 : int32_t(n - i);
            int32_t v = unicode::decode_utf8_status(p + i, room, len);
            if (v < 0) {
                cp = ESCAPE_BASE + p[i++];
            } else {
                cp = uint32_t(v);
                i += size_t(len);
            }
        }
        if (cp > widest) widest = cp;
        emit(cp);
    }
    return widest;
}

}  // namespace kel::os_path
