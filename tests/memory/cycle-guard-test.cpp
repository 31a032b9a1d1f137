// The cycle guard: its depth limit, pops and finds, and the cycle markers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel {
namespace {

struct CycleGuard : ::testing::Test {
    void SetUp() override {
        memory::init();
        memory::init_frames();
        cycle_guard::reset();
    }
    static Cell new_string() { return Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0}; }
    static std::string text(const Cell& s) {
        SeriesBuffer* b = memory::buffer_of(cell_node(s));
        return std::string(reinterpret_cast<char*>(b->head_ptr()), b->used());
    }
};

TEST_F(CycleGuard, NineHundredNinetyNineLevelsPassTheThousandthIsTooDeep) {
    for (NodeId n = 1; n <= 999; ++n) cycle_guard::push(n);
    EXPECT_EQ(cycle_guard::depth(), 999);
    EXPECT_TRUE(cycle_guard::find(500));
    uint32_t code = protect(catch_level::ERRORS, [] { cycle_guard::push(1000); });
    EXPECT_EQ(code, thrown::ERROR);
    EXPECT_EQ(error_in_flight().id, ErrorId::internal_too_deep);
    handled();
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(CycleGuard, PopsAndFinds) {
    cycle_guard::push(7);
    cycle_guard::push(8);
    cycle_guard::pop();
    EXPECT_FALSE(cycle_guard::find(8));
    EXPECT_TRUE(cycle_guard::find(7));
    cycle_guard::pop_n(1);
    cycle_guard::pop();  // nothing left: no effect
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(CycleGuard, MarkersByTypeAndMode) {
    Cell out = new_string();
    Rooted keep(out);  // kept when another case started the collector
    const NodeId walked = 4242;
    cycle_guard::push(walked);
    struct Case {
        uint32_t type;
        bool mold;
        const char* marker;
    } cases[] = {
        {TYPE_BLOCK, true, "[...]"},
        {TYPE_HASH, true, "[...]"},
        {TYPE_PAREN, true, "(...)"},
        {TYPE_MAP, true, "#[...]"},
        {TYPE_PATH, true, "..."},
        {TYPE_BLOCK, false, "..."},
        {TYPE_OBJECT, true, "make object! [...]"},
    };
    for (const Case& c : cases) {
        Cell v = c.type == TYPE_OBJECT ? Cell{c.type, walked, 0, 0} : Cell{c.type, 0, walked, 0};
        SeriesBuffer* b = memory::buffer_of(cell_node(out));
        b->tail = b->offset;
        int64_t budget = 100;
        EXPECT_TRUE(cycle_guard::detect(v, out, budget, c.mold));
        EXPECT_EQ(text(out), c.marker);
        EXPECT_EQ(budget, 100 - int64_t(std::strlen(c.marker)));
    }
    Cell other{TYPE_BLOCK, 0, walked + 1, 0};
    int64_t budget = 100;
    EXPECT_FALSE(cycle_guard::detect(other, out, budget, true));
    EXPECT_EQ(budget, 100);
}

}  // namespace
}  // namespace kel
