// The HTTP client against the test server on 127.0.0.1: what goes on the
// wire for each request shape, and the values made of each answer, through
// `read`, `write`, `load`, `do` and `save` of the booted library.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/io/http-client.h"
#include "runtime/io/lexer.h"
#include "runtime/platform/shared-library.h"
#include "tests/boot-library.h"
#include "tests/http/http-server.h"
#include "tests/kel-eval.h"
#include "tests/process.h"
#include "tests/support.h"

namespace kel::test {
namespace {

struct HttpClient : ::testing::Test {
    static void SetUpTestSuite() {
        boot_library();
        WithoutProxies::remove();
    }
    static void TearDownTestSuite() { WithoutProxies::restore(); }
    HttpServer server;
};

// Evaluates Kel code where "URL" stands for the server's base address.
Evaluated evaluate(const HttpServer& server, std::string code) {
    for (size_t at; (at = code.find("URL")) != std::string::npos;) code.replace(at, 3, server.base());
    return test::evaluate(code);
}

// The request's head lines (request line first) and its body.
struct Recorded {
    std::vector<std::string> head;
    std::string body;
};
Recorded split(const std::string& request) {
    Recorded r;
    size_t end = request.find("\r\n\r\n");
    std::string head = request.substr(0, end);
    for (size_t at = 0; at <= head.size();) {
        size_t stop = head.find("\r\n", at);
        if (stop == std::string::npos) stop = head.size();
        r.head.push_back(head.substr(at, stop - at));
        at = stop + 2;
    }
    if (end != std::string::npos) r.body = request.substr(end + 4);
    return r;
}

TEST_F(HttpClient, RequestsCarryExactlyTheirHeadersAndBody) {
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port());
    const std::vector<std::string> defaults = {"Content-Type: application/x-www-form-urlencoded",
                                               "Accept-Charset: UTF-8",
                                               "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)"};
    struct Case {
        const char* code;
        std::vector<std::string> head;  // after the request line and Host
        bool with_defaults;
        std::string body;
    };
    const Case cases[] = {
        {"read URL/a", {"GET /a HTTP/1.1"}, true, ""},
        {"write URL/a [get [Accept \"text/x\" X-Test 1]]",
         {"GET /a HTTP/1.1", "Accept: text/x", "X-Test: 1"},
         false,
         ""},
        {"write URL/a [get [] \"ignored\"]", {"GET /a HTTP/1.1"}, false, ""},
        {"write URL/a [put [] \"x\"]", {"PUT /a HTTP/1.1", "Content-Length: 1"}, false, "x"},
        {"write URL/a [patch [X-Y: <t>] #{00FF}]",
         {"PATCH /a HTTP/1.1", "Content-Length: 2", "X-Y: <t>"},
         false,
         std::string("\0\xFF", 2)},
        {"write URL/a [delete []]", {"DELETE /a HTTP/1.1"}, false, ""},
        {"write URL/a \"\xC3\xA9\"", {"POST /a HTTP/1.1", "Content-Length: 2"}, true, "\xC3\xA9"},
        {"write URL/a%20b [post [] \"12\"]", {"POST /a%20b HTTP/1.1", "Content-Length: 2"}, false, "12"},
    };
    for (const Case& c : cases) {
        server.clear();
        Evaluated out = evaluate(server, c.code);
        EXPECT_EQ(out.error, -1) << c.code;
        std::vector<std::string> requests = server.requests();
        ASSERT_EQ(requests.size(), 1u) << c.code;
        Recorded got = split(requests[0]);
        std::vector<std::string> want = {c.head[0], host};
        want.insert(want.end(), c.head.begin() + 1, c.head.end());
        if (c.with_defaults) want.insert(want.end(), defaults.begin(), defaults.end());
        EXPECT_EQ(got.head, want) << c.code;
        EXPECT_EQ(got.body, c.body) << c.code;
    }
}

TEST_F(HttpClient, AnswersBecomeValues) {
    server.route("/t", {"HTTP/1.1 200 OK", {}, "hi\r\nthere"});
    server.route("/l", {"HTTP/1.1 200 OK", {}, "a\r\nb\nc"});
    server.route("/c", {"HTTP/1.1 200 OK", {"Set-Cookie: a=1", "set-cookie: b=2", "X-A:b", "X-B: \t c d "}, ""});
    server.route("/r1", {"HTTP/1.1 302 Found", {"Location: /r2", "X-First: 1"}, "moved"});
    server.route("/r2", {"HTTP/1.1 200 OK", {"X-Second: 2"}, "final"});
    server.route("/f", {"HTTP/1.1 302 Found", {"Location: file:///etc/hostname"}, ""});
    struct Case {
        const char* code;
        const char* want;
    };
    const Case cases[] = {
        {"read URL/t", "\"hi^/there\""},
        {"read/binary URL/t", "#{68690D0A7468657265}"},
        {"read/lines URL/l", "[\"a\" \"b\" \"c\"]"},
        {"x: write/info URL/t [head []] reduce [x/1 map? x/2 x/3]", "[200 true none]"},
        {"read URL/nothing-here", "\"not found\""},
        {"first read/info URL/nothing-here", "404"},
        {"x: read/info URL/c reduce [select x/2 'Set-Cookie select x/2 'x-a select x/2 'X-B x/3]",
         "[[\"a=1\" \"b=2\"] \"b\" \"c d \" \"\"]"},
        {"x: read/info URL/r1 reduce [x/1 select x/2 'X-First select x/2 'X-Second x/3]", "[200 none \"2\" \"final\"]"},
        {"load URL/nothing-here", "none"},
    };
    for (const Case& c : cases) {
        Evaluated out = evaluate(server, c.code);
        EXPECT_EQ(out.error, -1) << c.code;
        EXPECT_EQ(out.text, c.want) << c.code;
    }
}

TEST_F(HttpClient, ScriptsLoadDoAndSaveUrls) {
    server.route("/v", {"HTTP/1.1 200 OK", {}, "1 + 2"});
    server.route("/s", {"HTTP/1.1 200 OK", {}, "Kel []\nx: 40 x + 2"});
    EXPECT_EQ(evaluate(server, "load URL/v").text, "[1 + 2]");
    // An image served as image/png goes through the png codec.
    Evaluated png = evaluate(server, "to string! enbase/base save/as none make image! [2x1 9.8.7.255] 'png 16");
    ASSERT_EQ(png.error, -1);
    std::string hex = png.text.substr(1, png.text.size() - 2);
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    server.route("/i", {"HTTP/1.1 200 OK", {"Content-Type: image/png"}, bytes});
    EXPECT_EQ(evaluate(server, "i: load URL/i reduce [type? i i/size first i]").text, "[image! 2x1 9.8.7.255]");
    EXPECT_EQ(evaluate(server, "do URL/s").text, "42");
    server.clear();
    EXPECT_EQ(evaluate(server, "save URL/p [a \"b\"]").error, -1);
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    Recorded got = split(requests[0]);
    EXPECT_EQ(got.head[0], "POST /p HTTP/1.1");
    EXPECT_EQ(got.body, "a \"b\"");
}

TEST_F(HttpClient, BadRequestsAreRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* code;
        ErrorId error;
    };
    const Case cases[] = {
        {"write URL [get [X \"a^/b\"]]", ErrorId::script_invalid_arg},
        {"write URL [get [X \"a^Mb\"]]", ErrorId::script_invalid_arg},
        {"write URL [get [\"a:b\" \"1\"]]", ErrorId::script_invalid_arg},
        {"write URL [get [\"a b\" \"1\"]]", ErrorId::script_invalid_arg},
        {"write URL [get [\"\" \"1\"]]", ErrorId::script_invalid_arg},
        {"write URL [get [X]]", ErrorId::script_invalid_arg},
        {"write URL reduce [to word! \"g\xC3\xA9t\" []]", ErrorId::script_invalid_arg},
    };
    server.clear();
    for (const Case& c : cases) EXPECT_EQ(evaluate(server, c.code).error, id(c.error)) << c.code;
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpClient, FailedTransportsRaiseNoConnect) {
    server.route("/f", {"HTTP/1.1 302 Found", {"Location: file:///etc/hostname"}, ""});
    int closed_port;
    {
        HttpServer gone;
        closed_port = gone.port();
    }
    EXPECT_EQ(evaluate(server, "read URL/f").error, id(ErrorId::access_no_connect));
    std::string nowhere = "read http://127.0.0.1:" + std::to_string(closed_port) + "/";
    EXPECT_EQ(evaluate(server, nowhere).error, id(ErrorId::access_no_connect));
}

