// Shared by the binary! tests: on top of the string! fixture (a started
// runtime, cells held for the collector, strings in a chosen unit, blocks),
// binaries written from hexadecimal text and the bytes of a binary read
// back as hexadecimal text.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"
#include "tests/strings/strings-fixture.h"
#include "tests/support.h"

namespace kel::test {

// A tuple! of the bytes (3 to 12).
inline Cell tuple(std::initializer_list<uint8_t> bytes) {
    Cell t{TYPE_TUPLE | (uint32_t(bytes.size()) << 19), 0, 0, 0};
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(&t.data1));
    return t;
}

// Bytes as upper-case hexadecimal text.
inline std::string hex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}
inline std::string hex(const std::vector<uint8_t>& bytes) { return hex(bytes.data(), bytes.size()); }

// The bytes from the index to the tail as hexadecimal text (an index past
// the tail reads nothing).
inline std::string hex(const Cell& bin) {
    SeriesBuffer* b = memory::buffer_of(cell_node(bin));
    int64_t used = int64_t(b->used());
    int64_t head = std::clamp<int64_t>(int32_t(bin.data1), 0, used);
    return hex(b->head_ptr() + head, size_t(used - head));
}
// The whole series as hexadecimal text, whatever the index.
inline std::string all_bytes(const Cell& bin) { return hex(at(bin, 0)); }

// The code points of a string from its index, as UTF-8.
inline std::string utf8(const Cell& str) {
    Cell s = str;
    int32_t length = -1;
    const uint8_t* p = unicode::to_utf8(s, length);
    return std::string(reinterpret_cast<const char*>(p), size_t(length));
}

struct Binaries : StringActions {
    // A binary! of the bytes written as hexadecimal digits (spaces ignored),
    // with room for `spare` more bytes.
    Cell& bin(std::string_view digits, uint64_t spare = 0) {
        std::vector<uint8_t> bytes;
        int pending = -1;
        for (char c : digits) {
            if (c == ' ') continue;
            int v = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
            if (pending < 0) {
                pending = v;
            } else {
                bytes.push_back(uint8_t(pending * 16 + v));
                pending = -1;
            }
        }
        Cell& b = hold(make_unset());
        binary::make_at(b, bytes.size() + spare);
        SeriesBuffer* buf = memory::buffer_of(cell_node(b));
        if (!bytes.empty()) std::memcpy(buf->head_ptr(), bytes.data(), bytes.size());
        buf->tail = buf->offset + bytes.size();
        return b;
    }

    // An empty string! to mold into.
    Cell& target() {
        Cell& s = hold(make_unset());
        string::ks_make_at(s, 16);
        return s;
    }

    // A paren! holding the values.
    Cell& paren_of(std::initializer_list<Cell> values) {
        Cell& p = block_of(values);
        set_type(p, TYPE_PAREN);
        return p;
    }
};

}  // namespace kel::test
