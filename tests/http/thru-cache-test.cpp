// The remote-file cache against the test server on 127.0.0.1: what is
// fetched, what is stored and what is served from the copy, counted in the
// server's requests. Each test uses a cache root of its own under /tmp and
// puts system/options/thru-cache back to none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "environment/boot/boot.h"
#include "tests/http/http-server.h"
#include "tests/kel-eval.h"
#include "tests/support.h"

namespace kel::test {
namespace {

struct ThruCache : ::testing::Test {
    static void SetUpTestSuite() {
        boot();
        boot::build();
        WithoutProxies::remove();
    }
    static void TearDownTestSuite() { WithoutProxies::restore(); }
    void SetUp() override {
        char pattern[] = "/tmp/kel-thru-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_EQ(run("system/options/thru-cache: %" + root + "/").error, -1);
    }
    void TearDown() override {
        (void)run("system/options/thru-cache: none");
        std::filesystem::remove_all(root);
    }

    // Evaluates Kel code where "URL" stands for the server's base address.
    Evaluated run(std::string code) {
        for (size_t at; (at = code.find("URL")) != std::string::npos;) code.replace(at, 3, server.base());
        return test::evaluate(code);
    }
    // The bytes of the copy of the URL at the path, or "-" when none is stored.
    std::string copy_of(const std::string& path) {
        Evaluated where = run("to-local-file path-thru URL" + path);
        std::string file = where.text.substr(1, where.text.size() - 2);
        std::ifstream in(file, std::ios::binary);
        if (!in) return "-";
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    size_t requests() { return server.requests().size(); }

    HttpServer server;
    std::string root;
};

TEST_F(ThruCache, ReadFetchesOnceThenServesTheCopy) {
    server.route("/f.txt", {"HTTP/1.1 200 OK", {}, "first"});
    EXPECT_EQ(run("read-thru URL/f.txt").text, "\"first\"");
    EXPECT_EQ(requests(), 1u);
    EXPECT_EQ(copy_of("/f.txt"), "first");
    server.route("/f.txt", {"HTTP/1.1 200 OK", {}, "second"});
    EXPECT_EQ(run("read-thru URL/f.txt").text, "\"first\"");
    EXPECT_EQ(run("read-thru/binary URL/f.txt").text, "#{6669727374}");
    EXPECT_EQ(run("exists-thru? URL/f.txt").text, "true");
    EXPECT_EQ(requests(), 1u);
    // /update fetches again and replaces the copy.
    EXPECT_EQ(run("read-thru/update URL/f.txt").text, "\"second\"");
    EXPECT_EQ(requests(), 2u);
    EXPECT_EQ(copy_of("/f.txt"), "second");
    // Fetched with /binary, the copy holds the same bytes.
    server.route("/b", {"HTTP/1.1 200 OK", {}, std::string("\x01\x00\xFF", 3)});
    EXPECT_EQ(run("read-thru/binary URL/b").text, "#{0100FF}");
    EXPECT_EQ(copy_of("/b"), std::string("\x01\x00\xFF", 3));
    EXPECT_EQ(requests(), 3u);
}

// An answer other than 200 is given back as read gives it, and stored
// nowhere: the next call asks the server again.
TEST_F(ThruCache, AFailedAnswerLeavesNoCopy) {
    EXPECT_EQ(run("read-thru URL/missing").text, "\"not found\"");
    EXPECT_EQ(copy_of("/missing"), "-");
    EXPECT_EQ(run("load-thru URL/missing").text, "none");
    EXPECT_EQ(copy_of("/missing"), "-");
    EXPECT_EQ(run("exists-thru? URL/missing").text, "false");
    EXPECT_EQ(requests(), 2u);
    // A copy in place stays when /update gets a failure.
    server.route("/kept", {"HTTP/1.1 200 OK", {}, "kept"});
    EXPECT_EQ(run("read-thru URL/kept").text, "\"kept\"");
    server.route("/kept", {"HTTP/1.1 500 Internal Server Error", {}, "oops"});
    EXPECT_EQ(run("read-thru/update URL/kept").text, "\"oops\"");
    EXPECT_EQ(copy_of("/kept"), "kept");
}

TEST_F(ThruCache, LoadAndDoGoThroughTheCopy) {
    server.route("/v", {"HTTP/1.1 200 OK", {}, "1 + [2]"});
    EXPECT_EQ(run("load-thru URL/v").text, "[1 + [2]]");
    EXPECT_EQ(requests(), 1u);
    // The copy holds the value as save writes it, not the bytes served.
    EXPECT_EQ(copy_of("/v"), "1 + [2]");
    EXPECT_EQ(run("load-thru URL/v").text, "[1 + [2]]");
    EXPECT_EQ(requests(), 1u);
    server.route("/v", {"HTTP/1.1 200 OK", {}, "3"});
    EXPECT_EQ(run("load-thru/update URL/v").text, "3");
    EXPECT_EQ(requests(), 2u);
    server.route("/s", {"HTTP/1.1 200 OK", {}, "Kel []\nx: 40 x + 2"});
    EXPECT_EQ(run("do-thru URL/s").text, "42");
    EXPECT_EQ(run("do-thru URL/s").text, "42");
    EXPECT_EQ(requests(), 3u);
    EXPECT_EQ(run("do-thru/update URL/s").text, "42");
    EXPECT_EQ(requests(), 4u);
}

// The key is the digest of the URL's exact text: two URLs that differ in
// letter case, or in their path, are two copies.
TEST_F(ThruCache, EveryUrlTextHasItsOwnCopy) {
    server.route("/a", {"HTTP/1.1 200 OK", {}, "lower"});
    server.route("/A", {"HTTP/1.1 200 OK", {}, "upper"});
    server.route("/a/b", {"HTTP/1.1 200 OK", {}, "deeper"});
    EXPECT_EQ(run("reduce [read-thru URL/a read-thru URL/A read-thru URL/a/b]").text,
              "[\"lower\" \"upper\" \"deeper\"]");
    EXPECT_EQ(run("reduce [read-thru URL/a read-thru URL/A read-thru URL/a/b]").text,
              "[\"lower\" \"upper\" \"deeper\"]");
    EXPECT_EQ(requests(), 3u);
    EXPECT_EQ(run("(path-thru URL/a) = path-thru URL/a").text, "true");
    EXPECT_EQ(run("(path-thru URL/a) = path-thru URL/A").text, "false");
    // The copies lie under the root the script set.
    EXPECT_EQ(run("c: system/options/thru-cache c = copy/part path-thru URL/a length? c").text, "true");
}

}  // namespace
}  // namespace kel::test
