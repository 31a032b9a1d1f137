// What the json and csv fuzz targets do with one input, shared with the test
// program that replays their committed corpora (tests/codecs).
//
// The environment is built once, as a script finds it, and the Kel reference
// of the codecs (tests/scripts/codec-reference.inc: the library's contexts
// with their routines replaced by the Kel grammar, rules and writing
// functions) is loaded next to it. The input's bytes are decoded as UTF-8,
// an invalid byte becoming U+FFFD.
//
// json: the C++ reader's outcome (value, or error identity and text) must
// equal the reference's, except where the reference meets the parse stack's
// limit or cannot make a member name's word (to word! refuses or changes
// the text); every value read must come back equal (=) from load-json of
// to-json, to-json/pretty and to-json/ascii, unless it holds a float whose
// text does not read back as itself (non-finite ones, the largest).
//
// csv: the first byte picks the refinements and the settings (strict?,
// ignore-empty?), the second the delimiter, the third the quote character;
// the rest is the text. The outcome must equal the reference's; read with
// no refinement, aligned lines must come back from to-csv (same delimiter
// and quote) unless the last line is one empty value, or the delimiter is
// empty or holds a line end or the quote character.
//
// A mismatch answers false (the fuzz target aborts, the test fails);
// errors raised by the codecs are outcomes, not faults.
#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "tests/boot-library.h"

namespace kel::fuzz {

// The checks, in Kel. Each answers true, or false on a mismatch.
inline const char* const CODEC_CHECKS = R"kel(
odd-name?: func [v /local k] [
	case [
		block? :v [foreach k v [if odd-name? :k [return true]] false]
		map? :v [
			foreach k words-of v [
				if all [word? k not attempt [k == to word! form k]] [return true]
				if odd-name? select/case v k [return true]
			]
			false
		]
		true [false]
	]
]
loose-float?: func [v /local k] [
	case [
		float? :v [any [not v = v v > 1.7976931348623157e308 v < -1.7976931348623157e308 not attempt [(load form v) = v]]]
		block? :v [foreach k v [if loose-float? :k [return true]] false]
		map? :v [foreach k values-of v [if loose-float? :k [return true]] false]
		true [false]
	]
]
json-check: func [text /local got want v] [
	got: outcome [load-json text]
	want: outcome [ref-load-json text]
	if all [block? want 'error = first want 'parse-stack = third want] [return true]
	if all [block? want 'error = first want 'invalid-chars = third want] [return true]
	unless any [got == want odd-name? :got] [return false]
	if error? set/any 'v try [load-json text] [return true]
	if any [error? :v loose-float? :v] [return true]
	all [
		v = load-json to-json :v
		v = load-json to-json/pretty :v "  "
		v = load-json to-json/ascii :v
	]
]
csv-delimiters: reduce [#"," #";" #"^-" "--" "ab" #"|" "" #"^/" #"'" "," #"a"]
csv-quotes: [#"^"" #"'" #"x" #","]
csv-check: func [flags delimiter q text /local code got want v] [
	code: copy [load-csv]
	foreach [bit refinement] [1 header 2 as-columns 4 as-records 8 flat 16 trim] [
		if 0 < (flags and bit) [append code refinement]
	]
	code: reduce [to path! append code [with quote] text delimiter q]
	csv-ctx/strict?: 0 = (flags and 32)
	csv-ctx/ignore-empty?: 0 < (flags and 64)
	got: outcome code
	want: outcome [with-csv-rules code]
	csv-ctx/strict?: true
	csv-ctx/ignore-empty?: false
	unless got == want [return false]
	if any [
		0 < (flags and 127)
		all [string? delimiter empty? delimiter]
		find form delimiter make bitset! reduce [#"^/" #"^M" q]
	] [return true]
	v: load-csv/with/quote text delimiter q
	if any [not block? v empty? v] [return true]
	foreach line v [unless (length? line) = length? first v [return true]]
	if all [1 = length? last v empty? first last v] [return true]
	v == load-csv/with/quote to-csv/with/quote v delimiter q delimiter q
]
)kel";

struct CodecDrive {
    bool started = false;
    Cell* input_word = nullptr;
};

inline CodecDrive& codec_drive() {
    static CodecDrive d;
    return d;
}

// Evaluates Kel text; answers its value through `out` and the thrown code.
inline uint32_t codec_eval(const std::string& text, Cell* out) {
    return protect(catch_level::ROOT, [&] {
        Cell* code = stack::push(make_none());
        lexer::scan(code, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::Options{});
        if (uint32_t s = interpreter::eval(*code, false)) system_throw(s);
        *out = stack::state.top[-1];
    });
}

// Builds the environment and loads the reference and the checks, once.
inline void start_codec_drive(const std::string& source_dir) {
    CodecDrive& d = codec_drive();
    if (d.started) return;
    d.started = true;
    test::boot_library();
    std::ifstream in(source_dir + "/tests/scripts/codec-reference.inc");
    std::stringstream text;
    text << in.rdbuf();
    std::string reference = text.str();
    size_t body = reference.find("\n");  // the header line, which do would skip
    Cell* top = stack::state.top;
    Cell result = make_none();
    if (codec_eval(reference.substr(body) + CODEC_CHECKS, &result)) {
        std::fprintf(stderr, "the codec reference does not load\n");
        std::abort();
    }
    stack::state.top = top;
}

// The bytes as a string!: UTF-8, an invalid or cut sequence as U+FFFD.
inline Cell* push_decoded(const uint8_t* data, size_t size) {
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, int32_t(size) + 1);
    size_t i = 0;
    while (i < size) {
        uint8_t b = data[i];
        uint32_t cp = 0xFFFD;
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 1) {
            cp = b;
        } else if (n && i + n <= size) {
            uint32_t v = b & (0x7F >> n);
            bool ok = true;
            for (size_t k = 1; k < n; ++k) {
                ok = ok && (data[i + k] & 0xC0) == 0x80;
                v = v << 6 | (data[i + k] & 0x3F);
            }
            static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= least[n] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF))
                cp = v;
            else
                n = 1;
        } else {
            n = 1;
        }
        string::append_char(string::buffer(*s), cp);
        i += n;
    }
    return s;
}

