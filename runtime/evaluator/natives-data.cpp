#include "runtime/evaluator/natives-data.h"

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/checksum/adler32.h"
#include "runtime/checksum/crc32.h"
#include "runtime/checksum/digest.h"
#include "runtime/checksum/internet-checksum.h"
#include "runtime/checksum/methods.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/exits.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/compression.h"
#include "runtime/io/lexer.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/parse/parser.h"

namespace kel::natives::data {

namespace {

inline Cell* args() { return stack::state.arguments; }
inline bool used(const int32_t* r, int i) { return r[i] != -1; }

void result(const Cell& value) {
    Cell* a = args();
    a[0] = value;
    stack::state.top = a + 1;
}

// The input bytes of a string-like or binary! value from its index: a
// binary!'s own bytes (a view, good until the next allocation), or the
// UTF-8 form of a string kept in `scratch`.
std::span<const uint8_t> bytes_of(const Cell& value, std::vector<uint8_t>& scratch) {
    if (type_of(value) == TYPE_BINARY) {
        Cell v = value;
        int32_t n = binary::ks_length(v);
        return {binary::ks_head(v), size_t(n)};
    }
    scratch.resize(size_t(binary::measure(value, -1, false)));
    binary::write(scratch.data(), value, -1, false);
    return {scratch.data(), scratch.size()};
}

// A new binary! holding the bytes becomes the native's result.
void binary_result(std::span<const uint8_t> bytes) {
    Cell* made = binary::load_in(bytes.data(), bytes.size(), nullptr);
    result(*made);
}

// parse -------------------------------------------------------------------------

bool same_series(const Cell& a, const Cell& b) { return type_of(a) == type_of(b) && cell_node(a) == cell_node(b); }

uint32_t parse_native(bool, const int32_t* r) {
    Cell* a = args();
    parser::Request request;
    request.input = a[0];
    request.rules = a[1];
    request.case_sensitive = used(r, 0);
    if (used(r, 1)) {
        const Cell& part = a[r[1]];
        int64_t end;
        if (type_of(part) == TYPE_INTEGER) {
            end = int64_t(int32_t(request.input.data1)) + cell_integer(part);
        } else if (series::is_series_type(type_of(part)) && same_series(part, request.input)) {
            end = int32_t(part.data1);
        } else {
            fire(ErrorId::script_invalid_refine_arg, {words::refinement(words::Ref::part), part});
        }
        if (end <= 0) {
            // Nothing to parse: the answer is whether the input is empty.
            Cell input = request.input;
            result(logic::make_cell(series::length_in_units(input, true) <= 0));
            return 0;
        }
        request.part = end > INT32_MAX ? INT32_MAX : int32_t(end);
    }
    if (used(r, 2)) request.callback = &a[r[2]];
    Cell* out = stack::push(make_none());
    // A break, continue, return or exit Kel code in the rules sent goes on as
    // this call's status.
    uint32_t status = interpreter::catch_exits(interpreter::ALL_EXITS, [&] {
        parser::process(out, request);
        return 0u;
    });
    if (status) {
        stack::state.top = a + 1;
        return status;
    }
    result(*out);
    return 0;
}

// checksum ------------------------------------------------------------------------

Cell method_word(const Cell& method) {
    Cell w = method;
    w.header = TYPE_WORD;
    return w;
}

uint32_t checksum_native(bool, const int32_t* r) {
    Cell* a = args();
    Cell data = a[0];
    Cell method = a[1];
    uint32_t dt = type_of(data);
    if (dt == TYPE_FILE) {
        // A file is read whole as bytes first, through the file layer.
        Cell* bytes = stack::push(make_none());
        simple_io::read(bytes, data, nullptr, nullptr, true, false);
        data = a[0] = *bytes;
        dt = TYPE_BINARY;
    } else if (dt != TYPE_STRING && dt != TYPE_BINARY) {
        fire(ErrorId::script_invalid_arg, {data});
    }
    std::vector<uint8_t> scratch;
    std::optional<checksum::Method> m;
    if (word::is_any_word(type_of(method))) m = checksum::method_of(word::symbol_of(method));
    if (!m) fire(ErrorId::script_invalid_arg, {method});
    bool with = used(r, 0);
    bool plain = *m == checksum::Method::crc32 || *m == checksum::Method::tcp || *m == checksum::Method::adler32;
    if (with && plain) fire(ErrorId::script_invalid_refine_arg, {words::refinement(words::Ref::with), method});
    std::span<const uint8_t> bytes = bytes_of(data, scratch);
    switch (*m) {
    case checksum::Method::crc32:
        result(make_integer(int32_t(checksum::crc32(bytes))));
        return 0;
    case checksum::Method::tcp:
        result(make_integer(int32_t(checksum::internet_checksum(bytes))));
        return 0;
    case checksum::Method::adler32:
        result(make_integer(int32_t(checksum::adler32(bytes))));
        return 0;
    default:
        break;
    }
    std::optional<checksum::DigestValue> value;
    if (with) {
        Cell spec = a[r[0]];
        uint32_t st = type_of(spec);
        if (st == TYPE_INTEGER) fire(ErrorId::internal_not_done);  // the hash-table checksum is not built
        if (st != TYPE_BINARY && st != TYPE_STRING) fire(ErrorId::script_invalid_arg, {spec});
        if (*m == checksum::Method::hash)
            fire(ErrorId::script_invalid_refine_arg, {words::refinement(words::Ref::with), spec});
        std::vector<uint8_t> key_scratch;
        std::span<const uint8_t> key = bytes_of(spec, key_scratch);
        value = checksum::hmac(*checksum::digest_of(*m), bytes, key);
    } else {
        if (*m == checksum::Method::hash)
            fire(ErrorId::script_invalid_refine_arg, {words::refinement(words::Ref::with), method});
        value = checksum::digest(*checksum::digest_of(*m), bytes);
    }
    if (!value) fire(ErrorId::script_invalid_arg, {method_word(method)});
    binary_result(value->view());
    return 0;
}

// compress, decompress -----------------------------------------------------------

compression::Method compression_method(const Cell& method) {
    std::optional<compression::Method> m;
    if (word::is_any_word(type_of(method))) m = compression::method_of(word::symbol_of(method));
    if (!m) fire(ErrorId::script_invalid_arg, {method});
    return *m;
}

// The most output a coder may produce: the longest binary!, unless a test
// set a smaller cap (0 means that longest binary!).
uint64_t output_cap = 0;

uint64_t largest_output() { return output_cap ? output_cap : memory::largest_series(1); }

// Runs a coder over the bytes of the first argument into growing memory held
// to the longest binary!, so a stream that expands past it stops there and
// raises script/too-long without taking more memory; its output becomes the
// result, and any other failure raises script/invalid-data.
template <class Coder>
uint32_t code_result(Coder&& coder) {
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> in = bytes_of(args()[0], scratch);
    compression::GrowingSink sink{size_t(largest_output())};
    compression::Code code = coder(in, sink).code;
    if (code == compression::Code::too_small) fire(ErrorId::script_too_long);
    if (code != compression::Code::ok) fire(ErrorId::script_invalid_data);
    binary_result(sink.bytes());
    return 0;
}

uint32_t compress_native(bool, const int32_t* r) {
    Cell* a = args();
    compression::Method m = compression_method(a[1]);
    int level = compression::DEFAULT_LEVEL;
    if (used(r, 0)) {
        Cell lvl = a[r[0]];
        int32_t n = cell_integer(lvl);
        if (n < 1 || n > compression::max_level(m)) fire(ErrorId::script_out_of_range, {lvl});
        level = n;
    }
    return code_result([&](std::span<const uint8_t> in, compression::ByteSink& sink) {
        return compression::compress(m, in, level, sink);
    });
}

uint32_t decompress_native(bool, const int32_t* r) {
    Cell* a = args();
    compression::Method m = compression_method(a[1]);
    size_t size = 0;
    if (used(r, 0)) {
        Cell sz = a[r[0]];
        int32_t n = cell_integer(sz);
        if (n < 0) fire(ErrorId::script_out_of_range, {sz});
        size = size_t(n);
    }
    return code_result([&](std::span<const uint8_t> in, compression::ByteSink& sink) {
        return compression::decompress(m, in, size, sink);
    });
}

// transcode ------------------------------------------------------------------------

uint32_t transcode_native(bool, const int32_t* r) {
    Cell* a = args();
    Cell source = a[0];
    Rooted keep(source);
    lexer::TranscodeOptions o;
    o.next = used(r, 0);
    o.one = used(r, 1);
    o.prescan = used(r, 2);
    o.scan = used(r, 3);
    if (used(r, 4)) o.part = &a[r[4]];
    if (used(r, 5)) o.into = &a[r[5]];
    if (used(r, 6)) o.trace = &a[r[6]];
    Cell* out = stack::push(make_none());
    lexer::transcode(out, source, o);
    result(*out);
    return 0;
}

}  // namespace

uint64_t set_output_cap(uint64_t bytes) {
    uint64_t previous = output_cap;
    output_cap = bytes;
    return previous;
}

void register_natives(Entry* table) {
    table[PARSE] = {parse_native, "parse",
                    R"~("Process a series using dialected grammar rules"
                    input [binary! any-block! any-string!] rules [block!]
                    /case "Uses case-sensitive comparison"
                    /part "Limit to a length or position" length [number! series!]
                    /trace callback [function! [event [word!] match? [logic!] rule [block!] input [series!] stack [block!] return: [logic!]]]
                    return: [logic! block!])~"};
    table[CHECKSUM] = {checksum_native, "checksum",
                       R"~("Computes a checksum, CRC, hash, or HMAC"
                       data [binary! string! file!]
                       method [word!] "MD5 SHA1 SHA256 SHA384 SHA512 CRC32 TCP ADLER32 hash"
                       /with "Extra value for HMAC key or hash table size; not compatible with TCP/CRC32/ADLER32 methods"
                       spec [any-string! binary! integer!] "String or binary for MD5/SHA* HMAC key, integer for hash table size"
                       return: [integer! binary!])~"};
    table[COMPRESS] = {compress_native, "compress",
                       R"~("Compresses data"
                       data [any-string! binary!]
                       method [word!] "zlib deflate gzip zstd"
                       /level "Specify the compression level"
                       lvl [integer!] "1 (fastest) to 9 (smallest), 19 for ZSTD; default: 6, 3 for ZSTD"
                       return: [binary!])~"};
    table[DECOMPRESS] = {decompress_native, "decompress",
                         R"~("Decompresses data"
                         data [binary!]
                         method [word!] "zlib deflate gzip zstd"
                         /size "Specify an uncompressed data size (ignored for GZIP)"
                         sz [integer!] "Uncompressed data size; must not be negative"
                         return: [binary!])~"};
    table[TRANSCODE] = {transcode_native, "transcode",
                        R"~("Translates UTF-8 binary source to values. Returns one or several values in a block"
                        src [binary! string!] "UTF-8 input buffer; string argument will be UTF-8 encoded"
                        /next "Translate next complete value (blocks as single value)"
                        /one "Translate next complete value, returns the value only"
                        /prescan "Prescans only, do not load values. Returns guessed type."
                        /scan "Scans only, do not load values. Returns recognized type."
                        /part "Translates only part of the input buffer"
                        length [integer! binary!] "Length in bytes or tail position"
                        /into "Optionally provides an output block"
                        dst [block!]
                        /trace callback [function! [event [word!] input [binary! string!] type [word! datatype!] line [integer!] token return: [logic!]] routine! [event [word!] input [binary! string!] type [word! datatype!] line [integer!] token return: [logic!]]]
                        return: [block!])~"};
}

}  // namespace kel::natives::data
