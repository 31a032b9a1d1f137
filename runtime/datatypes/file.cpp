// file! registration, its mold and its conversion to a local path.
#include "runtime/datatypes/file.h"

#include <vector>

#include "runtime/datatypes/char-escape.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"

namespace kel::file {

namespace {

// An ASCII character that an unquoted file literal cannot hold as it is:
// those the URL set escapes, and those that end or split the token although
// URLs keep them (a colon, an at sign, the parentheses).
bool breaks_token(uint32_t c) {
    return c < 0x80 && (!url::keeps(c, url::Mode::url) || c == ':' || c == '@' || c == '(' || c == ')');
}

// Quotes are needed for those, and for a surrogate (a name byte that is no
// UTF-8), which only the ^( ) escape inside quotes carries back.
bool needs_quotes(uint32_t c) { return breaks_token(c) || (c >= 0xD800 && c <= 0xDFFF); }

void put(const Cell& target, uint32_t cp) { string::append_char(string::buffer(target), cp); }

}  // namespace

void to_local_path(const Cell& file, const Cell& target, bool full) {
    Cell f = file;
    Rooted keep(f);
    string::Span s = string::span_from_head(f);
    if (full && (s.count == 0 || s.at(0) != '/')) {
        Cell dir = make_none();
        Rooted keep_dir(dir);
        get_current_dir(&dir, TYPE_STRING);
        string::copy_into(target, dir, -1, true);
    }
    string::copy_into(target, f, -1, true);
}

void to_local_file(Cell* out, const Cell& path, bool full) {
    Cell made{};
    string::ks_make_at(made, int32_t(string::span_from_head(path).count));
    Rooted keep(made);
    to_local_path(path, made, full);
    *out = made;
}

void get_current_dir(Cell* out, uint32_t type) { simple_io::get_current_dir(out, type); }

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    Rooted keep_value(value);
    Rooted keep_target(target);
    string::Span whole = string::span_from_head(value);
    int64_t extent = whole.count;
    if (options.part && options.limit != 0) {
        int64_t budget = options.limit < 0 ? 0 : options.limit;
        if (budget < extent) extent = budget;
    }
    // Read once: the writes below may move the value's buffer.
    std::vector<uint32_t> text(static_cast<size_t>(extent));
    bool quote = false, has_quote_char = false;
    for (int64_t i = 0; i < extent; ++i) {
        uint32_t c = whole.at(i);
        text[size_t(i)] = c;
        quote |= needs_quotes(c);
        has_quote_char |= c == '"';
    }
    put(target, '%');
    if (whole.count == 0) {
        string::append_c_string(target, "\"\"");
    } else if (!quote) {
        for (uint32_t c : text) put(target, c);
    } else if (has_quote_char) {
        static const char digits[] = "0123456789ABCDEF";
        for (uint32_t c : text) {
            if (!breaks_token(c)) {
                put(target, c);
                continue;
            }
            put(target, '%');
            put(target, uint32_t(digits[c >> 4]));
            put(target, uint32_t(digits[c & 15]));
        }
    } else {
        put(target, '"');
        for (uint32_t c : text) char_escape::mold_char(target, c, false);
        put(target, '"');
    }
    return options.limit - 1 - extent;
}

void init() {
    datatype::Record r(TYPE_FILE, TYPE_URL, "file!");
    r.own<ACTION_MOLD>(mold)
        .own<ACTION_READ>(read)
        .own<ACTION_WRITE>(write)
        .own<ACTION_DELETE>(delete_)
        .own<ACTION_QUERY>(query)
        .own<ACTION_RENAME>(rename)
        .inherit_all<ACTION_MAKE, ACTION_TO, ACTION_FORM, ACTION_EVAL_PATH, ACTION_COMPARE, ACTION_APPEND,
                     ACTION_CHANGE, ACTION_FIND, ACTION_INSERT, ACTION_SELECT, ACTION_SWAP, ACTION_TAKE, ACTION_AT,
                     ACTION_BACK, ACTION_CLEAR, ACTION_COPY, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q,
                     ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE, ACTION_REVERSE,
                     ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::file
