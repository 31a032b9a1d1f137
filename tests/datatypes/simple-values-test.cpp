// datatype!, unset!, none! and logic!: their actions through the typed
// action forms, the value helpers and the truth tests.
#include <limits>
#include <type_traits>

#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"
#include "tests/datatypes/datatype-fixture.h"

namespace kel {
namespace {

using test::error_of;
using test::Frame;
using test::id;

const Cell T = true_value;
const Cell F = false_value;
const Cell N = none_value;
const Cell U = unset_value;
const Cell LOGIC_TYPE = datatype::make(TYPE_LOGIC);
const Cell NONE_TYPE = datatype::make(TYPE_NONE);
const Cell ONE = make_integer(1);

Cell float_cell(double d, uint32_t type = TYPE_FLOAT) {
    Cell c{type, 0, 0, 0};
    set_cell_double(c, d);
    return c;
}

struct SimpleValues : ::testing::Test {
    static void SetUpTestSuite() { test::boot_simple_types(); }
};

TEST_F(SimpleValues, FormAndMoldText) {
    struct Case {
        Cell value;
        bool mold;
        bool all;
        const char* text;
    } cases[] = {
        {LOGIC_TYPE, false, false, "logic"},
        {LOGIC_TYPE, true, false, "logic!"},
        {LOGIC_TYPE, true, true, "#(logic!)"},
        {datatype::make(TYPE_DATATYPE), false, false, "datatype"},
        {U, false, false, ""},
        {U, true, false, "unset"},
        {U, true, true, "#(unset)"},
        {N, false, false, "none"},
        {N, true, false, "none"},
        {N, true, true, "#(none)"},
        {T, false, false, "true"},
        {F, false, false, "false"},
        {T, true, false, "true"},
        {F, true, false, "false"},
        {T, true, true, "#(true)"},
        {F, true, true, "#(false)"},
    };
    for (const Case& c : cases) {
        Cell out = test::new_string();
        Rooted keep(out);
        int64_t rest = c.mold ? actions::mold(c.value, out, MoldOptions{.all = c.all, .limit = 100})
                              : actions::form(c.value, out, false, 100);
        std::string text = test::text_of(out);
        EXPECT_EQ(text, c.text) << c.text;
        // The budget drops by the code points written, and the text is appended.
        EXPECT_EQ(100 - rest, int64_t(text.size())) << c.text;
    }
}

TEST_F(SimpleValues, FormAppendsAndReportsOverrunOfTheBudget) {
    Cell out = test::new_string();
    Rooted keep(out);
    int64_t rest = actions::form(N, out, true, 10);
    rest = actions::mold(LOGIC_TYPE, out, MoldOptions{.all = true, .part = true, .limit = rest});
    EXPECT_EQ(test::text_of(out), "none#(logic!)");
    // The caller cuts the text; the function reports how far past the limit
    // it went.
    EXPECT_EQ(rest, 10 - 13);
}

TEST_F(SimpleValues, ThreeWayCompare) {
    const int32_t NC = COMP_NOT_COMPARABLE;
    struct Case {
        Cell a, b;
        int32_t op;
        int32_t expected;
    } cases[] = {
        // logic: value1 - value2 for the equality and sort ops, nothing else.
        {T, F, COMP_EQUAL, 1},
        {F, T, COMP_EQUAL, -1},
        {T, T, COMP_STRICT_EQUAL, 0},
        {F, T, COMP_SORT, -1},
        {T, F, COMP_CASE_SORT, 1},
        {T, F, COMP_SAME, 1},
        {F, F, COMP_FIND, 0},
        {T, F, COMP_LESSER, NC},
        {T, F, COMP_GREATER_EQUAL, NC},
        {T, T, COMP_CASE_MATCH, NC},
        {T, N, COMP_EQUAL, NC},
        // A logic value against another type is not comparable.
        {T, ONE, COMP_EQUAL, NC},
        {T, ONE, COMP_FIND, NC},
        // none and unset: equal only to themselves.
        {N, N, COMP_EQUAL, 0},
        {N, N, COMP_SORT, 0},
        {N, N, COMP_LESSER_EQUAL, NC},
        {N, F, COMP_EQUAL, NC},
        {N, U, COMP_EQUAL, NC},
        {U, U, COMP_SAME, 0},
        {U, U, COMP_GREATER, NC},
        {U, N, COMP_EQUAL, NC},
        // datatype: 0 for the same type, 1 otherwise, for the equality ops.
        {LOGIC_TYPE, LOGIC_TYPE, COMP_EQUAL, 0},
        {LOGIC_TYPE, NONE_TYPE, COMP_EQUAL, 1},
        {LOGIC_TYPE, NONE_TYPE, COMP_NOT_EQUAL, 1},
        {LOGIC_TYPE, N, COMP_FIND, 1},
        {LOGIC_TYPE, LOGIC_TYPE, COMP_LESSER, NC},
        {LOGIC_TYPE, LOGIC_TYPE, COMP_SORT, NC},
    };
    for (const Case& c : cases)
        EXPECT_EQ(actions::slot_for<ACTION_COMPARE>(type_of(c.a))(c.a, c.b, c.op), c.expected)
            << type_of(c.a) << " " << type_of(c.b) << " op " << c.op;

    // The three-way comparison of sorting and block comparison orders two
    // logic values by their truth words whatever the op; everything else
    // answers as its compare function.
    Case three_way[] = {
        {T, F, COMP_LESSER, 1},   {F, T, COMP_CASE_MATCH, -1}, {T, T, COMP_SORT, 0},
        {T, ONE, COMP_EQUAL, NC}, {N, N, COMP_EQUAL, 0},       {N, T, COMP_EQUAL, NC},
    };
    for (const Case& c : three_way)
        EXPECT_EQ(actions::compare_values(c.a, c.b, c.op), c.expected)
            << type_of(c.a) << " " << type_of(c.b) << " op " << c.op;
}

TEST_F(SimpleValues, CompareTruthAndTheCannotCompareError) {
    struct Case {
        Cell a, b;
        int32_t op;
        bool expected;
    } cases[] = {
        {T, T, COMP_EQUAL, true},     {T, F, COMP_EQUAL, false},
        {T, F, COMP_NOT_EQUAL, true}, {T, N, COMP_EQUAL, false},
        {T, N, COMP_NOT_EQUAL, true}, {N, T, COMP_STRICT_EQUAL, false},
        {N, N, COMP_SAME, true},      {LOGIC_TYPE, NONE_TYPE, COMP_FIND, false},
    };
    for (const Case& c : cases) {
        bool answer = false;
        EXPECT_EQ(error_of([&] { answer = actions::compare(c.a, c.b, c.op); }), -1);
        EXPECT_EQ(answer, c.expected) << type_of(c.a) << " " << type_of(c.b) << " op " << c.op;
    }
    // Ordering values that cannot be ordered: false < true is an error.
    struct Bad {
        Cell a, b;
        int32_t op;
    } bad[] = {{F, T, COMP_LESSER}, {N, N, COMP_LESSER_EQUAL}, {T, N, COMP_GREATER}, {U, U, COMP_GREATER_EQUAL}};
    for (const Bad& c : bad) {
        EXPECT_EQ(error_of([&] { actions::compare(c.a, c.b, c.op); }), id(ErrorId::script_invalid_compare));
        ASSERT_EQ(error_in_flight().argc, 2);
        EXPECT_EQ(error_in_flight().args[0].header, c.a.header);
        EXPECT_EQ(error_in_flight().args[1].header, c.b.header);
    }
}

TEST_F(SimpleValues, CompareToLogicReplacesTheFirstFrameCell) {
    Frame frame({T, F});
    actions::compare_to_logic(COMP_NOT_EQUAL);
    EXPECT_EQ(type_of(frame[0]), TYPE_LOGIC);
    EXPECT_EQ(logic::get(frame[0]), 1u);
}

TEST_F(SimpleValues, MakeAndToLogic) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        bool make;
        Cell spec;
        bool expected;
    } cases[] = {
        {true, make_integer(0), false},
        {true, make_integer(5), true},
        {true, make_integer(-1), true},
        {true, float_cell(0.0), false},
        {true, float_cell(-0.0), false},
        {true, float_cell(0.5), true},
        {true, float_cell(nan), true},
        {true, float_cell(0.0, TYPE_PERCENT), false},
        {true, N, false},
        {true, F, false},
        {true, T, true},
        {true, U, true},
        {true, Cell{TYPE_STRING, 0, 0, 0}, true},
        // to: only none and false are false.
        {false, make_integer(0), true},
        {false, float_cell(0.0), true},
        {false, N, false},
        {false, F, false},
        {false, T, true},
        {false, Cell{TYPE_STRING, 0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        // The answer replaces the frame's first cell, as the evaluator has it.
        Frame frame({LOGIC_TYPE, c.spec});
        if (c.make)
            actions::make(&frame[0], &frame[0], &frame[1]);
        else
            actions::to(&frame[0], &frame[0], &frame[1]);
        EXPECT_EQ(type_of(frame[0]), TYPE_LOGIC);
        EXPECT_EQ(logic::get(frame[0]), c.expected ? 1u : 0u) << (c.make ? "make " : "to ") << type_of(c.spec);
    }
    // A logic proto makes a logic too.
    Frame frame({T, make_integer(0)});
    actions::make(&frame[0], &frame[0], &frame[1]);
    EXPECT_EQ(logic::get(frame[0]), 0u);
}

TEST_F(SimpleValues, MakeNoneAndUnsetIgnoreTheSpec) {
    for (Cell spec : {make_integer(3), T, N}) {
        Frame frame({NONE_TYPE, spec});
        Cell out = ONE;
        actions::make(&out, &frame[0], &frame[1]);
        EXPECT_EQ(type_of(out), TYPE_NONE);
        out = ONE;
        actions::to(&out, &frame[0], &frame[1]);
        EXPECT_EQ(type_of(out), TYPE_NONE);
        frame[0] = datatype::make(TYPE_UNSET);
        actions::make(&out, &frame[0], &frame[1]);
        EXPECT_EQ(type_of(out), TYPE_UNSET);
    }
    // datatype! has no make.
    Frame frame({datatype::make(TYPE_DATATYPE), ONE});
    EXPECT_EQ(error_of([&] { actions::make(&frame[0], &frame[0], &frame[1]); }), id(ErrorId::script_expect_arg));
}

TEST_F(SimpleValues, SeriesActionsOnNoneAnswerNone) {
    Frame frame({N, ONE});
    Cell* n = &frame[0];
    EXPECT_EQ(actions::length(n), -1);
    // Each answer lands in the caller's cell, which held something else.
    auto answer = [](auto action) {
        Cell out = ONE;
        action(&out);
        return type_of(out);
    };
    EXPECT_EQ(answer([&](Cell* out) { actions::find(out, n, &frame[1], FindOptions{}); }), TYPE_NONE);
    EXPECT_EQ(answer([&](Cell* out) { actions::select(out, n, &frame[1], FindOptions{}); }), TYPE_NONE);
    EXPECT_EQ(answer([&](Cell* out) { actions::take(out, n, TakeOptions{.last = true}); }), TYPE_NONE);
    EXPECT_EQ(answer([&](Cell* out) { actions::clear(out, n); }), TYPE_NONE);
    EXPECT_EQ(answer([&](Cell* out) { actions::remove(out, n, nullptr, nullptr); }), TYPE_NONE);
    // Other series actions are not for none.
    Cell out = ONE;
    EXPECT_EQ(error_of([&] { actions::pick(&out, n, 1, &frame[1]); }), id(ErrorId::script_expect_arg));
}

TEST_F(SimpleValues, ComplementFlipsTheValue) {
    Frame frame({T});
    actions::complement(&frame[0], &frame[0]);
    EXPECT_EQ(logic::get(frame[0]), 0u);
    Cell out = ONE;
    actions::complement(&out, &frame[0]);
    EXPECT_EQ(out.header, TYPE_LOGIC);
    EXPECT_EQ(logic::get(out), 1u);
    EXPECT_EQ(logic::get(frame[0]), 0u) << "the argument stays as it was when the answer goes elsewhere";
}

// Answers are written into the caller's cell, never handed out as the
// address of a shared constant: a caller that then changes its answer (here
// complement in place, as an evaluator frame would) changes nothing else.
TEST_F(SimpleValues, ChangingAnAnswerLeavesTheConstantsAlone) {
    static_assert(std::is_const_v<decltype(true_value)> && std::is_const_v<decltype(false_value)> &&
                      std::is_const_v<decltype(none_value)> && std::is_const_v<decltype(unset_value)>,
                  "the shared value cells are read-only");
    auto to_logic = [](Cell spec) {
        Frame frame({LOGIC_TYPE, spec});
        actions::to(&frame[0], &frame[0], &frame[1]);
        actions::complement(&frame[0], &frame[0]);
        return logic::get(frame[0]);
    };
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(to_logic(make_integer(5)), 0u) << "complement of to logic! 5, round " << round;
        EXPECT_EQ(to_logic(N), 1u) << "complement of to logic! none, round " << round;
    }
    EXPECT_EQ(true_value.data1, 1u);
    EXPECT_EQ(false_value.data1, 0u);

    // none and unset answers: the caller reuses its answer cell for another
    // value, and the next answer is still none / unset.
    for (int round = 0; round < 2; ++round) {
        Frame frame({NONE_TYPE, ONE});
        actions::make(&frame[0], &frame[0], &frame[1]);
        ASSERT_EQ(frame[0].header, TYPE_NONE) << round;
        frame[0] = ONE;
        Frame found({N, ONE});
        actions::find(&found[0], &found[0], &found[1], FindOptions{});
        ASSERT_EQ(found[0].header, TYPE_NONE) << round;
        found[0] = T;
        Frame unset_frame({datatype::make(TYPE_UNSET), ONE});
        actions::make(&unset_frame[0], &unset_frame[0], &unset_frame[1]);
        ASSERT_EQ(unset_frame[0].header, TYPE_UNSET) << round;
        unset_frame[0] = ONE;
    }
    EXPECT_EQ(none_value.header, TYPE_NONE);
    EXPECT_EQ(unset_value.header, TYPE_UNSET);
}

TEST_F(SimpleValues, LogicBitwiseActions) {
    // The whole truth table of each action, so that an action answering one
    // of its arguments, or another action's answer, cannot pass.
    struct Row {
        int action;
        const char* name;
        bool answers[4];  // for false false, false true, true false, true true
    } rows[] = {
        {ACTION_AND_T, "and~", {false, false, false, true}},
        {ACTION_OR_T, "or~", {false, true, true, true}},
        {ACTION_XOR_T, "xor~", {false, true, true, false}},
    };
    for (const Row& r : rows) {
        for (int i = 0; i < 4; ++i) {
            bool a = (i & 2) != 0, b = (i & 1) != 0;
            Frame frame({logic::make_cell(a), logic::make_cell(b)});
            reinterpret_cast<PlainSlot::type>(actions::lookup(TYPE_LOGIC, r.action))();
            EXPECT_EQ(frame[0].header, TYPE_LOGIC);
            EXPECT_EQ(logic::get(frame[0]), r.answers[i] ? 1u : 0u) << r.name << " " << a << " " << b;
        }
    }
    // The second argument must be a logic! too.
    for (int action : {ACTION_AND_T, ACTION_OR_T, ACTION_XOR_T}) {
        Frame frame({T, ONE});
        EXPECT_EQ(error_of([&] { reinterpret_cast<void (*)()>(actions::lookup(TYPE_LOGIC, action))(); }),
                  id(ErrorId::script_expect_arg));
        EXPECT_TRUE(test::names_action(error_in_flight().args[0], action)) << action;
        EXPECT_EQ(error_in_flight().args[1].data1, TYPE_INTEGER);
    }
}

// A scripted generator: answers the queued draws and records the calls.
struct FakeSource {
    static inline int32_t draws[4];
    static inline int next_draw = 0;
    static inline int32_t seeded = -1;
    static inline bool last_secure = false;
    static void seed(int32_t v) { seeded = v; }
    static int32_t next(bool secure) {
        last_secure = secure;
        return draws[next_draw++ % 4];
    }
};

struct SourceSwap {
    logic::RandomSource saved = logic::random_source();
    explicit SourceSwap(logic::RandomSource s) { logic::random_source() = s; }
    ~SourceSwap() { logic::random_source() = saved; }
};

TEST_F(SimpleValues, RandomDrawsHalfTheRangeForEachAnswer) {
    SourceSwap swap({FakeSource::seed, FakeSource::next});
    FakeSource::draws[0] = 0;
    FakeSource::draws[1] = 1073741823;
    FakeSource::draws[2] = 1073741824;
    FakeSource::draws[3] = 2147483647;
    FakeSource::next_draw = 0;
    const bool expected[4] = {false, false, true, true};
    for (int i = 0; i < 4; ++i) {
        Frame frame({T});
        actions::random(&frame[0], &frame[0], RandomOptions{.secure = i == 3});
        EXPECT_EQ(type_of(frame[0]), TYPE_LOGIC);
        EXPECT_EQ(logic::get(frame[0]), expected[i] ? 1u : 0u) << i;
        EXPECT_EQ(FakeSource::last_secure, i == 3);
    }
    // /seed seeds with the value's 0 or 1 and answers unset.
    for (Cell v : {T, F}) {
        Frame frame({v});
        actions::random(&frame[0], &frame[0], RandomOptions{.seed = true});
        EXPECT_EQ(FakeSource::seeded, int32_t(logic::get(v)));
        EXPECT_EQ(type_of(frame[0]), TYPE_UNSET);
    }
}

TEST_F(SimpleValues, RandomWithoutAGeneratorIsNotDone) {
    SourceSwap swap({});
    Frame frame({T});
    EXPECT_EQ(error_of([&] { actions::random(&frame[0], &frame[0], RandomOptions{}); }),
              id(ErrorId::internal_not_done));
}

TEST_F(SimpleValues, TruthTestsOfTheResultSlot) {
    struct Case {
        Cell result;
        bool last_false;
        int last_true;  // 1, 0, or -1 for the no-return error
    } cases[] = {
        {N, true, 0}, {F, true, 0}, {T, false, 1}, {make_integer(0), false, 1}, {LOGIC_TYPE, false, 1}, {U, false, -1},
    };
    for (const Case& c : cases) {
        Frame frame({c.result});
        EXPECT_EQ(logic::last_false(), c.last_false);
        bool answer = false;
        int error = error_of([&] { answer = logic::last_true(); });
        if (c.last_true < 0) {
            EXPECT_EQ(error, id(ErrorId::script_no_return));
        } else {
            EXPECT_EQ(error, -1);
            EXPECT_EQ(answer, c.last_true == 1);
        }
    }
}

TEST_F(SimpleValues, TopTestsReadTheLastPushedValue) {
    Frame frame({T});
    EXPECT_FALSE(logic::top_false());  // nothing beyond the result slot
    stack::push(N);
    EXPECT_TRUE(logic::top_false());
    stack::push(U);
    EXPECT_TRUE(logic::top_true());  // unset counts as true here
    stack::state.top = stack::state.arguments;  // an empty frame reads its result slot
    EXPECT_TRUE(logic::top_true());
}

TEST_F(SimpleValues, CellTrueChecksUnsetOnlyWhenAsked) {
    const Cell word{TYPE_WORD, 0, 7, 0};
    EXPECT_TRUE(logic::cell_true(U, false, word));
    EXPECT_FALSE(logic::cell_true(N, true, word));
    EXPECT_EQ(error_of([&] { logic::cell_true(U, true, word); }), id(ErrorId::script_no_value));
    ASSERT_EQ(error_in_flight().argc, 1);
    EXPECT_EQ(error_in_flight().args[0].data2, 7u);
}

TEST_F(SimpleValues, ValueHelpers) {
    {
        Frame frame({ONE});
        EXPECT_EQ(none::box(), &frame[0]);
        EXPECT_EQ(type_of(frame[0]), TYPE_NONE);
        unset::box();
        EXPECT_EQ(type_of(frame[0]), TYPE_UNSET);
        logic::box(true);
        EXPECT_EQ(frame[0].header, TYPE_LOGIC);
        EXPECT_EQ(frame[0].data1, 1u);

        Cell* top = stack::state.top;
        EXPECT_EQ(datatype::push(TYPE_NONE), top);
        EXPECT_EQ(logic::push(false), top + 1);
        EXPECT_EQ(none::push(), top + 2);
        EXPECT_EQ(unset::push(), top + 3);
        EXPECT_EQ(top[0].header, 1u);  // a datatype! header is exactly 1
        EXPECT_EQ(top[0].data1, TYPE_NONE);
        EXPECT_EQ(logic::get(top[1]), 0u);
        EXPECT_EQ(type_of(top[2]), TYPE_NONE);
        EXPECT_EQ(type_of(top[3]), TYPE_UNSET);
    }
    // make_in appends to a block, which may have to grow (and move).
    Cell block{TYPE_BLOCK, 0, memory::alloc_cells(1), 0};
    Rooted keep(block);
    datatype::make_in(block, TYPE_LOGIC);
    logic::make_in(block, true);
    none::make_in(block);
    unset::make_in(block);
    SeriesBuffer* b = memory::buffer_of(cell_node(block));
    ASSERT_EQ(b->cell_count(), 4u);
    const Cell* c = b->cells();
    EXPECT_EQ(c[0].header, 1u);
    EXPECT_EQ(c[0].data1, TYPE_LOGIC);
    EXPECT_EQ(c[1].header, TYPE_LOGIC);
    EXPECT_EQ(c[1].data1, 1u);
    EXPECT_EQ(c[2].header, TYPE_NONE);
    EXPECT_EQ(c[3].header, TYPE_UNSET);
}

}  // namespace
}  // namespace kel
