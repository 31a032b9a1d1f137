// Output hooks: the default string hook, the order and growth of the lists,
// and hooks added while the list runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/hooks.h"
#include "runtime/core/types.h"
#include "runtime/memory/memory.h"
#include "runtime/platform/gui-hooks.h"
#include "tests/platform/capture.h"

namespace kel {
namespace {

using test::ChunkCapture;

class Hooks : public testing::Test {
protected:
    void SetUp() override {
        memory::init();
        memory::init_frames();
        hooks::init();
    }
    void TearDown() override { hooks::init(); }

    // A string! cell over the code points, stored in units of `unit` bytes.
    static Cell make_string(const std::vector<uint32_t>& code_points, uint32_t unit, uint32_t head) {
        NodeId node = memory::alloc_codepoints(code_points.size(), unit);
        SeriesBuffer* b = memory::buffer_of(node);
        for (size_t i = 0; i < code_points.size(); ++i) std::memcpy(b->head_ptr() + i * unit, &code_points[i], unit);
        b->tail = b->offset + code_points.size() * unit;
        return Cell{TYPE_STRING, head, node, 0};
    }

    static std::string printed(const Cell& value, bool newline) {
        ChunkCapture capture;
        run_print_hooks(value, newline);
        return ChunkCapture::text();
    }
};

TEST_F(Hooks, DefaultHookPrintsFromTheHeadInEveryUnit) {
    const std::vector<uint32_t> text = {'a', 'b', 'c', 0xE9, 'e', 'f'};
    for (uint32_t unit : {1u, 2u, 4u}) {
        Cell s = make_string(text, unit, 3);
        EXPECT_EQ(printed(s, false), "\u00E9ef") << unit;
        EXPECT_EQ(printed(s, true), "\u00E9ef\n") << unit;
        Cell whole = make_string(text, unit, 0);
        EXPECT_EQ(printed(whole, false), "abc\u00E9ef") << unit;
    }
    Cell wide = make_string({'x', 0x1F600}, 4, 1);
    EXPECT_EQ(printed(wide, true), "\U0001F600\n");
}

TEST_F(Hooks, HeadAtOrPastTheTailPrintsNothing) {
    for (uint32_t head : {3u, 4u, 0xFFFFFFFFu}) {
        Cell s = make_string({'a', 'b', 'c'}, 2, head);
        EXPECT_EQ(printed(s, false), "") << head;
        EXPECT_EQ(printed(s, true), "\n") << head;
    }
}

TEST_F(Hooks, UnknownUnitIsReported) {
    NodeId node = memory::alloc_series(2, 8, 0);
    SeriesBuffer* b = memory::buffer_of(node);
    b->tail = b->offset + 16;
    EXPECT_EQ(printed(Cell{TYPE_STRING, 0, node, 0}, true), "Error: unknown string encoding: 8\n");
}

TEST_F(Hooks, DefaultHookSuspendsTheGui) {
    static std::vector<std::string> events;
    static const gui::Backend backend{[] { events.push_back("before"); }, [] { events.push_back("after"); }, nullptr};
    events.clear();
    gui::install_backend(&backend);
    std::string out = printed(make_string({'o', 'k'}, 1, 0), false);
    gui::install_backend(nullptr);
    EXPECT_EQ(out, "ok");
    EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
}

std::string calls;
template <char Name>
void named_hook(const Cell&, bool newline) {
    calls += Name;
    if (newline) calls += '+';
}

TEST_F(Hooks, SixthHookGrowsTheListAndKeepsTheOrder) {
    hooks::add(&named_hook<'1'>, nullptr);
    hooks::add(&named_hook<'2'>, nullptr);
    hooks::add(&named_hook<'3'>, nullptr);
    hooks::add(&named_hook<'4'>, nullptr);
    EXPECT_EQ(hooks::value_hook_count(), 5u);
    EXPECT_EQ(hooks::value_hook_capacity(), 5u);
    hooks::add(&named_hook<'5'>, nullptr);
    hooks::add(nullptr, nullptr);
    EXPECT_EQ(hooks::value_hook_count(), 6u);
    EXPECT_EQ(hooks::value_hook_capacity(), 10u);
    calls.clear();
    // The default hook comes first and still prints.
    EXPECT_EQ(printed(make_string({'h'}, 1, 0), true), "h\n");
    EXPECT_EQ(calls, "1+2+3+4+5+");
}

// A hook that adds another one while the full list runs makes the list move;
// the run goes on over the new array and reaches the added hook.
bool added;
void adding_hook(const Cell&, bool) {
    calls += 'A';
    if (!added) hooks::add(&named_hook<'N'>, nullptr);
    added = true;
}

TEST_F(Hooks, HookAddedWhileRunningIsCalled) {
    for (int i = 0; i < 3; ++i) hooks::add(&named_hook<'.'>, nullptr);
    hooks::add(&adding_hook, nullptr);
    calls.clear();
    added = false;
    printed(make_string({'z'}, 1, 0), false);
    EXPECT_EQ(hooks::value_hook_capacity(), 10u);
    EXPECT_EQ(calls, "...AN");
}

std::vector<std::string> raw_calls;
template <char Name>
void named_raw(const void* text, size_t length, int) {
    raw_calls.push_back(Name + std::string(static_cast<const char*>(text), length));
}

TEST_F(Hooks, RawHooksRunInOrderAcrossGrowth) {
    raw_calls.clear();
    ChunkCapture capture;
    console::print_c_string("none yet");
    EXPECT_TRUE(raw_calls.empty());
    hooks::add(nullptr, &named_raw<'a'>);
    hooks::add(nullptr, &named_raw<'b'>);
    hooks::add(nullptr, &named_raw<'c'>);
    hooks::add(nullptr, &named_raw<'d'>);
    hooks::add(nullptr, &named_raw<'e'>);
    hooks::add(nullptr, &named_raw<'f'>);
    EXPECT_EQ(hooks::value_hook_count(), 1u);
    console::print_c_string("t");
    EXPECT_EQ(raw_calls, (std::vector<std::string>{"at", "bt", "ct", "dt", "et", "ft"}));
}

}  // namespace
}  // namespace kel
