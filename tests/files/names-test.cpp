// Listings, names that are not UTF-8, paths that never reach the system, and
// the single-call operations: delete, rename, query, exists?, size?,
// create-dir and the current directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include "runtime/datatypes/float.h"
#include "runtime/platform/files.h"
#include "tests/files/files-fixture.h"

namespace kel::test {
namespace {

std::vector<uint32_t> points(const std::string& ascii) { return std::vector<uint32_t>(ascii.begin(), ascii.end()); }

TEST_F(Files, ListingsAreSortedByBytesAndMarkDirectories) {
    put("b", "");
    put("C", "");
    put(".hidden", "");
    put("\xC3\xA9", "");
    fs::create_directory(at("a"));
    fs::create_directory_symlink(at("a"), at("link-to-dir"));
    fs::create_symlink(at("nothing"), at("dangling"));
    fs::create_symlink(at("b"), at("link-to-file"));
    Cell& out = slot();
    ASSERT_EQ(read(out, file(dir)), -1);
    EXPECT_EQ(
        texts(out),
        (std::vector<std::string>{".hidden", "C", "a/", "b", "dangling", "link-to-dir/", "link-to-file", "\xC3\xA9"}));
    EXPECT_EQ(type_of(*block::ks_abs_at(out, 0)), TYPE_FILE);
    // "." and ".." spell the directory and list it too.
    ASSERT_EQ(read(out, file(at("a/.."))), -1);
    EXPECT_EQ(texts(out).size(), 8u);
    ASSERT_EQ(read(out, file(at("a"))), id(ErrorId::access_cannot_open));  // a directory without "/"
}

TEST_F(Files, TheRootListsTheRealRootDirectory) {
    std::vector<std::string> expected;
    for (const fs::directory_entry& e : fs::directory_iterator("/")) {
        std::error_code ignored;
        expected.push_back(e.path().filename().string() + (fs::is_directory(e.path(), ignored) ? "/" : ""));
    }
    std::sort(expected.begin(), expected.end());
    Cell& out = slot();
    ASSERT_EQ(read(out, file("/")), -1);
    EXPECT_EQ(texts(out), expected);
}

TEST_F(Files, ListingFailuresRaiseCannotOpenWithThePath) {
    put("file.txt", "x");
    for (const std::string& name : {at("missing/"), at("file.txt/"), at("file.txt/.")}) {
        Cell& f = file(name);
        Cell& out = slot();
        Cell arg = make_none();
        EXPECT_EQ(read(out, f, nullptr, nullptr, false, false, &arg), id(ErrorId::access_cannot_open)) << name;
        EXPECT_EQ(cell_node(arg), cell_node(f));
    }
}

// A name that is not UTF-8 lists with U+DC00 + byte for each bad byte, and
// that value reaches the same file again.
TEST_F(Files, ANameWithRawBytesRoundTripsThroughTheLayer) {
    put("caf\xE9", "latin-1 name");
    Cell& out = slot();
    ASSERT_EQ(read(out, file(dir)), -1);
    ASSERT_EQ(block::ks_length(out), 1);
    Cell& name = slot();
    name = *block::ks_abs_at(out, 0);
    SeriesBuffer* b = memory::buffer_of(cell_node(name));
    ASSERT_EQ(b->used() / b->unit(), 4u);
    EXPECT_EQ(unicode::get_unit(b->head_ptr(), b->unit(), 3), 0xDCE9u);

    Cell& f = slot();
    {
        std::vector<uint32_t> cps = points(dir);
        cps.insert(cps.end(), {'c', 'a', 'f', 0xDCE9});
        f = text_of(cps);
    }
    ASSERT_EQ(read(out, f), -1);
    EXPECT_EQ(utf8(out), "latin-1 name");
    simple_io::size(&out, f);
    EXPECT_EQ(type_of(out), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(out), 12);
    EXPECT_TRUE(simple_io::query_time(at("caf\xE9")).has_value());
    std::vector<uint32_t> renamed = points(dir);
    renamed.insert(renamed.end(), {'x', 0xDCFF});
    Cell& g = text_of(renamed);
    ASSERT_TRUE(simple_io::rename(f, g));
    EXPECT_EQ(contents(at("x\xFF")), "latin-1 name");
    EXPECT_TRUE(simple_io::exists(g));
    EXPECT_TRUE(simple_io::remove(g));
    EXPECT_FALSE(fs::exists(at("x\xFF")));
}

// NUL and surrogates other than the escapes have no OS path: each operation
// fails as its row of the failure table says, and the file the text before
// the NUL names is never touched.
TEST_F(Files, PathsWithNulOrASurrogateNeverReachTheSystem) {
    put("a", "original");
    fs::create_directory(at("d"));
    for (uint32_t bad : {0u, 0xD800u, 0xDBFFu, 0xDC00u}) {
        SCOPED_TRACE(bad);
        std::vector<uint32_t> cps = points(dir);
        cps.insert(cps.end(), {'a', bad});
        Cell& f = text_of(cps);
        Cell& out = slot();
        EXPECT_EQ(read(out, f), id(ErrorId::access_cannot_open));
        EXPECT_EQ(write(&f, text("new")), id(ErrorId::access_cannot_open));
        EXPECT_EQ(contents(at("a")), "original");
        EXPECT_FALSE(simple_io::exists(f));
        simple_io::size(&out, f);
        EXPECT_EQ(type_of(out), TYPE_NONE);
        simple_io::query(&out, f);
        EXPECT_EQ(type_of(out), TYPE_NONE);
        EXPECT_FALSE(simple_io::remove(f));
        EXPECT_FALSE(simple_io::rename(f, file(at("b"))));
        EXPECT_FALSE(simple_io::rename(file(at("a")), f));
        EXPECT_TRUE(fs::exists(at("a")));
        EXPECT_EQ(error_of([&] { simple_io::create_dir(f); }), id(ErrorId::access_no_create));
        std::vector<uint32_t> d = points(dir);
        d.insert(d.end(), {'d', bad});
        EXPECT_EQ(error_of([&] { simple_io::set_current_dir(text_of(d)); }), id(ErrorId::access_cannot_open));
    }
    // The byte layer refuses an embedded NUL itself.
    EXPECT_LT(files::open_read(at("a") + std::string(1, '\0') + "x"), 0);
    EXPECT_FALSE(files::stat_path(at("a") + std::string(1, '\0')).has_value());
}

TEST_F(Files, RenameNeverReplacesAnExistingTarget) {
    put("x", "xx");
    put("y", "yy");
    fs::create_symlink(at("nowhere"), at("dangling"));
    EXPECT_FALSE(simple_io::rename(file(at("x")), file(at("y"))));
    EXPECT_FALSE(simple_io::rename(file(at("x")), file(at("dangling"))));  // a link counts, followed or not
    EXPECT_EQ(contents(at("x")), "xx");
    EXPECT_EQ(contents(at("y")), "yy");
    EXPECT_TRUE(simple_io::rename(file(at("x")), file(at("z"))));
    EXPECT_EQ(contents(at("z")), "xx");
    EXPECT_FALSE(simple_io::rename(file(at("missing")), file(at("w"))));
    // The fallback for file systems that refuse RENAME_NOREPLACE keeps the rule.
    EXPECT_FALSE(files::rename_unless_target_exists(at("z"), at("y")));
    EXPECT_FALSE(files::rename_unless_target_exists(at("z"), at("dangling")));
    EXPECT_EQ(contents(at("y")), "yy");
    EXPECT_TRUE(files::rename_unless_target_exists(at("z"), at("w")));
    EXPECT_EQ(contents(at("w")), "xx");
}

TEST_F(Files, DeleteActsOnTheNameItself) {
    fs::create_directories(at("full/inner"));
    fs::create_directory(at("empty"));
    put("target", "t");
    fs::create_symlink(at("target"), at("link"));
    fs::create_directory_symlink(at("full"), at("dirlink"));
    EXPECT_FALSE(simple_io::remove(file(at("full/"))));
    EXPECT_TRUE(fs::exists(at("full/inner")));
    EXPECT_FALSE(simple_io::remove(file(at("empty"))));  // a directory needs its "/" spelling
    EXPECT_TRUE(simple_io::remove(file(at("empty/"))));
    EXPECT_TRUE(simple_io::remove(file(at("link"))));
    EXPECT_EQ(contents(at("target")), "t");
    EXPECT_TRUE(simple_io::remove(file(at("dirlink"))));
    EXPECT_TRUE(fs::exists(at("full/inner")));
    EXPECT_FALSE(simple_io::remove(file(at("missing"))));
}

simple_io::WriteTime last_time{};
void record_time(Cell* out, const simple_io::WriteTime& time) {
    last_time = time;
    *out = make_integer(time.year);
}

TEST_F(Files, QueryGivesTheLastWriteInUtcOrNone) {
    Installed<simple_io::DateMaker> maker(simple_io::install_date_maker, record_time);
    put("f", "x");
    fs::create_directory(at("d"));
    // 2001-02-03 04:05:06.789 UTC
    struct timespec times[2] = {{981173106, 789000000}, {981173106, 789000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, at("f").c_str(), times, 0), 0);
    Cell& out = slot();
    simple_io::query(&out, file(at("f")));
    ASSERT_EQ(type_of(out), TYPE_INTEGER);
    EXPECT_EQ(last_time.year, 2001);
    EXPECT_EQ(last_time.month, 2);
    EXPECT_EQ(last_time.day, 3);
    EXPECT_EQ(last_time.hour, 4);
    EXPECT_EQ(last_time.minute, 5);
    EXPECT_EQ(last_time.second, 6);
    EXPECT_EQ(last_time.nanosecond, 789000000);
    simple_io::query(&out, file(at("d/")));
    EXPECT_EQ(type_of(out), TYPE_INTEGER);
    for (const std::string& name : {at("missing"), at("f/")}) {
        simple_io::query(&out, file(name));
        EXPECT_EQ(type_of(out), TYPE_NONE) << name;
    }
}

TEST_F(Files, QueryBeforeTheDateModuleRaisesNotDone) {
    Installed<simple_io::DateMaker> maker(simple_io::install_date_maker, nullptr);
    Cell& out = slot();
    EXPECT_EQ(error_of([&] { simple_io::query(&out, file(put("f", "x"))); }), id(ErrorId::internal_not_done));
    simple_io::query(&out, file(at("missing")));
    EXPECT_EQ(type_of(out), TYPE_NONE);
}

TEST_F(Files, SizeIsNoneForDirectoriesAndMissingFiles) {
    put("five", "12345");
    put("empty", "");
    fs::create_directory(at("d"));
    Cell& out = slot();
    simple_io::size(&out, file(at("five")));
    EXPECT_EQ(cell_integer(out), 5);
    simple_io::size(&out, file(at("empty")));
    EXPECT_EQ(type_of(out), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(out), 0);
    for (const std::string& name : {at("d"), at("d/"), at("missing"), at("five/")}) {
        simple_io::size(&out, file(name));
        EXPECT_EQ(type_of(out), TYPE_NONE) << name;
    }
    // A FIFO without a writer answers at once.
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    simple_io::size(&out, file(at("fifo")));
    EXPECT_EQ(type_of(out), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(out), 0);
}

TEST_F(Files, ExistsFollowsLinks) {
    put("f", "");
    fs::create_directory(at("d"));
    fs::create_symlink(at("f"), at("good"));
    fs::create_symlink(at("nothing"), at("dangling"));
    fs::create_symlink(at("loop"), at("loop"));
    for (const std::string& name : {at("f"), at("d"), at("d/"), at("good")})
        EXPECT_TRUE(simple_io::exists(file(name))) << name;
    for (const std::string& name : {at("dangling"), at("loop"), at("missing"), at("f/")})
        EXPECT_FALSE(simple_io::exists(file(name))) << name;
}

TEST_F(Files, CreateDirMakesOneLevelOrRaisesNoCreate) {
    simple_io::create_dir(file(at("new")));
    EXPECT_TRUE(fs::is_directory(at("new")));
    for (const std::string& name : {at("new"), at("a/b"), at(std::string(256, 'n'))}) {
        Cell& f = file(name);
        Cell arg = make_none();
        EXPECT_EQ(error_of([&] { simple_io::create_dir(f); }, &arg), id(ErrorId::access_no_create)) << name;
        EXPECT_EQ(cell_node(arg), cell_node(f));
    }
}

// Puts the process's current directory back.
struct KeepCurrentDirectory {
    std::string saved = fs::current_path().string();
    ~KeepCurrentDirectory() { fs::current_path(saved); }
};

TEST_F(Files, TheCurrentDirectoryEndsWithASlashAndStaysOnFailure) {
    KeepCurrentDirectory keep;
    fs::create_directory(at("sub\xE9"));
    simple_io::set_current_dir(file(dir));
    Cell& out = slot();
    simple_io::get_current_dir(&out, TYPE_FILE);
    EXPECT_EQ(type_of(out), TYPE_FILE);
    std::string real = fs::canonical(dir).string() + "/";
    EXPECT_EQ(utf8(out), real);
    // A name that is not UTF-8 comes back through its escapes.
    simple_io::set_current_dir(file(at("sub\xE9")));
    simple_io::get_current_dir(&out, TYPE_FILE);
    std::string path;
    ASSERT_TRUE(os_path::from_text(out, path));
    EXPECT_EQ(path, real + "sub\xE9/");
    // Relative paths work from there; a refused change leaves it as it was.
    EXPECT_EQ(error_of([&] { simple_io::set_current_dir(file("missing")); }), id(ErrorId::access_cannot_open));
    EXPECT_EQ(error_of([&] { simple_io::set_current_dir(file(put("plain", ""))); }), id(ErrorId::access_cannot_open));
    EXPECT_EQ(fs::current_path().string() + "/", real + "sub\xE9/");
    simple_io::set_current_dir(file(".."));
    EXPECT_EQ(fs::current_path().string() + "/", real);
}

TEST_F(Files, DirectorySpellings) {
    struct Case {
        const char* path;
        bool directory;
    };
    const Case cases[] = {
        {"a/", true},   {".", true},  {"..", true},  {"a/.", true},   {"a/..", true},
        {"/", true},    {"a", false}, {"a.", false}, {"...", false},  {"a/...", false},
        {"a\\", false}, {"", false},  {".a", false}, {"x/.b", false}, {"a..", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(simple_io::dir_spelling(std::string(c.path)), c.directory) << c.path;
        EXPECT_EQ(simple_io::dir_spelling(file(c.path)), c.directory) << c.path;
    }
    // A spelling without an OS path is still judged by its text.
    EXPECT_TRUE(simple_io::dir_spelling(text_of({0, '/'})));
    EXPECT_FALSE(simple_io::dir_spelling(text_of({'/', 0})));
}

}  // namespace
}  // namespace kel::test
