// Reading files: exact reads, one pass over streams, /seek and /part, text,
// lines, byte order marks, 64-bit sizes and the failures of read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <thread>

#include "runtime/datatypes/float.h"
#include "runtime/memory/collector.h"
#include "tests/files/files-fixture.h"

namespace kel::test {
namespace {

TEST_F(Files, AnEmptyFileReadsAsEmptyTextAndEmptyBinary) {
    Cell& f = file(put("empty", ""));
    Cell& out = slot();
    ASSERT_EQ(read(out, f), -1);
    EXPECT_EQ(type_of(out), TYPE_STRING);
    EXPECT_EQ(utf8(out), "");
    ASSERT_EQ(read(out, f, nullptr, nullptr, true), -1);
    EXPECT_EQ(bytes(out), "");
    ASSERT_EQ(read(out, f, nullptr, nullptr, false, true), -1);
    EXPECT_EQ(texts(out), std::vector<std::string>{});
}

TEST_F(Files, SeekAndPartSelectTheBytesRead) {
    Cell& f = file(put("hello", "hello world"));
    struct Case {
        int32_t seek, part;  // -1: not given
        const char* expected;
    };
    const Case cases[] = {
        {-1, -1, "hello world"}, {20, -1, ""},  {11, -1, ""},      {-1, 0, ""}, {-1, 100, "hello world"},
        {6, -1, "world"},        {6, 3, "wor"}, {6, 100, "world"}, {20, 5, ""}, {0, 5, "hello"},
    };
    for (const Case& c : cases) {
        for (bool binary : {false, true}) {
            SCOPED_TRACE(testing::Message() << "seek " << c.seek << " part " << c.part << " binary " << binary);
            Cell part = integer(c.part), seek = integer(c.seek);
            Cell& out = slot();
            ASSERT_EQ(read(out, f, c.part >= 0 ? &part : nullptr, c.seek >= 0 ? &seek : nullptr, binary), -1);
            EXPECT_EQ(binary ? bytes(out) : utf8(out), c.expected);
        }
    }
}

TEST_F(Files, LinesSplitAtLineFeedsAndDropTheCarriageReturnBeforeOne) {
    struct Case {
        std::string content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\n\r\nb\n", {"a", "", "b"}},
        {"a\nb", {"a", "b"}},
        {"\n", {""}},
        {"a\rb\n", {"a\rb"}},  // a CR elsewhere stays
        {"caf\xC3\xA9\n\xE2\x82\xAC\r\n", {"caf\xC3\xA9", "\xE2\x82\xAC"}},
        {"\xEF\xBB\xBFone\r\ntwo", {"one", "two"}},  // the file's byte order mark is skipped
        {"a\n\xEF\xBB\xBF"
         "b",
         {"a",
          "\xEF\xBB\xBF"
          "b"}},  // a later U+FEFF is text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        Cell& out = slot();
        ASSERT_EQ(read(out, file(put("lines", c.content)), nullptr, nullptr, false, true), -1);
        EXPECT_EQ(texts(out), c.lines);
    }
}

TEST_F(Files, TextSkipsTheByteOrderMarkAndTurnsCrLfIntoLf) {
    Cell& out = slot();
    ASSERT_EQ(read(out, file(put("bom", "\xEF\xBB\xBFone\r\ntwo\xE2\x82\xAC\n"))), -1);
    EXPECT_EQ(utf8(out), "one\ntwo\xE2\x82\xAC\n");
    ASSERT_EQ(read(out, file(put("ascii", "x\r\ny\r\n"))), -1);  // ASCII text with CR LF is converted too
    EXPECT_EQ(utf8(out), "x\ny\n");
    // /binary keeps every byte.
    ASSERT_EQ(read(out, file(at("bom")), nullptr, nullptr, true), -1);
    EXPECT_EQ(bytes(out), "\xEF\xBB\xBFone\r\ntwo\xE2\x82\xAC\n");
}

TEST_F(Files, MalformedTextRaisesInvalidUtf8EvenWhenCutOffAtTheEnd) {
    for (const char* content : {"ab\xFF"
                                "cd",
                                "ab\xC3", "\xE2\x82"}) {
        for (bool lines : {false, true}) {
            SCOPED_TRACE(testing::Message() << content << " lines " << lines);
            Cell& out = slot();
            EXPECT_EQ(read(out, file(put("bad", content)), nullptr, nullptr, false, lines),
                      id(ErrorId::access_invalid_utf8));
            ASSERT_EQ(read(out, file(at("bad")), nullptr, nullptr, true), -1);
            EXPECT_EQ(bytes(out), content);
        }
    }
}

// Ignores SIGPIPE while it lives, so a writer whose reader stopped early
// gets EPIPE instead of ending the process.
struct IgnoreSigpipe {
    struct sigaction saved {};
    IgnoreSigpipe() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &saved);
    }
    ~IgnoreSigpipe() { sigaction(SIGPIPE, &saved, nullptr); }
};

