#include "runtime/encoding/percent.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/text/unicode.h"

namespace kel::encoding {

namespace {

int hex_digit(uint32_t c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
    return -1;
}

// The byte of the escape at i, or -1 when none starts there.
int escape_at(const std::vector<uint32_t>& t, size_t i) {
    if (i + 2 >= t.size() || t[i] != '%') return -1;
    int h = hex_digit(t[i + 1]);
    int l = hex_digit(t[i + 2]);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

bool kept(uint8_t b, PercentSet set) {
    if (b >= 0x80) return false;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return true;
    if (b != 0 && std::strchr("-._~", b)) return true;
    return set == PercentSet::url && b != 0 && std::strchr("!#$&'()*+,/:=?@", b) != nullptr;
}

}  // namespace

std::vector<uint32_t> percent_decode(const std::vector<uint32_t>& t) {
    std::vector<uint32_t> out;
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        int b = escape_at(t, i);
        if (b < 0) {
            out.push_back(t[i++]);
            continue;
        }
        if (b < 0xC0) {
            out.push_back(uint32_t(b));
            i += 3;
            continue;
        }
        size_t n = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint8_t bytes[4] = {uint8_t(b), 0, 0, 0};
        bool whole = true;
        for (size_t k = 1; k < n && whole; ++k) {
            int c = escape_at(t, i + 3 * k);
            if (c < 0) whole = false;
            else bytes[k] = uint8_t(c);
        }
        if (!whole) {
            out.push_back(t[i++]);
            continue;
        }
        int32_t len = 0;
        int32_t cp = unicode::decode_utf8_status(bytes, int32_t(n), len);
        if (cp < 0 || size_t(len) != n) fire(ErrorId::access_invalid_utf8);
        out.push_back(uint32_t(cp));
        i += 3 * n;
    }
    return out;
}

std::string percent_encode(const std::vector<uint32_t>& text, PercentSet set) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (uint32_t cp : text) {
        uint8_t bytes[4];
        int32_t n = unicode::encode_utf8_char(cp > 0x10FFFF ? 0xFFFD : cp, bytes);
        for (int32_t k = 0; k < n; ++k) {
            uint8_t b = bytes[k];
            if (kept(b, set)) {
                out += char(b);
            } else {
                out += '%';
                out += HEX[b >> 4];
                out += HEX[b & 0xF];
            }
        }
    }
    return out;
}

}  // namespace kel::encoding
