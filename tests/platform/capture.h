// Capturing what the console layer writes: either every chunk handed to the
// writer (no descriptor involved), or standard output itself redirected to a
// temporary file.
#pragma once
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/platform/console.h"

namespace kel::test {

// Everything the file open on `fd` holds, read from its start without moving
// its offset.
inline std::string file_text(int fd) {
    std::string all;
    char buf[4096];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(fd, buf, sizeof buf, at)) > 0) {
        all.append(buf, size_t(n));
        at += n;
    }
    return all;
}

// Each flushed chunk of console output, in order, while an instance lives.
class ChunkCapture {
public:
    ChunkCapture() {
        chunks().clear();
        console::set_writer(&record);
    }
    ~ChunkCapture() { console::set_writer(nullptr); }
    ChunkCapture(const ChunkCapture&) = delete;
    ChunkCapture& operator=(const ChunkCapture&) = delete;

    static std::vector<std::string>& chunks() {
        static std::vector<std::string> list;
        return list;
    }
    static std::string text() {
        std::string all;
        for (const std::string& c : chunks()) all += c;
        return all;
    }

private:
    static ssize_t record(int, const void* data, size_t size) {
        chunks().emplace_back(static_cast<const char*>(data), size);
        return ssize_t(size);
    }
};

// Standard output redirected to a temporary file while an instance lives.
// Assertions must not run inside: the test framework prints there too.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(nullptr);
        file_ = std::tmpfile();
        saved_ = dup(STDOUT_FILENO);
        dup2(fileno(file_), STDOUT_FILENO);
    }
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // What has reached the file so far; C stdio buffers are not flushed.
    std::string written() const { return file_text(fileno(file_)); }
    // Restores standard output and returns everything written.
    std::string finish() {
        if (!file_) return text_;
        std::fflush(nullptr);
        text_ = written();
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        std::fclose(file_);
        file_ = nullptr;
        return text_;
    }

private:
    FILE* file_ = nullptr;
    int saved_ = -1;
    std::string text_;
};

}  // namespace kel::test
