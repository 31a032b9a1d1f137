// simple-io: the file layer under file! (read, write, delete, rename,
// query), the routines exists?, create-dir, get-current-dir,
// set-current-dir and write-stdout, and the natives size? and checksum of a
// file. It calls the POSIX layer (runtime/platform/files.h) with byte paths.
//
// Each operation has an entry over a byte path (the OS path, os-path.h),
// which answers failure as a result (false, none, -1), and a wrapper over a
// string-family value (a file!, or any text), which converts the value to
// its OS path and maps every failure, whatever its errno, to one result:
//
//   read (open, a directory asked without "/", a read)   access/cannot-open, the file
//   listing (opendir, readdir)                            access/cannot-open, the path
//   write: the open                                       access/cannot-open, the file
//   write: a seek, a failed or short write, the close     access/cannot-write, the file
//                                                         and the system's message
//   delete, rename                                        false
//   query, size? (a directory also gives none)            none
//   exists?                                               false
//   create-dir                                            access/no-create
//   set-current-dir                                       access/cannot-open
//
// A value without an OS path (NUL, a surrogate outside U+DC80-U+DCFF) fails
// the same way, without reaching the system.
//
// Reading: a regular file of size above 0 is read exactly (seek, then a read
// loop); anything else (pipes, devices, /proc) in one pass to its end,
// skipping the /seek bytes and stopping at /part. A result that would need
// more than 2,147,483,647 bytes raises script/too-long before anything is
// allocated. Text is decoded by the runtime's UTF-8 loader: a leading byte
// order mark is skipped and CR LF becomes LF (the loader also turns a lone CR
// into LF); lines split at LF, dropping a CR before it.
//
// Writing goes in place: every byte is converted before the file is opened,
// so a conversion error leaves the file untouched. Lines end with LF; /part 0
// writes nothing.
//
// Collector: OS paths are C++ strings, never series. Results are written to
// `out`, which must not lie in a series buffer.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/core/cell.h"

namespace kel::simple_io {

// Byte counts of read: any negative value means "not given".
struct ReadOptions {
    int64_t part = -1;
    int64_t seek = -1;
    bool binary = false;
    bool lines = false;
};
// A write's /part may be negative (nothing is written), so it is optional.
struct WriteOptions {
    std::optional<int64_t> part;
    int64_t seek = -1;
    bool binary = false;
    bool append = false;
    bool lines = false;
};

// The result of a write whose file could not be opened.
inline constexpr int64_t WRITE_FAILED = -2;
// The result of a write whose file was opened but whose seek, write or close
// failed (the errno is handed back).
inline constexpr int64_t WRITE_NOT_WRITTEN = -3;
// The result of a write with a negative /part: nothing written.
inline constexpr int64_t WRITE_NEGATIVE_PART = -1;

// The spelling names a directory: it ends with "/", or it is "." or "..", or
// it ends with "/." or "/..". A backslash is an ordinary name character.
bool dir_spelling(const std::string& path);
bool dir_spelling(const Cell& text);

// The UTC time of a last write, broken down.
struct WriteTime {
    int32_t year, month, day, hour, minute, second, nanosecond;
};
// The date! maker of query; null until the date! module installs one, and
// query of an existing file then raises internal/not-done.
using DateMaker = void (*)(Cell* out, const WriteTime& time);
DateMaker install_date_maker(DateMaker maker);  // answers the one it replaces

// Byte paths ------------------------------------------------------------------

// A directory spelling is listed, anything else read as a file; false when
// it cannot be opened or read.
bool read(Cell* out, const std::string& path, const ReadOptions& options);
bool read_file(Cell* out, const std::string& path, const ReadOptions& options);
// A block of file! names sorted by their bytes, directories (and links to
// them) with "/" appended; false when opendir or readdir fails.
bool read_dir(Cell* out, const std::string& path);
// Writes the value to the file (standard output when path is null, after
// the console's pending output). The bytes written, WRITE_NEGATIVE_PART,
// WRITE_FAILED or WRITE_NOT_WRITTEN (its errno in *write_errno when given);
// conversion errors are raised before the file is opened.
int64_t write(const std::string* path, const Cell& value, const WriteOptions& options, int* write_errno = nullptr);
// rmdir for a directory spelling, unlink otherwise (a link itself).
bool remove(const std::string& path);
// Never replaces an existing target.
bool rename(const std::string& from, const std::string& to);
// The last write of an existing path; none for a missing one and for a
// directory spelling that is no directory.
std::optional<WriteTime> query_time(const std::string& path);
void query(Cell* out, const std::string& path);
bool exists(const std::string& path);
// none, integer! up to 2,147,483,647, float! above.
void size(Cell* out, const std::string& path);
bool create_dir(const std::string& path);
// getcwd, ending with "/".
std::optional<std::string> current_dir();
bool set_current_dir(const std::string& path);

// The value of bytes read, by the read rules above: a binary! (`binary`), a
// block of lines (`lines`) or a string!; part and seek are not used. More
// than 2,147,483,647 bytes raise script/too-long.
void make_read_result(Cell* out, const uint8_t* bytes, int64_t n, const ReadOptions& options);

// String-family values ----------------------------------------------------------

// part and seek: null or none when not given; an integer! otherwise (else
// script/invalid-refine-arg).
void read(Cell* out, const Cell& file, const Cell* part, const Cell* seek, bool binary, bool lines);
// file null writes to standard output. Answers the bytes written, or -1 for
// a negative /part.
int64_t write(const Cell* file, const Cell& value, const Cell* part, const Cell* seek, bool binary, bool append,
              bool lines);
bool remove(const Cell& file);
bool rename(const Cell& from, const Cell& to);
void query(Cell* out, const Cell& file);
bool exists(const Cell& file);
void size(Cell* out, const Cell& file);
void create_dir(const Cell& file);
void set_current_dir(const Cell& file);
// The current directory as a value of `type` (file!), ending with "/".
void get_current_dir(Cell* out, uint32_t type);
// Writes the value's data to standard output: strings as UTF-8, binaries as
// they are; no line end added.
void write_stdout(const Cell& value);
// Reads what standard input has, at most `length` bytes, onto the tail of
// the binary!, which first grows to hold them (a caller's short buffer is
// never overrun). Answers the bytes read: 0 at the end, a failure or a
// length below 1 change nothing.
int64_t read_stdin(const Cell& binary, int32_t length);

}  // namespace kel::simple_io
