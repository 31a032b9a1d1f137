// A set-path into a scalar tells the owner the scalar came from: an object
// through its change handler (with the field word, the old and the new
// scalar), a series through the ownership check with the word `set-path`.
#include <vector>

#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/memory/ownership.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct ScalarPathTest : NumbersTest {};

struct ObjectChange {
    Cell object, field, old_value, new_value;
};
std::vector<ObjectChange> object_changes;

void record_object_change(const Cell& object, const Cell& field, const Cell& old_value, const Cell& new_value) {
    object_changes.push_back({object, field, old_value, new_value});
}

struct DeepChange {
    Cell action, value;
    int32_t index, part;
};
std::vector<DeepChange> deep_changes;

void record_deep_change(const Cell&, const Cell&, const Cell&, const Cell& action, const Cell* new_value,
                        int32_t index, int32_t part) {
    deep_changes.push_back({action, new_value ? *new_value : make_unset(), index, part});
}

// A stand-in for an object: the path code only reads its type.
const Cell OBJECT{TYPE_OBJECT, 0, 0, 0};

TEST_F(ScalarPathTest, AnObjectHearsTheFieldTheOldAndTheNewScalar) {
    object_changes.clear();
    Installed<scalar_path::ObjectChange> hook(scalar_path::install_object_change, record_object_change);
    Cell owner = OBJECT, field = W("size");
    PathStep step;
    step.grand_parent = &owner;
    step.previous = &field;
    step.event = true;
    Cell p = pair::make_cell(1, 2);
    EXPECT_EQ(set_path(p, W("y"), I(5), step), "integer! 5");
    ASSERT_EQ(object_changes.size(), 1u);
    EXPECT_EQ(word::symbol_of(object_changes[0].field), word::symbol_of(field));
    EXPECT_EQ(describe(object_changes[0].old_value), "pair! 1x2");
    EXPECT_EQ(describe(object_changes[0].new_value), "pair! 1x5");
    Cell t = T(90);
    EXPECT_EQ(set_path(t, W("second"), I(0), step), "integer! 0");
    Cell q = point::make2(1, 2);
    EXPECT_EQ(set_path(q, W("x"), F(0.5), step), "float! 0.5");
    Cell u = tuple::make_rgba(1, 2, 3, -1);
    EXPECT_EQ(set_path(u, I(1), I(9), step), "integer! 9");
    ASSERT_EQ(object_changes.size(), 4u);
    EXPECT_EQ(describe(object_changes[1].new_value), "time! 0:01:00");
    EXPECT_EQ(describe(object_changes[2].new_value), "point2D! (0.5, 2)");
    EXPECT_EQ(describe(object_changes[3].new_value), "tuple! 9.2.3");
    // Without change events the object is not told.
    step.event = false;
    EXPECT_EQ(set_path(p, W("x"), I(0), step), "integer! 0");
    EXPECT_EQ(object_changes.size(), 4u);
}

TEST_F(ScalarPathTest, AnObjectOwnerNeedsTheObjectModule) {
    Installed<scalar_path::ObjectChange> hook(scalar_path::install_object_change, nullptr);
    Cell owner = OBJECT;
    PathStep step;
    step.grand_parent = &owner;
    step.event = true;
    Cell p = pair::make_cell(1, 2);
    EXPECT_EQ(set_path(p, W("x"), I(5), step), "internal/not-done");
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
