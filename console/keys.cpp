#include "console/keys.h"

namespace kel::console {

namespace {

int32_t final_key(int32_t final) {
    switch (final) {
    case 'A':
        return key::UP;
    case 'B':
        return key::DOWN;
    case 'C':
        return key::RIGHT;
    case 'D':
        return key::LEFT;
    case 'H':
        return key::HOME;
    case 'F':
        return key::END;
    default:
        return key::UNKNOWN;
    }
}

int32_t tilde_key(int32_t number) {
    switch (number) {
    case 1:
    case 7:
        return key::HOME;
    case 4:
    case 8:
        return key::END;
    case 2:
        return key::INSERT;
    case 3:
        return key::DELETE;
    case 5:
        return key::PAGE_UP;
    case 6:
        return key::PAGE_DOWN;
    default:
        return key::UNKNOWN;
    }
}

// After ESC "[": parameter bytes (digits, ";" and the private markers),
// intermediate bytes, then the final byte. Only the first number counts.
// A sequence cut short by a pause or the end of input is unknown.
int32_t read_csi(InputReader& input) {
    int32_t number = 0;
    bool first = true;
    for (;;) {
        int32_t b = input.next_byte_within(ESCAPE_WAIT_MS);
        if (b < 0) return key::UNKNOWN;
        if (b >= '0' && b <= '9') {
            if (first && number < 1000) number = number * 10 + (b - '0');
        } else if (b >= 0x3A && b <= 0x3F) {
            first = false;  // ";" ends the first number; the rest are modifiers
        } else if (b >= 0x20 && b <= 0x2F) {
            first = false;
        } else if (b >= 0x40 && b <= 0x7E) {
            return b == '~' ? tilde_key(number) : final_key(b);
        } else {
            return key::UNKNOWN;
        }
    }
}

}  // namespace

int32_t read_key(InputReader& input) {
    int32_t c = input.next_code_point(true);
    if (c == InputReader::INTERRUPTED) return key::WAKE;
    if (c < 0) return key::FAILED;
    if (c == '\n') return key::ENTER;
    if (c != key::ESC) return c;
    int32_t b = input.next_byte_within(ESCAPE_WAIT_MS);
    if (b < 0) return key::ESC;
    if (b == '[') return read_csi(input);
    if (b == 'O') {
        int32_t f = input.next_byte_within(ESCAPE_WAIT_MS);
        return f < 0 ? key::UNKNOWN : final_key(f);
    }
    input.put_back(uint8_t(b));
    c = input.next_code_point(false);
    if (c < 0) return key::ESC;
    return c == '\n' ? key::ENTER : c;
}

}  // namespace kel::console
