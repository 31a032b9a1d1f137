// Path evaluation: the head word, calls with refinements, get and set
// modes with a function head, and the errors of empty, misplaced and
// unsupported elements.
#include "tests/evaluator/evaluator-fixture.h"

#include "runtime/datatypes/logic.h"

namespace kel::test {
namespace {

using Paths = Evaluator;

TEST_F(Paths, HeadsAndTheirErrors) {
    struct Case {
        const char* code;
        ErrorId error;
    };
    const Case cases[] = {
        {"do reduce [to path! [1 a]]", ErrorId::script_word_first},
        {"never-set-6/a", ErrorId::script_unset_path},
        {"f: func [] [1] f/x: 2", ErrorId::script_invalid_path_set},
        {"f: func [] [1] :f/x", ErrorId::script_invalid_path_get},
    };
    for (const Case& c : cases) EXPECT_EQ(fails(c.code), id(c.error)) << c.code;
    // An empty path value.
    Cell* code = load("x");
    Cell* empty = block_of({});
    empty->header = TYPE_PATH;
    *block::ks_abs_at(*code, 0) = *empty;
    EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::script_empty_path));
}

// A value whose type has no path access: the error cuts the path after the
// element that answered it.
TEST_F(Paths, AValueWithoutPathAccess) {
    EXPECT_EQ(fails("x: 5 x/1/2"), id(ErrorId::script_bad_path_type));
    Cell cut = error_in_flight().args[2];
    ASSERT_EQ(block::ks_length(cut), 1);
    EXPECT_EQ(formed(*block::ks_abs_at(cut, 0)), "x");
    EXPECT_EQ(datatype::type_of_value(error_in_flight().args[1]), TYPE_INTEGER);
    EXPECT_EQ(block::ks_length(error_in_flight().args[0]), 3);
}

// A type with path access, lent for the test: it answers the element, so
// parens, get-words and the unset checks show through.
TEST_F(Paths, ElementsAndSelectors) {
    Restore<datatype::Action> slot(datatype::action_table[TYPE_EVENT][ACTION_EVAL_PATH]);
    datatype::action_table[TYPE_EVENT][ACTION_EVAL_PATH] = reinterpret_cast<datatype::Action>(
        +[](Cell* out, Cell*, Cell* element, Cell* value, const PathStep&) { *out = value ? *value : *element; });
    set_global("ev", Cell{TYPE_EVENT, 0, 0, 0});
    EXPECT_EQ(integer_of(run("ev/(1 + 2)")), 3);
    EXPECT_EQ(integer_of(run("k: 7 ev/:k")), 7);
    EXPECT_EQ(fails("ev/:never-set-7"), id(ErrorId::script_invalid_path));
    EXPECT_EQ(formed(error_in_flight().args[1]), "never-set-7");
    EXPECT_EQ(integer_of(run("ev/a: 5")), 5);
    // A function reached inside a path is called with the rest as
    // refinements; a get-path returns it uncalled.
    set_global("method", global_value("if"));
    datatype::action_table[TYPE_EVENT][ACTION_EVAL_PATH] = reinterpret_cast<datatype::Action>(
        +[](Cell* out, Cell*, Cell*, Cell*, const PathStep&) { *out = global_value("method"); });
    EXPECT_EQ(integer_of(run("ev/m true [8]")), 8);
    EXPECT_EQ(type_of(run(":ev/m")), TYPE_NATIVE);
    set_global("method", global_value("try"));
    EXPECT_EQ(type_of(run("ev/m/all [break]")), TYPE_ERROR);
}

}  // namespace
}  // namespace kel::test
