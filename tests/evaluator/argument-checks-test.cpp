// The argument checks natives make when called with check on, and the
// argument conversions they share: integer arguments from floats, and a
// value loaded from a string.
#include <cmath>
#include <limits>

#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/argument-checks.h"
#include "runtime/evaluator/natives.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using ArgumentChecks = Evaluator;

// Calls native `index` with check on, in a frame named by its global word,
// with the given arguments and refinement indexes.
int checked_call(const char* name, int32_t index, std::initializer_list<Cell> args, const int32_t* refinements) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    return error_of([&] {
        stack::OpenFrame frame(word::make(symbol::make(name)), stack::KIND_NATIVE);
        for (const Cell& a : args) stack::push(a);
        (void)natives::call(index, true, refinements);
    });
}

TEST_F(ArgumentChecks, ANativeCalledWithCheckOnChecksItsSpec) {
    Cell* blk = stack::push(run("[1]"));
    Cell* text = stack::push(run("{x}"));
    const int32_t none[1] = {-1};
    // either: cond [any-type!] true-blk [block!] false-blk [block!]
    EXPECT_EQ(checked_call("either", natives::EITHER, {logic::make_cell(false), *blk, *blk}, none), -1);
    EXPECT_EQ(checked_call("either", natives::EITHER, {logic::make_cell(true), *text, *blk}, none),
              id(ErrorId::script_expect_arg));
    std::string report = text_of(*error::report(error_in_flight().value));
    EXPECT_EQ(report.substr(0, report.find('\n')),
              "*** Script Error: either does not allow string! for its true-blk argument");
    // A used refinement's argument is checked; an unused one's is not there.
    // catch: block [block!] /name word [word! block!]
    const int32_t named[1] = {1};
    EXPECT_EQ(checked_call("catch", natives::CATCH, {*blk, make_integer(3)}, named), id(ErrorId::script_expect_arg));
    EXPECT_EQ(formed(error_in_flight().args[2]), "word");
    EXPECT_EQ(checked_call("catch", natives::CATCH, {*blk}, none), -1);
}

TEST_F(ArgumentChecks, TypesAgainstATypeset) {
    Cell numbers = typeset::make_empty();
    typeset::set_bit(numbers, TYPE_INTEGER);
    typeset::set_bit(numbers, TYPE_FLOAT);
    EXPECT_EQ(cell_integer(arguments::check_type(numbers, 1, make_integer(4))), 4);
    Cell text = *stack::push(run("{a}"));
    EXPECT_EQ(raised([&] { arguments::check_type(numbers, 1, text); }), id(ErrorId::script_expect_arg));
    EXPECT_EQ(raised([&] { arguments::check_not_unset(1, make_unset()); }), id(ErrorId::script_expect_arg));
    // An unused refinement's value is not checked.
    EXPECT_EQ(type_of(arguments::check_refinement_arg(logic::make_cell(false), numbers, 2, text)), TYPE_STRING);
    EXPECT_EQ(raised([&] { arguments::check_refinement_arg(logic::make_cell(true), numbers, 2, text); }),
              id(ErrorId::script_expect_arg));
    Frame f({make_integer(1), text});
    arguments::check_frame_arg(1, numbers, 1);
    arguments::check_frame_arg(-1, numbers, 2);  // absent
    EXPECT_EQ(raised([&] { arguments::check_frame_arg(2, numbers, 2); }), id(ErrorId::script_expect_arg));
}

TEST_F(ArgumentChecks, IntegerArguments) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double value;
        int64_t want;  // INT64_MIN: out-of-range
    } cases[] = {
        {2147483647.0, 2147483647}, {-2.7, -2},       {2.7, 2},
        {-2147483648.0, INT32_MIN}, {-0.0, 0},        {2147483647.5, INT64_MIN},
        {-2147483648.5, INT64_MIN}, {nan, INT64_MIN}, {1e300, INT64_MIN},
    };
    for (const Case& c : cases) {
        int32_t got = 0;
        int e = raised([&] { got = arguments::integer_arg(flt(c.value)); });
        if (c.want == INT64_MIN) {
            EXPECT_EQ(e, id(ErrorId::script_out_of_range)) << c.value;
        } else {
            EXPECT_EQ(e, -1) << c.value;
            EXPECT_EQ(got, c.want) << c.value;
        }
    }
    EXPECT_EQ(arguments::integer_arg(make_integer(-5)), -5);
}

TEST_F(ArgumentChecks, AValueLoadedFromAString) {
    auto loaded = [](const char* text) { return arguments::string_to_value(*stack::push(run(text))); };
    EXPECT_EQ(integer_of(loaded("{12 abc}")), 12);
    EXPECT_EQ(type_of(loaded("{}")), TYPE_UNSET);
    EXPECT_EQ(type_of(loaded("{  }")), TYPE_UNSET);
    EXPECT_EQ(formed(loaded("{[a b] c}")), "a b");
}

}  // namespace
}  // namespace kel::test
