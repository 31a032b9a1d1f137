// The same rules over strings of one-, two- and four-byte units (the
// character c stands for a, € or 😀 in turn), and datatype rules on binary!
// input through the lexer's scan.
#include <string>

#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using Widths = Parse;

std::string with_char(const char* code, const char* c) {
    std::string out;
    for (const char* p = code; *p; ++p) {
        if (*p == '@')
            out += c;
        else
            out += *p;
    }
    return out;
}

TEST_F(Widths, EveryKeywordOverEachUnitWidth) {
    const char* cases[] = {
        "parse {x@@y} [skip 2 #\"@\" {y}]",
        "parse {x@@y} [{x} some {@} {y}]",
        "parse {x@@y} [thru {@@} {y}]",
        "parse {x@@y} [to #\"@\" 2 skip {y}]",
        "parse {x@@y} [thru #\"y\" end]",
        "parse {x@@y} [to end]",
        "parse {x@@y} [{x} any [#\"@\"] {y}]",
        "parse {x@@y} [{x} opt {z} while [{@}] {y}]",
        "parse {x@@y} [{x} ahead {@} not {y} 2 skip {y}]",
        "parse {x@@y} [[{x} {z}] | [{x} {@@} {y}]]",
        "parse {x@@y} [{x} 1 3 {@} {y}]",
        "all [parse {x@@y} [copy v thru {@@} {y}] v = {x@@}]",
        "all [parse {x@@y} [skip set v skip 2 skip] v = #\"@\"]",
        "all [s: {x@y} parse s [skip insert {@} 2 skip] s = {x@@y}]",
        "all [s: {x@@y} parse s [skip change {@@} {Z} {y}] s = {xZy}]",
        "all [s: {x@@y} parse s [skip remove 2 skip {y}] s = {xy}]",
        "all [s: {x@Zy} parse s [skip change skip {@} skip remove skip] s = {x@Z}]",
        "(parse {x@@y} [collect [skip keep 2 skip skip]]) = [{@@}]",
        "(parse {x@@y} [collect [skip keep pick 2 skip skip]]) = [#\"@\" #\"@\"]",
        "all [s: {} parse {x@@y} [collect after s [skip keep 2 skip skip]] s = {@@}]",
        "d: make bitset! {@} parse {x@@y} [skip some d {y}]",
        "parse/part {x@@y} [{x} some {@}] 3",
        "parse/case {x@@y} [{x} {@@} {y}]",
    };
    for (const char* c : {"a", "€", "😀"}) {
        for (const char* code : cases) {
            std::string text = with_char(code, c);
            Cell v = eval_text(text.c_str());
            EXPECT_TRUE(type_of(v) == TYPE_LOGIC && v.data1) << text;
        }
    }
}

TEST_F(Widths, DatatypesOnBinaryInput) {
    expect_truths({
        {"parse #{313233} [integer!]", true},
        {"parse #{3132332061} [integer! skip word!]", true},
        {"parse #{7B617D} [string!]", true},
        {"parse #{313233} [word!]", false},
        {"t: make typeset! [integer! float!] parse #{312E35} [t]", true},
        {"parse #{} [opt integer!]", true},
    });
}

}  // namespace
}  // namespace kel::test
