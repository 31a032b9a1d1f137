// The HTTP client behind `read` and `write` of http and https URLs
// (`url::services().request_http`), over the transport of
// runtime/platform/http-transport.h.
//
// A request is built from Kel values before anything is sent: the method
// word's spelling upper-cased (get, head and post are GET, HEAD and POST),
// the URL's text percent-encoded as url! molds it, the header block taken two values at a time (a name is a
// word's spelling or the formed value; a value the formed value), or, with
// no header block, the three default headers "Content-Type:
// application/x-www-form-urlencoded", "Accept-Charset: UTF-8" and
// "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)". A body (never for
// GET or HEAD) is a binary's bytes from its index, a string's UTF-8 from its
// index, or the UTF-8 of any other value's formed text; Content-Length comes
// first among the headers when one is sent. A method that is not an HTTP
// token, a header name that is empty or holds CR, LF, NUL, ":" or a blank,
// a header value holding CR, LF or NUL, or a header block of odd length
// raise script/invalid-arg with the offending value before anything is sent.
//
// The answer: the body as a binary!, a block of lines or a string! (the
// file layer's rules: UTF-8 with CR LF turned into LF), none for HEAD;
// with /info a block of the status integer, the header map and the body.
// A failed transport answers none (the url! actions raise no-connect); a
// body beyond 2,147,483,647 bytes raises script/too-long.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::http_client {

// Installs the client as the url! module's HTTP service (the transport
// opens libcurl on the first request).
void init();

// The service itself (see the header's opening).
void request(Cell* out, const Cell& method, const Cell& url, const Cell& headers, const Cell& data, bool binary,
             bool lines, bool info);

// Response header lines as a map!: a line is "Name:" then optional blanks
// and the value up to its CR (or the end of the line); a line without ":"
// or with an empty name is skipped. Bytes that are not valid UTF-8 are taken
// one code point per byte. A key is the word of the name as spelled; names
// equal without case share one entry, whose values gather in a block in
// arrival order once a name repeats.
void parse_headers(Cell* out, const uint8_t* text, size_t size);

// The body limit of the next requests (2,147,483,647 bytes by default);
// tests lower it to reach the too-long error. Answers the limit it replaces.
int64_t set_body_limit(int64_t limit);

}  // namespace kel::http_client
