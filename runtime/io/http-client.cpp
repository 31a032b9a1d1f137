#include "runtime/io/http-client.h"

#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/http-transport.h"
#include "runtime/text/unicode.h"

namespace kel::http_client {

namespace {

int64_t body_limit = INT32_MAX;

// The bytes of a binary! or the UTF-8 of a string-family value, from the
// index.
std::string raw_bytes(const Cell& value) {
    int64_t n = binary::measure(value, -1, false);
    std::string out(size_t(n), '\0');
    if (n) binary::write(reinterpret_cast<uint8_t*>(out.data()), value, -1, false);
    return out;
}

// The UTF-8 of the value's formed text.
std::string formed_text(const Cell& value) {
    Cell text = actions::formed(value);
    Rooted keep(text);
    return raw_bytes(text);
}

// A body: a binary's bytes, a string-family value's UTF-8, else the formed
// text.
std::string bytes_of(const Cell& value) {
    uint32_t type = type_of(value);
    return type == TYPE_BINARY || type_classes::holds_code_points(type) ? raw_bytes(value) : formed_text(value);
}

// A header name or value, or a method: a string's text, else the formed
// value (a word's spelling).
std::string text_of(const Cell& value) { return type_of(value) == TYPE_STRING ? raw_bytes(value) : formed_text(value); }

// The URL as sent: its text percent-encoded as url! molds it, so a space or
// a non-ASCII character travels escaped.
std::string url_text(const Cell& url) {
    Cell u = url;
    Rooted keep(u);
    Cell text = make_unset();
    string::ks_make_at(text, 64);
    Rooted keep_text(text);
    url::encode(u, text, url::Mode::url);
    return raw_bytes(text);
}

bool token_char(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    for (const char* p = "!#$%&'*+-.^_`|~"; *p; ++p)
        if (c == static_cast<unsigned char>(*p)) return true;
    return false;
}

std::string method_text(const Cell& method) {
    std::string text = text_of(method);
    if (text.empty()) fire(ErrorId::script_invalid_arg, {method});
    for (char& c : text) {
        if (!token_char(static_cast<unsigned char>(c))) fire(ErrorId::script_invalid_arg, {method});
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return text;
}

bool breaks_line(char c) { return c == '\r' || c == '\n' || c == '\0'; }

std::string header_name(const Cell& name) {
    std::string text = text_of(name);
    if (text.empty()) fire(ErrorId::script_invalid_arg, {name});
    for (char c : text)
        if (breaks_line(c) || c == ':' || c == ' ' || c == '\t') fire(ErrorId::script_invalid_arg, {name});
    return text;
}

std::string header_value(const Cell& value) {
    std::string text = text_of(value);
    for (char c : text)
        if (breaks_line(c)) fire(ErrorId::script_invalid_arg, {value});
    return text;
}

void add_headers(platform::http::Request& request, const Cell& block_cell) {
    Cell block = block_cell;
    Rooted keep(block);
    int32_t count = block::ks_length(block);
    if (count < 0) count = 0;
    if (count % 2) fire(ErrorId::script_invalid_arg, {block});
    int32_t head = int32_t(block.data1);
    for (int32_t i = 0; i < count; i += 2) {
        Cell name = *block::ks_abs_at(block, head + i);
        Rooted keep_name(name);
        Cell value = *block::ks_abs_at(block, head + i + 1);
        Rooted keep_value(value);
        std::string line = header_name(name);
        line += ": ";
        line += header_value(value);
        request.headers.push_back(std::move(line));
    }
}

// Header text with each byte that is not part of valid UTF-8 taken as the
// code point of its value.
std::string lenient_utf8(const uint8_t* p, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        int32_t len = 0;
        int32_t room = n - i > 4 ? 4 : int32_t(n - i);
        if (unicode::decode_utf8_status(p + i, room, len) < 0) {
            out += char(0xC0 | (p[i] >> 6));
            out += char(0x80 | (p[i] & 0x3F));
            ++i;
        } else {
            out.append(reinterpret_cast<const char*>(p + i), size_t(len));
            i += size_t(len);
        }
    }
    return out;
}

void add_header(const Cell& map_cell, const std::string& name, const std::string& value_text) {
    Cell key = word::make_global(name.c_str());
    Rooted keep_key(key);
    Cell value = make_none();
    Rooted keep_value(value);
    string::import_at(reinterpret_cast<const uint8_t*>(value_text.data()), int32_t(value_text.size()), &value,
                      string::ENCODING_UTF8);
    const Cell* found = map::lookup(map_cell, key, COMP_EQUAL);
    if (!found) {
        map::set(map_cell, key, value, false, nullptr);
        return;
    }
    Cell earlier = *found;
    Rooted keep_earlier(earlier);
    if (type_of(earlier) == TYPE_BLOCK) {
        block::append_cell(earlier, value);
        return;
    }
    Cell gathered = make_none();
    Rooted keep_gathered(gathered);
    block::make_at(gathered, 2);
    block::append_cell(gathered, earlier);
    block::append_cell(gathered, value);
    map::set(map_cell, key, gathered, false, nullptr);
}

}  // namespace

void parse_headers(Cell* out, const uint8_t* text, size_t size) {
    Cell result = make_none();
    Rooted keep(result);
    map::make_at(result, nullptr, 20);
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && text[end] != '\n') ++end;
        size_t colon = start;
        while (colon < end && text[colon] != ':') ++colon;
        if (colon < end && colon > start) {
            size_t value = colon + 1;
            while (value < end && (text[value] == ' ' || text[value] == '\t')) ++value;
            size_t stop = value;
            while (stop < end && text[stop] != '\r') ++stop;
            std::string name = lenient_utf8(text + start, colon - start);
            if (name.find('\0') == std::string::npos)
                add_header(result, name, lenient_utf8(text + value, stop - value));
        }
        start = end + 1;
    }
    *out = result;
}

