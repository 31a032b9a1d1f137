#include "runtime/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace kel::files {

namespace {

// A path the system would read only up to its first NUL names another file.
bool usable(const std::string& path) {
    if (path.find('\0') == std::string::npos) return true;
    errno = EINVAL;
    return false;
}

// The largest count one read(2) or write(2) call takes on Linux.
constexpr int64_t MAX_CHUNK = 0x7FFFF000;

Info info_of(const struct stat& st) {
    Info info;
    if (S_ISREG(st.st_mode))
        info.kind = Kind::regular;
    else if (S_ISDIR(st.st_mode))
        info.kind = Kind::directory;
    info.size = int64_t(st.st_size);
    info.modified_seconds = int64_t(st.st_mtim.tv_sec);
    info.modified_nanoseconds = int32_t(st.st_mtim.tv_nsec);
    return info;
}

}  // namespace

int open_read(const std::string& path, bool probe) {
    if (!usable(path)) return -1;
    int fd;
    do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (probe ? O_NONBLOCK : 0));
    while (fd < 0 && errno == EINTR);
    return fd;
}

int open_write(const std::string& path, WriteMode mode) {
    if (!usable(path)) return -1;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (mode.append)
        flags |= O_APPEND;
    else if (!mode.seek)
        flags |= O_TRUNC;
    int fd;
    do fd = ::open(path.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool close_fd(int fd) { return ::close(fd) == 0; }

bool seek(int fd, int64_t offset) { return ::lseek(fd, off_t(offset), SEEK_SET) == off_t(offset); }

int64_t read_fully(int fd, void* out, int64_t count) {
    auto* p = static_cast<uint8_t*>(out);
    int64_t done = 0;
    while (done < count) {
        int64_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        ssize_t n = ::read(fd, p + done, size_t(want));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;  // end of file
        done += n;
    }
    return done;
}

int64_t read_some(int fd, void* out, int64_t count) {
    int64_t want = count < MAX_CHUNK ? count : MAX_CHUNK;
    for (;;) {
        ssize_t n = ::read(fd, out, size_t(want));
        if (n >= 0) return n;
        if (errno != EINTR) return -1;
    }
}

bool write_fully(int fd, const void* data, int64_t count) {
    auto* p = static_cast<const uint8_t*>(data);
    int64_t done = 0;
    while (done < count) {
        int64_t want = count - done < MAX_CHUNK ? count - done : MAX_CHUNK;
        ssize_t n = ::write(fd, p + done, size_t(want));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;  // no progress: the device takes no more
        done += n;
    }
    return true;
}

std::optional<Info> fstat_fd(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return info_of(st);
}

std::optional<Info> stat_path(const std::string& path) {
    struct stat st;
    if (!usable(path) || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return info_of(st);
}

bool lstat_exists(const std::string& path) {
    struct stat st;
    return usable(path) && ::lstat(path.c_str(), &st) == 0;
}

bool list_directory(const std::string& path, std::vector<Entry>& out) {
    if (!usable(path)) return false;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    int dfd = ::dirfd(dir);
    bool ok = true;
    for (;;) {
        errno = 0;
        struct dirent* e = ::readdir(dir);
        if (!e) {
            ok = errno == 0;  // null with errno set is a failed read, not the end
            break;
        }
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        bool directory;
        if (e->d_type == DT_DIR) {
            directory = true;
        } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // Follow a link: a link to a directory lists as one; a dangling
            // link (or one that cannot be followed) as a plain name.
            struct stat st;
            directory = ::fstatat(dfd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        } else {
            directory = false;
        }
        out.push_back(Entry{name, directory});
    }
    ::closedir(dir);
    return ok;
}

bool make_directory(const std::string& path) { return usable(path) && ::mkdir(path.c_str(), 0777) == 0; }

bool remove_directory(const std::string& path) { return usable(path) && ::rmdir(path.c_str()) == 0; }

bool unlink_file(const std::string& path) { return usable(path) && ::unlink(path.c_str()) == 0; }

bool rename_unless_target_exists(const std::string& from, const std::string& to) {
    if (!usable(from) || !usable(to)) return false;
    if (lstat_exists(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool rename_no_replace(const std::string& from, const std::string& to) {
    if (!usable(from) || !usable(to)) return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // EINVAL: the file system does not take the flag; ENOSYS: the kernel has
    // no renameat2.
    if (errno == EINVAL || errno == ENOSYS) return rename_unless_target_exists(from, to);
    return false;
}

std::optional<std::string> current_directory() {
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

bool change_directory(const std::string& path) { return usable(path) && ::chdir(path.c_str()) == 0; }

}  // namespace kel::files
