// The seams the evaluator fills for other modules: object construction
// evaluates its spec, change handlers run as Kel functions, and series
// sorts call Kel comparators through the callback runner.
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/evaluator/callbacks.h"
#include "runtime/io/lexer.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Seams = Evaluator;

TEST_F(Seams, ObjectSpecsAreEvaluated) {
    EXPECT_EQ(integer_of(run("o: make object! [a: 1 + 2 b: a * 2] o/b")), 6);
    EXPECT_EQ(integer_of(run("o: make object! [a: 1 f: func [x] [x + 10]] o/f 5")), 15);
}

TEST_F(Seams, ChangeHandlersRunWithOldAndNewValues) {
    EXPECT_EQ(integer_of(run("seen: 0 o: make object! [a: 1 on-change*: func [w old new] [seen: old * 100 + new]] "
                             "o/a: 5 seen")),
              105);
}

// The edges of change handlers run as Kel functions.
TEST_F(Seams, ChangeHandlerEdges) {
    // A handler replaced by one with /local words gets its locals pushed on
    // the next change (the object's cached group size is refreshed).
    // (Assigning the handler field runs a handler too, with the new function
    // as its new value: the bodies take it as :new.)
    EXPECT_EQ(integer_of(run("seen: 0 o: make object! [a: 1 on-change*: func [w old new] [seen: :new]] "
                             "o/on-change*: func [w old new /local t u] [t: :new u: :t seen: :u] "
                             "o/a: 5 seen")),
              5);
    // An integer handler fails at make; one assigned later fails the next change.
    EXPECT_EQ(fails("make object! [a: 1 on-change*: 5]"), id(ErrorId::script_bad_field_set));
    run("o: make object! [a: 1 on-change*: func [w old new] [none]]");
    EXPECT_EQ(fails("o/on-change*: 5 o/a: 2"), id(ErrorId::script_invalid_obj_evt));
    // Setting many fields at once runs the handler once per field, never
    // for the handler field itself, which keeps its function.
    run("calls: 0 o: make object! [a: 1 b: 2 on-change*: func [w old new] [calls: calls + 1]]");
    Cell o = global_value("o");
    Cell* values = load("10 20");
    object::set_many(o, *values, false, false, false);
    EXPECT_EQ(integer_of(run("calls")), 2);
    EXPECT_EQ(integer_of(run("o/a + o/b")), 30);
    EXPECT_EQ(type_of(run(":o/on-change*")), TYPE_FUNCTION);
    // The handler's values are handed over unchecked: a field new in a
    // derived object reports an unset old value even to an untyped spec,
    // and a typed spec does not refuse what the runtime hands it.
    run("seen: none o: make object! [a: 1 on-change*: func [w old new] [seen: reduce [w unset? :old :new]]]");
    EXPECT_EQ(integer_of(run("p: make o [b: 2] either seen = reduce ['b true 2] [1] [0]")), 1);
    run("o: make object! [a: 1 on-change*: func [w [word!] old [integer!] new [integer!]] [seen: :new]]");
    EXPECT_EQ(integer_of(run("o/a: \"x\" either seen = \"x\" [1] [0]")), 1);
}

// make error! evaluates its set-word block: values may be computed.
TEST_F(Seams, ErrorSpecsAreEvaluated) {
    Cell e = run("make error! [type: 'math id: 'zero-divide arg1: 2 + 3]");
    ASSERT_EQ(type_of(e), TYPE_ERROR);
    EXPECT_EQ(cell_integer(error::field(e, error::ARG1)), 5);
    EXPECT_EQ(fails("make error! [type: 'math id: 'zero-divide arg1: never-set-20]"), id(ErrorId::script_no_value));
}

// The lexer's callbacks run as Kel functions with their /local words, and
// the input they leave moves the scan (here past its end: it stops).
TEST_F(Seams, LexerCallbacksRunAsKelFunctions) {
    run("seen: 0 cb: func [event input type line token /local n] "
        "[n: 1 seen: seen + n if event = 'load [input: at input 1000] true]");
    Cell fn = global_value("cb");
    Cell text = run("{a b c}");
    Rooted keep_text(text);
    lexer::Options options;
    options.callback = &fn;
    Cell out = make_none();
    Rooted keep_out(out);
    lexer::scan_string(&out, text, -1, options);
    EXPECT_EQ(formed(out), "a");
    EXPECT_GT(integer_of(global_value("seen")), 0);
    // A callback without an input argument, or one that leaves another
    // value in it, moves nothing.
    for (const char* callback : {"cb: func [event] [true]", "cb: func [event input] [input: 5 true]"}) {
        run(callback);
        fn = global_value("cb");
        lexer::scan_string(&out, text, -1, options);
        EXPECT_EQ(formed(out), "a b c") << callback;
    }
}

TEST_F(Seams, CallbacksRunKelComparators) {
    run("order: func [a b] [a < b]");
    Cell args[2] = {make_integer(1), make_integer(2)};
    Cell r = callbacks::call_function(global_value("order"), args, callbacks::Callback::compare);
    EXPECT_EQ(type_of(r), TYPE_LOGIC);
    EXPECT_EQ(r.data1, 1u);
}

// sort/compare with a Kel function goes through the callback seam.
TEST_F(Seams, SortWithAKelComparator) {
    EXPECT_EQ(integer_of(run("b: [3 1 2] sort/compare b func [a b] [a > b] pick b 1")), 3);
    EXPECT_EQ(integer_of(run("pick b 3")), 1);
    EXPECT_EQ(integer_of(run("b: [3 1 2] sort b pick b 1")), 1);
}

}  // namespace
}  // namespace kel::test