void request(Cell* out, const Cell& method, const Cell& url, const Cell& headers, const Cell& data, bool binary,
             bool lines, bool info) {
    platform::http::Request request;
    request.method = method_text(method);
    request.url = url_text(url);
    if (type_of(headers) == TYPE_BLOCK) {
        add_headers(request, headers);
    } else {
        request.headers = {"Content-Type: application/x-www-form-urlencoded", "Accept-Charset: UTF-8",
                           "User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)"};
    }
    bool head = request.method == "HEAD";
    if (!head && request.method != "GET" && type_of(data) != TYPE_NONE) {
        request.has_body = true;
        request.body = bytes_of(data);
        if (!platform::http::names(request.headers, "Content-Length")) {
            std::string line = "Content-Length: ";
            line.append(std::to_string(request.body.size()));
            request.headers.insert(request.headers.begin(), std::move(line));
        }
    }
    request.max_body = body_limit;

    platform::http::Response response = platform::http::perform(request);
    using Outcome = platform::http::Response::Outcome;
    if (response.outcome == Outcome::too_long) fire(ErrorId::script_too_long);
    if (response.outcome != Outcome::done) {
        *out = make_none();
        return;
    }
    Cell body = make_none();
    Rooted keep_body(body);
    if (!head) {
        simple_io::ReadOptions options;
        options.binary = binary;
        options.lines = lines;
        simple_io::make_read_result(&body, reinterpret_cast<const uint8_t*>(response.body.data()),
                                    int64_t(response.body.size()), options);
    }
    if (!info) {
        *out = body;
        return;
    }
    Cell header_map = make_none();
    Rooted keep_map(header_map);
    parse_headers(&header_map, reinterpret_cast<const uint8_t*>(response.headers.data()), response.headers.size());
    Cell result = make_none();
    Rooted keep_result(result);
    block::make_at(result, 3);
    block::append_cell(result, make_integer(int32_t(response.status)));
    block::append_cell(result, header_map);
    block::append_cell(result, body);
    *out = result;
}

int64_t set_body_limit(int64_t limit) {
    int64_t before = body_limit;
    body_limit = limit;
    return before;
}

void init() { url::services().request_http = request; }

}  // namespace kel::http_client
