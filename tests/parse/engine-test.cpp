// The engine around the rules: trace events and callbacks, parens that
// raise errors or leave through break, return and throw, parses nested in
// parens, the stack limit against self-recursive rules and deep input, the
// infinite-loop guards, and faults the engine must not have.
#include <string>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/none.h"
#include "runtime/parse/engine.h"
#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using Engine = Parse;

TEST_F(Engine, TraceEvents) {
    expect_truths({
        {"ev: copy [] parse/trace {a} [skip] func [e m r i s] [append ev e true] ev = [push fetch match pop end]",
         true},
        {"parse/trace {a} [{b}] func [e m r i s] [false]", true},  // stopped at the first push: the match flag
        {"n: 0 parse/trace {ab} [{b}] func [e m r i s] [n: n + 1 false] n = 1", true},
        {"parse/trace {aa} [some {a}] func [e m r i s] [true]", true},
        {"ev: copy [] parse/trace {ab} [some [skip]] func [e m r i s] [if e = 'iterate [append ev e] true] ev = [iterate iterate]",
         true},
        {"ev: copy [] parse/trace {a} [(1)] func [e m r i s] [if e = 'paren [append ev e] true] ev = [paren]", true},
        {"k: 0 parse/trace {a} [[skip]] func [e m r i s] [if e = 'match [k: length? s] true] k = 6", true},
        {"x: none parse/trace {ab} [skip skip] func [e m r i s] [if e = 'end [x: i] true] (index? x) = 3", true},
    });
    // A callback's error passes through; the next parse works.
    EXPECT_EQ(error_in("parse/trace {a} [skip] func [e m r i s] [divide 1 0]"), id(ErrorId::math_zero_divide));
    expect_truths({{"parse {a} [skip]", true}});
}

// A repetition of one literal runs its loop at once when nothing traces;
// traced, it goes through the state machine. Both give the same results,
// captures and positions.
TEST_F(Engine, RepetitionsOfOneLiteralTracedOrNot) {
    const char* setup =
        "up: func [i r] [parse i r] "
        "tp: func [i r] [parse/trace i r func [e m r i s] [true]] "
        "d: make bitset! {ab} w: 'x n: none s: {ab} c: #\"a\" ";
    const char* cases[] = {
        "reduce [p {aab} [copy x some c y: skip] x index? y]",
        "reduce [p {abba} [some d] p {abc} [any d z: skip] index? z]",
        "reduce [p {ababx} [copy x any s skip] x p {abab} [opt s s] p {ab} [while s]]",
        "reduce [p #{616162} [copy x some c skip] x p #{6162} [some d]]",
        "reduce [p [x x y] [some w 'y] p [x y] [any 'x 'y] p reduce [none none] [some n]]",
        "reduce [(o: copy [] p {aab} [collect into o [keep some c keep copy x some d]]) o]",
        "reduce [p {aab} [some c some c] p {b} [some c] p {} [any c end]]",
    };
    for (const char* c : cases) {
        std::string code = std::string(setup) + "f: func [p] [" + c + "] (f :up) = (f :tp)";
        expect_truths({{code.c_str(), true}});
    }
    EXPECT_EQ(error_in("u: none unset 'u parse {a} [some u]"), id(ErrorId::script_parse_rule));
}

TEST_F(Engine, ParensAndNonLocalExits) {
    parser::init();
    int32_t rules = parser::rule_tail(), series = parser::series_tail();
    EXPECT_EQ(error_in("parse {abc} [skip (divide 1 0) skip]"), id(ErrorId::math_zero_divide));
    EXPECT_EQ(parser::rule_tail(), rules);
    EXPECT_EQ(parser::series_tail(), series);
    expect_truths({
        {"parse {abc} [3 skip]", true},
        {"n: 0 loop 3 [n: n + 1 parse {a} [(break)]] n = 1", true},
        {"n: 0 loop 3 [n: n + 1 parse {a} [skip (continue) (n: 100)]] n = 3", true},
        {"f: func [] [parse {a} [(return 5)] 6] f = 5", true},
        {"(catch [parse {a} [(throw 7)] 8]) = 7", true},
        {"all [parse {ab} [skip (inner: parse {xy} [2 skip]) skip] inner]", true},
        {"all [parse {ab} [skip (inner: parse {xy} [{y}]) skip] inner = false]", true},
        {"all [parse {ab} [copy a skip (b: parse {xyz} [copy c 2 skip skip]) copy d skip] b a = {a} c = {xy} d = {b}]",
         true},
        {"s: {abc} parse s [skip (clear s)]", true},  // the position is clamped to the new tail
        {"r: [skip (if 3 > length? r [append r 'skip])] parse {aa} r",
         true},  // a paren may grow the running rule block
    });
    EXPECT_EQ(parser::rule_tail(), rules);
    EXPECT_EQ(parser::series_tail(), series);
}