// A FIFO has size 0: it is read in one pass, and everything a writer puts
// in it arrives, across many chunks and short reads.
TEST_F(Files, AFifoFedByAWriterThreadIsReadInOnePass) {
    std::string data;
    for (int i = 0; data.size() < 300000; ++i) data += std::to_string(i) + ",";
    struct Case {
        int32_t seek, part;
        std::string expected;
    };
    const Case cases[] = {{-1, -1, data}, {70000, 1000, data.substr(70000, 1000)}, {-1, 10, data.substr(0, 10)}};
    IgnoreSigpipe ignore;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seek " << c.seek << " part " << c.part);
        std::string path = at("fifo");
        ::unlink(path.c_str());
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        std::thread writer([&] {
            int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            // Small pieces: the reader sees many short reads.
            for (size_t at = 0; fd >= 0 && at < data.size(); at += 4093)
                if (::write(fd, data.data() + at, std::min<size_t>(4093, data.size() - at)) < 0) break;
            if (fd >= 0) ::close(fd);
        });
        Cell part = integer(c.part), seek = integer(c.seek);
        Cell& out = slot();
        int error = read(out, file(path), c.part >= 0 ? &part : nullptr, c.seek >= 0 ? &seek : nullptr, true);
        writer.join();
        ASSERT_EQ(error, -1);
        EXPECT_EQ(bytes(out), c.expected);
    }
}

void on_signal(int) {}

