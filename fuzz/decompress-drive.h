// What the decompress fuzz target does with one input, shared with the
// compression test program, which replays the committed corpus through it.
//
// The input goes to every method's decompressor twice: into growing memory
// and into a small fixed buffer (where "too small" must report a size that
// then suffices). Bad data is expected; an answer outside the three result
// codes, output past what the stream may claim, or a second "too small" is a
// fault, as is any crash, hang or sanitizer report. The input is also
// compressed by each method and must come back unchanged.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/io/compression.h"

namespace kel::fuzz {

inline bool decompress_one(compression::Method m, std::span<const uint8_t> in) {
    using compression::Code;
    compression::GrowingSink grown;
    compression::Result r = compression::decompress(m, in, 0, grown);
    if (r.code != Code::ok && r.code != Code::bad_data) return false;
    if (r.code == Code::ok && (r.size != grown.size() || r.size > compression::MAX_OUTPUT)) return false;
    uint8_t small[64];
    compression::Result f = compression::decompress_into(m, std::span<uint8_t>(small, sizeof small), in);
    if (f.code == Code::too_small) {
        // A second attempt with the size reported ends the matter: the same
        // output as the growing sink, or bad data (gzip reports its
        // trailer's size before it decodes), never "too small" again.
        if (r.code == Code::ok && f.size != grown.size()) return false;
        if (f.size > compression::DEFLATE_MAX_EXPANSION * in.size() + 64 &&
            f.size > compression::ZSTD_MAX_EXPANSION * in.size())
            return false;
        std::vector<uint8_t> room(f.size);
        compression::Result again = compression::decompress_into(m, room, in);
        if (r.code != Code::ok) return again.code == Code::bad_data;
        if (again.code != Code::ok || again.size != f.size) return false;
        return std::equal(room.begin(), room.end(), grown.bytes().begin());
    }
    if (f.code == Code::ok) return r.code == Code::ok && f.size == grown.size();
    return f.code == Code::bad_data;
}

inline bool round_trip(compression::Method m, std::span<const uint8_t> in) {
    // gzip passes input that already looks like gzip through unchanged.
    if (m == compression::Method::gzip && in.size() >= 3 && in[0] == 0x1F && in[1] == 0x8B && in[2] == 0x08)
        return true;
    compression::GrowingSink packed;
    if (compression::compress(m, in, 1, packed).code != compression::Code::ok) return false;
    compression::GrowingSink unpacked;
    if (compression::decompress(m, packed.bytes(), 0, unpacked).code != compression::Code::ok) return false;
    return unpacked.size() == in.size() && std::equal(in.begin(), in.end(), unpacked.bytes().begin());
}

// Answers false on a fault.
inline bool drive_decompress(const uint8_t* data, size_t size) {
    std::span<const uint8_t> in(data, size);
    for (int k = 0; k < compression::METHOD_COUNT; ++k) {
        auto m = compression::Method(k);
        if (!decompress_one(m, in) || !round_trip(m, in)) return false;
    }
    return true;
}

}  // namespace kel::fuzz
