// Reading files: exact reads of regular files, one pass over everything else,
// and the conversion of the bytes to a binary!, a string! or a block of lines.
#include <cstring>
#include <memory>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/files.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::simple_io {

namespace {

constexpr int64_t MAX_RESULT = INT32_MAX;
constexpr int64_t CHUNK = 0x10000;

// Closes the descriptor at the end of the scope, whatever leaves it.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) files::close_fd(fd);
    }
};

// Bytes held outside every series, never zero-filled.
struct Bytes {
    std::unique_ptr<uint8_t[]> data;
    int64_t size = 0;
};

[[noreturn]] void fire_too_long() { fire(ErrorId::script_too_long); }

// A new binary! holding a copy of the bytes (outside every series).
void make_binary(Cell* out, const uint8_t* bytes, int64_t n) {
    Cell made{};
    binary::make_at(made, uint64_t(n));
    SeriesBuffer* b = memory::buffer_of(cell_node(made));
    if (n) std::memcpy(b->tail_ptr(), bytes, size_t(n));
    b->tail += uint64_t(n);
    *out = made;
}

// The unit the code points of valid UTF-8 need, from its lead bytes alone:
// C4-DF and E0-EF start code points above U+00FF, F0 and above start ones
// above U+FFFF.
uint32_t unit_needed(const uint8_t* p, int64_t n) { return unicode::utf8_unit_needed(p, p + n); }

// Loads UTF-8 into a new string! of the unit the text needs, so the loader
// never widens nor grows it; a sequence cut off by the end of the data is
// malformed too.
NodeId load_text(const uint8_t* p, int64_t n, bool crlf) {
    int32_t unconsumed = 0;
    NodeId target = memory::alloc_codepoints(uint64_t(n), unit_needed(p, n));
    NodeId node = unicode::load_utf8(p, int32_t(n), target, &unconsumed, crlf);
    if (unconsumed) unicode::fire_invalid_encoding(p + n - unconsumed, unconsumed);
    return node;
}

// Every byte is ASCII (and, with no_cr, none is a CR): the bytes are the
// units of the text.
bool ascii(const uint8_t* p, int64_t n, bool no_cr) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    uint64_t bad = 0;
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        if ((i & 4095) == 0 && (bad & highs)) return false;  // text that is not ASCII fails early
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        bad |= v;
        if (no_cr) {
            uint64_t x = v ^ (ones * '\r');
            bad |= (x - ones) & ~x;  // the top bit of a byte that is CR (or of one above it)
        }
    }
    for (; i < n; ++i) bad |= p[i] | (no_cr && p[i] == '\r' ? 0x80 : 0);
    return (bad & highs) == 0;
}

// A line of pure ASCII needs no decoding: its bytes are its units.
NodeId load_line(const uint8_t* p, int64_t n) {
    if (n > 0 && ascii(p, n, false)) {
        NodeId node = memory::alloc_codepoints(uint64_t(n), 1);
        SeriesBuffer* b = memory::buffer_of(node);
        std::memcpy(b->data(), p, size_t(n));
        b->tail = uint64_t(n);
        return node;
    }
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        // The loader skips a leading byte order mark; only the file's first
        // line may lose one, so this line keeps its U+FEFF.
        NodeId node = load_text(p + 3, n - 3, false);
        Rooted keep(node);
        string::insert_char(memory::buffer_of(node), 0, 0xFEFF);
        return node;
    }
    return load_text(p, n, false);
}

// Text read straight into a byte series. ASCII without CR is already a
// string of unit 1 (a byte order mark would not be ASCII); anything else is
// loaded from it into a new string.
NodeId text_from_bytes(NodeId bytes, int64_t n) {
    const uint8_t* p = memory::buffer_of(bytes)->data();
    if (ascii(p, n, true)) return bytes;
    Rooted keep(bytes);
    int32_t unconsumed = 0;
    NodeId target = memory::alloc_codepoints(uint64_t(n), unit_needed(p, n));
    NodeId node = unicode::load_utf8(bytes, 0, int32_t(n), target, &unconsumed, true);
    if (unconsumed) unicode::fire_invalid_encoding(memory::buffer_of(bytes)->data() + n - unconsumed, unconsumed);
    return node;
}

