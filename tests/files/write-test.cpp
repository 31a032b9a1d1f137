// Writing files in place: line ends, /lines, /append, /seek, /part, the
// conversion before the open, and the failures of write.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "runtime/datatypes/float.h"
#include "tests/files/files-fixture.h"

namespace kel::test {
namespace {

TEST_F(Files, LineFeedsAreWrittenAsTheyAre) {
    Cell& f = file(at("out"));
    for (bool binary : {false, true}) {
        ASSERT_EQ(write(&f, text("a\nb\xC3\xA9\n"), nullptr, nullptr, {.binary = binary}), -1);
        EXPECT_EQ(contents(at("out")), "a\nb\xC3\xA9\n");
    }
    ASSERT_EQ(write(&f, binary("x\r\ny")), -1);
    EXPECT_EQ(contents(at("out")), "x\r\ny");
}

TEST_F(Files, LinesWriteEachValueOfABlockEndedByALineFeed) {
    Cell& f = file(at("out"));
    Cell& blk = slot();
    block::make_at(blk, 4);
    block::append_cell(blk, text("one"));
    block::append_cell(blk, text("t\xC3\xA9"));
    block::append_cell(blk, integer(12));  // molded
    block::append_cell(blk, binary("AB"));
    int64_t written = 0;
    ASSERT_EQ(write(&f, blk, nullptr, nullptr, {.lines = true}, &written), -1);
    EXPECT_EQ(contents(at("out")), "one\nt\xC3\xA9\n12\nAB\n");
    EXPECT_EQ(written, 14);
    ASSERT_EQ(write(&f, text("single"), nullptr, nullptr, {.lines = true}), -1);
    EXPECT_EQ(contents(at("out")), "single\n");
}

TEST_F(Files, AppendAddsAndSeekOverwritesWithoutTruncating) {
    Cell& f = file(put("f", "hello world"));
    ASSERT_EQ(write(&f, text("!"), nullptr, nullptr, {.append = true}), -1);
    EXPECT_EQ(contents(at("f")), "hello world!");
    Cell zero = integer(0), six = integer(6);
    ASSERT_EQ(write(&f, text("HE"), nullptr, &zero), -1);
    EXPECT_EQ(contents(at("f")), "HEllo world!");
    ASSERT_EQ(write(&f, text("W"), nullptr, &six), -1);
    EXPECT_EQ(contents(at("f")), "HEllo World!");
    ASSERT_EQ(write(&f, text("x")), -1);  // a plain write truncates
    EXPECT_EQ(contents(at("f")), "x");
}

TEST_F(Files, PartLimitsTheWriteAndZeroWritesNothing) {
    struct Case {
        const char* what;
        int32_t part;
        bool binary_value, lines_block;
        const char* expected;
        int64_t result;
    };
    const Case cases[] = {
        {"string, part 0", 0, false, false, "", 0},
        {"binary, part 0", 0, true, false, "", 0},
        {"block of lines, part 0", 0, false, true, "", 0},
        {"string, part 3", 3, false, false, "abc", 3},
        {"binary, part 3", 3, true, false, "abc", 3},
        {"block of lines, part 1", 1, false, true, "abcdef\n", 7},
        {"string, part beyond", 50, false, false, "abcdef", 6},
        {"string, negative part", -1, false, false, "previous", -1},
        {"binary, negative part", -5, true, false, "previous", -1},
    };
    Cell& f = file(at("f"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put("f", "previous");
        Cell& value = c.binary_value ? binary("abcdef") : text("abcdef");
        Cell& blk = slot();
        if (c.lines_block) {
            block::make_at(blk, 2);
            block::append_cell(blk, value);
            block::append_cell(blk, text("second"));
        }
        Cell part = integer(c.part);
        int64_t written = 99;
        ASSERT_EQ(write(&f, c.lines_block ? blk : value, &part, nullptr, {.lines = c.lines_block}, &written), -1);
        EXPECT_EQ(contents(at("f")), c.expected);
        EXPECT_EQ(written, c.result);
    }
}

TEST_F(Files, PartAndSeekOfWriteMustBeIntegersAndNothingIsWrittenOtherwise) {
    Cell& f = file(put("f", "keep"));
    Cell real = float_::make_cell(2.0);
    Cell arg = make_none();
    EXPECT_EQ(error_of([&] { simple_io::write(&f, text("new"), &real, nullptr, false, false, false); }, &arg),
              id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(type_of(arg), TYPE_REFINEMENT);
    EXPECT_EQ(write(&f, text("new"), nullptr, &text("x")), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(contents(at("f")), "keep");
}

// Every byte is converted before the file is opened: a value that cannot be
// written leaves the file as it was. A surrogate has no UTF-8 a reader
// takes back, so it is refused as a code point past U+10FFFF is.
TEST_F(Files, AConversionErrorLeavesTheFileUntouched) {
    for (uint32_t bad : {0x110000u, 0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu}) {
        Cell& f = file(put("f", "keep"));
        Cell& blk = slot();
        block::make_at(blk, 2);
        block::append_cell(blk, text("fine"));
        block::append_cell(blk, text_of({'b', 'a', 'd', bad}));
        EXPECT_EQ(write(&f, blk, nullptr, nullptr, {.lines = true}), id(ErrorId::script_invalid_char)) << bad;
        EXPECT_EQ(write(&f, text_of({bad}), nullptr, nullptr, {.append = true}), id(ErrorId::script_invalid_char));
        EXPECT_EQ(contents(at("f")), "keep") << bad;
    }
    Cell& f = file(at("edges"));
    ASSERT_EQ(write(&f, text_of({0xD7FF, 0xE000, 0x10FFFF})), -1);
    EXPECT_EQ(contents(at("edges")), "\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF");
}

// An open that fails is cannot-open; a write that fails after the open is
// cannot-write with the file and the system's reason.
TEST_F(Files, AFailedWriteRaisesCannotWriteWithTheReason) {
    Cell& blk = slot();
    block::make_at(blk, 2);
    block::append_cell(blk, text("a"));
    block::append_cell(blk, text("b"));
    Cell& full = file("/dev/full");
    Cell arg = make_none();
    EXPECT_EQ(error_of([&] { simple_io::write(&full, text("x"), nullptr, nullptr, false, false, false); }, &arg),
              id(ErrorId::access_cannot_write));
    EXPECT_EQ(cell_node(arg), cell_node(full));
    ASSERT_EQ(error_in_flight().argc, 2);
    EXPECT_EQ(utf8(error_in_flight().args[1]), std::strerror(ENOSPC));
    EXPECT_EQ(write(&full, blk, nullptr, nullptr, {.lines = true}), id(ErrorId::access_cannot_write));

    fs::create_directory(at("dir"));
    for (const std::string& name : {at("dir"), at("dir/"), at("missing/f"), at(std::string(256, 'n'))})
        EXPECT_EQ(write(&file(name), text("x")), id(ErrorId::access_cannot_open)) << name;
}

// A write cut short (here by the file size limit) is a failure, not a
// success of the bytes that made it.
TEST_F(Files, AShortWriteRaisesCannotWrite) {
    std::string path = at("limited");
    in_child_process([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            4, 4
        };
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        EXPECT_EQ(write(&file(path), text("abcdefgh")), id(ErrorId::access_cannot_write));
        EXPECT_EQ(contents(path), "abcd");
    });
}

// Captures standard output into a file while it lives.
struct CapturedStdout {
    int saved;
    std::string path;
    explicit CapturedStdout(std::string p) : saved(::dup(1)), path(std::move(p)) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, 1);
        ::close(fd);
    }
    ~CapturedStdout() {
        ::dup2(saved, 1);
        ::close(saved);
    }
};

TEST_F(Files, WriteStdoutWritesTheDataAsItIs) {
    {
        CapturedStdout capture(at("stdout"));
        simple_io::write_stdout(text("caf\xC3\xA9\n"));
        simple_io::write_stdout(binary("\r\n\xFF"));
    }
    EXPECT_EQ(contents(at("stdout")), "caf\xC3\xA9\n\r\n\xFF");
}

}  // namespace
}  // namespace kel::test
