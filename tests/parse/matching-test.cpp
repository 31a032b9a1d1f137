// Matching, repetition, searching and control rules over string! (one-,
// two- and four-byte units), binary! and block! input: tables of (input,
// rule, expected result).
#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using Matching = Parse;

TEST_F(Matching, LiteralsAndSequences) {
    expect_truths({
        {"parse [] []", true},
        {"parse {a} []", false},
        {"parse {abc} [{a} {b} {c}]", true},
        {"parse {abc} [{ab} {c}]", true},
        {"parse {abc} [{ab}]", false},
        {"parse {abc} [#\"a\" #\"B\" {C}]", true},
        {"parse {abc} [skip skip skip]", true},
        {"parse {abc} [skip skip skip skip]", false},
        {"parse {} [{}]", true},
        {"parse {a} [{} {a} {}]", true},
        {"parse {aé€😀} [{a} #\"é\" #\"€\" #\"😀\"]", true},
        {"parse {€€x} [{€€} {x}]", true},
        {"parse {😀😀x} [{😀😀} {X}]", true},
        {"parse <a> [{a}]", true},
        {"parse {x<a>y} [{x} <a> {y}]", true},
        {"parse #{010203} [#{01} #{0203}]", true},
        {"parse #{010203} [#{01} #{03}]", false},
        {"parse #{616263} [{ab} #\"c\"]", true},
        {"parse [1 {a} x] [integer! string! word!]", true},
        {"parse [1 {a} x] [integer! integer! word!]", false},
        {"parse [1 {a} x] [quote 1 {A} 'x]", true},
        {"parse [a b] ['a 'b]", true},
        {"parse [a b] [quote a quote b]", true},
        {"parse [1 [2]] [quote 1 quote [2]]", true},
        {"parse [[2]] [[quote 2]]", false},  // a block is a sub-rule, not a literal
        {"parse [[2]] [into [quote 2]]", true},
    });
}

TEST_F(Matching, CaseSensitivity) {
    expect_truths({
        {"parse {aA} [some #\"a\"]", true},
        {"parse/case {aA} [some #\"a\"]", false},
        {"parse {ABC} [{abc}]", true},
        {"parse/case {ABC} [{abc}]", false},
        {"parse/case {ABC} [{ABC}]", true},
        {"parse [A] ['a]", true},
        {"parse/case [A] ['a]", false},
        {"parse {ÉÉ} [to {é} 2 #\"é\"]", true},
        {"w: false parse/case {A} [case w #\"a\"]", true},
        {"w: true parse {A} [case w #\"a\"]", false},
        {"w: true parse {aA} [case w #\"a\" #\"a\"]", true},  // the op comes back after the case rule
        {"parse #{41} [#\"a\"]", false},  // bytes compare exactly
    });
}

TEST_F(Matching, Repetition) {
    expect_truths({
        {"parse {aaa} [some {a}]", true},
        {"parse {aaa} [2 {a}]", false},
        {"parse {aaa} [2 3 {a}]", true},
        {"parse {aa} [3 {a}]", false},
        {"parse {aaaa} [2 3 {a}]", false},
        {"parse {} [any {a}]", true},
        {"parse {} [some {a}]", false},
        {"parse {abc} [0 {x} {abc}]", true},
        {"parse {abc} [0 0 {x} {abc}]", true},
        {"parse {abc} [0 1 {a} {bc}]", true},
        {"n: 2 parse {aaa} [1 n {a} {a}]", true},
        {"parse {ab} [opt {a} {b}]", true},
        {"parse {b} [opt {a} {b}]", true},
        {"parse {b} [any [opt {a}] {b}]", true},
        {"parse {aaab} [any #\"a\" {b}]", true},
        {"parse {aaab} [some [#\"a\"] #\"b\"]", true},
        {"parse {€€€} [3 #\"€\"]", true},
        {"parse {😀😀} [some {😀}]", true},
        {"parse #{010101} [some #{01}]", true},
        {"parse #{010101} [3 #\"^A\"]", true},
        {"parse [a a a] [some 'a]", true},
        {"parse [1 2 3] [some integer!]", true},
        {"parse [1 2 x] [some integer!]", false},
        {"parse {ab} [2 skip]", true},
        {"parse {abab} [2 [{a} {b}]]", true},
        {"parse {abab} [while [{a} {b}]]", true},
        {"n: 0 parse {aaa} [while [{a} (n: n + 1)]] n = 3", true},
        {"parse {aaab} [some [{a} | break] {b}]", true},
        {"parse {a} [any [reject] {a}]", true},
        {"parse {a} [some [reject]]", false},
        {"parse {a} [some [{a}] break]", true},
        {"parse {ab} [{a} break {b}]", false},  // rules left after break at the top level
    });
}

