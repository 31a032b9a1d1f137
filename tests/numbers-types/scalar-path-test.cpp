// A set-path into a scalar held by a series tells the series' owner through
// the ownership check with the word `set-path` (objects holding a scalar:
// tests/words).
#include <vector>

#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/memory/ownership.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct ScalarPathTest : NumbersTest {};

struct DeepChange {
    Cell action, value;
    int32_t index, part;
};
std::vector<DeepChange> deep_changes;

void record_deep_change(const Cell&, const Cell&, const Cell&, const Cell& action, const Cell* new_value, int32_t index,
                        int32_t part) {
    deep_changes.push_back({action, new_value ? *new_value : make_unset(), index, part});
}

TEST_F(ScalarPathTest, AnOwnedSeriesHearsSetPathWithTheValueAndTheIndex) {
    deep_changes.clear();
    Installed<ownership::DeepChange> hook(ownership::install_deep_change, record_deep_change);
    Cell blk = block_of({pair::make_cell(1, 2)});
    Rooted keep(blk);
    // The owner's on-change information (word 3) is all the check reads.
    Cell owner{TYPE_INTEGER, 0, 0, 1};
    ownership::set(blk, owner, W("field"));
    PathStep step;
    step.grand_parent = &blk;
    Cell p = pair::make_cell(1, 2);
    EXPECT_EQ(set_path(p, W("y"), I(7), step), "integer! 7");
    Cell t = tuple::make_rgba(1, 2, 3, -1);
    EXPECT_EQ(set_path(t, I(3), none_value, step), "none! none");
    ownership::unbind(blk);
    ASSERT_EQ(deep_changes.size(), 2u);
    EXPECT_EQ(word::symbol_of(deep_changes[0].action), word::symbol_of(words::word(words::Word::set_path)));
    EXPECT_EQ(describe(deep_changes[0].value), "integer! 7");
    EXPECT_EQ(deep_changes[0].index, 2);
    EXPECT_EQ(deep_changes[0].part, 1);
    EXPECT_EQ(deep_changes[1].index, 3);
    // A series without an owner tells no one.
    Cell free = block_of({});
    Rooted keep_free(free);
    step.grand_parent = &free;
    EXPECT_EQ(set_path(p, W("x"), I(0), step), "integer! 0");
    EXPECT_EQ(deep_changes.size(), 2u);
}

}  // namespace
}  // namespace kel
