// Standard input through one buffer, shared by the console's key reader,
// the line reader of redirected input (`input-stdin`, `ask` on a pipe) and
// `read-stdin` (simple-io), so that bytes one of them has buffered are never lost to the
// others (pasted type-ahead survives from one edit to the next).
//
// Text is decoded as UTF-8 strictly: an invalid byte, an overlong form, a
// surrogate or a sequence cut short gives U+FFFD and the text goes on with
// the next byte that could start a character. The end of input, and a read
// that fails, are sticky: every later read answers END at once.
#pragma once
#include <cstdint>
#include <string>

namespace kel::console {

inline constexpr uint32_t REPLACEMENT = 0xFFFD;

class InputReader {
public:
    static constexpr int32_t END = -1;  // end of input, or a failed read
    static constexpr int32_t INTERRUPTED = -2;  // a signal arrived while waiting
    static constexpr int32_t TIMEOUT = -3;  // nothing arrived in time

    explicit InputReader(int fd) : fd_(fd) {}

    // The next byte. An interruptible wait answers INTERRUPTED when a signal
    // arrives (EINTR); otherwise the read is simply retried.
    int32_t next_byte(bool interruptible);
    // The next byte if one arrives within `ms` milliseconds, else TIMEOUT.
    int32_t next_byte_within(int32_t ms);
    // Gives back the byte just read (only that one); the next read answers
    // it first.
    void put_back(uint8_t byte);

    // The next code point: UTF-8 decoded, U+FFFD for invalid input, END,
    // or INTERRUPTED while waiting for its first byte when asked.
    int32_t next_code_point(bool interruptible);

    // Appends one line of code points to `line`: up to a line feed, which is
    // not appended (a carriage return before it is). Answers false when the
    // input had ended before anything, not even a line feed, was read.
    bool read_line(std::u32string& line);

    // Up to `count` raw bytes: what the buffer holds first, else one read of
    // the descriptor. Answers the count, 0 at the end of input.
    int64_t read_bytes(uint8_t* dest, int64_t count);

    bool ended() const { return ended_; }
    bool has_buffered() const { return start_ < end_; }
    // Forgets buffered bytes and the end; reads `fd` from now on (tests).
    void reset(int fd);

private:
    // Reads more bytes into the empty buffer: 1 done, END, INTERRUPTED.
    int32_t fill(bool interruptible);

    int fd_;
    bool ended_ = false;
    int32_t start_ = 0, end_ = 0;
    uint8_t buffer_[4096];
};

// The reader of descriptor 0.
InputReader& standard_input();

}  // namespace kel::console