TEST_F(HttpClient, WithoutLibcurlRequestsRaiseNoConnect) {
    server.route("/a", {"HTTP/1.1 200 OK", {}, "answer"});
    {
        platform::RefusedLoading refused;
        EXPECT_EQ(evaluate(server, "read URL/a").error, id(ErrorId::access_no_connect));
        EXPECT_EQ(evaluate(server, "write URL/a \"x\"").error, id(ErrorId::access_no_connect));
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(evaluate(server, "read URL/a").text, "\"answer\"");
}

TEST_F(HttpClient, ABodyBeyondTheLimitRaisesTooLong) {
    server.route("/big", {"HTTP/1.1 200 OK", {}, "123456789"});
    int64_t before = http_client::set_body_limit(4);
    int error = evaluate(server, "read URL/big").error;
    http_client::set_body_limit(before);
    EXPECT_EQ(error, id(ErrorId::script_too_long));
    EXPECT_EQ(evaluate(server, "read URL/big").text, "\"123456789\"");
}

TEST_F(HttpClient, HeaderLinesBecomeAMap) {
    struct Case {
        std::string text;
        const char* want;
    };
    const Case cases[] = {
        {"A: 1\r\nB:2\r\n", "#[A: \"1\" B: \"2\"]"},
        {"no colon\r\n: empty name\r\nC:\r\n", "#[C: \"\"]"},
        {"Set-Cookie: x\r\nset-cookie: y\r\nSET-COOKIE: z\r\n", "#[Set-Cookie: [\"x\" \"y\" \"z\"]]"},
        {"D: \xFF\xC3\xA9\r\n", "#[D: \"\xC3\xBF\xC3\xA9\"]"},
        {"E: no line end", "#[E: \"no line end\"]"},
    };
    for (const Case& c : cases) {
        Cell* saved = stack::state.top;
        Cell* map = stack::push(make_none());
        http_client::parse_headers(map, reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size());
        Cell* text = stack::push(make_none());
        string::ks_make_at(*text, 16);
        MoldOptions flat;
        flat.flat = true;
        actions::mold(*map, *text, flat);
        std::string got(size_t(binary::measure(*text, -1, false)), '\0');
        binary::write(reinterpret_cast<uint8_t*>(got.data()), *text, -1, false);
        EXPECT_EQ(got, c.want) << c.text;
        stack::state.top = saved;
    }
}

// A TLS server whose certificate no authority signed: the peer is verified,
// so the request fails as a transport failure.
TEST_F(HttpClient, HttpsVerifiesThePeer) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kel-https-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string key = (dir / "key.pem").string(), cert = (dir / "cert.pem").string();
    Command make;
    make.argv = {"openssl", "req",   "-x509",         "-newkey", "rsa:2048", "-nodes", "-days",
                 "1",       "-subj", "/CN=127.0.0.1", "-keyout", key,        "-out",   cert};
    ProcessResult made = run_process(make);
    ASSERT_EQ(made.status, 0) << "openssl is needed for this test: " << made.end() << made.err;
    int port;
    {
        HttpServer probe;  // a free port, given back at once
        port = probe.port();
    }
    Command serve;
    serve.argv = {"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(port), "-cert", cert,
                  "-key",    key,        "-www"};
    serve.stdout_file = "/dev/null";
    serve.merge_output = true;
    Child server_process(serve);
    // Waits (at most 20 s) until the server accepts connections.
    bool ready = false;
    for (int i = 0; i < 200 && !ready; ++i) {
        int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(port));
        ready = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(s);
        if (!ready) usleep(100000);
    }
    int error = ready ? evaluate(server, "read https://127.0.0.1:" + std::to_string(port) + "/").error : -2;
    server_process.signal(SIGTERM);
    server_process.finish();
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(ready);
    EXPECT_EQ(error, id(ErrorId::access_no_connect));
}

}  // namespace
}  // namespace kel::test
