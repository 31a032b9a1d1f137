// file!'s mold: the text as an unquoted, quoted or percent-escaped file
// literal that loads back as the same file! (file.h gives the rules).
#include <vector>

#include "runtime/datatypes/char-escape.h"
#include "runtime/datatypes/file-internal.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
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

}  // namespace kel::file