TEST_F(Engine, StackLimit) {
    parser::init();
    int32_t rules = parser::rule_tail(), series = parser::series_tail();
    expect_errors({
        {"r: [r] parse {a} r", ErrorId::script_parse_stack},
        {"r: [some r] parse {a} r", ErrorId::script_parse_stack},
        {"r: [[[r]]] parse [] r", ErrorId::script_parse_stack},
    });
    EXPECT_EQ(parser::rule_tail(), rules);
    EXPECT_EQ(parser::series_tail(), series);
    // Deep input: a block nested far beyond what the stacks hold.
    Cell* nested = stack::push(make_none());
    block::make_at(*nested, 1);
    nested->header = TYPE_BLOCK;
    for (size_t i = 0; i < scaled(1000000, 3000); ++i) {
        Cell outer = make_none();
        block::make_at(outer, 1);
        outer.header = TYPE_BLOCK;
        block::append_cell(outer, *nested);
        *nested = outer;
    }
    set_global("deep", *nested);
    EXPECT_EQ(error_in("r: [into r | end] parse deep r"), id(ErrorId::script_parse_stack));
    set_global("deep", none_value);
    EXPECT_EQ(parser::rule_tail(), rules);
    expect_truths({{"parse [[[]]] r: [into r | end]", true}});
}

TEST_F(Engine, LoopGuards) {
    expect_truths({
        {"parse {a} [any [none] skip]", true},
        {"parse {} [some [opt {x}]]", true},
        {"parse {a} [any [to end] ]", true},
        {"parse {ab} [some [to {b}] {b}]", true},
        {"parse {ab} [while [{a} | {b}]]", true},
        {"n: 0 parse {ab} [while [(n: n + 1) skip | break]] n = 3", true},
    });
    // `while [none]` never ends by itself: the test hook's step budget stops it.
    int64_t old = parser::set_step_budget(10000);
    expect_truths({{"parse {a} [while [none]]", false}});
    // What keep adds counts against the budget: each of these keeps 10000
    // units per turn without moving, and would fill its target with
    // millions of values before the turns alone ran the budget out.
    eval_text("s: append/dup copy {} {a} 10000  b: append/dup copy [] 1 10000  true");
    expect_truths({
        {"t: copy [] parse s [while [p: collect into t keep pick to end :p]] 20000 > length? t", true},
        {"t: copy {} parse s [while [p: collect into t keep to end :p]] 20000 > length? t", true},
        {"t: copy [] parse {a} [while [collect into t keep (b)]] 20000 > length? t", true},
        {"t: copy [] parse {a} [thru [insert s collect into t keep pick thru end fail]] 20000 > length? t", true},
    });
    parser::set_step_budget(old);
}

