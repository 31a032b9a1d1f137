// Position words, set, copy, collect, keep, insert, change and remove, and
// backtracking over input that the rules changed.
#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using Capture = Parse;

TEST_F(Capture, PositionWords) {
    expect_truths({
        {"parse {abc} [x: skip :x {abc}]", true},
        {"parse {abc} [skip x: 2 skip (y: index? x)] y = 2", true},
        {"parse [1 2 3] [x: to end :x 3 integer!]", true},
        {"parse {abc} [2 skip x: :x {c}]", true},
    });
    expect_errors({
        {"x: {abc} parse {abc} [:x]", ErrorId::script_parse_invalid_ref},
        {"x: 1 parse {abc} [:x]", ErrorId::script_parse_invalid_ref},
        {"x: [1] parse {abc} [:x]", ErrorId::script_parse_invalid_ref},
    });
}

TEST_F(Capture, SetAndCopy) {
    expect_truths({
        {"parse {abc} [copy w 2 skip {c}] w = {ab}", true},
        {"parse [1 2] [set v integer! integer!] v = 1", true},
        {"v: 0 parse {b} [set v opt {x} {b}] v = none", true},
        {"parse {abc} [set v skip 2 skip] v = #\"a\"", true},
        {"parse #{0102} [set v skip skip] v = 1", true},
        {"parse #{0102} [copy v 2 skip] v = #{0102}", true},
        {"parse [a b c] [copy v 2 word! word!] v = [a b]", true},
        {"v: 0 parse {abc} [copy v {x} | 3 skip] v = 0", true},
        {"parse {abc} [copy v to {c} skip] v = {ab}", true},
        {"parse {a€😀} [copy v thru #\"€\" skip] v = {a€}", true},
        {"parse {abc} [skip copy v [] 2 skip] v = {}", true},
    });
    expect_errors({
        {"parse {a} [copy]", ErrorId::script_parse_end},
        {"parse {a} [copy w]", ErrorId::script_parse_end},
        {"parse {a} [set {x} skip]", ErrorId::script_parse_end},
    });
}

TEST_F(Capture, Collect) {
    expect_truths({
        {"(parse {abc} [collect [some [keep skip]]]) = [#\"a\" #\"b\" #\"c\"]", true},
        {"(parse {abc} [collect [keep 2 skip]]) = [{ab}]", true},
        {"(parse {abc} [collect [keep pick 2 skip]]) = [#\"a\" #\"b\"]", true},
        {"all [parse {ab} [collect set w [keep skip] skip] (w = [#\"a\"])]", true},
        {"(parse [1 2 3] [collect [some [keep integer!]]]) = [1 2 3]", true},
        {"(parse #{0102} [collect [keep skip keep skip]]) = [1 2]", true},
        {"(parse {ab} [collect [keep (1 + 2) 2 skip]]) = [3]", true},
        {"(parse {ab} [collect [keep pick ([1 2]) 2 skip]]) = [1 2]", true},
        {"(parse {ab} [collect [keep ([1 2]) 2 skip]]) = [[1 2]]", true},
        {"(parse {abc} [collect [keep copy x 2 skip skip]]) = [{ab}]", true},
        {"(parse {ab} [collect [keep skip] collect [keep skip]]) = [#\"a\" [#\"b\"]]", true},
        {"(parse {ab} [collect [keep skip collect [keep skip]]]) = [#\"a\" [#\"b\"]]", true},
        {"all [b: [] parse {abc} [collect into b [some [keep skip]]] (b = [#\"a\" #\"b\" #\"c\"]) (index? b) = 1]",
         true},
        {"all [b: [x] parse {ab} [collect after b [some [keep skip]]] (b = [x #\"a\" #\"b\"])]", true},
        {"all [b: next [x y] parse {ab} [collect into b [some [keep skip]]] ((head b) = [x #\"a\" #\"b\" y]) (index? b) = 2]",
         true},
        {"all [s: {xy} parse {ab} [collect into s [some [keep skip]]] (s = {abxy})]", true},
        {"all [s: {x} parse {abc} [collect after s [keep 2 skip skip]] (s = {xab})]", true},
        {"all [s: {} parse {ab} [collect after s [collect [keep skip] skip]] (s = {a})]", true},
        {"all [s: {} parse {ab} [collect after s [keep pick ([#\"p\" #\"q\"]) 2 skip]] (s = {pq})]", true},
        {"all [s: #{} parse #{0102} [collect after s [keep 2 skip]] (s = #{0102})]", true},
        {"all [b: [] parse [1 2] [collect after b [keep 2 skip]] (b = [[1 2]])]", true},
    });
    expect_errors({
        {"parse {a} [keep skip]", ErrorId::script_parse_keep},
        {"s: {a} parse s [collect into s [keep skip]]", ErrorId::script_parse_into_bad},
        {"b: 1 parse {a} [collect into b [keep skip]]", ErrorId::script_parse_into_type},
        {"b: #{} parse {a} [collect into b [keep skip]]", ErrorId::script_parse_into_type},
        {"b: {} parse [a] [collect into b [keep skip]]", ErrorId::script_parse_into_type},
        {"parse {a} [collect]", ErrorId::script_parse_end},
        {"parse {a} [collect set]", ErrorId::script_parse_end},
        {"parse {a} [collect into 1 [skip]]", ErrorId::script_parse_end},
        {"parse {a} [collect [keep]]", ErrorId::script_parse_end},
    });
}