TEST_F(Matching, Charsets) {
    expect_truths({
        {"d: make bitset! {0123456789} parse {123} [some d]", true},
        {"d: make bitset! {0123456789} parse {12a} [some d]", false},
        {"d: make bitset! {0123456789} parse {12a} [some d skip]", true},
        {"d: make bitset! {abc} parse {€} [d]", false},
        {"d: make bitset! {€} parse {x€} [skip d]", true},
        {"d: make bitset! #{80} parse #{00} [d]", true},
        {"d: make bitset! {0123456789} parse {ab12} [to d 2 d]", true},
        {"d: make bitset! {0123456789} parse {ab12} [thru d d]", true},
        {"d: make bitset! {0123456789} parse {abc} [to d]", false},
    });
}

TEST_F(Matching, Searches) {
    expect_truths({
        {"parse {ab} [to {b} {b}]", true},
        {"parse {ab} [thru {b}]", true},
        {"parse {ab} [to {x}]", false},
        {"parse {abc} [to end]", true},
        {"parse {abc} [thru end]", true},
        {"parse {abcabd} [thru {abd}]", true},
        {"parse {aaab} [thru {aab}]", true},
        {"parse {abcABC} [thru {abc} {ABC}]", true},
        {"parse {xABc} [to {abC} {ABc}]", true},
        {"parse/case {xABc} [to {abC}]", false},
        {"parse {a€😀b} [thru {😀} {b}]", true},
        {"parse {a€😀b} [to #\"😀\" 2 skip]", true},
        {"parse {a<b>c} [thru <b> {c}]", true},
        {"parse #{00010203} [thru #{0102} #{03}]", true},
        {"parse #{00C3A9} [thru {é} end]", true},
        {"parse [1 2 x 3] [thru 'x quote 3]", true},
        {"parse [1 2 x 3] [to 'x 'x quote 3]", true},
        {"parse [1 2 x 3] [to 'y]", false},
        {"parse [1 2 x 3] [thru word! integer!]", true},
        {"parse {abc} [to [{c}] {c}]", true},
        {"parse {abc} [thru [{b} | {c}] {c}]", true},
        {"parse {abc} [to [end]]", true},
        {"parse {abc} [thru [{x}]]", false},
        {"parse {abc} [to {}]", false},
        {"parse {abc} [to {} {abc}]", true},
    });
}

TEST_F(Matching, LookAheadAndControl) {
    expect_truths({
        {"parse {ab} [ahead {a} {ab}]", true},    {"parse {ab} [ahead {b}]", false},
        {"parse {ab} [not {b} {ab}]", true},      {"parse {ab} [not {a} {ab}]", false},
        {"parse {ab} [{a} end]", false},          {"parse {ab} [{ab} end]", true},
        {"parse {ab} [none {ab}]", true},         {"parse {ab} [{ab} | fail]", true},
        {"parse {ab} [[fail] | {ab}]", true},     {"parse {ab} [opt fail {ab}]", true},
        {"parse {ab} [not fail {ab}]", true},     {"parse {ab} [if (true) {ab}]", true},
        {"parse {ab} [if (false) {ab}]", false},  {"parse {ab} [if (none) {ab} | {ab}]", true},
        {"x: {ab} parse {ab} [x]", true},         {"x: [{a} {b}] parse {ab} [x]", true},
        {"x: #\"a\" parse {aaa} [some x]", true}, {"parse {ab} [{a} | {b}]", false},
        {"parse {ab} [{x} | {y} | {ab}]", true},
    });
}

