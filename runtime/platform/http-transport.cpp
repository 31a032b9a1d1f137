#include "runtime/platform/http-transport.h"

#include <curl/curl.h>
#include <strings.h>

#include <cstring>

#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::platform::http {

namespace {

// libcurl, opened and initialised on the first request. Entries drop the
// "curl_" prefix (curl.h defines `curl_easy_setopt` and `curl_easy_getinfo`
// as checking macros, which a member of the same name would expand).
struct Libcurl {
    static constexpr const char* SONAME = sonames::CURL;
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_reset) easy_reset;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;

    bool bind(SharedLibrary& library) {
        library.resolve(global_init, "curl_global_init");
        library.resolve(easy_init, "curl_easy_init");
        library.resolve(easy_reset, "curl_easy_reset");
        library.resolve(easy_setopt, "curl_easy_setopt");
        library.resolve(easy_getinfo, "curl_easy_getinfo");
        library.resolve(easy_perform, "curl_easy_perform");
        library.resolve(slist_append, "curl_slist_append");
        library.resolve(slist_free_all, "curl_slist_free_all");
        return library.complete() && global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }
};

struct Transfer {
    const Libcurl* curl;
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
        if (transfer->curl->easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length > 0 && length <= transfer->max_body)
            body.reserve(size_t(length));
    }
    if (int64_t(body.size()) + int64_t(n) > transfer->max_body) {
        transfer->response->outcome = Response::Outcome::too_long;
        return CURL_WRITEFUNC_ERROR;
    }
    body.append(data, n);
    return n;
}

CURL* handle(const Libcurl& curl) {
    static CURL* easy = curl.easy_init();
    return easy;
}

struct HeaderList {
    const Libcurl& curl;
    curl_slist* list = nullptr;
    bool add(const std::string& line) {
        curl_slist* grown = curl.slist_append(list, line.c_str());
        if (!grown) return false;
        list = grown;
        return true;
    }
    ~HeaderList() { curl.slist_free_all(list); }
};

}  // namespace

bool names(const std::vector<std::string>& headers, const char* name) {
    size_t length = std::strlen(name);
    for (const std::string& line : headers)
        if (line.size() > length && line[length] == ':' && strncasecmp(line.data(), name, length) == 0) return true;
    return false;
}

Response perform(const Request& request) {
    Response response;
    const Libcurl* curl = load_api<Libcurl>();
    if (!curl) return response;
    CURL* easy = handle(*curl);
    if (!easy) return response;
    curl->easy_reset(easy);
    HeaderList headers{*curl};
    for (const std::string& line : request.headers)
        if (!headers.add(line)) return response;
    // An empty value removes a header libcurl would add of its own.
    for (const char* name : {"Accept", "Expect", "Content-Type"})
        if (!names(request.headers, name) && !headers.add(std::string(name) + ":")) return response;

    Transfer transfer{curl, &response, request.max_body, easy};
    bool ok = curl->easy_setopt(easy, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_MAXREDIRS, 10L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 60L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 30L) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_HEADERDATA, &transfer) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body) == CURLE_OK;
    ok &= curl->easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    if (request.method == "HEAD") {
        ok &= curl->easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK;
    } else if (request.method == "GET") {
        ok &= curl->easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    } else {
        if (request.has_body) {
            ok &= curl->easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size())) == CURLE_OK;
            ok &= curl->easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data()) == CURLE_OK;
        }
        // POST with a body is libcurl's own request; every other method is
        // sent by its spelling.
        if (!(request.has_body && request.method == "POST"))
            ok &= curl->easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str()) == CURLE_OK;
    }
    if (!ok) return response;

    response.outcome = Response::Outcome::done;
    CURLcode code = curl->easy_perform(easy);
    if (code != CURLE_OK) {
        if (response.outcome != Response::Outcome::too_long) response.outcome = Response::Outcome::failed;
        response.headers.clear();
        response.body.clear();
        curl->easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        return response;
    }
    long status = 0;
    curl->easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    response.status = status;
    // The handle must not keep pointers to the header list freed below.
    curl->easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    return response;
}

}  // namespace kel::platform::http
