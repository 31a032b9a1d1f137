// The file! and url! actions and the file routines, run as Kel code: what
// reaches the file layer, what reaches the HTTP and port seams, and the
// errors raised before them.
#include <fcntl.h>
#include <unistd.h>

#include "runtime/datatypes/url.h"
#include "runtime/platform/input-reader.h"
#include "tests/files/kel-code.h"

namespace kel::test {
namespace {

using Actions = KelFiles;

TEST_F(Actions, FileActionsReachTheFileLayer) {
    std::string d = "%" + dir;
    run("write " + d + "a.txt {x^/y}");
    EXPECT_EQ(contents(at("a.txt")), "x\ny");
    EXPECT_EQ(utf8(run("read " + d + "a.txt")), "x\ny");
    EXPECT_EQ(type_of(run("read/binary " + d + "a.txt")), TYPE_BINARY);
    EXPECT_EQ(bytes(run("read/binary/seek/part " + d + "a.txt 1 1")), "\n");
    EXPECT_EQ(texts(run("read/lines " + d + "a.txt")), (std::vector<std::string>{"x", "y"}));
    run("write/append " + d + "a.txt {z}");
    run("write/part " + d + "a.txt {q} 0");
    EXPECT_EQ(contents(at("a.txt")), "");
    run("write/lines " + d + "a.txt [1 b]");
    EXPECT_EQ(contents(at("a.txt")), "1\nb\n");
    run("write/seek " + d + "a.txt {Q} 0");
    EXPECT_EQ(contents(at("a.txt")), "Q\nb\n");
    EXPECT_EQ(type_of(run("write " + d + "b.txt {}")), TYPE_UNSET);
    // rename never replaces, delete answers whether it removed.
    EXPECT_FALSE(run("rename " + d + "a.txt " + d + "b.txt").data1);
    EXPECT_EQ(contents(at("a.txt")), "Q\nb\n");
    EXPECT_TRUE(run("rename " + d + "b.txt " + d + "c.txt").data1);
    EXPECT_TRUE(run("delete " + d + "c.txt").data1);
    EXPECT_FALSE(run("delete " + d + "c.txt").data1);
    EXPECT_EQ(type_of(run("query " + d + "c.txt")), TYPE_NONE);
    EXPECT_EQ(type_of(run("query " + d + "a.txt/")), TYPE_NONE);
    EXPECT_EQ(texts(run("read " + d)), (std::vector<std::string>{"a.txt"}));
}

TEST_F(Actions, FileActionFailures) {
    std::string d = "%" + dir;
    Cell arg = make_none();
    EXPECT_EQ(fails("read " + d + "missing", &arg), id(ErrorId::access_cannot_open));
    EXPECT_EQ(type_of(arg), TYPE_FILE);
    EXPECT_EQ(fails("write %/dev/full {x}"), id(ErrorId::access_cannot_write));
    EXPECT_EQ(fails("write/part " + d + "a {x} 1.5"), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(fails("read/as " + d + "a 'utf8"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("write/allow " + d + "a {x} [read]"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("write/as " + d + "a {x} 'utf8"), id(ErrorId::internal_not_done));
    EXPECT_FALSE(fs::exists(at("a")));
    // A NUL in the name never reaches the system.
    EXPECT_EQ(fails("write %\"" + dir + "a^@b\" {x}"), id(ErrorId::access_cannot_open));
    EXPECT_FALSE(fs::exists(at("a")));
    // The I/O actions a type lacks.
    EXPECT_EQ(fails("delete http://h"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(fails("open %a"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(fails("append @name {x}"), id(ErrorId::script_expect_arg));
}

// Routines: exists?, create-dir, get-current-dir, set-current-dir.
TEST_F(Actions, DirectoryRoutines) {
    InDirectory restored(dir);
    std::string d = "%" + dir;
    EXPECT_TRUE(run("exists? " + d).data1);
    EXPECT_FALSE(run("exists? " + d + "new").data1);
    run("create-dir " + d + "new");
    EXPECT_TRUE(fs::is_directory(at("new")));
    EXPECT_TRUE(run("exists? " + d + "new/").data1);
    Cell arg = make_none();
    EXPECT_EQ(fails("create-dir " + d + "new", &arg), id(ErrorId::access_no_create));
    EXPECT_EQ(utf8(arg), dir + "new");
    EXPECT_EQ(fails("create-dir " + d + "x/y/z"), id(ErrorId::access_no_create));
    put("plain", "");
    EXPECT_EQ(fails("create-dir " + d + "plain"), id(ErrorId::access_no_create));
    run("set-current-dir " + d + "new");
    Cell& here = run("get-current-dir");
    EXPECT_EQ(type_of(here), TYPE_FILE);
    EXPECT_EQ(utf8(here), fs::current_path().string() + "/");
    EXPECT_EQ(fails("set-current-dir " + d + "missing"), id(ErrorId::access_cannot_open));
    EXPECT_EQ(utf8(run("get-current-dir")), fs::current_path().string() + "/");
}

// Standard input and output as the routines see them. The reader of
// standard input keeps what it buffered and that the input ended: it starts
// afresh with the redirection and again after it.
struct Redirected {
    int fd, saved;
    Redirected(int target, int with) : fd(target), saved(::dup(target)) {
        ::dup2(with, target);
        forget_input();
    }
    ~Redirected() {
        ::dup2(saved, fd);
        ::close(saved);
        forget_input();
    }
    void forget_input() {
        if (fd == STDIN_FILENO) console::standard_input().reset(STDIN_FILENO);
    }
};

TEST_F(Actions, StdinAndStdoutRoutines) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    ASSERT_EQ(::write(pipe_fds[1], "hello, world", 12), 12);
    ::close(pipe_fds[1]);
    {
        Redirected in(0, pipe_fds[0]);
        // A buffer with room for 16 takes 5 of the waiting bytes.
        Cell& b = run("b: make binary! 16 read-stdin b 5 b");
        EXPECT_EQ(bytes(b), "hello");
        // A buffer smaller than the length asked grows: it is never overrun.
        Cell& small = run("c: make binary! 1 read-stdin c 64 c");
        EXPECT_EQ(bytes(small), ", world");
        // At the end nothing changes.
        EXPECT_EQ(bytes(run("read-stdin c 4 c")), ", world");
        EXPECT_EQ(bytes(run("read-stdin c 0 c")), ", world");
    }
    ::close(pipe_fds[0]);
    int out = ::open(at("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(out, 0);
    {
        Redirected redirect(1, out);
        run("write-stdout {caf\xC3\xA9^/} write-stdout #{FF0D}");
    }
    ::close(out);
    EXPECT_EQ(contents(at("out")), "caf\xC3\xA9\n\xFF\r");
}

// What the HTTP seam was called with.
struct Request {
    std::string method, url, headers, data;
    uint32_t data_type = 0;
    bool binary = false;
};
Request last;
bool answer_none = false;

void fake_http(Cell* out, const Cell& method, const Cell& url, const Cell& headers, const Cell& data, bool binary, bool,
               bool) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(int32_t(method.data2), &n);
    last = Request{std::string(reinterpret_cast<const char*>(p), n),
                   Files::utf8(url),
                   type_of(headers) == TYPE_BLOCK ? std::to_string(block::ks_length(headers)) : "none",
                   type_of(data) == TYPE_NONE ? "none" : "some",
                   type_of(data),
                   binary};
    *out = answer_none ? make_none() : make_integer(200);
}

// A parser that refuses every URL: the port road ends in invalid-arg.
void refusing_parser(Cell* out, const Cell&) { *out = make_none(); }

struct Seams {
    Restore<url::Services> saved{url::services()};
    Seams() {
        url::services().request_http = fake_http;
        url::services().parse_url = refusing_parser;
        url::services().make_port = [](Cell* out, const Cell&) { *out = make_none(); };
        answer_none = false;
    }
};

TEST_F(Actions, OnlyHttpAndHttpsUrlsGoToTheHttpClient) {
    Seams seams;
    struct Row {
        const char* url;
        bool http;
    };
    const Row rows[] = {
        {"http://h/x", true},   {"https://h/x", true}, {"HTTP://h/x", false},
        {"httpx://h/x", false}, {"ftp://h/x", false},  {"http-x://h", false},
    };
    for (const Row& r : rows) {
        last = {};
        Cell arg = make_none();
        int e = fails(std::string("read ") + r.url, &arg);
        if (r.http) {
            EXPECT_EQ(e, -1) << r.url;
            EXPECT_EQ(last.method, "get");
            EXPECT_EQ(last.url, r.url);
        } else {
            EXPECT_EQ(e, id(ErrorId::script_invalid_arg)) << r.url;
            EXPECT_EQ(utf8(arg), r.url);
            EXPECT_EQ(last.url, "");
        }
    }
    EXPECT_EQ(fails("read/part http://h 1"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("read/seek http://h 1"), id(ErrorId::internal_not_done));
    answer_none = true;
    Cell arg = make_none();
    EXPECT_EQ(fails("read http://h", &arg), id(ErrorId::access_no_connect));
    EXPECT_EQ(type_of(arg), TYPE_URL);
}

TEST_F(Actions, HttpWriteChecksTheDataShapeBeforeTheClient) {
    Seams seams;
    struct Row {
        const char* data;
        const char* method;  // null: script/invalid-arg, the client not called
        const char* headers;
        const char* body;
    };
    const Row rows[] = {
        {"[]", "get", "none", "some"},
        {"[put]", "put", "none", "none"},
        {"[put [a 1]]", "put", "2", "none"},
        {"[put [a 1] {d}]", "put", "2", "some"},
        {"[put [] #{00} extra]", "put", "0", "some"},
        {"{text}", "post", "none", "some"},
        {"#{01}", "post", "none", "some"},
        {"[[put]]", nullptr, "", ""},
        {"[1 []]", nullptr, "", ""},
        {"[put 1]", nullptr, "", ""},
        {"[put [] 1]", nullptr, "", ""},
        {"5", nullptr, "", ""},
        {"%file", nullptr, "", ""},
    };
    for (const Row& r : rows) {
        last = {};
        int e = fails(std::string("write http://h ") + r.data);
        if (r.method) {
            EXPECT_EQ(e, -1) << r.data;
            EXPECT_EQ(last.method, r.method) << r.data;
            EXPECT_EQ(last.headers, r.headers) << r.data;
            EXPECT_EQ(last.data, r.body) << r.data;
        } else {
            EXPECT_EQ(e, id(ErrorId::script_invalid_arg)) << r.data;
            EXPECT_EQ(last.method, "") << r.data;
        }
    }
    EXPECT_EQ(fails("write/seek http://h {x} 1"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("write/allow http://h {x} [read]"), id(ErrorId::internal_not_done));
    // Without a client or a port module the seams raise not-done.
    url::services() = url::Services{};
    EXPECT_EQ(fails("write http://h {x}"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("read ftp://h"), id(ErrorId::internal_not_done));
    EXPECT_EQ(fails("open ftp://h"), id(ErrorId::internal_not_done));
}

}  // namespace
}  // namespace kel::test