// Signals that interrupt a blocked open or read make it start again, not
// fail: the handler is installed without SA_RESTART.
TEST_F(Files, InterruptedReadsAreRetried) {
    IgnoreSigpipe ignore;  // a reader that gave up must not end the process
    struct sigaction interrupt {
    }, saved{};
    interrupt.sa_handler = on_signal;
    ASSERT_EQ(sigaction(SIGUSR1, &interrupt, &saved), 0);
    std::string path = at("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    pthread_t reader = pthread_self();
    std::thread writer([&] {
        int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        // The reader waits for data meanwhile; each signal interrupts its read.
        for (int i = 0; i < 20; ++i) {
            pthread_kill(reader, SIGUSR1);
            usleep(1000);
        }
        if (fd >= 0) {
            if (::write(fd, "after signals", 13) != 13) ADD_FAILURE() << "the write to the FIFO failed";
            ::close(fd);
        }
    });
    Cell& out = slot();
    int error = read(out, file(path));
    writer.join();
    sigaction(SIGUSR1, &saved, nullptr);
    ASSERT_EQ(error, -1);
    EXPECT_EQ(utf8(out), "after signals");
}

TEST_F(Files, AProcFileIsReadWhole) {
    Cell& out = slot();
    ASSERT_EQ(read(out, file("/proc/self/status")), -1);
    std::string text = utf8(out);
    EXPECT_EQ(text.rfind("Name:", 0), 0u);
    EXPECT_NE(text.find("\nPid:"), std::string::npos);
    EXPECT_NE(text.find("\nVmPeak:"), std::string::npos);  // well past the first lines
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(Files, ReadingDevZeroStopsAtPart) {
    Cell part = integer(10), seek = integer(100000);
    Cell& out = slot();
    ASSERT_EQ(read(out, file("/dev/zero"), &part, nullptr, true), -1);
    EXPECT_EQ(bytes(out), std::string(10, '\0'));
    ASSERT_EQ(read(out, file("/dev/zero"), &part, &seek), -1);
    EXPECT_EQ(utf8(out), std::string(10, '\0'));
}

// A file of 4 GiB + 10 bytes, nearly all hole.
struct SparseFile {
    static constexpr int64_t SIZE = (int64_t(1) << 32) + 10;
    bool made = false;
    explicit SparseFile(const std::string& path) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return;
        made = ::ftruncate(fd, SIZE) == 0 && ::pwrite(fd, "0123456789", 10, SIZE - 10) == 10;
        ::close(fd);
    }
};

int allocations = 0;
void count_allocation() { ++allocations; }

TEST_F(Files, SizesAndOffsetsAreSixtyFourBit) {
    std::string path = at("sparse");
    if (!SparseFile(path).made) GTEST_SKIP() << "the temporary file system takes no 4 GiB sparse file";
    Cell& f = file(path);
    Cell& out = slot();
    simple_io::size(&out, f);
    ASSERT_EQ(type_of(out), TYPE_FLOAT);
    EXPECT_EQ(float_::get(out), 4294967306.0);

    Cell part = integer(10);
    ASSERT_EQ(read(out, f, &part, nullptr, true), -1);
    EXPECT_EQ(bytes(out), std::string(10, '\0'));
    // Offsets above 4 GiB reach the end of the file.
    simple_io::ReadOptions options;
    options.seek = SparseFile::SIZE - 10;
    options.binary = true;
    ASSERT_TRUE(simple_io::read_file(&out, path, options));
    EXPECT_EQ(bytes(out), "0123456789");

    // The whole file raises too-long before anything is allocated: the read
    // allocates no more series than raising the error does by itself.
    auto allocations_of = [](auto&& body) {
        allocations = 0;
        StandInCollector counting(count_allocation, true);
        body();
        return allocations;
    };
    auto raise_alone = [] {
        EXPECT_EQ(error_of([] { fire(ErrorId::script_too_long); }), id(ErrorId::script_too_long));
    };
    allocations_of(raise_alone);
    int baseline = allocations_of(raise_alone);
    for (bool binary : {true, false}) {
        int n =
            allocations_of([&] { EXPECT_EQ(read(out, f, nullptr, nullptr, binary), id(ErrorId::script_too_long)); });
        EXPECT_EQ(n, baseline) << "binary " << binary;
    }
}

TEST_F(Files, ReadFailuresRaiseCannotOpenWithTheFile) {
    put("file.txt", "x");
    fs::create_directory(at("dir"));
    fs::create_symlink(at("loop"), at("loop"));
    struct Case {
        const char* what;
        std::vector<uint32_t> extra;  // code points after the directory
    };
    auto ascii = [](const std::string& s) { return std::vector<uint32_t>(s.begin(), s.end()); };
    std::vector<Case> cases = {
        {"missing file", ascii("missing")},
        {"directory asked without a slash", ascii("dir")},
        {"a file spelled as a directory", ascii("file.txt/")},
        {"missing directory", ascii("nodir/")},
        {"a link loop", ascii("loop")},
        {"a name too long", ascii(std::string(256, 'n'))},
        {"a NUL naming file.txt", {'f', 'i', 'l', 'e', '.', 't', 'x', 't', 0, 'z'}},
        {"a surrogate", {'f', 0xD800}},
        {"an escape surrogate that is no byte", {'f', 0xDC7F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint32_t> cps = ascii(dir);
        cps.insert(cps.end(), c.extra.begin(), c.extra.end());
        Cell& f = text_of(cps);
        Cell& out = slot();
        Cell arg = make_none();
        EXPECT_EQ(read(out, f, nullptr, nullptr, false, false, &arg), id(ErrorId::access_cannot_open));
        EXPECT_EQ(cell_node(arg), cell_node(f));
    }
}

TEST_F(Files, UnreadableFilesAndDirectoriesRaiseCannotOpen) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    Cell& f = file(put("secret", "x"));
    fs::permissions(at("secret"), fs::perms::none);
    fs::create_directory(at("closed"));
    fs::permissions(at("closed"), fs::perms::none);
    Cell& out = slot();
    EXPECT_EQ(read(out, f), id(ErrorId::access_cannot_open));
    EXPECT_EQ(read(out, file(at("closed/"))), id(ErrorId::access_cannot_open));
}

TEST_F(Files, PartAndSeekOfReadMustBeIntegers) {
    Cell& f = file(put("f", "abc"));
    Cell real = float_::make_cell(1.5);
    Cell& out = slot();
    Cell arg = make_none();
    EXPECT_EQ(read(out, f, &real, nullptr, false, false, &arg), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(type_of(arg), TYPE_REFINEMENT);
    EXPECT_EQ(read(out, f, nullptr, &real), id(ErrorId::script_invalid_refine_arg));
    Cell none = make_none();
    ASSERT_EQ(read(out, f, &none, &none), -1);  // none stands for "not given"
    EXPECT_EQ(utf8(out), "abc");
}

}  // namespace
}  // namespace kel::test
