// Local paths, URLs from blocks, path access of url! and file!, and email!
// paths.
#include <unistd.h>

#include "runtime/datatypes/file.h"
#include "runtime/datatypes/url.h"
#include "tests/files/kel-code.h"

namespace kel::test {
namespace {

using Paths = KelFiles;

std::string local(const Cell& f, bool full) {
    Cell& out = Files::slot();
    string::ks_make_at(out, 4);
    file::to_local_path(f, out, full);
    return Files::utf8(out);
}

TEST_F(Paths, LocalPathsCopyTheTextAndFullAddsTheCurrentDirectory) {
    InDirectory here(dir);
    std::string cwd = fs::current_path().string() + "/";
    struct Row {
        const char* file;
        const char* plain;
        std::string full;
    };
    const Row rows[] = {
        {"/c/dir/f.txt", "/c/dir/f.txt", "/c/dir/f.txt"},
        {"dir/f", "dir/f", cwd + "dir/f"},
        {"", "", cwd},
        {"a\\b", "a\\b", cwd + "a\\b"},
        {"a:b", "a:b", cwd + "a:b"},
        {"//x", "//x", "//x"},
    };
    for (const Row& r : rows) {
        Cell& f = typed(TYPE_FILE, r.file);
        EXPECT_EQ(local(f, false), r.plain) << r.file;
        EXPECT_EQ(local(f, true), r.full) << r.file;
        // The native's core answers a new string! of the same text.
        Cell& made = slot();
        file::to_local_file(&made, f, true);
        EXPECT_EQ(type_of(made), TYPE_STRING);
        EXPECT_EQ(utf8(made), r.full);
    }
    Cell dir_value = make_none();
    file::get_current_dir(&dir_value, TYPE_FILE);
    EXPECT_EQ(type_of(dir_value), TYPE_FILE);
    EXPECT_EQ(utf8(dir_value), cwd);
}

TEST_F(Paths, UrlsFromBlocks) {
    struct Row {
        const char* block;
        const char* url;
    };
    const Row rows[] = {
        {"[ftp host 8080 a b #top]", "ftp://host:8080/a/b#top"},
        {"[ftp h 80]", "ftp://h:80"},
        {"[http h]", "http://h"},
        {"[http]", "http://"},
        {"[http h a]", "http://h/a"},
        {"[http h 1 2 3]", "http://h:1/2/3"},
        {"[ftp h #x y]", "ftp://h/x/y"},
    };
    for (const Row& r : rows) {
        Cell& u = run(std::string("to url! ") + r.block);
        EXPECT_EQ(type_of(u), TYPE_URL) << r.block;
        EXPECT_EQ(utf8(u), r.url) << r.block;
        Cell& made = run(std::string("make url! ") + r.block);
        EXPECT_EQ(utf8(made), r.url) << r.block;
    }
    Cell arg = make_none();
    EXPECT_EQ(fails("to url! []", &arg), id(ErrorId::script_bad_to_arg));
    EXPECT_EQ(type_of(arg), TYPE_DATATYPE);
    // Other specs convert as strings do.
    EXPECT_EQ(utf8(run("to url! \"a b\"")), "a b");
    EXPECT_EQ(type_of(run("to file! [a b]")), TYPE_FILE);
}

TEST_F(Paths, PathAccessJoinsWithOneSlash) {
    struct Row {
        const char* code;
        const char* result;
        uint32_t type;
    };
    const Row rows[] = {
        {"u: ftp://host/ u/b", "ftp://host/b", TYPE_URL},
        {"u: ftp://host u/b", "ftp://host/b", TYPE_URL},
        {"u: ftp://host/ u/(\"/b\")", "ftp://host/b", TYPE_URL},
        {"u: ftp://host u/(\"/b\")", "ftp://host/b", TYPE_URL},
        {"f: %dir f/file.txt", "dir/file.txt", TYPE_FILE},
        {"f: %dir/ f/sub/file", "dir/sub/file", TYPE_FILE},
        {"f: %\"\" f/x", "/x", TYPE_FILE},
    };
    for (const Row& r : rows) {
        Cell& v = run(r.code);
        EXPECT_EQ(type_of(v), r.type) << r.code;
        EXPECT_EQ(utf8(v), r.result) << r.code;
    }
    // The value itself is unchanged.
    EXPECT_EQ(utf8(run("u: ftp://host/ u/b u")), "ftp://host/");
    EXPECT_EQ(fails("u: ftp://host/ u/b: 1"), id(ErrorId::script_bad_path_set));
    EXPECT_EQ(fails("f: %dir f/b: 1"), id(ErrorId::script_bad_path_set));
}

TEST_F(Paths, EmailUserAndHost) {
    struct Row {
        const char* code;
        const char* result;
        uint32_t type;
    };
    const Row rows[] = {
        {"e: user@host.org e/user", "user", TYPE_STRING},
        {"e: user@host.org e/host", "host.org", TYPE_STRING},
        {"e: user@host.org e/HOST", "host.org", TYPE_STRING},
        {"e: to email! \"nobody\" e/user", "nobody", TYPE_STRING},
        {"e: to email! \"nobody\" e/host", "", TYPE_STRING},
        {"e: user@host.org e/host: \"example.com\" e", "user@example.com", TYPE_EMAIL},
        {"e: user@host.org e/user: \"me\" e", "me@host.org", TYPE_EMAIL},
        {"e: user@host.org e/host: \"x\"", "x", TYPE_STRING},
        {"e: user@host.org e/2", "s", TYPE_CHAR},
    };
    for (const Row& r : rows) {
        Cell& v = run(r.code);
        EXPECT_EQ(type_of(v), r.type) << r.code;
        if (r.type == TYPE_CHAR) {
            EXPECT_EQ(v.data2, uint32_t('s'));
        } else {
            EXPECT_EQ(utf8(v), r.result) << r.code;
        }
    }
    EXPECT_EQ(fails("e: user@host.org e/name"), id(ErrorId::script_invalid_path));
    EXPECT_EQ(fails("e: user@host.org e/(1.5)"), id(ErrorId::script_invalid_path));
}

}  // namespace
}  // namespace kel::test
