#include "runtime/platform/input-reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kel::console {

int32_t InputReader::fill(bool interruptible) {
    if (ended_) return END;
    for (;;) {
        ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
        if (n > 0) {
            start_ = 0;
            end_ = int32_t(n);
            return 1;
        }
        if (n < 0 && errno == EINTR) {
            if (interruptible) return INTERRUPTED;
            continue;
        }
        // 0 is the end of input; EIO (a terminal hung up) and any other
        // failure end it as well, so no caller can spin on a dead input.
        ended_ = true;
        return END;
    }
}

int32_t InputReader::next_byte(bool interruptible) {
    if (start_ == end_) {
        int32_t r = fill(interruptible);
        if (r != 1) return r;
    }
    return buffer_[start_++];
}

int32_t InputReader::next_byte_within(int32_t ms) {
    if (start_ < end_) return buffer_[start_++];
    if (ended_) return END;
    pollfd p{fd_, POLLIN, 0};
    int r;
    do r = ::poll(&p, 1, ms);
    while (r < 0 && errno == EINTR);
    if (r == 0) return TIMEOUT;
    return next_byte(false);
}

// The byte was the last one taken, so its place in the buffer is free.
void InputReader::put_back(uint8_t byte) {
    if (start_ > 0) buffer_[--start_] = byte;
}

int32_t InputReader::next_code_point(bool interruptible) {
    int32_t b = next_byte(interruptible);
    if (b < 0x80) return b;  // ASCII, END or INTERRUPTED
    int32_t more;
    uint32_t cp, low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF)
        more = 1, cp = uint32_t(b & 0x1F);
    else if (b >= 0xE0 && b <= 0xEF) {
        more = 2, cp = uint32_t(b & 0x0F);
        if (b == 0xE0)
            low = 0xA0;  // overlong
        else if (b == 0xED)
            high = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3, cp = uint32_t(b & 0x07);
        if (b == 0xF0)
            low = 0x90;  // overlong
        else if (b == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        return int32_t(REPLACEMENT);  // a stray continuation or invalid lead byte
    }
    for (int32_t i = 0; i < more; ++i) {
        int32_t c = next_byte(false);
        if (c < 0) return int32_t(REPLACEMENT);
        uint32_t lo = i == 0 ? low : 0x80, hi = i == 0 ? high : 0xBF;
        if (uint32_t(c) < lo || uint32_t(c) > hi) {
            put_back(uint8_t(c));
            return int32_t(REPLACEMENT);
        }
        cp = (cp << 6) | uint32_t(c & 0x3F);
    }
    return int32_t(cp);
}

bool InputReader::read_line(std::u32string& line) {
    bool any = false;
    for (;;) {
        int32_t c = next_code_point(false);
        if (c < 0) return any;
        any = true;
        if (c == '\n') return true;
        line.push_back(char32_t(c));
    }
}

int64_t InputReader::read_bytes(uint8_t* dest, int64_t count) {
    if (count <= 0) return 0;
    if (start_ == end_ && fill(false) != 1) return 0;
    int64_t n = end_ - start_;
    if (n > count) n = count;
    std::memcpy(dest, buffer_ + start_, size_t(n));
    start_ += int32_t(n);
    return n;
}

void InputReader::reset(int fd) {
    fd_ = fd;
    ended_ = false;
    start_ = end_ = 0;
}

InputReader& standard_input() {
    static InputReader reader(STDIN_FILENO);
    return reader;
}

}  // namespace kel::console
