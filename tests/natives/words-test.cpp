// get, set, value?, unset, bind, in, context?, construct and apply.
#include "runtime/datatypes/symbol.h"
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using WordNatives = NativesTest;

// A global name whose value is a word bound to no context.
void define_unbound_word(const char* name, const char* spelling) {
    set_global(name, Cell{TYPE_WORD, 0, uint32_t(symbol::make(spelling)), context::NO_INDEX});
}

TEST_F(WordNatives, GetAndSet) {
    expect_cases({
        {"set 'a 3", "3"},
        {"set 'a 3 a", "3"},
        {"a: 4 get 'a", "4"},
        {"get 'never-set-get", "error script/no-value"},
        {"get/any 'never-set-get", "unset"},
        {"b: [1 2 3] get 'b/2", "2"},
        {"b: [1 2 3] set 'b/2 20 b", "[1 20 3]"},
        // /case matches the path's elements case-sensitively.
        {"b: [a 1 A 2] get 'b/A", "1"},
        {"b: [a 1 A 2] get/case 'b/A", "2"},
        {"b: [a 1 A 2] set/case 'b/A 20 b", "[a 1 A 20]"},
        {"b: [a 1 A 2] set 'b/A 20 b", "[a 20 A 2]"},
        {"m: #[a 1] get/case 'm/A", "none"},
        {"m: #[a 1] set/case 'm/A 2 reduce [m/a get/case 'm/A]", "[1 2]"},
        {"m: #[a 1] set 'm/A 2 m/a", "2"},
        {"set [a b] [1 2 3] reduce [a b]", "[1 2]"},
        {"set [a b c] [1] reduce [a b c]", "[1 none none]"},
        {"set [a b] 5 reduce [a b]", "[5 5]"},
        {"set/only [a b] [1 2] reduce [a b]", "[[1 2] [1 2]]"},
        {"a: 5 set/some [a b] reduce [none 2] reduce [a b]", "[5 2]"},
        {"a: 5 set/some [a b] [none 2] reduce [a b]", "[none 2]"},
        {"a: 5 set/some [a] none a", "5"},
        {"set 'x ()", "error script/need-value"},
        {"set/any 'x () value? 'x", "false"},
        {"set [a b] reduce [1 ()]", "error script/need-value"},
        {"a: 0 try [set [a b] reduce [1 ()]] a", "0"},
        {"set/any [a b] reduce [1 ()] value? 'b", "false"},
        {"set [a 1] [1 2]", "error script/invalid-arg"},
        // any-word! is the four word types: an issue or a refinement is no
        // word to set.
        {"set #a 1", "error script/expect-arg"},
        {"set /a 1", "error script/expect-arg"},
        {"o: make object! [x: 1 y: 2] set o [10 20] reduce [o/x o/y]", "[10 20]"},
    });
}

TEST_F(WordNatives, ValueAndUnset) {
    expect_cases({
        {"value? 'never-set-value", "false"},
        {"a: 1 value? 'a", "true"},
        {"a: 1 unset 'a value? 'a", "false"},
        {"a: 1 b: 2 unset [a 5 b] reduce [value? 'a value? 'b]", "[false false]"},
        {"unset 'a", "unset"},
    });
}

TEST_F(WordNatives, BindInAndContext) {
    define_unbound_word("loose", "loose-word");
    expect_cases({
        {"o: make object! [a: 10] b: [a] bind b o do b", "10"},
        {"a: 1 o: make object! [a: 10] b: [a] c: bind/copy b o reduce [do b do c]", "[1 10]"},
        {"o: make object! [a: 10] b: [x [a]] c: bind/copy b o b/2/1: 0 do c/2", "10"},
        {"a: 1 o: make object! [a: 10] do bind 'a o", "10"},
        {"o: make object! [a: 10] w: bind 'never-in-o o w", "never-in-o"},
        {"o: make object! [a: 10] in o 'missing", "none"},
        {"o: make object! [f: 3] in o /f", "f"},
        {"o: make object! [f: 3] get in o 'f", "3"},
        {"f: func [x] [in :f 'x] f 1", "x"},
        // Natives, actions and ops over them: the context of their spec.
        {"in :if 'cond", "cond"},
        {"in :if 'missing", "none"},
        {"get in :if 'cond", "error script/not-in-context"},
        {"in :reduce /into", "into"},
        {"in :append 'series", "series"},
        {"in :+ 'value2", "value2"},
        {"in := 'value2", "value2"},
        {"(context? in :if 'then-blk) = :if", "true"},
        {"w: in :append 'value recycle w", "value"},
        {"o: make object! [a: 1] (context? in o 'a) = o", "true"},
        {"f: func [x] [context? 'x] (f 1) = :f", "true"},
        // A word bound to no context: context? has none, bind refuses it.
        {"context? loose", "none"},
        {"bind [a] loose", "error script/not-in-context"},
    });
}