// Each case failed before the engine was built soundly.
TEST_F(Engine, FaultsBuiltSoundly) {
    expect_truths({
        // fail fails the alternative it stands in, not only as the last rule.
        {"parse {ab} [fail {ab}]", false},
        {"parse {ab} [[fail {ab}] | {ab}]", true},
        {"parse {ab} [{a} fail {b} | {ab}]", true},
        // A failed string search leaves the position where it was.
        {"parse {ab} [opt to {x} {ab}]", true},
        {"parse {ab} [opt thru {x} {ab}]", true},
        {"parse #{0102} [opt thru #{09} #{0102}]", true},
        {"parse {ab} [any thru {x} {ab}]", true},
        // A string rule on binary! input advances by the bytes it matched.
        {"parse #{C3A978} [{é} #{78}]", true},
        {"parse #{C3A9C3A9} [2 {é}]", true},
        {"parse #{E282ACE282AC78} [some {€} #{78}]", true},
        {"parse #{C3A9C3A978} [thru {é} #{C3A978}]", true},
        {"parse #{C3A9C3A978} [to {é} #{C3A9C3A978}]", true},
        // not never consumes input.
        {"parse {ab} [opt not {a} {b}]", false},
        {"parse {ab} [opt not {a} {ab}]", true},
        {"parse {ab} [any not {x} {ab}]", true},
        // keep pick of a paren and a nested collect add to a string target
        // through the string's own append.
        {"s: {} all [parse {ab} [collect after s [keep pick ([#\"p\" #\"q\"]) 2 skip]] s = {pq}]", true},
        {"s: {} all [parse {ab} [collect after s [collect [keep skip] skip]] s = {a}]", true},
        {"s: {x} all [parse {ab} [collect into s [keep pick ([#\"p\" #\"q\"]) 2 skip]] s = {pqx}]", true},
        // A span of binary! input kept into a string goes through the
        // string's append of a binary!, as any other value.
        {"s: {} all [parse #{6162} [collect after s [keep 2 skip]] s = append copy {} #{6162}]", true},
    });
}

TEST_F(Engine, ModifyingUnderCollection) {
    // Every rule here allocates: under KEL_GC_STRESS each step collects.
    expect_truths({
        {"s: copy {} loop 200 [append s {ab}] all [parse s [some [skip insert {-} skip]] 600 = length? s]", true},
        {"s: copy {} loop 100 [append s {€😀}] all [parse s [some [change skip {x} remove skip]] s = head s 100 = length? s]",
         true},
        {"b: copy [] loop 100 [append b [1 x]] n: (length? parse b [collect [some [keep integer! | remove word!]]]) all [n = 100 100 = length? b]",
         true},
        {"s: copy #{} loop 300 [append s #{0102}] (length? parse s [collect [some [keep copy x 2 skip]]]) = 300", true},
    });
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// The first line of the report of the error the code raises.
std::string message_of(const char* code) {
    Restore<Cell*> top(stack::state.top);
    Restore<Cell*> arguments(stack::state.arguments);
    Restore<uint32_t> frames(stack::calls.top);
    std::string text;
    uint32_t thrown_code = protect(catch_level::ERRORS, [code] {
        Cell* block = lex(code);
        (void)interpreter::eval(*block, false);
    });
    if (thrown_code) {
        text = text_of(*error::report(error_in_flight().value));
        handled();
    }
    return text.substr(0, text.find('\n'));
}

TEST_F(Engine, ErrorMessages) {
    struct Case {
        const char* code;
        const char* message;
    };
    const Case cases[] = {
        {"r: [r] parse {a} r", "*** Script Error: PARSE - stack limit reached"},
        {"parse {a} [some]", "*** Script Error: PARSE - unexpected end of rule after: some"},
        {"parse {a} [a/b]", "*** Script Error: PARSE - invalid rule or usage of rule: a/b"},
        {"x: {b} parse {a} [:x]", "*** Script Error: PARSE - get-word refers to a different series! :x"},
        {"parse {a} [into [skip]]", "*** Script Error: PARSE - input must be of any-block! type: \"a\""},
        {"parse {1} [integer!]", "*** Script Error: PARSE - matching by datatype not supported for any-string! input"},
        {"parse {a} [keep skip]", "*** Script Error: PARSE - KEEP is used without a wrapping COLLECT"},
        {"s: {a} parse s [collect into s [keep skip]]",
         "*** Script Error: PARSE - COLLECT INTO/AFTER invalid series! argument"},
        {"b: 1 parse {a} [collect into b [keep skip]]",
         "*** Script Error: PARSE - COLLECT INTO/AFTER expects a series! of compatible datatype"},
        {"parse {a} [-1 skip]", "*** Script Error: value out of range: -1"},
        {"parse {a} [insert undefined-value-word]", "*** Script Error: undefined-value-word has no value"},
    };
    for (const Case& c : cases) EXPECT_EQ(message_of(c.code), c.message) << c.code;
}

}  // namespace
}  // namespace kel::test
