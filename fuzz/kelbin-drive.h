// What the kelbin fuzz target does with one input, shared with the kelbin
// test program, which replays the committed corpus through it.
//
// The input is read by the decoder as it stands and behind a made lead in
// each form (flags 0x00, 0x04, 0x01, 0x05) and zstd-compressed (0x07). A
// language error is expected; whatever decodes is encoded again (both
// forms) and decoded, and the second encoding must equal the first: the
// decoded values survive their own round trip. Any crash, hang or
// sanitizer report is a fault.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/compression.h"
#include "runtime/io/kelbin/kelbin.h"

namespace kel::fuzz {

// Decodes bytes; on success answers true and the first value's encoding in
// `encoded` (empty when the file held no value). Errors answer false.
inline bool kelbin_decode_one(const std::vector<uint8_t>& bytes, bool compact, std::vector<uint8_t>& encoded,
                              bool& fault) {
    Cell* top = stack::state.top;
    Cell* blk = block::push_only(1);
    uint32_t code = protect(catch_level::ERRORS, [&] {
        kelbin::decode(bytes.data(), bytes.size(), *blk);
        encoded.clear();
        if (block::buffer(*blk)->cell_count() > 0) {
            Cell first = block::buffer(*blk)->cells()[0];
            encoded = compact ? kelbin::encode_compact(first) : kelbin::encode_standard(first);
        }
    });
    stack::state.top = top;
    handled();
    if (code != 0 && code != thrown::ERROR) fault = true;
    return code == 0;
}

// Answers false on a fault.
inline bool drive_kelbin(const uint8_t* data, size_t size) {
    std::vector<std::vector<uint8_t>> files;
    files.emplace_back(data, data + size);
    for (uint8_t flags : {0x00, 0x04, 0x01, 0x05}) {
        std::vector<uint8_t> f = {'K', 'E', 'L', 'B', 'I', 'N', 2, flags};
        f.insert(f.end(), data, data + size);
        files.push_back(std::move(f));
    }
    compression::GrowingSink packed;
    if (compression::compress(compression::Method::zstd, {data, size}, 1, packed).code == compression::Code::ok) {
        std::vector<uint8_t> f = {'K', 'E', 'L', 'B', 'I', 'N', 2, 0x07};
        uint32_t n = uint32_t(packed.size());
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(n >> (8 * i)));
        f.insert(f.end(), packed.bytes().begin(), packed.bytes().end());
        files.push_back(std::move(f));
    }
    bool fault = false;
    for (const auto& file : files) {
        for (bool compact : {true, false}) {
            std::vector<uint8_t> first, second;
            if (!kelbin_decode_one(file, compact, first, fault) || first.empty()) continue;
            if (!kelbin_decode_one(first, compact, second, fault)) return false;  // our own output refused
            if (second != first) return false;
        }
    }
    return !fault;
}

}  // namespace kel::fuzz
