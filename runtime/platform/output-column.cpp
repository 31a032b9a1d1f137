#include "runtime/platform/output-column.h"

#include "runtime/text/char-width.h"

namespace kel::console {

void ColumnTracker::add_code_point(uint32_t cp) {
    if (cp == '\n' || cp == '\r')
        column_ = 0;
    else if (cp == '\t')
        column_ = (column_ / 8 + 1) * 8;
    else if (cp == '\b')
        column_ = column_ > 0 ? column_ - 1 : 0;
    else if (cp < 32 || cp == 127)
        return;
    else
        column_ += unicode::char_width(cp);
}

void ColumnTracker::feed(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        switch (state_) {
        case State::ESCAPE:
            state_ = b == '[' ? State::CSI : b == ']' ? State::OSC : State::TEXT;
            continue;
        case State::CSI:
            if (b >= 0x40 && b <= 0x7E) state_ = State::TEXT;
            continue;
        case State::OSC:
            if (b == 7)
                state_ = State::TEXT;
            else if (b == 27)
                state_ = State::OSC_ESCAPE;
            continue;
        case State::OSC_ESCAPE:
            state_ = b == '\\' ? State::TEXT : State::OSC;
            continue;
        case State::TEXT:
            break;
        }
        if (continuation_ > 0 && (b & 0xC0) == 0x80) {
            code_point_ = (code_point_ << 6) | (b & 0x3F);
            if (--continuation_ == 0) add_code_point(code_point_);
            continue;
        }
        // A sequence cut short counts as one cell, as a terminal shows it.
        if (continuation_ > 0) {
            continuation_ = 0;
            column_ += 1;
        }
        if (b == 27)
            state_ = State::ESCAPE;
        else if (b < 0x80)
            add_code_point(b);
        else if ((b & 0xE0) == 0xC0)
            code_point_ = b & 0x1F, continuation_ = 1;
        else if ((b & 0xF0) == 0xE0)
            code_point_ = b & 0x0F, continuation_ = 2;
        else if ((b & 0xF8) == 0xF0)
            code_point_ = b & 0x07, continuation_ = 3;
        else
            column_ += 1;  // a stray byte: the terminal shows a replacement
    }
}

}  // namespace kel::console