TEST_F(Capture, Modifying) {
    expect_truths({
        {"all [s: {ac} parse s [skip insert {b} {c}] (s = {abc})]", true},
        {"all [s: {ac} parse s [skip insert #\"b\" {c}] (s = {abc})]", true},
        {"all [s: {ac} x: {b} parse s [skip insert x {c}] (s = {abc})]", true},
        {"all [s: {ac} parse s [skip insert (1 + 1) {c}] (s = {a2c})]", true},
        {"all [s: {ac} parse s [p: skip insert p {-} {c}] (s = {-ac})]", true},
        {"all [b: [1 3] parse b [skip insert 2 quote 3] (b = [1 2 3])]", true},
        {"all [b: [1 3] parse b [skip insert only [2] quote 3] (b = [1 [2] 3])]", true},
        {"all [b: [1 3] parse b [skip insert [2] quote 3] (b = [1 2 3])]", true},
        {"all [s: #{0103} parse s [skip insert #{02} #{03}] (s = #{010203})]", true},
        {"all [s: {abc} parse s [skip change {b} {X} {c}] (s = {aXc})]", true},
        {"all [s: {abc} parse s [skip change {b} {XYZ} {c}] (s = {aXYZc})]", true},
        {"all [s: {abc} (parse s [skip opt change {z} {X} {bc}]) (s = {abc})]", true},
        {"all [s: {abc} parse s [p: 2 skip change p {X} {c}] (s = {Xc})]", true},
        {"all [b: [1 2 3] parse b [skip change integer! [a b] integer!] (b = [1 a b 3])]", true},
        {"all [b: [1 2 3] parse b [skip change only integer! [a b] integer!] (b = [1 [a b] 3])]", true},
        {"all [s: {abc} parse s [remove {a} {bc}] (s = {bc})]", true},
        {"all [s: {abc} parse s [remove 2 skip {c}] (s = {c})]", true},
        {"all [s: {abc} (parse s [opt remove {x} {abc}]) (s = {abc})]", true},
        {"all [s: {abc} parse s [p: 2 skip remove p {c}] (s = {c})]", true},
        {"all [s: {a1b2} d: make bitset! {12} parse s [some [remove d | skip]] (s = {ab})]", true},
        {"all [s: {aé€😀} parse s [skip change skip {E} 2 skip] (s = {aE€😀})]", true},
        {"all [s: #{00C3A9} parse s [skip remove {é}] (s = #{00})]", true},
    });
    expect_errors({
        {"parse {a} [insert]", ErrorId::script_parse_end},
        {"parse {a} [insert a/b]", ErrorId::script_parse_rule},
        {"parse {a} [p: insert p]", ErrorId::script_parse_rule},
        {"parse {a} [insert undefined-value-word]", ErrorId::script_no_value},
        {"parse {a} [remove a/b]", ErrorId::script_parse_rule},
        {"parse {a} [remove]", ErrorId::script_parse_end},
        {"parse {a} [change skip]", ErrorId::script_parse_end},
        {"parse {a} [p: change p]", ErrorId::script_parse_rule},
    });
}

TEST_F(Capture, BacktrackingRestoresTheInput) {
    expect_truths({
        {"parse {ab} [[{a} {c}] | [{a} {b}]]", true},
        {"parse {abc} [[{a} {b} {x}] | [{a} {b} {c}]]", true},
        {"parse [1 2 3] [[integer! word!] | [3 integer!]]", true},
        {"parse {aab} [some [{a} {a} {x} | {a}] {b}]", true},
        {"all [parse {abc} [[copy x 2 skip {x}] | 3 skip] (x = {ab})]", true},
        // A change made by a failed alternative stays; the position goes back.
        {"all [s: {ab} parse s [[skip change skip {X} {z}] | skip {X}] (s = {aX})]", true},
    });
}

}  // namespace
}  // namespace kel::test