TEST_F(Matching, Into) {
    expect_truths({
        {"parse [[a b] c] [into ['a 'b] 'c]", true},
        {"parse [[a b]] [into ['a]]", false},
        {"parse [{ab}] [into [{a} {b}]]", true},
        {"parse [#{0102}] [into [#{01} #{02}]]", true},
        {"r: ['a] parse [[a] [a]] [2 into r]", true},
        {"parse [[[x]]] [into [into ['x]]]", true},
        {"parse [1] [into ['a]]", false},
        {"parse [] [into ['a]]", false},
    });
}

TEST_F(Matching, Part) {
    expect_truths({
        {"parse/part {abc} [{ab}] 2", true},
        {"parse/part {abc} [{ab} {c}] 2", false},
        {"parse/part {abc} [skip] 0", false},
        {"parse/part {} [skip] 0", true},
        {"parse/part {aaaa} [some {a}] 2", true},
        {"parse/part {aaaa} [some #\"a\"] 2", true},
        {"d: make bitset! {a} parse/part {aaaa} [some d] 2", true},
        {"parse/part {abc} [to end] 2", true},
        {"s: {abcd} parse/part s [{abc}] at s 4", true},
        {"s: {abcd} parse/part s [thru {c}] at s 3", false},
        {"parse/part [1 2 3] [2 integer!] 2", true},
        {"parse/part {abc} [{abc}] 2", true},  // a literal that starts before the limit may end past it
    });
}

TEST_F(Matching, Errors) {
    expect_errors({
        {"parse {abc} [-1 {a}]", ErrorId::script_out_of_range},
        {"parse {abc} [1 -2 {a}]", ErrorId::script_out_of_range},
        {"parse {abc} [2 1 {a}]", ErrorId::script_parse_rule},
        {"parse {abc} [2]", ErrorId::script_parse_rule},
        {"parse {abc} [1 2]", ErrorId::script_parse_rule},
        {"parse {1} [integer!]", ErrorId::script_parse_unsupported},
        {"parse {a} [into [skip]]", ErrorId::script_parse_block},
        {"parse [[a]] [into]", ErrorId::script_parse_end},
        {"parse [[a]] [into 'a]", ErrorId::script_parse_end},
        {"parse {a} [any]", ErrorId::script_parse_end},
        {"parse {a} [some]", ErrorId::script_parse_end},
        {"parse {a} [opt]", ErrorId::script_parse_end},
        {"parse {a} [to]", ErrorId::script_parse_end},
        {"parse {a} [thru]", ErrorId::script_parse_end},
        {"parse {a} [not]", ErrorId::script_parse_end},
        {"parse {a} [ahead]", ErrorId::script_parse_end},
        {"parse {a} [while]", ErrorId::script_parse_end},
        {"parse {a} [if]", ErrorId::script_parse_end},
        {"parse {a} [if {a}]", ErrorId::script_parse_end},
        {"parse {a} [quote]", ErrorId::script_parse_end},
        {"parse {a} [case]", ErrorId::script_parse_end},
        {"x: 'y parse {a} [x]", ErrorId::script_parse_rule},
        {"parse {a} [a/b]", ErrorId::script_parse_rule},
        {"parse {a} [undefined-rule-word]", ErrorId::script_parse_rule},
        {"parse/part {abc} [skip] [1]", ErrorId::script_invalid_refine_arg},
        {"parse/part {abc} [skip] {abc}", ErrorId::script_invalid_refine_arg},
    });
}

TEST_F(Matching, ErrorMessagesNameTheirArgument) {
    Cell arg;
    EXPECT_EQ(error_in("parse {abc} [-1 {a}]", &arg), id(ErrorId::script_out_of_range));
    EXPECT_EQ(cell_integer(arg), -1);
    EXPECT_EQ(error_in("parse {a} [some]", &arg), id(ErrorId::script_parse_end));
    EXPECT_EQ(type_of(arg), TYPE_WORD);
    EXPECT_EQ(symbol::resolve(word::symbol_of(arg)), symbol::resolve(symbol::make("some")));
    EXPECT_EQ(error_in("parse {a} [into [skip]]", &arg), id(ErrorId::script_parse_block));
    EXPECT_EQ(type_of(arg), TYPE_STRING);
}

}  // namespace
}  // namespace kel::test
