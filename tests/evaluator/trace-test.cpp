// The tracer: the events its body asks for, init and end by default, no
// events while it runs, frame coordinates that grow inside calls, a
// throwing tracer ending the stream, and library functions sending none.
#include <vector>

#include "runtime/datatypes/routine.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/trace.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Tracing = Evaluator;

// Ends the traced evaluation however the test leaves.
struct Traced {
    explicit Traced(const Cell& tracer) { interpreter::trace::install(tracer); }
    ~Traced() { interpreter::trace::finish(); }
};

struct Event {
    uint32_t code_node;
    uint32_t frame;
};
std::vector<Event> events;

// A routine tracer recording each event's code and argument frame index.
Cell recorder() {
    static Cell r{};
    if (type_of(r) != TYPE_ROUTINE) {
        Cell* saved = stack::state.top;
        Cell* spec = load("e [any-type!] c [any-type!] o [any-type!] v [any-type!] r [any-type!] f [any-type!]");
        int32_t index = routines::add([](const routines::Arg* args, int32_t) {
            const Cell& code = *args[1].cell;
            events.push_back({type_of(code) == TYPE_BLOCK ? code.data2 : 0, args[5].cell->data2});
            return routines::Result{0};
        });
        r = *routine::push(*spec, nullptr, index, -1, false);
        set_global("recorder-routine", r);  // kept reachable
        stack::state.top = saved;
    }
    return r;
}

TEST_F(Tracing, ABodyHeaderSelectsTheEvents) {
    run("n-fetch: 0 n-push: 0 n-other: 0 "
        "t: func [e c o v r f] [[fetch push] either e = 'fetch [n-fetch: n-fetch + 1] "
        "[either e = 'push [n-push: n-push + 1] [n-other: n-other + 1]]]");
    {
        Traced traced(global_value("t"));
        run("x: 1 + 2");
    }
    EXPECT_GT(integer_of(global_value("n-fetch")), 2);
    EXPECT_GT(integer_of(global_value("n-push")), 0);
    EXPECT_EQ(integer_of(global_value("n-other")), 0);
}

TEST_F(Tracing, TheDefaultMaskGetsInitAndEnd) {
    run("inits: 0 ends: 0 all-events: 0 "
        "t: func [e c o v r f] [all-events: all-events + 1 if e = 'init [inits: inits + 1] if e = 'end [ends: ends + 1]]");
    {
        Traced traced(global_value("t"));
        run("1");
    }
    EXPECT_EQ(integer_of(global_value("inits")), 1);
    EXPECT_EQ(integer_of(global_value("ends")), 1);
    // The tracer's own code sends nothing: a handful of events, not a storm.
    EXPECT_LT(integer_of(global_value("all-events")), 20);
}

TEST_F(Tracing, FramesGrowInsideCalls) {
    run("f: func [x] [x]");
    events.clear();
    {
        Traced traced(recorder());
        run("f 1");
    }
    Cell body = memory::buffer_of(global_value("f").data3)->cells()[0];
    uint32_t outside = 0, inside = 0;
    for (const Event& e : events) {
        if (e.code_node == body.data2)
            inside = std::max(inside, e.frame);
        else if (e.code_node)
            outside = outside ? std::min(outside, e.frame) : e.frame;
    }
    EXPECT_GT(inside, outside);
}

TEST_F(Tracing, AThrowingTracerEndsTheStream) {
    run("count: 0 t: func [e c o v r f] [count: count + 1 if :v = 2 [throw 0]]");
    {
        Traced traced(global_value("t"));
        EXPECT_EQ(integer_of(run("catch [1 2 3]")), 0);
        int32_t after = integer_of(global_value("count"));
        run("4 5 6");
        EXPECT_EQ(integer_of(global_value("count")), after);
        EXPECT_FALSE(interpreter::state.tracing);
    }
}

TEST_F(Tracing, LibraryFunctionsSendNone) {
    run("lib2: func [x] [x + 1]");
    Cell lib = global_value("lib2");
    lib.header |= interpreter::FLAG_SYSTEM;
    set_global("lib2", lib);
    events.clear();
    {
        Traced traced(recorder());
        EXPECT_EQ(integer_of(run("lib2 1")), 2);
    }
    Cell body = memory::buffer_of(lib.data3)->cells()[0];
    EXPECT_FALSE(events.empty());
    for (const Event& e : events) EXPECT_NE(e.code_node, body.data2);
}

// prolog and epilog surround each interpreted body, named by the call.
TEST_F(Tracing, PrologAndEpilogSurroundABody) {
    run("pro: 0 epi: 0 last: none "
        "t: func [e c o v r f] [[prolog epilog] last: r either e = 'prolog [pro: pro + 1] [epi: epi + 1]] "
        "f: func [x] [x * 2] g: func [] [f 1 f 2]");
    {
        Traced traced(global_value("t"));
        EXPECT_EQ(integer_of(run("g")), 4);
    }
    EXPECT_EQ(integer_of(global_value("pro")), 3);
    EXPECT_EQ(integer_of(global_value("epi")), 3);
    EXPECT_EQ(formed(global_value("last")), "g");
    // A return's value survives the tracer's run after the body.
    run("h: func [] [return 7 8]");
    {
        Traced traced(global_value("t"));
        EXPECT_EQ(integer_of(run("h")), 7);
    }
}

// A callback of the runtime (here a sort comparator) runs untraced unless
// its bit is set; then it sends call and return and its body's events.
TEST_F(Tracing, CallbacksAreTracedOnlyWhenTheirBitIsSet) {
    run("calls: 0 fetches: 0 order: func [a b] [a > b] "
        "t: func [e c o v r f] [[call fetch] either e = 'call [calls: calls + 1] [fetches: fetches + 1]]");
    auto traced_sort = [](uint32_t bits) {
        interpreter::set_callback_bits(bits);
        run("calls: 0 fetches: 0");
        {
            Traced traced(global_value("t"));
            run("sort/compare [3 1 2] :order");
        }
        interpreter::set_callback_bits(0);
        return std::pair{integer_of(global_value("calls")), integer_of(global_value("fetches"))};
    };
    auto [calls_off, fetches_off] = traced_sort(0);
    auto [calls_on, fetches_on] = traced_sort(interpreter::CALLBACK_SORT);
    EXPECT_GT(calls_on, calls_off);
    EXPECT_GT(fetches_on, fetches_off);
}

}  // namespace
}  // namespace kel::test
