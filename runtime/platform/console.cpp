#include "runtime/platform/console.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "runtime/core/hooks.h"
#include "runtime/core/system.h"
#include "runtime/platform/output-column.h"
#include "runtime/text/unicode.h"

namespace kel::console {

namespace {

bool console_flag = true;

uint8_t output[OUTPUT_BUFFER_SIZE];
size_t pending = 0;

char numbers[NUMBER_BUFFER_SIZE];

Writer writer = nullptr;

ColumnTracker tracker;

int output_error = 0;  // errno of the first write that failed, 0 while none did

// Writes all bytes, resuming after partial writes and interrupted calls. Any
// other failure drops the rest and is remembered: the process then ends
// with OUTPUT_FAILED instead of 0 (a closed pipe ends it by SIGPIPE first).
void write_all(const uint8_t* data, size_t size) {
    tracker.feed(data, size);
    while (size > 0) {
        ssize_t n = writer ? writer(STDOUT_FILENO, data, size) : ::write(STDOUT_FILENO, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!output_error) output_error = n < 0 ? errno : EIO;
            return;
        }
        data += n;
        size -= size_t(n);
    }
}

void flush() {
    if (pending == 0) return;
    write_all(output, pending);
    pending = 0;
}

// UTF-8 form of one code point, 1 to 4 bytes. Surrogates and values beyond
// U+10FFFF have no UTF-8 form and are written as U+FFFD: output never fails.
size_t encode_utf8(uint32_t cp, uint8_t* out) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    return size_t(unicode::encode_utf8_char(cp, out));
}

template <class Unit>
void stage_units(const uint8_t* text, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        Unit u;
        std::memcpy(&u, text + i * sizeof(Unit), sizeof(Unit));
        uint32_t cp = u;
        if (cp < 0x80)
            output[pending++] = uint8_t(cp);
        else
            pending += encode_utf8(cp, output + pending);
        if (pending > FLUSH_LIMIT) flush();
    }
}

}  // namespace

void init() {
    pending = 0;
    tracker.reset();
    console_flag = isatty(STDOUT_FILENO) != 0;
}

bool is_console() { return console_flag; }

void set_writer(Writer w) { writer = w; }

int output_failure() { return output_error; }

void forget_output_failure() { output_error = 0; }

int64_t output_column() { return tracker.column(); }

void reset_output_column() { tracker.reset(); }

void write_units(const void* text, size_t size, uint32_t unit, bool newline) { write_utf8(text, size, unit, newline); }

void write_utf8(const void* text, size_t size, uint32_t unit, bool newline) {
    const auto* p = static_cast<const uint8_t*>(text);
    switch (unit) {
    case 1:
        stage_units<uint8_t>(p, size);
        break;
    case 2:
        stage_units<uint16_t>(p, size / 2);
        break;
    case 4:
        stage_units<uint32_t>(p, size / 4);
        break;
    default:
        no_switch_matched();
    }
    if (newline) output[pending++] = '\n';
    flush();
}

void print_latin1(const void* text, size_t size) { write_units(text, size, 1, false); }
void print_line_latin1(const void* text, size_t size) { write_units(text, size, 1, true); }
void print_ucs2(const void* text, size_t size) { write_units(text, size, 2, false); }
void print_line_ucs2(const void* text, size_t size) { write_units(text, size, 2, true); }
void print_ucs4(const void* text, size_t size) { write_utf8(text, size, 4, false); }
void print_line_ucs4(const void* text, size_t size) { write_utf8(text, size, 4, true); }

const char* print_c_string(const char* text) {
    if (!text) return text;
    size_t length = std::strlen(text);
    write_all(reinterpret_cast<const uint8_t*>(text), length);
    hooks::run_raw(text, length, 0);
    return text;
}

char* number_buffer() { return numbers; }

void print_number_buffer(size_t count) {
    if (count > NUMBER_BUFFER_SIZE) count = NUMBER_BUFFER_SIZE;
    write_units(numbers, count, 1, false);
    hooks::run_raw(numbers, count, 0);
}

}  // namespace kel::console
