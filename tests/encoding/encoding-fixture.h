// Shared by the base encoding tests: a started runtime, texts stored in a
// chosen unit, binaries made from bytes, and the series-level coders' results
// read back as C++ values.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/encoding/base-encodings.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel::test {

using Bytes = std::vector<uint8_t>;
using encoding::Base;

inline constexpr Base all_bases[] = {Base::base2, Base::base16, Base::base58, Base::base64};
inline constexpr uint32_t all_units[] = {1, 2, 4};

inline const char* name_of(Base base) {
    switch (base) {
    case Base::base2:
        return "Base2";
    case Base::base16:
        return "Base16";
    case Base::base58:
        return "Base58";
    case Base::base64:
        return "Base64";
    }
    return "?";
}

struct Encodings : ::testing::Test {
    void SetUp() override { test::boot(); }
};

inline Bytes bytes_of(const char* text) { return Bytes(text, text + std::strlen(text)); }

// Whether every code point of the text fits the unit.
inline bool fits(const std::u32string& text, uint32_t unit) {
    for (char32_t cp : text)
        if (unit < 4 && cp >= (1u << (8 * unit))) return false;
    return true;
}

// The code points stored in units of 1, 2 or 4 bytes, little-endian.
inline Bytes stored(const std::u32string& text, uint32_t unit) {
    Bytes out(text.size() * unit);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        std::memcpy(out.data() + i * unit, &cp, unit);
    }
    return out;
}

inline std::u32string widened(const std::string& ascii) { return std::u32string(ascii.begin(), ascii.end()); }

// A string! of the given unit holding the code points, written raw.
inline Cell make_text(const std::u32string& text, uint32_t unit) {
    Bytes units = stored(text, unit);
    NodeId node = memory::alloc_codepoints(text.size(), unit);
    SeriesBuffer* b = memory::buffer_of(node);
    if (!units.empty()) std::memcpy(alloc_tail_bytes(b, units.size()), units.data(), units.size());
    return Cell{TYPE_STRING, 0, node, 0};
}

// A binary! at index 0 holding the bytes.
inline Cell make_binary(const Bytes& bytes) {
    NodeId node = memory::alloc_bytes(bytes.size());
    SeriesBuffer* b = memory::buffer_of(node);
    if (!bytes.empty()) std::memcpy(alloc_tail_bytes(b, bytes.size()), bytes.data(), bytes.size());
    return Cell{TYPE_BINARY, 0, node, 0};
}

// The bytes of a series from its first element to its tail.
inline Bytes series_bytes(NodeId node) {
    SeriesBuffer* b = memory::buffer_of(node);
    return Bytes(b->head_ptr(), b->tail_ptr());
}

// The text of a string! made by enbase, checked to be of unit 1.
inline std::string text_of(const Cell& str) {
    EXPECT_EQ(type_of(str), TYPE_STRING);
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    EXPECT_EQ(b->unit(), 1u);
    return std::string(b->head_ptr(), b->tail_ptr());
}

// enbase of a binary! holding the bytes.
inline std::string enbased(Base base, const Bytes& bytes) {
    Cell binary = make_binary(bytes);
    Rooted keep(binary);
    Cell text = make_unset();
    encoding::enbase(base, binary, text);
    return text_of(text);
}

// debase of a string! of the unit: the bytes, or nullopt for invalid text.
inline std::optional<Bytes> debased(Base base, const std::u32string& text, uint32_t unit) {
    Cell str = make_text(text, unit);
    Rooted keep(str);
    NodeId node = encoding::debase(base, str);
    if (node == 0) return std::nullopt;
    return series_bytes(node);
}

template <class Body>
ErrorId raised(Body&& body) {
    uint32_t code = protect(catch_level::ERRORS, body);
    EXPECT_EQ(code, thrown::ERROR);
    handled();
    return error_in_flight().id;
}

}  // namespace kel::test
