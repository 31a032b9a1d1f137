// Action dispatch: the stack forms' refinement handling, form/part without
// the type, length? answering none, the pick index of logic values, port
// actor tables, the path lookup's errors with the cut path, and the missing
// action's error; the comparison layer's mixed-type rules.
#include "tests/evaluator/evaluator-fixture.h"

#include "runtime/datatypes/logic.h"
#include "runtime/evaluator/dispatch.h"

namespace kel::test {
namespace {

using DispatchTest = Evaluator;

// Replaces one slot of the action table for the guard's life.
class Slot {
public:
    Slot(uint32_t type, int action, datatype::Action fn) : restore_(datatype::action_table[type][action]) {
        datatype::action_table[type][action] = fn;
    }

private:
    Restore<datatype::Action> restore_;
};

// A spare type id: no type registers it, so it has no actions at all.
constexpr uint32_t TYPE_SPARE = TYPE_TOTAL - 2;

const int32_t NO_REFINEMENTS[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

TEST_F(DispatchTest, FormPartZeroGivesAnEmptyStringWithoutTheType) {
    // A type without a form of its own: only /part 0 may succeed.
    Frame f({Cell{TYPE_SPARE, 0, 0, 0}, make_integer(0)});
    int32_t refinements[1] = {1};
    actions::stack_form(ACTION_FORM)(refinements);
    EXPECT_EQ(type_of(f[0]), TYPE_STRING);
    EXPECT_EQ(text_of(f[0]), "");
    Frame g({Cell{TYPE_SPARE, 0, 0, 0}, make_integer(-3)});
    actions::stack_form(ACTION_FORM)(refinements);
    EXPECT_EQ(text_of(g[0]), "");
    Frame h({Cell{TYPE_SPARE, 0, 0, 0}});
    EXPECT_EQ(raised([] { actions::stack_form(ACTION_FORM)(NO_REFINEMENTS); }), id(ErrorId::script_expect_arg));
}

TEST_F(DispatchTest, FormPartCutsTheText) {
    Frame f({global_word("abcdef"), make_integer(4)});
    int32_t refinements[1] = {1};
    actions::stack_form(ACTION_FORM)(refinements);
    EXPECT_EQ(text_of(f[0]), "abcd");
}

TEST_F(DispatchTest, LengthAnsweringMinusOneGivesNone) {
    static int32_t answer = 0;
    Slot slot(TYPE_EVENT, ACTION_LENGTH_Q,
              reinterpret_cast<datatype::Action>(+[](Cell*) -> int32_t { return answer; }));
    for (int32_t a : {-1, 0, 7}) {
        answer = a;
        Frame f({Cell{TYPE_EVENT, 0, 0, 0}});
        actions::stack_form(ACTION_LENGTH_Q)(NO_REFINEMENTS);
        if (a == -1) {
            EXPECT_EQ(type_of(f[0]), TYPE_NONE);
        } else {
            EXPECT_EQ(type_of(f[0]), TYPE_INTEGER);
            EXPECT_EQ(cell_integer(f[0]), a);
        }
    }
}

TEST_F(DispatchTest, PickIndexOfLogicCharAndOtherValues) {
    static int32_t seen = 0;
    Slot slot(TYPE_EVENT, ACTION_PICK, reinterpret_cast<datatype::Action>(+[](Cell* out, Cell*, int32_t index, Cell*) {
                  seen = index;
                  *out = make_none();
              }));
    struct Case {
        Cell index;
        int32_t expected;
    };
    const Case cases[] = {
        {logic::make_cell(true), 1},
        {logic::make_cell(false), 2},
        {make_integer(-4), -4},
        {Cell{TYPE_CHAR, 0, 0x41, 0}, 0x41},
        {make_none(), 0},
    };
    for (const Case& c : cases) {
        Frame f({Cell{TYPE_EVENT, 0, 0, 0}, c.index});
        actions::stack_form(ACTION_PICK)(NO_REFINEMENTS);
        EXPECT_EQ(seen, c.expected);
    }
}

// An unused refinement's argument reaches the slot as a null pointer.
TEST_F(DispatchTest, UnusedRefinementArgumentsAreNull) {
    static const Cell* part = reinterpret_cast<const Cell*>(1);
    static const Cell* key = reinterpret_cast<const Cell*>(1);
    Slot slot(TYPE_EVENT, ACTION_REMOVE, reinterpret_cast<datatype::Action>(+[](Cell*, Cell*, Cell* p, Cell* k) {
                  part = p;
                  key = k;
              }));
    Frame f({Cell{TYPE_EVENT, 0, 0, 0}, make_integer(2)});
    int32_t refinements[2] = {-1, 1};
    actions::stack_form(ACTION_REMOVE)(refinements);
    EXPECT_EQ(part, nullptr);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(cell_integer(*key), 2);
}

TEST_F(DispatchTest, APortWithoutAnActorEntryRaisesNoPortAction) {
    static datatype::Action table[ACTION_COUNT - ACTION_APPEND + 1] = {};
    static bool read_called = false;
    table[ACTION_READ - ACTION_APPEND] = +[] { read_called = true; };
    Installed<actions::PortActors> actors(actions::install_port_actors,
                                          [](const Cell&) -> const datatype::Action* { return table; });
    Cell port{TYPE_PORT, 0, 0, 0};
    EXPECT_EQ(raised([&port] { actions::lookup_value(port, ACTION_WRITE); }), id(ErrorId::access_no_port_action));
    reinterpret_cast<void (*)()>(actions::lookup_value(port, ACTION_READ))();
    EXPECT_TRUE(read_called);
}

TEST_F(DispatchTest, PathLookupErrorsNameTheCutPath) {
    Cell* path = block_of({global_word("a"), global_word("b"), global_word("c"), global_word("d")});
    path->header = TYPE_PATH;
    Cell element = global_word("c");
    Cell event{TYPE_SPARE, 0, 0, 0};
    EXPECT_EQ(raised([&] { actions::lookup_path(event, nullptr, element, 1); }), id(ErrorId::script_bad_path_type2));
    EXPECT_EQ(formed(error_in_flight().args[0]), "c");
    EXPECT_EQ(datatype::type_of_value(error_in_flight().args[1]), TYPE_SPARE);
    EXPECT_EQ(raised([&] { actions::lookup_path(event, path, element, 1); }), id(ErrorId::script_bad_path_type));
    Cell cut = error_in_flight().args[2];
    EXPECT_EQ(type_of(cut), TYPE_PATH);
    ASSERT_EQ(block::ks_length(cut), 2);
    EXPECT_EQ(formed(block::ks_abs_at(cut, 1)[0]), "b");
    EXPECT_EQ(block::ks_length(error_in_flight().args[0]), 4);  // the path itself is untouched
}

TEST_F(DispatchTest, AMissingActionOutsideACallNamesTheAction) {
    Frame f({Cell{TYPE_SPARE, 0, 0, 0}});
    EXPECT_EQ(raised([] { actions::stack_form(ACTION_NEGATE)(NO_REFINEMENTS); }), id(ErrorId::script_expect_arg));
    EXPECT_EQ(formed(error_in_flight().args[0]), "negate");
    EXPECT_EQ(datatype::type_of_value(error_in_flight().args[1]), TYPE_SPARE);
}

// The /part and /dup normalisation of append and insert.
TEST_F(DispatchTest, AppendAndInsertPartAndDup) {
    // A negative count takes the values before the value's position.
    EXPECT_EQ(integer_of(run("b: [1 2 3 4] c: [] append/part c at b 3 -2 length? c")), 2);
    EXPECT_EQ(integer_of(run("pick c 2")), 2);
    EXPECT_EQ(integer_of(run("c: [] append/part c [1 2] -1 length? c")), 0);
    // The smallest integer takes every value before the position.
    EXPECT_EQ(integer_of(run("c: [] append/part c at b 3 -2147483648 length? c")), 2);
    EXPECT_EQ(integer_of(run("c: [] insert/part c at b 4 -2147483648 length? c")), 3);
    EXPECT_EQ(integer_of(run("c: [] append/part c [1 2] 0 length? c")), 0);
    EXPECT_EQ(integer_of(run("b: [1 2 3] c: [] append/part c b at b 3 length? c")), 2);
    // insert/dup 0 leaves the series and answers it.
    EXPECT_EQ(integer_of(run("b: [1 2] length? insert/dup b 9 0")), 2);
    EXPECT_EQ(integer_of(run("length? b")), 2);
    EXPECT_EQ(integer_of(run("b: [1 2] insert/dup b 9 3 length? b")), 5);
    EXPECT_EQ(fails("append/part [] 5 1"), id(ErrorId::script_invalid_part));
    EXPECT_EQ(fails("append/part [] [1 2] [3]"), id(ErrorId::script_invalid_refine_arg));
}

// change/part with a negative count moves the head back by that many
// values, no further than the series' start, the smallest integer included.
TEST_F(DispatchTest, ChangePartNegativeCountMovesTheHeadBack) {
    EXPECT_EQ(integer_of(run("b: [1 2 3 4] change/part at b 3 9 -1 pick b 2")), 9);
    EXPECT_EQ(integer_of(run("length? b")), 4);
    EXPECT_EQ(integer_of(run("b: [1 2 3 4] change/part at b 3 9 -2147483648 length? b")), 3);
    EXPECT_EQ(integer_of(run("pick b 1")), 9);
}

// Identity rules apply only between values of one type; otherwise the slot
// answers "not comparable": equality is false, ordering raises.
TEST_F(DispatchTest, CompareValuesAppliesIdentityRulesOnlyWithinOneType) {
    Cell t = logic::make_cell(true), f = logic::make_cell(false);
    Cell five = make_integer(5), one = make_integer(1);
    EXPECT_EQ(actions::compare_values(t, f, COMP_SORT), 1);
    EXPECT_EQ(actions::compare_values(f, t, COMP_LESSER), -1);
    EXPECT_EQ(actions::compare_values(t, one, COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_FALSE(actions::compare(t, five, COMP_EQUAL));
    EXPECT_FALSE(actions::compare(t, one, COMP_EQUAL));
    EXPECT_TRUE(actions::compare(t, five, COMP_NOT_EQUAL));
    EXPECT_EQ(raised([&] { actions::compare(t, five, COMP_LESSER); }), id(ErrorId::script_invalid_compare));
    // A function is compared by its more block, never with a block's node.
    Cell fn{TYPE_FUNCTION, 1, 2, 3}, same{TYPE_FUNCTION, 9, 9, 3}, other{TYPE_FUNCTION, 1, 2, 4};
    Cell block{TYPE_BLOCK, 0, 3, 0};
    EXPECT_EQ(actions::compare_values(fn, same, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_values(fn, other, COMP_LESSER), -1);
    EXPECT_EQ(actions::compare_values(fn, block, COMP_EQUAL), COMP_NOT_COMPARABLE);
    Cell add{TYPE_ACTION, uint32_t(ACTION_ADD), 0, 0}, sub{TYPE_ACTION, uint32_t(ACTION_SUBTRACT), 0, 0};
    EXPECT_EQ(actions::compare_values(add, sub, COMP_LESSER), -1);
    EXPECT_EQ(actions::compare_values(add, Cell{TYPE_NATIVE, uint32_t(ACTION_ADD), 0, 0}, COMP_EQUAL),
              COMP_NOT_COMPARABLE);
}

}  // namespace
}  // namespace kel::test
