// Routine calls: arguments converted by their spec type (logic! to 0 or 1,
// integer!, float!, any other by its cell), results by the routine's result
// type; and C++ callers running Kel functions through call_function.
#include "runtime/evaluator/routines.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/routine.h"
#include "runtime/datatypes/runtime-words.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Routines = Evaluator;

struct Seen {
    int32_t integer = 0;
    double number = 0;
    int32_t flag = -1;
    uint32_t cell_type = 0;
};
Seen seen;

void make_routine(const char* name, const char* spec, routines::Routine fn, int32_t result_type) {
    Cell* saved = stack::state.top;
    Cell* spec_block = load(spec);
    int32_t index = routines::add(fn);
    Cell* r = routine::push(*spec_block, nullptr, index, result_type, false);
    set_global(name, *r);
    stack::state.top = saved;
}

// The routines are made once per process under names no other test sets.
TEST_F(Routines, ArgumentsAndResultsAreConverted) {
    static bool made = false;
    if (!made) {
        made = true;
        make_routine(
            "mix", "a [integer!] b [float!] c [logic!] d [any-type!]",
            [](const routines::Arg* args, int32_t count) {
                EXPECT_EQ(count, 4);
                seen = {args[0].integer, args[1].number, args[2].integer, type_of(*args[3].cell)};
                return routines::Result{args[0].integer * 2};
            },
            TYPE_INTEGER);
        make_routine(
            "nonzero?", "a [integer!]",
            [](const routines::Arg* args, int32_t) { return routines::Result{args[0].integer}; }, TYPE_LOGIC);
        make_routine(
            "halve", "a [float!]",
            [](const routines::Arg* args, int32_t) {
                routines::Result r;
                r.number = args[0].number / 2;
                return r;
            },
            TYPE_FLOAT);
    }
    EXPECT_EQ(integer_of(run("mix 21 2.5 true none")), 42);
    EXPECT_EQ(seen.integer, 21);
    EXPECT_EQ(seen.number, 2.5);
    EXPECT_EQ(seen.flag, 1);
    EXPECT_EQ(seen.cell_type, TYPE_NONE);
    run("mix 1 1.0 false 5");
    EXPECT_EQ(seen.flag, 0);
    EXPECT_EQ(seen.cell_type, TYPE_INTEGER);
    Cell yes = run("nonzero? -7");
    EXPECT_EQ(type_of(yes), TYPE_LOGIC);
    EXPECT_EQ(yes.data1, 1u);
    EXPECT_EQ(run("nonzero? 0").data1, 0u);
    EXPECT_EQ(cell_double(run("halve 3.0")), 1.5);
    EXPECT_EQ(fails("mix 1 2 true none"), id(ErrorId::script_expect_arg));
}

// Runtime code calls a Kel function with values; a break that leaves the
// function crosses the C++ caller as an exception of its code.
TEST_F(Routines, CallFunctionRunsKelCode) {
    run("twice: func [x] [x * 2] leave: func [] [break]");
    Cell args[1] = {make_integer(21)};
    Cell name = words::word(words::Word::compare_callback);
    EXPECT_EQ(integer_of(interpreter::call_function(global_value("twice"), args, 1, name)), 42);
    Cell pair[2] = {make_integer(1), make_integer(2)};
    EXPECT_EQ(integer_of(interpreter::call_function(global_value("add"), pair, 2, name)), 3);
    uint32_t frames = stack::calls.top;
    Cell* top = stack::state.top;
    stack::OpenFrame loop(words::word(words::Word::body), stack::KIND_LOOP);
    uint32_t code =
        protect(catch_level::LOOP, [&] { interpreter::call_function(global_value("leave"), args, 0, name); });
    handled();
    EXPECT_EQ(code, thrown::BREAK);
    loop.reset();
    EXPECT_EQ(stack::calls.top, frames);
    stack::state.top = top;
}

}  // namespace
}  // namespace kel::test
