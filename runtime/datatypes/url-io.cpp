// The I/O actions of url!: "http:" and "https:" URLs go to the HTTP client,
// every other URL to a port made from the parsed URL.
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/url-internal.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

namespace kel::url {

namespace {

[[noreturn]] void not_done() { fire(ErrorId::internal_not_done); }

void request(Cell* out, const Cell& method, const Cell& url, const Cell& headers, const Cell& data, bool binary,
             bool lines, bool info) {
    if (!services().request_http) not_done();
    Cell result = make_none();
    Rooted keep(result);
    services().request_http(&result, method, url, headers, data, binary, lines, info);
    if (type_of(result) == TYPE_NONE) fire(ErrorId::access_no_connect, {url});
    *out = result;
}

bool data_type_ok(uint32_t t) { return t == TYPE_BLOCK || t == TYPE_STRING || t == TYPE_BINARY; }

}  // namespace

void to_port(Cell* out, const Cell& url, const OpenArgs* open) {
    if (!services().parse_url || !services().make_port) not_done();
    Cell u = url;
    Rooted keep_url(u);
    Cell spec = make_none();
    Rooted keep_spec(spec);
    services().parse_url(&spec, u);
    if (type_of(spec) != TYPE_OBJECT) fire(ErrorId::script_invalid_arg, {u});
    Cell port = make_none();
    Rooted keep_port(port);
    services().make_port(&port, spec);
    if (open) actions::open(&port, &port, *open);
    *out = port;
}

void read(Cell* out, Cell* source, const ReadArgs& args) {
    Cell url = *source;
    Rooted keep(url);
    if (is_http(url)) {
        if (args.part || args.seek || args.as) not_done();
        request(out, word::make_global("get"), url, make_none(), make_none(), args.binary, args.lines, args.info);
        return;
    }
    Cell port = make_none();
    Rooted keep_port(port);
    to_port(&port, url, nullptr);
    actions::read(out, &port, args);
}

void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args) {
    Cell url = *destination;
    Rooted keep(url);
    Cell value = *data;
    Rooted keep_value(value);
    if (!is_http(url)) {
        Cell port = make_none();
        Rooted keep_port(port);
        to_port(&port, url, nullptr);
        actions::write(out, &port, &value, args);
        return;
    }
    if (args.seek || args.allow || args.as) not_done();
    Cell method = make_none(), headers = make_none(), body = make_none();
    Rooted keep_method(method), keep_headers(headers), keep_body(body);
    if (type_of(value) == TYPE_BLOCK) {
        int32_t count = block::ks_length(value);
        int32_t head = int32_t(value.data1) < 0 ? 0 : int32_t(value.data1);
        if (count <= 0) {
            method = word::make_global("get");
            body = value;
        } else {
            method = *block::ks_abs_at(value, head);
            if (type_of(method) != TYPE_WORD) fire(ErrorId::script_invalid_arg, {method});
            if (count > 1) {
                headers = *block::ks_abs_at(value, head + 1);
                if (type_of(headers) != TYPE_BLOCK) fire(ErrorId::script_invalid_arg, {headers});
            }
            if (count > 2) body = *block::ks_abs_at(value, head + 2);
        }
    } else {
        method = word::make_global("post");
        body = value;
    }
    if (type_of(body) != TYPE_NONE && !data_type_ok(type_of(body))) fire(ErrorId::script_invalid_arg, {body});
    request(out, method, url, headers, body, args.binary, args.lines, args.info);
}

void open(Cell* out, Cell* spec, const OpenArgs& args) { to_port(out, *spec, &args); }

}  // namespace kel::url
