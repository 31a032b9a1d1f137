// Shared set-up of the text tests: a memory manager, strings made from code
// points, and a collector stand-in that moves chosen
// series and scribbles over their old buffers, so that a stale pointer reads
// garbage instead of passing by luck.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/memory/frames.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel::test {

using Bytes = std::vector<uint8_t>;
using Points = std::vector<uint32_t>;

inline Bytes bytes_of(std::initializer_list<int> list) {
    Bytes b;
    for (int v : list) b.push_back(uint8_t(v));
    return b;
}

struct Text : ::testing::Test {
    static std::vector<NodeId> movable;  // series the stand-in collector moves
    static int collections;

    static void move_series() {
        ++collections;
        for (NodeId node : movable) {
            SeriesBuffer* old = memory::buffer_of(node);
            uint64_t size = old->size;
            memory::expand_series(old, size ? size : 16);
            std::memset(old->data(), 0xCD, size);
        }
    }

    void SetUp() override {
        memory::init();
        memory::init_frames();
        movable.clear();
        collections = 0;
    }
    void TearDown() override { stop_moving(); }

    // From here on every allocation moves the listed series first.
    static void start_moving(std::vector<NodeId> nodes) {
        movable = std::move(nodes);
        stand_in().emplace(move_series, true);
    }
    // Puts back the collector and the stress switch as they were.
    static void stop_moving() {
        stand_in().reset();
        movable.clear();
    }
    static std::optional<StandInCollector>& stand_in() {
        static std::optional<StandInCollector> guard;
        return guard;
    }

    // A string! cell holding the code points in units of the given size.
    static Cell make_string(const Points& cps, uint32_t unit) {
        NodeId node = memory::alloc_codepoints(cps.size(), unit);
        SeriesBuffer* b = memory::buffer_of(node);
        uint8_t* p = b->head_ptr();
        for (size_t i = 0; i < cps.size(); i++) {
            uint32_t cp = cps[i];
            std::memcpy(p + i * unit, &cp, unit);  // little-endian: the low bytes
        }
        b->tail = b->offset + cps.size() * unit;
        return Cell{TYPE_STRING, 0, node, 0};
    }

    static Points points_of(NodeId node) {
        SeriesBuffer* b = memory::buffer_of(node);
        Points out;
        uint64_t n = b->used() / b->unit();
        for (uint64_t i = 0; i < n; i++) out.push_back(unicode::get_unit(b->head_ptr(), b->unit(), i));
        return out;
    }
    static uint32_t unit_of(NodeId node) { return memory::buffer_of(node)->unit(); }

    static Bytes contents(NodeId node) {
        SeriesBuffer* b = memory::buffer_of(node);
        return Bytes(b->head_ptr(), b->tail_ptr());
    }
};

inline std::vector<NodeId> Text::movable;
inline int Text::collections = 0;

}  // namespace kel::test
