// Directories, names and the single-call operations of the file layer, over
// byte paths.
#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/io/os-path.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/files.h"

namespace kel::simple_io {

namespace {
DateMaker date_maker = nullptr;
}

DateMaker install_date_maker(DateMaker maker) {
    DateMaker previous = date_maker;
    date_maker = maker;
    return previous;
}

bool dir_spelling(const std::string& path) {
    size_t n = path.size();
    if (n == 0) return false;
    if (path[n - 1] == '/') return true;
    // The last part is "." or "..".
    size_t dots = 0;
    while (dots < n && dots < 3 && path[n - 1 - dots] == '.') ++dots;
    if (dots == 0 || dots > 2) return false;
    return dots == n || path[n - 1 - dots] == '/';
}

bool read_dir(Cell* out, const std::string& path) {
    std::vector<files::Entry> entries;
    if (!files::list_directory(path, entries)) return false;
    // Sorted by the bytes of the names (std::string compares as unsigned
    // bytes): readdir's own order is not deterministic.
    std::sort(entries.begin(), entries.end(),
              [](const files::Entry& a, const files::Entry& b) { return a.name < b.name; });
    Cell block = make_unset();
    Rooted keep_block(block);
    block::make_at(block, int32_t(entries.size()));
    Cell name = make_unset();
    Rooted keep_name(name);
    for (const files::Entry& e : entries) {
        os_path::make_name(name, e.name, TYPE_FILE, e.directory);
        block::append_cell(block, name);
    }
    *out = block;
    return true;
}

bool remove(const std::string& path) {
    return dir_spelling(path) ? files::remove_directory(path) : files::unlink_file(path);
}

bool rename(const std::string& from, const std::string& to) { return files::rename_no_replace(from, to); }

std::optional<WriteTime> query_time(const std::string& path) {
    std::optional<files::Info> info = files::stat_path(path);
    if (!info) return std::nullopt;
    if (!path.empty() && path.back() == '/' && info->kind != files::Kind::directory) return std::nullopt;
    time_t seconds = time_t(info->modified_seconds);
    struct tm utc;
    if (!gmtime_r(&seconds, &utc)) return std::nullopt;
    return WriteTime{utc.tm_year + 1900,        utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                     info->modified_nanoseconds};
}

void query(Cell* out, const std::string& path) {
    std::optional<WriteTime> time = query_time(path);
    if (!time) {
        *out = make_none();
        return;
    }
    if (!date_maker) fire(ErrorId::internal_not_done);
    date_maker(out, *time);
}

bool exists(const std::string& path) { return files::stat_path(path).has_value(); }

void size(Cell* out, const std::string& path) {
    *out = make_none();
    if (dir_spelling(path)) return;
    int fd = files::open_read(path, true);  // a FIFO must not keep size? waiting for a writer
    if (fd < 0) return;
    std::optional<files::Info> info = files::fstat_fd(fd);
    files::close_fd(fd);
    if (!info || info->kind == files::Kind::directory) return;
    if (info->size <= INT32_MAX)
        *out = make_integer(int32_t(info->size));
    else
        *out = float_::make_cell(double(info->size));
}

bool create_dir(const std::string& path) { return files::make_directory(path); }

std::optional<std::string> current_dir() {
    std::optional<std::string> dir = files::current_directory();
    if (dir && (dir->empty() || dir->back() != '/')) dir->push_back('/');
    return dir;
}

bool set_current_dir(const std::string& path) { return files::change_directory(path); }

}  // namespace kel::simple_io
