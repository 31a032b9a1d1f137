// The HTTP client against a server on 127.0.0.1 in the same process, timed
// inside the interpreter with `dt`, median of several runs, references in the
// same run: a 64 MB body read as a binary! against a direct libcurl transfer
// into memory, and 1,000 small GETs against python3's urllib.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/kel-run.h"
#include "bench/python.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "tests/http/http-server.h"

using namespace kel;

namespace {

constexpr int ROUNDS = 5;

size_t keep_body(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// One plain libcurl GET of the URL into memory, in seconds.
double direct_get(const std::string& url) {
    auto t0 = std::chrono::steady_clock::now();
    CURL* easy = curl_easy_init();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, keep_body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(easy) != CURLE_OK) std::abort();
    curl_easy_cleanup(easy);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void report(const char* what, double ours, double reference, const char* reference_name) {
    std::printf("%-40s %10.1f ms   %-16s %10.1f ms   ratio %.2f\n", what, ours * 1e3, reference_name, reference * 1e3,
                ours / reference);
}

}  // namespace

int main() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
    start_runtime();
    boot::build();
    test::HttpServer server;
    server.route("/big", {"HTTP/1.1 200 OK", {}, std::string(64u << 20, 'x')});
    server.route("/small", {"HTTP/1.1 200 OK", {}, "ok"});
    std::string base = server.base();

    std::vector<double> ours, theirs;
    for (int i = 0; i < ROUNDS; ++i) {
        ours.push_back(bench::run_seconds("to float! dt [read/binary " + base + "/big]"));
        theirs.push_back(direct_get(base + "/big"));
    }
    report("64 MB body (read/binary)", bench::median(ours), bench::median(theirs), "libcurl direct");

    double gets = bench::median({bench::run_seconds("to float! dt [loop 1000 [read " + base + "/small]]"),
                                 bench::run_seconds("to float! dt [loop 1000 [read " + base + "/small]]"),
                                 bench::run_seconds("to float! dt [loop 1000 [read " + base + "/small]]")});
    std::string script = bench::python_best_of(3) +
        "import urllib.request\n"
        "opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))\n"
        "def gets():\n"
        "    for _ in range(1000): opener.open('" +
        base +
        "/small').read()\n"
        "print('gets', best(gets))\n";
    auto python = bench::python_timings(script);
    if (python.count("gets"))
        report("1,000 small GETs", gets, python["gets"], "python3 urllib");
    else
        std::printf("%-40s python3 missing\n", "1,000 small GETs");
    return 0;
}
