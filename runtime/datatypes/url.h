// url!: a string whose text is a URL (type id 9, parent string!). It is a
// string cell like string! (head index, node, 0) and shares every string and
// series action; its own are make and to (a URL from a block), mold
// (percent-encoded), path access (joining with "/"), and the I/O actions
// read, write and open. file! (runtime/datatypes/file.h) registers after it
// as its child. The action slots are declared in url-internal.h.
//
// Percent coding, shared by the lexer (the escapes of file! and url!
// literals), `dehex`, `enhex` and the molds:
// - decode: "%" and two hexadecimal digits (either case) is an escaped byte.
//   A byte below C0 is that code point. A UTF-8 lead byte takes the escapes
//   that must follow it (C0-DF one, E0-EF two, F0-FF three): when they are
//   all there the bytes are decoded as one UTF-8 sequence, and a malformed
//   one raises access/invalid-utf8; when one is missing, the "%" is copied as
//   it stands. Every other code point is copied. Nothing is read past the
//   tail.
// - encode: the UTF-8 bytes of the text; a byte below 80 that the mode's set
//   keeps is written as it is, every other byte as "%" and two upper-case
//   hexadecimal digits. URL mode keeps letters, digits and
//   ! # $ & ' ( ) * + , - . / : = ? @ _ ~; strict mode only letters, digits
//   and - . _ ~.
//
// HTTP and ports are reached through seams (`services()`), each raising
// internal/not-done until its module installs it. Only URLs that start with
// "http:" or "https:" (case-sensitive) go to the HTTP client; every other
// URL, "httpx:" and "HTTP:" included, goes to a port.
//
// Collector: the coders read the source's code points into C++ memory before
// they append to the target, so the target may be any string (the source's
// own included).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::url {

enum class Mode : uint8_t { url = 0xFF, strict = 0xFE };

// Whether the mode's set keeps the ASCII character as it is.
bool keeps(uint32_t c, Mode mode);

// Appends the percent-decoded text of the source (a string-family value,
// from its index) to the target string.
void decode(const Cell& source, const Cell& target);
// Replaces the value (a cell that stays put) by a new value of its type
// holding its decoded text; nothing is allocated when it holds no "%".
void decode_in_place(Cell& value);
// Appends the percent-encoded UTF-8 of the source (from its index) to the
// target string. With a limit of 0 or more, at most that many characters
// are appended; answers the characters appended.
int64_t encode(const Cell& source, const Cell& target, Mode mode, int64_t limit = -1);

// The cores of the natives dehex and enhex: a new string! (whatever the
// value's string type) holding the decoded text, or the encoded UTF-8 of the
// text (strict mode for a string!, URL mode for the other string types).
void dehex(Cell* out, const Cell& value);
void enhex(Cell* out, const Cell& value);

// A url! of the block's values: scheme "://" host [":" port] "/" path..., the
// path values joined by "/", or by "#" before an issue!. An empty block
// raises script/bad-to-arg with url! and the block.
void from_block(Cell* out, const Cell& block);
// The path join of `value/element`: the value's text, one "/", the formed
// element; a new value of the value's type.
void join(Cell* out, const Cell& value, const Cell& element);
// Whether the URL goes to the HTTP client: its text starts with "http:" or
// "https:".
bool is_http(const Cell& url);

// Makes a port for the URL, opened when `open` is non-null (url-parser's
// parse-url, then the port maker, then the open action).
void to_port(Cell* out, const Cell& url, const OpenArgs* open);

struct Services {
    // The HTTP client: method word, URL, headers block or none, data or
    // none, and the /binary, /lines and /info flags. It answers none when
    // the request fails.
    void (*request_http)(Cell* out, const Cell& method, const Cell& url, const Cell& headers, const Cell& data,
                         bool binary, bool lines, bool info) = nullptr;
    // url-parser's parse-url without /throw-error: an object! or anything
    // else for a URL it refuses.
    void (*parse_url)(Cell* out, const Cell& url) = nullptr;
    // The port maker from a parsed spec object.
    void (*make_port)(Cell* out, const Cell& spec) = nullptr;
};
Services& services();

// Registers url! (id 9, parent string!); string! must be registered first.
void init();

}  // namespace kel::url
