#include "runtime/datatypes/char-escape.h"

#include "runtime/datatypes/string.h"
#include "runtime/numbers/number-text.h"

namespace kel::char_escape {

namespace {

// The character after the caret for code points below 0x5F; 0 for none.
// 0x1E has an entry but rule 1 writes it in hexadecimal first.
constexpr char CARET[0x5F] = {'@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '-', '/', 'K', 'L', 'M', 'N', 'O',  //
                              'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '[', '\\', ']', '^', '_',  //
                              0, 0, '"',  // 0x20-0x22: only the double quote
                              // 0x23-0x5D: none (59 entries); 0x5E, the caret, is the last entry
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0,  //
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                              '^'};
static_assert(CARET[0x09] == '-' && CARET[0x0A] == '/' && CARET[0x22] == '"' && CARET[0x5E] == '^');

void put(const Cell& target, uint32_t cp) { string::append_char(string::buffer(target), cp); }

// ^( the upper-case hexadecimal digits without leading zeros ).
void put_hex(const Cell& target, uint32_t cp) {
    char text[12] = "^(";
    int n = 2;
    for (const char* digits = numbers::format_hex_int(int32_t(cp), true); *digits; ++digits) text[n++] = *digits;
    text[n++] = ')';
    string::append_c_string_part(target, text, n);
}

}  // namespace

void mold_char(const Cell& target, uint32_t cp, bool all) {
    if (cp == 0x1E || (cp >= 0x80 && cp <= 0x9F) || (cp >= 0xD800 && cp <= 0xDFFF) || (all && cp > 0x7F)) {
        put_hex(target, cp);
    } else if (cp < 0x5F && CARET[cp]) {
        char text[2] = {'^', CARET[cp]};
        string::append_c_string_part(target, text, 2);
    } else if (cp == 0x7F) {
        string::append_c_string_part(target, "^~", 2);
    } else {
        put(target, cp);
    }
}

}  // namespace kel::char_escape
