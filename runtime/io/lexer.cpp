// Start-up of the lexer, its handler tables, string input through the scratch
// area, and the services it fills for the conversions that load from text.
#include "runtime/io/lexer.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer-state.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::lexer {

void init_value_stack();

// Handler pair k belongs to terminal state 65 + k.
Handler scanners[36] = {
    scan_eof,        scan_error,       scan_block_open, scan_block_close, scan_block_open, scan_paren_close,
    scan_brace_open, scan_brace_close, scan_map_open,   scan_path,        scan_construct,  scan_comment,
    scan_comma,      check_string,     scan_word,       scan_issue,       nullptr,         nullptr,
    nullptr,         nullptr,          nullptr,         nullptr,          nullptr,         nullptr,
    nullptr,         nullptr,          nullptr,         nullptr,          nullptr,         nullptr,
    nullptr,         nullptr,          nullptr,         nullptr,          nullptr,         nullptr,
};
Handler loaders[36] = {
    nullptr,    nullptr,     nullptr,     nullptr,      nullptr,         nullptr,
    nullptr,    nullptr,     nullptr,     nullptr,      nullptr,         nullptr,
    nullptr,    load_string, load_word,   load_word,    load_integer,    load_refinement,
    load_char,  load_file,   load_binary, load_percent, load_float,      load_float_special,
    load_tuple, load_date,   load_pair,   load_point,   load_time,       load_money,
    load_tag,   load_url,    load_email,  load_hex,     load_raw_string, load_ref,
};

const ExitState exit_states[EXIT_STATE_COUNT] = {
    {"eof", 0},
    {nullptr, TYPE_ERROR},
    {nullptr, TYPE_BLOCK},
    {nullptr, TYPE_BLOCK},
    {nullptr, TYPE_PAREN},
    {nullptr, TYPE_PAREN},
    {nullptr, TYPE_STRING},
    {nullptr, TYPE_STRING},
    {nullptr, TYPE_MAP},
    {nullptr, TYPE_PATH},
    {nullptr, TYPE_DATATYPE},
    {"comment", 0},
    {nullptr, TYPE_STRING},
    {nullptr, TYPE_WORD},
    {nullptr, TYPE_ISSUE},
    {nullptr, TYPE_INTEGER},
    {nullptr, TYPE_REFINEMENT},
    {nullptr, TYPE_CHAR},
    {nullptr, TYPE_FILE},
    {nullptr, TYPE_BINARY},
    {nullptr, TYPE_PERCENT},
    {nullptr, TYPE_FLOAT},
    {nullptr, TYPE_FLOAT},
    {nullptr, TYPE_TUPLE},
    {nullptr, TYPE_DATE},
    {nullptr, TYPE_PAIR},
    {nullptr, TYPE_TIME},
    {nullptr, TYPE_MONEY},
    {nullptr, TYPE_TAG},
    {nullptr, TYPE_URL},
    {nullptr, TYPE_EMAIL},
    {"hex", 0},
    {"rawstring", 0},
    {nullptr, TYPE_REF},
};

Cell exit_state(int32_t position) {
    if (position < 1 || position > EXIT_STATE_COUNT) return make_none();
    const ExitState& e = exit_states[position - 1];
    return e.word ? word::make_global(e.word) : datatype::make(e.type);
}

namespace {

// The scratch area for string input: a heap block that never moves, used in
// stack order by nested scans.
uint8_t* scratch = nullptr;
int64_t scratch_used = 0;

// Whether only blanks and comments follow in the text after `from`.
bool nothing_after(const uint8_t* text, int64_t length) {
    Options o;
    o.scan = true;
    Result r = scan(nullptr, text, length, o);
    return r.type == 0;
}

// The single value a string holds, or none.
void load_one(Cell* out, const Cell& text) {
    Cell value = make_none();
    Rooted keep(value);
    Options o;
    o.one = true;
    Cell copy = text;
    Cell* top = stack::top();
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Result r = scan_string(&value, copy, -1, o);
        Cell rest = copy;
        int32_t total = string::ks_length(rest);
        if (r.consumed < total) {
            // Only blanks may follow.
            Cell tail = copy;
            string::ks_skip(tail, int32_t(r.consumed));
            Options s;
            s.scan = true;
            Cell none = make_none();
            Result after = scan_string(&none, tail, -1, s);
            if (after.type != 0) value = make_none();
        }
        if (r.type == int32_t(TYPE_ERROR) || r.values != 1) value = make_none();
    });
    if (code != 0) {
        if (code != thrown::ERROR || error_in_flight().id < ErrorId::syntax_invalid ||
            error_in_flight().id > ErrorId::syntax_bad_char)
            system_throw(code);
        handled();
        // The error value fire left on the argument stack goes with it.
        stack::pop(uint32_t(stack::top() - top));
        value = make_none();
    }
    *out = value;
}

// The type of the first token of a spelling (scan mode, one token).
uint32_t scan_spelling(const uint8_t* utf8, uint32_t length) {
    // The spelling lives in a series buffer: copy it out first.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[length + 1]);
    std::memcpy(copy.get(), utf8, length);
    Options o;
    o.one = true;
    o.scan = true;
    Result r = scan(nullptr, copy.get(), length, o);
    if (r.consumed < int64_t(length) && !nothing_after(copy.get() + r.consumed, length - r.consumed)) return TYPE_ERROR;
    return uint32_t(r.type);
}

// A whole string loaded as source (`to block!` of a string).
void load_all(Cell* out, const Cell& text) {
    Cell value = make_none();
    Rooted keep(value);
    scan_string(&value, text, -1, Options{});
    *out = value;
}

}  // namespace

void init() {
    init_value_stack();
    if (!scratch) {
        scratch = static_cast<uint8_t*>(std::malloc(size_t(SCRATCH_BYTES)));
        if (!scratch) fire(ErrorId::internal_no_memory);
    }
    value_from_text::install(load_one);
    word::lexer_services().load_value = load_one;
    word::lexer_services().scan_spelling = scan_spelling;
    block::services().load_string = load_all;
    for (uint32_t e = 1; e <= event::ERROR; e <<= 1) event_word(e);
}

Result scan_string(Cell* out, const Cell& str, int32_t length, const Options& options) {
    Cell text = str;
    int32_t available = string::ks_length(text);
    if (length < 0 || length > available) length = available;
    uint32_t unit = string::buffer(text)->unit();
    int64_t need = int64_t(length) * (unit == 1 ? 2 : unit == 2 ? 3 : 4) + 1;
    std::unique_ptr<uint8_t[]> own;
    uint8_t* room;
    int64_t saved = scratch_used;
    if (scratch && need <= SCRATCH_BYTES - scratch_used) {
        room = scratch + scratch_used;
    } else {
        own.reset(new uint8_t[size_t(need)]);
        room = own.get();
    }
    int64_t bytes = length == 0 ? 0 : unicode::to_utf8_buffer(text, room, need, length, false);
    if (room != own.get()) scratch_used += bytes;
    struct Restore {
        int64_t& used;
        int64_t saved;
        ~Restore() { used = saved; }
    } restore{scratch_used, saved};
    Result r = scan(out, room, bytes, options, &text);
    // Characters consumed.
    int64_t chars = 0;
    for (int64_t i = 0; i < r.consumed && i < bytes; i++)
        if ((room[i] & 0xC0) != 0x80) chars++;
    r.consumed = chars;
    return r;
}

}  // namespace kel::lexer
