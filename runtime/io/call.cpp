#include "runtime/io/call.h"

#include <cstdlib>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/os-path.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/child-process.h"
#include "runtime/text/unicode.h"

namespace kel::call {

namespace {

using platform::child::Outcome;
using platform::child::Request;
using platform::child::Stream;

// The UTF-8 bytes of a string-family value from its index to its tail.
void text_bytes(const Cell& text, std::vector<uint8_t>& out) {
    SeriesBuffer* b = string::buffer(text);
    uint32_t unit = b->unit();
    for (uint64_t at = b->offset + uint64_t(int32_t(text.data1)) * unit; at < b->tail; at += unit) {
        uint8_t bytes[4];
        int32_t n = unicode::encode_utf8_char(string::get_char(b->data() + at, unit), bytes);
        out.insert(out.end(), bytes, bytes + n);
    }
}

// Sets up one stream from its refinement's value: a file! is opened by
// path, a string! or binary! is piped. False when the file has no path on
// this system.
bool redirect(Request& request, int stream, const Cell* value) {
    if (!value) return true;
    uint32_t type = type_of(*value);
    if (type == TYPE_FILE) {
        request.how[stream] = Stream::file;
        return os_path::from_text(*value, request.path[stream]);
    }
    request.how[stream] = Stream::pipe;
    if (stream != 0) return true;
    if (type == TYPE_BINARY) {
        Cell bin = *value;
        const uint8_t* head = binary::ks_head(bin);
        const uint8_t* tail = binary::ks_tail(bin);
        request.input.assign(head, tail);
    } else {
        text_bytes(*value, request.input);
    }
    return true;
}

// Inserts captured bytes at the position of a string! or binary! target.
void deliver(const Cell* target, const std::vector<uint8_t>& bytes) {
    if (!target || bytes.empty()) return;
    Cell into = *target;
    Rooted keep(into);
    if (type_of(into) == TYPE_BINARY) {
        binary::insert_bytes(into, 0, bytes.data(), bytes.size());
        return;
    }
    std::string text = decode_output(bytes);
    if (text.size() > size_t(memory::largest_series(1))) fire(ErrorId::script_too_long);
    Cell* top = stack::top();
    Cell* captured =
        string::import(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), string::ENCODING_UTF8);
    Cell out;
    actions::insert(&out, &into, captured, AppendOptions{});
    stack::pop(uint32_t(stack::top() - top));
}

std::vector<std::string> through_shell(std::string command) { return {"/bin/sh", "-c", std::move(command)}; }

}  // namespace

std::vector<std::string> split_command(const std::string& command) {
    std::vector<std::string> argv;
    std::string arg;
    bool in_arg = false, quoted = false;
    for (size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (c == '\\' && i + 1 < command.size() && command[i + 1] == '"') {
            arg += '"';
            in_arg = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            in_arg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_arg) argv.push_back(std::move(arg));
            arg.clear();
            in_arg = false;
        } else {
            arg += c;
            in_arg = true;
        }
    }
    if (in_arg) argv.push_back(std::move(arg));
    return argv;
}

std::string decode_output(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size());
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        uint8_t b = p[i];
        if (b < 0x80) {
            if (!(b == '\r' && i + 1 < n && p[i + 1] == '\n')) text += char(b);
            ++i;
            continue;
        }
        int32_t len = 0;
        int32_t room = n - i > 4 ? 4 : int32_t(n - i);
        if (unicode::decode_utf8_status(p + i, room, len) < 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(reinterpret_cast<const char*>(p + i), size_t(len));
            i += size_t(len);
        }
    }
    return text;
}

int32_t run_command(const Cell& command, const natives::CallOptions& options) {
    std::string text;
    if (!os_path::from_text(command, text)) return -1;
    Request request;
    if (options.shell)
        request.argv = through_shell(text);
    else if (type_of(command) == TYPE_FILE)
        request.argv = {text};
    else
        request.argv = split_command(text);
    if (request.argv.empty()) return -1;
    if (options.console) request.how[1] = request.how[2] = Stream::inherit;
    if (!redirect(request, 0, options.input) || !redirect(request, 1, options.output) ||
        !redirect(request, 2, options.error))
        return -1;
    request.wait = options.wait || options.console || options.input || options.output || options.error;

    // Input bytes were copied out above: nothing refers to series memory
    // until the child has ended.
    Outcome outcome = platform::child::run(request);
    if (outcome.kind == Outcome::not_found && !options.shell) {
        request.argv = through_shell(text);
        outcome = platform::child::run(request);
    }
    if (outcome.kind != Outcome::started) return -1;
    deliver(options.output, outcome.output);
    deliver(options.error, outcome.error);
    return outcome.result;
}

void init() {
    natives::services().run_command = run_command;
    static bool registered = false;
    if (!registered) std::atexit(platform::child::reap_finished);
    registered = true;
}

}  // namespace kel::call
