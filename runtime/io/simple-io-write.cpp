// Writing files: every byte is converted first, then the file is opened and
// written in place.
#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/files.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::simple_io {

namespace {

// The units of a series value from its head, at most `part` when part >= 0.
struct Span {
    int64_t head = 0;
    int64_t count = 0;
};
Span span_of(const Cell& value, int64_t part) {
    SeriesBuffer* b = memory::buffer_of(cell_node(value));
    int64_t total = int64_t((b->tail - b->offset) >> unicode::unit_shift(b->unit()));
    int64_t head = int32_t(value.data1);
    if (head < 0) head = 0;
    if (head > total) head = total;
    int64_t count = total - head;
    if (part >= 0 && part < count) count = part;
    return Span{head, count};
}

// Appends the UTF-8 of `count` code points of a string from unit `head`.
// A surrogate (U+D800-U+DFFF) or a value above U+10FFFF raises
// script/invalid-char: no reader takes their bytes back, so a file never
// gets them. Allocates nothing.
void append_utf8(std::string& out, const Cell& text, Span span) {
    SeriesBuffer* b = memory::buffer_of(cell_node(text));
    uint32_t unit = b->unit();
    const uint8_t* p = b->head_ptr();
    if (unit == 1) {
        const uint8_t* s = p + span.head;
        for (int64_t i = 0; i < span.count;) {
            int64_t run = i;
            while (run < span.count && s[run] < 0x80) ++run;
            out.append(reinterpret_cast<const char*>(s + i), size_t(run - i));
            if (run == span.count) break;
            out.push_back(char(0xC0 | (s[run] >> 6)));
            out.push_back(char(0x80 | (s[run] & 0x3F)));
            i = run + 1;
        }
        return;
    }
    uint8_t bytes[4];
    for (int64_t i = 0; i < span.count; ++i) {
        uint32_t cp = unicode::get_unit(p, unit, uint64_t(span.head + i));
        if (cp < 0x80) {
            out.push_back(char(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) unicode::fire_invalid_char(cp);
        int32_t n = unicode::encode_utf8_char(cp, bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
}

// The bytes of one value: a string-family value as UTF-8, a binary! as its
// bytes, each from its head and at most `part` units when part >= 0; any
// other value molded, then as a string.
void append_value(std::string& out, const Cell& value, int64_t part) {
    uint32_t type = type_of(value);
    if (type_classes::holds_code_points(type)) {
        append_utf8(out, value, span_of(value, part));
        return;
    }
    if (type == TYPE_BINARY) {
        Span s = span_of(value, part);
        out.append(reinterpret_cast<const char*>(memory::buffer_of(cell_node(value))->head_ptr() + s.head),
                   size_t(s.count));
        return;
    }
    Cell text = make_unset();
    Rooted keep(text);
    string::ks_make_at(text, 64);
    actions::mold(value, text, MoldOptions{});
    append_utf8(out, text, span_of(text, part));
}

// Every byte the write will put in the file, in order. With lines and a
// block, each value of the block ends with LF, and /part counts the values;
// with lines and another value, the value ends with LF.
std::string convert(const Cell& value, const WriteOptions& options) {
    std::string out;
    if (options.lines && type_of(value) == TYPE_BLOCK) {
        Cell block = value;
        Rooted keep(block);
        int32_t length = block::ks_length(block);
        int64_t count = length < 0 ? 0 : length;
        if (options.part && *options.part < count) count = *options.part;
        for (int64_t i = 0; i < count; ++i) {
            // Re-read the block at every value: a mold may move it.
            Cell item = *block::ks_abs_at(block, int32_t(int32_t(block.data1) + i));
            append_value(out, item, -1);
            out.push_back('\n');
        }
        return out;
    }
    append_value(out, value, options.part ? *options.part : -1);
    if (options.lines) out.push_back('\n');
    return out;
}

}  // namespace

int64_t write(const std::string* path, const Cell& value, const WriteOptions& options, int* write_errno) {
    if (options.part && *options.part < 0) return WRITE_NEGATIVE_PART;
    std::string bytes = convert(value, options);
    auto failed_write = [&] {
        if (write_errno) *write_errno = errno;
        return WRITE_NOT_WRITTEN;
    };
    if (!path) {
        // The console's output buffer is empty again whenever a writer
        // returns, so nothing the runtime printed is still pending here.
        return files::write_fully(1, bytes.data(), int64_t(bytes.size())) ? int64_t(bytes.size()) : failed_write();
    }
    int fd = files::open_write(*path, files::WriteMode{options.append, options.seek >= 0});
    if (fd < 0) return WRITE_FAILED;
    bool ok = true;
    if (options.seek > 0 && !options.append) ok = files::seek(fd, options.seek);
    if (ok) ok = files::write_fully(fd, bytes.data(), int64_t(bytes.size()));
    int64_t result = ok ? int64_t(bytes.size()) : failed_write();
    // A failed close may be the first report of a failed write (a full disk
    // on a network file system).
    if (!files::close_fd(fd) && result >= 0) result = failed_write();
    return result;
}

}  // namespace kel::simple_io