// Sets the global word to the value and runs the Kel call; true when it
// answers true.
inline bool run_check(const char* word, const Cell& value, const std::string& call) {
    test::set_global(word, value);
    Cell result = make_none();
    uint32_t code = codec_eval(call, &result);
    if (code) {
        handled();
        return false;
    }
    return type_of(result) == TYPE_LOGIC && result.data1;
}

inline bool drive_json(const uint8_t* data, size_t size, const std::string& source_dir) {
    start_codec_drive(source_dir);
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    Cell* text = push_decoded(data, size);
    bool ok = run_check("fuzz-input", *text, "json-check fuzz-input");
    stack::state.top = top;
    stack::state.arguments = arguments;
    return ok;
}

inline bool drive_csv(const uint8_t* data, size_t size, const std::string& source_dir) {
    start_codec_drive(source_dir);
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    uint8_t flags = size > 0 ? data[0] : 0;
    uint8_t delimiter = size > 1 ? data[1] : 0;
    uint8_t quote = size > 2 ? data[2] : 0;
    size_t skip = size < 3 ? size : 3;
    Cell* text = push_decoded(data + skip, size - skip);
    std::string call = "csv-check " + std::to_string(flags) + " pick csv-delimiters " +
        std::to_string(1 + delimiter % 11) + " pick csv-quotes " + std::to_string(1 + quote % 4) + " fuzz-input";
    bool ok = run_check("fuzz-input", *text, call);
    stack::state.top = top;
    stack::state.arguments = arguments;
    return ok;
}

}  // namespace kel::fuzz