// One string! per line: split at LF, a CR before the LF dropped; the text
// after the last LF makes a last line when it is not empty.
void make_lines(Cell* out, const uint8_t* p, int64_t n) {
    int64_t count = 0;
    for (const uint8_t* q = p; (q = static_cast<const uint8_t*>(std::memchr(q, '\n', size_t(p + n - q))));) {
        ++count;
        ++q;
    }
    Cell block = make_unset();
    Rooted keep(block);
    block::make_at(block, int32_t(count + 1));
    int64_t start = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) start = 3;
    while (start < n) {
        const auto* lf = static_cast<const uint8_t*>(std::memchr(p + start, '\n', size_t(n - start)));
        int64_t end = lf ? lf - p : n;
        int64_t stop = end;
        if (lf && stop > start && p[stop - 1] == '\r') --stop;
        Cell line = Cell{TYPE_STRING, 0, load_line(p + start, stop - start), 0};
        block::append_cell(block, line);
        start = end + 1;
    }
    *out = block;
}

// A regular file of known size: seek, then read exactly.
bool read_exact(Cell* out, int fd, int64_t size, const ReadOptions& options) {
    int64_t count = size;
    if (options.seek >= 0) {
        count = options.seek >= size ? 0 : size - options.seek;
        if (count && !files::seek(fd, options.seek)) return false;
    }
    if (options.part >= 0 && options.part < count) count = options.part;
    if (count > MAX_RESULT) fire_too_long();
    if (options.binary || !options.lines) {
        Cell made{};
        binary::make_at(made, uint64_t(count));
        // Nothing allocates from here to the last read: the address holds.
        SeriesBuffer* b = memory::buffer_of(cell_node(made));
        int64_t got = files::read_fully(fd, b->tail_ptr(), count);
        if (got < 0) return false;
        b->tail += uint64_t(got);
        if (options.binary)
            *out = made;
        else
            *out = Cell{TYPE_STRING, 0, text_from_bytes(cell_node(made), got), 0};
        return true;
    }
    Bytes bytes{std::unique_ptr<uint8_t[]>(new uint8_t[size_t(count ? count : 1)]), 0};
    bytes.size = files::read_fully(fd, bytes.data.get(), count);
    if (bytes.size < 0) return false;
    make_read_result(out, bytes.data.get(), bytes.size, options);
    return true;
}

// Anything else (pipes, devices, /proc): one pass to the end, skipping the
// /seek bytes and stopping at /part.
bool read_stream(Cell* out, int fd, const ReadOptions& options) {
    uint8_t scratch[CHUNK];
    for (int64_t skip = options.seek; skip > 0;) {
        int64_t got = files::read_fully(fd, scratch, skip < CHUNK ? skip : CHUNK);
        if (got < 0) return false;
        if (got == 0) break;
        skip -= got;
    }
    std::string bytes;
    int64_t limit = options.part;  // negative: to the end
    for (;;) {
        int64_t want = CHUNK;
        if (limit >= 0) {
            int64_t left = limit - int64_t(bytes.size());
            if (left <= 0) break;
            if (left < want) want = left;
        }
        // One byte beyond the largest result tells a stream that is too long.
        if (int64_t(bytes.size()) + want > MAX_RESULT + 1) want = MAX_RESULT + 1 - int64_t(bytes.size());
        size_t at = bytes.size();
        bytes.resize(at + size_t(want));
        int64_t got = files::read_fully(fd, bytes.data() + at, want);
        if (got < 0) return false;
        bytes.resize(at + size_t(got));
        if (int64_t(bytes.size()) > MAX_RESULT) fire_too_long();
        if (got < want) break;  // the end
    }
    make_read_result(out, reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()), options);
    return true;
}

}  // namespace

void make_read_result(Cell* out, const uint8_t* p, int64_t n, const ReadOptions& options) {
    if (n > MAX_RESULT) fire_too_long();
    if (options.binary)
        make_binary(out, p, n);
    else if (options.lines)
        make_lines(out, p, n);
    else
        *out = Cell{TYPE_STRING, 0, load_text(p, n, true), 0};
}

bool read_file(Cell* out, const std::string& path, const ReadOptions& options) {
    Descriptor file{files::open_read(path)};
    if (file.fd < 0) return false;
    std::optional<files::Info> info = files::fstat_fd(file.fd);
    if (!info || info->kind == files::Kind::directory) return false;
    if (info->kind == files::Kind::regular && info->size > 0) return read_exact(out, file.fd, info->size, options);
    return read_stream(out, file.fd, options);
}

bool read(Cell* out, const std::string& path, const ReadOptions& options) {
    if (dir_spelling(path)) return read_dir(out, path);
    return read_file(out, path, options);
}

}  // namespace kel::simple_io
