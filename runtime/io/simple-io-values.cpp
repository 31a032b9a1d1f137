// The file layer over string-family values: each converts the value to its
// OS path and maps the byte-path entry's failure to the language's result.
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/os-path.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/files.h"
#include "runtime/platform/input-reader.h"

namespace kel::simple_io {

namespace {

bool given(const Cell* cell) { return cell && type_of(*cell) != TYPE_NONE; }

// The integer of a /part or /seek argument; script/invalid-refine-arg for
// any other type.
int64_t part_value(const Cell& cell) {
    if (type_of(cell) != TYPE_INTEGER) series::fire_invalid_refine_arg(words::Ref::part, cell);
    return cell_integer(cell);
}
int64_t seek_value(const Cell& cell) {
    if (type_of(cell) != TYPE_INTEGER) fire(ErrorId::script_invalid_refine_arg, {word::refinement_of("seek"), cell});
    return cell_integer(cell);
}

}  // namespace

bool dir_spelling(const Cell& text) {
    std::string path;
    // A text without an OS path still has a spelling: test its last units.
    if (!os_path::from_text(text, path)) {
        path.clear();
        SeriesBuffer* b = memory::buffer_of(cell_node(text));
        uint32_t unit = b->unit();
        int64_t total = int64_t((b->tail - b->offset) >> unicode::unit_shift(unit));
        int64_t head = int32_t(text.data1) < 0 ? 0 : int32_t(text.data1);
        for (int64_t i = total - 3 < head ? head : total - 3; i < total; ++i) {
            uint32_t cp = unicode::get_unit(b->head_ptr(), unit, uint64_t(i));
            path.push_back(cp == '/' || cp == '.' ? char(cp) : 'x');
        }
    }
    return dir_spelling(path);
}

void read(Cell* out, const Cell& file, const Cell* part, const Cell* seek, bool binary, bool lines) {
    ReadOptions options;
    options.binary = binary;
    options.lines = lines;
    if (given(part)) options.part = part_value(*part);
    if (given(seek)) options.seek = seek_value(*seek);
    std::string path;
    Cell result = make_unset();
    Rooted keep(result);
    if (!os_path::from_text(file, path) || !read(&result, path, options)) fire(ErrorId::access_cannot_open, {file});
    *out = result;
}

int64_t write(const Cell* file, const Cell& value, const Cell* part, const Cell* seek, bool binary, bool append,
              bool lines) {
    WriteOptions options;
    options.binary = binary;
    options.append = append;
    options.lines = lines;
    if (given(part)) options.part = part_value(*part);
    if (given(seek)) options.seek = seek_value(*seek);
    Cell target = file ? *file : make_none();
    std::string path;
    if (file && !os_path::from_text(*file, path)) fire(ErrorId::access_cannot_open, {target});
    int write_errno = 0;
    int64_t n = write(file ? &path : nullptr, value, options, &write_errno);
    if (n == WRITE_FAILED) fire(ErrorId::access_cannot_open, {target});
    if (n == WRITE_NOT_WRITTEN) {
        Rooted keep(target);
        const char* text = std::strerror(write_errno);
        Cell reason{};
        Rooted keep_reason(reason);
        string::import_at(reinterpret_cast<const uint8_t*>(text), int32_t(std::strlen(text)), &reason,
                          string::ENCODING_UTF8);
        fire(ErrorId::access_cannot_write, {target, reason});
    }
    return n;
}

bool remove(const Cell& file) {
    std::string path;
    return os_path::from_text(file, path) && remove(path);
}

bool rename(const Cell& from, const Cell& to) {
    std::string a, b;
    return os_path::from_text(from, a) && os_path::from_text(to, b) && rename(a, b);
}

void query(Cell* out, const Cell& file) {
    std::string path;
    if (!os_path::from_text(file, path)) {
        *out = make_none();
        return;
    }
    query(out, path);
}

bool exists(const Cell& file) {
    std::string path;
    return os_path::from_text(file, path) && exists(path);
}

void size(Cell* out, const Cell& file) {
    std::string path;
    if (!os_path::from_text(file, path)) {
        *out = make_none();
        return;
    }
    size(out, path);
}

void create_dir(const Cell& file) {
    std::string path;
    if (!os_path::from_text(file, path) || !create_dir(path)) fire(ErrorId::access_no_create, {file});
}

void set_current_dir(const Cell& file) {
    std::string path;
    if (!os_path::from_text(file, path) || !set_current_dir(path)) fire(ErrorId::access_cannot_open, {file});
}

void get_current_dir(Cell* out, uint32_t type) {
    std::optional<std::string> dir = current_dir();
    // getcwd fails only when the directory was removed or is out of reach.
    if (!dir) fire(ErrorId::access_cannot_open, {make_none()});
    Cell result = make_unset();
    Rooted keep(result);
    os_path::make_name(result, *dir, type, false);
    *out = result;
}

int64_t read_stdin(const Cell& binary, int32_t length) {
    if (length < 1) return 0;
    SeriesBuffer* b = memory::buffer_of(cell_node(binary));
    b = memory::grow_series(b, b->tail + uint64_t(length), 0);
    // Nothing allocates between taking the address and the read. The bytes
    // come through the reader the console shares, after what it buffered.
    int64_t got = console::standard_input().read_bytes(b->tail_ptr(), length);
    if (got <= 0) return 0;
    b->tail += uint64_t(got);
    return got;
}

void write_stdout(const Cell& value) { write(nullptr, value, nullptr, nullptr, false, false, false); }

}  // namespace kel::simple_io
