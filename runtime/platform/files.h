// The POSIX file layer: every system call on files and directories goes
// through here, and only here.
//
// Paths are byte strings (the operating system's own form): a path holding a
// NUL byte is refused before any call (errno EINVAL), so a name is never cut
// short into another one. Descriptors are opened with O_CLOEXEC. Reads and
// writes loop over short counts and are retried on EINTR, so a count below
// the one asked means end of file (read) and never a lost remainder. Sizes
// and offsets are 64-bit. Nothing here allocates series memory or raises a
// language error: failures are answered as -1, false or an empty optional,
// and the callers map them to the language's results.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kel::files {

// How a file is opened for writing: truncated unless appending or seeking,
// O_APPEND when appending; created with mode 0666 under the umask.
struct WriteMode {
    bool append = false;
    bool seek = false;
};

// A descriptor for reading / writing, or -1. With `probe` the open does not
// wait for a writer (a FIFO): for a look at the file, not for reading it.
int open_read(const std::string& path, bool probe = false);
int open_write(const std::string& path, WriteMode mode);
// close(2), not retried (Linux releases the descriptor even on EINTR); false
// when it reported an error.
bool close_fd(int fd);
// Moves to `offset` bytes from the start.
bool seek(int fd, int64_t offset);

// Reads until `count` bytes are in `out` or the file ends; answers the bytes
// read, or -1 when a read fails.
int64_t read_fully(int fd, void* out, int64_t count);
// One read of at most `count` bytes (retried on EINTR): what is there now,
// for an interactive input. The bytes read, 0 at the end, or -1.
int64_t read_some(int fd, void* out, int64_t count);
// Writes all `count` bytes; false when a write fails or writes nothing.
bool write_fully(int fd, const void* data, int64_t count);

enum class Kind : uint8_t { regular, directory, other };
struct Info {
    Kind kind = Kind::other;
    int64_t size = 0;
    int64_t modified_seconds = 0;  // last write, seconds since 1970 (UTC)
    int32_t modified_nanoseconds = 0;
};
std::optional<Info> fstat_fd(int fd);
// stat(2): follows links.
std::optional<Info> stat_path(const std::string& path);
// lstat(2): the link itself.
bool lstat_exists(const std::string& path);

// One entry of a listing: its name and whether it is a directory (a link is
// followed: a link to a directory counts as one, a dangling link does not).
struct Entry {
    std::string name;
    bool directory = false;
};
// The entries of a directory without "." and "..", in readdir order. d_type
// answers where the file system gives it; otherwise (and for links) fstatat
// decides. False when opendir or a readdir fails.
bool list_directory(const std::string& path, std::vector<Entry>& out);

// mkdir with mode 0777 under the umask; rmdir; unlink.
bool make_directory(const std::string& path);
bool remove_directory(const std::string& path);
bool unlink_file(const std::string& path);
// Renames without ever replacing an existing target: renameat2 with
// RENAME_NOREPLACE, and where the file system refuses that flag,
// rename_unless_target_exists.
bool rename_no_replace(const std::string& from, const std::string& to);
// The fallback: lstat the target, and rename(2) only when it names nothing.
bool rename_unless_target_exists(const std::string& from, const std::string& to);

// getcwd as bytes, whatever its length; empty optional when it fails.
std::optional<std::string> current_directory();
bool change_directory(const std::string& path);

}  // namespace kel::files