TEST_F(WordNatives, Construct) {
    expect_cases({
        {"o: construct [a: 1 b: yes c: none] reduce [o/a o/b o/c]", "[1 true none]"},
        {"o: construct/only [b: yes] o/b", "yes"},
        {"p: make object! [a: 1 b: 2] o: construct/with [b: 3] p reduce [o/a o/b]", "[1 3]"},
        {"extend 1 []", "error script/expect-arg"},
    });
}

TEST_F(WordNatives, Apply) {
    expect_cases({
        {"apply :append [[1] 2]", "[1 2]"},
        {"apply 'append [[1] 2]", "[1 2]"},
        {"apply :append [[1] [2 3] /only true]", "[1 [2 3]]"},
        {"apply :append [[1] [2 3] /only false]", "[1 2 3]"},
        {"apply 'append/only [[1] [2]]", "[1 [2]]"},
        {"apply :append [[1] 1 + 1]", "[1 2]"},
        // /all: every argument and refinement in spec order, the rest
        // completed with none and false; an inactive refinement's argument
        // is taken and dropped.
        {"apply/all :append [[1] [2 3] false 99 true]", "[1 [2 3]]"},
        {"apply/all :append [[1] 2]", "[1 2]"},
        {"apply/all :append [[1] 2 3]", "error script/expect-arg"},
        // /safer: each argument is one value evaluated alone (a word gives
        // its value, a paren its result), never an expression running on;
        // refinement values too.
        {"x: 5 apply/safer :append [[1] x]", "[1 5]"},
        {"apply/safer :append [[1] 'x]", "[1 x]"},
        {"apply/safer :append [[1] (1 + 2)]", "[1 3]"},
        {"x: [2] apply/safer :append [[1] :x]", "[1 2]"},
        {"apply/safer :append [[1] 2 + 3]", "error script/bad-refine"},
        {"apply/safer :append [[1] negate 2]", "error script/no-arg"},
        {"apply/safer :append [[1] [2 3] /only false]", "[1 2 3]"},
        {"apply/safer :append [[1] [2 3] /only true]", "[1 [2 3]]"},
        {"x: true apply/safer :append [[1] [2 3] /only x]", "[1 [2 3]]"},
        {"apply/all/safer :append [[1] 2 #(false) (never-evaluated) #(true)]", "[1 2]"},
        {"apply/all/safer :append [[1] [2] false]", "[1 2]"},
        {"apply/all/safer :append [[1] [2] false none true]", "[1 [2]]"},
        {"apply/all/safer :append [[1] 2 3]", "error script/expect-arg"},
        {"f: func [a /r b] [reduce [a r b]] x: 5 apply/safer :f [x]", "[5 false none]"},
        {"f: func [a /r b] [reduce [a r b]] apply/safer :f [1 /r false 7]", "[1 false none]"},
        {"f: func [a /r b] [reduce [a r b]] x: 5 apply/safer :f [1 /r true x]", "[1 true 5]"},
        {"f: func [a /r b] [reduce [a r b]] x: 5 apply/safer/all :f [x (x > 1) x]", "[5 true 5]"},
        // Quoted and get-word arguments take the cell as they do without it.
        {"f: func ['a :b] [reduce [a :b]] x: 5 apply/safer :f [x x]", "[x x]"},
        {"f: func ['a] [a] x: [5] apply/safer :f [:x/1]", "5"},
        // An inactive refinement's argument is evaluated and dropped, or
        // with /safer skipped.
        {"x: 0 apply :append [[1] 2 /dup false (x: 1)] x", "1"},
        {"x: 0 apply/safer :append [[1] 2 /dup #(false) (x: 1)] x", "0"},
        {"f: func [a /b c] [either b [a + c] [a]] apply :f [1]", "1"},
        {"f: func [a /b c] [either b [a + c] [a]] apply :f [1 /b true 2]", "3"},
        {"f: func [a /b c] [either b [a + c] [a]] apply/all :f [1 true 5]", "6"},
        {"f: func [a /b c] [either b [a + c] [a]] apply 'f/b [1 5]", "6"},
        {"f: func [a /b c] [either b [a + c] [a]] apply :f [1 /c true 2]", "error script/no-refine"},
        {"f: func [a /b c] [either b [a + c] [a]] apply :f [1 /b true 2 /b true 3]", "error script/dup-refine"},
        {"f: func [a] [a] apply :f [1 2]", "1"},
        {"apply :append [[1]]", "[1 none]"},
        {"apply :+ [1 2]", "3"},
        {"v: 5 apply 'v []", "error script/invalid-arg"},
        {"apply :append [5 2]", "error script/expect-arg"},
        {"f: func [a] [return a + 1] apply :f [1]", "2"},
    });
}

}  // namespace
}  // namespace kel::test
