// The HTTP transport: one synchronous exchange over libcurl, in plain C++
// strings. Nothing here touches a series, so the runtime builds its values
// only after the transfer has ended.
//
// What goes on the wire: the request line, Host, then `headers` exactly as
// given and in order (the caller puts Content-Length first when it sends a
// body). libcurl's own additions ("Accept: */*", the form Content-Type of a
// body, "Expect: 100-continue") are suppressed unless `headers` names them;
// no Accept-Encoding is sent, so a body arrives as the server sent it.
//
// Only http and https are spoken, for the request and for every redirect
// (at most 10 are followed), so a redirect can never reach a local file.
// Peers are verified against the system's certificates. A connection must
// open within 60 s, and a transfer that moves less than one byte per second
// for 30 s is abandoned. The proxy variables of the environment are honoured
// as libcurl reads them. One easy handle is kept and reset between requests,
// so connections to a host are reused. libcurl is opened and initialised on
// the first request (runtime/platform/shared-library.h); when it cannot be,
// every request fails as a transport failure does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kel::platform::http {

struct Request {
    std::string method;  // an HTTP token, already upper-cased
    std::string url;
    std::vector<std::string> headers;  // "Name: value" lines, in order
    bool has_body = false;  // GET and HEAD never carry one
    std::string body;
    int64_t max_body = INT32_MAX;  // a longer response body stops the transfer
};

struct Response {
    enum class Outcome { done, failed, too_long };
    Outcome outcome = Outcome::failed;
    long status = 0;
    // The last response's header lines, each ending in CR LF, without the
    // status line and the blank line: an interim 100 response and every
    // redirect start them afresh.
    std::string headers;
    std::string body;
};

// Whether one of the "Name: value" lines names the header (case ignored).
bool names(const std::vector<std::string>& headers, const char* name);

// One exchange. A failure of the transport (no connection, a TLS failure, a
// timeout, a malformed URL, a refused redirect) gives Outcome::failed; an
// HTTP error status is a normal answer.
Response perform(const Request& request);

}  // namespace kel::platform::http
