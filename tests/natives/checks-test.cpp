// Natives called with `check` set (as compiled code calls them) check their
// arguments against their spec's type blocks, every family through the same
// helper: script/expect-arg names the native, the value's datatype and the
// argument's word. Arguments of refinements not used are never read.
#include <array>

#include "runtime/evaluator/natives.h"
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Checks = NativesTest;

struct CheckCase {
    int32_t native;
    const char* frame;  // the argument frame's cells, as Kel text
    std::array<int32_t, 3> refinements;
    const char* expected;  // "native datatype argument", or the molded result
};

// Calls the native with check set over the frame; answers its molded result
// or the expect-arg error's three arguments.
std::string checked_call(const CheckCase& c) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Cell* values = load(c.frame);
    Cell* frame = stack::state.top;
    int32_t n = block::ks_length(*values);
    for (int32_t i = 0; i < n; ++i) stack::push(block::ks_abs_at(*values, i)[0]);
    stack::state.arguments = frame;
    int32_t refinements[8];
    std::fill(std::begin(refinements), std::end(refinements), -1);
    std::copy(c.refinements.begin(), c.refinements.end(), refinements);
    std::string out;
    int error = error_of([&] {
        (void)natives::call(c.native, true, refinements);
        out = molded(*frame);
    });
    if (error < 0) return out;
    if (error != id(ErrorId::script_expect_arg)) return "error " + std::to_string(error);
    const ErrorInFlight& e = error_in_flight();
    return molded(e.args[0]) + " " + molded(e.args[1]) + " " + molded(e.args[2]);
}

TEST_F(Checks, EveryFamilyChecksItsArgumentsAgainstItsSpec) {
    const CheckCase cases[] = {
        // control, iteration, print, words
        {natives::IF, "true 1", {-1, -1, -1}, "if integer! then-blk"},
        {natives::LOOP, "\"3\" []", {-1, -1, -1}, "loop string! count"},
        {natives::CATCH, "[] 1", {1, -1, -1}, "catch integer! word"},
        {natives::FOREACH, "x 5 []", {-1, -1, -1}, "foreach integer! series"},
        {natives::REDUCE, "[1] 5", {1, -1, -1}, "reduce integer! out"},
        {natives::GET, "1", {-1, -1, -1}, "get integer! word"},
        // sets, math, conversion, system
        {natives::UNION, "[1] [2] \"2\"", {-1, 2, -1}, "union string! size"},
        {natives::UNIQUE, "#{01}", {-1, -1, -1}, "unique binary! set"},
        {natives::SINE, "\"a\"", {-1, -1, -1}, "sine string! angle"},
        {natives::TO_HEX, "1 1.5", {1, -1, -1}, "to-hex float! length"},
        {natives::AS_PAIR, "1 #a", {-1, -1, -1}, "as-pair issue! y"},
        {natives::DEHEX, "[]", {-1, -1, -1}, "dehex block! value"},
        {natives::SET_ENV, "\"KEL_CHECKS\" 1", {-1, -1, -1}, "set-env integer! value"},
        // Accepted values run the native; an unused refinement's cell is
        // not checked.
        {natives::SINE, "90", {-1, -1, -1}, "1.0"},
        {natives::TO_HEX, "255 x", {-1, -1, -1}, "#000000FF"},
        {natives::UNION, "[1 2] [2 3]", {-1, -1, -1}, "[1 2 3]"},
    };
    for (const CheckCase& c : cases)
        EXPECT_EQ(checked_call(c), c.expected) << natives::describe(c.native).word << " " << c.frame;
}

}  // namespace
}  // namespace kel::test
