#include "runtime/platform/http-transport.h"

#include <curl/curl.h>
#include <strings.h>

#include <cstring>

namespace kel::platform::http {

namespace {

struct Transfer {
    Response* response;
    int64_t max_body;
    CURL* easy;
    bool sized = false;
};

// Each call is one header line. A status line starts a new response (an
// interim 100 or a redirect): what came before is dropped.
size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        transfer->response->headers.clear();
        return n;
    }
    if ((n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n')) return n;
    transfer->response->headers.append(data, n);
    return n;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t n = size * count;
    std::string& body = transfer->response->body;
    if (!transfer->sized) {
        // A declared length sizes the body once instead of letting it grow.
        transfer->sized = true;
        curl_off_t length = -1;
        if (curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0 &&
            length <= transfer->max_body)
            body.reserve(size_t(length));
    }
    if (int64_t(body.size()) + int64_t(n) > transfer->max_body) {
        transfer->response->outcome = Response::Outcome::too_long;
        return CURL_WRITEFUNC_ERROR;
    }
    body.append(data, n);
    return n;
}

CURL* handle() {
    static CURL* easy = curl_easy_init();
    return easy;
}

struct HeaderList {
    curl_slist* list = nullptr;
    bool add(const std::string& line) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) return false;
        list = grown;
        return true;
    }
    ~HeaderList() { curl_slist_free_all(list); }
};

}  // namespace

bool names(const std::vector<std::string>& headers, const char* name) {
    size_t length = std::strlen(name);
    for (const std::string& line : headers)
        if (line.size() > length && line[length] == ':' && strncasecmp(line.data(), name, length) == 0) return true;
    return false;
}

void global_init() {
    static bool done = false;
    if (!done) curl_global_init(CURL_GLOBAL_DEFAULT);
    done = true;
}

Response perform(const Request& request) {
    Response response;
    CURL* easy = handle();
    if (!easy) return response;
    curl_easy_reset(easy);
    HeaderList headers;
    for (const std::string& line : request.headers)
        if (!headers.add(line)) return response;
    // An empty value removes a header libcurl would add of its own.
    for (const char* name : {"Accept", "Expect", "Content-Type"})
        if (!names(request.headers, name) && !headers.add(std::string(name) + ":")) return response;

    Transfer transfer{&response, request.max_body, easy};
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 60L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 30L) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body) == CURLE_OK;
    ok &= curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    if (request.method == "HEAD") {
        ok &= curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK;
    } else if (request.method == "GET") {
        ok &= curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    } else {
        if (request.has_body) {
            ok &= curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size())) == CURLE_OK;
            ok &= curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data()) == CURLE_OK;
        }
        // POST with a body is libcurl's own request; every other method is
        // sent by its spelling.
        if (!(request.has_body && request.method == "POST"))
            ok &= curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str()) == CURLE_OK;
    }
    if (!ok) return response;

    response.outcome = Response::Outcome::done;
    CURLcode code = curl_easy_perform(easy);
    if (code != CURLE_OK) {
        if (response.outcome != Response::Outcome::too_long) response.outcome = Response::Outcome::failed;
        response.headers.clear();
        response.body.clear();
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        return response;
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    response.status = status;
    // The handle must not keep pointers to the header list freed below.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    return response;
}

}  // namespace kel::platform::http
