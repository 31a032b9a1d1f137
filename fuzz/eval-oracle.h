// The differential oracle of the evaluator's shortcuts: a program run plain
// and run again under a tracer that does nothing must give the same values
// and errors. Shared by the eval fuzz target (fuzz/eval-drive.h) and the
// evaluator's tests.
//
// The untraced evaluator takes shortcuts: an expression that needs no call
// is taken whole (take_inline, fast_assignment), a call met through a word
// fetches its arguments in one straight loop (call_plain, plain_call), and
// `if` and `either` run a literal branch in place (plain_conditional). While
// a traced evaluation is under way every expression goes through the general
// path (the traced expression, eval_call), so the traced run is the
// reference for the plain one. Library functions run untraced in both runs
// (their bodies send no events), so the shortcuts inside them are compared
// only through what they answer to the program.
//
// A run evaluates the program's block one top-level expression at a time and
// notes each value: an error! value by its type and id, anything else molded
// with /all (flat, bounded). How the run ended (normally, an escaping error
// by its id, or another thrown code) is compared too. Not compared:
// - an error value's near, where and stack fields: the stack text an error
//   carries is not a result of the program, and the ids say which error
//   happened;
// - what the program prints (the fuzz target sends it nowhere; a test that
//   wants it compares it itself);
// - programs that use the words of UNCOMPARED, whose results differ from one
//   run to the next or between a traced and a plain run;
// - runs that met internal/no-memory under the fuzz target's page limit: the
//   memory a run finds depends on the garbage the run before it left.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/evaluator/trace.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/random.h"
#include "runtime/numbers/twister.h"
#include "runtime/text/unicode.h"

namespace kel::fuzz {

// Words whose results differ between two runs of one program: the clock
// and what times code with it (dt, time-it, clock, profile), the memory in
// use (recycle answers it), secure random draws, the serial number of an
// object's class (each run makes new ones), whether the last
// output ended a line (the runs print in turn), the spec and body blocks of
// a callable (answered shared, so a change the first run makes is what the
// second finds), and what tells a traced run from a plain one (tracing?; a
// do/trace, debug or profile inside a traced run runs under the outer
// tracer, so its own tracer is never called: in a plain run the debugger's
// Kel code runs at every event and spends the loop budget).
inline const char* const UNCOMPARED[] = {"now",     "dt",      "time-it",  "clock",    "profile",
                                         "recycle", "secure",  "class-of", "last-lf?", "spec-of",
                                         "body-of", "reflect", "trace",    "tracing?", "debug"};

// A program is compared unless its text holds one of the UNCOMPARED words.
inline bool compared(const std::string& text) {
    for (const char* w : UNCOMPARED)
        if (text.find(w) != std::string::npos) return false;
    return true;
}

// How one run went.
struct Outcome {
    std::vector<std::string> notes;  // per top-level expression evaluated
    uint32_t code = 0;  // the thrown code that ended it, 0 when none
    int error = -1;  // the id of the error that ended it
    bool exhausted = false;  // internal/no-memory was raised
};

// The UTF-8 text of a string from its head.
inline std::string utf8_of(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::string out;
    uint32_t unit = b->unit();
    for (uint64_t i = uint64_t(int32_t(s.data1) < 0 ? 0 : s.data1); i < b->used() / unit; ++i) {
        uint8_t bytes[4];
        int32_t n = unicode::encode_utf8_char(unicode::get_unit(b->head_ptr(), unit, i), bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return out;
}

// The note of one value: an error by its type and id, anything else its
// mold (/all /flat, at most 4000 code points); a mold that raises is noted
// by that error's id.
inline std::string note_of(const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    if (type_of(v) == TYPE_ERROR) return "error " + std::to_string(int(error::id_of(v)));
    Cell* top = stack::state.top;
    std::string note;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* text = stack::push(make_none());
        string::ks_make_at(*text, 64);
        MoldOptions o;
        o.all = o.flat = o.part = true;
        o.limit = 4000;
        actions::mold(v, *text, o);
        note = utf8_of(*text);
    });
    if (code) {
        handled();
        note = "mold raised " + std::to_string(int(error_in_flight().id));
    }
    stack::state.top = top;
    return note;
}

// Loads and evaluates the text at the top of the stack; answers the thrown
// code (0 when it ended normally). The result is the stack's last value.
inline uint32_t eval_text(const std::string& text) {
    return protect(catch_level::ROOT, [&] {
        Cell* code_block = stack::push(make_none());
        lexer::scan(code_block, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::Options{});
        if (uint32_t s = interpreter::eval(*code_block, false)) system_throw(s);
    });
}

// The tracer of a traced run: its body opens with an empty block, so it
// asks for no event and is never called; installed, it makes the evaluation
// a traced one.
inline Cell& quiet_tracer() {
    static Cell* tracer = nullptr;
    if (!tracer) {
        tracer = roots::append(make_unset());
        Cell* top = stack::state.top;
        if (eval_text("func [event code offset value ref frame] [[]]")) internal_fault();
        *tracer = *(stack::state.top - 1);
        stack::state.top = top;
    }
    return *tracer;
}

// Evaluates the block from `from` one top-level expression at a time, each
// with the current-block cell at it as a block evaluation sets it; with
// `traced` under the quiet tracer. The random generator starts from its
// default seed, so both runs draw the same numbers. The stacks come back as
// they were.
inline Outcome run_block(const Cell& block, int32_t from, bool traced) {
    Outcome out;
    Cell code_block = block;
    Rooted keep(code_block);
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    uint32_t frames = stack::calls.top;
    Cell current = interpreter::state.current_block;
    Rooted keep_current(current);
    random::seed(random::Twister::DEFAULT_SEED);
    if (traced) {
        interpreter::state.tracer_locals = 0;
        interpreter::trace::install(quiet_tracer());
    }
    out.code = protect(catch_level::ROOT, [&] {
        for (int32_t i = from; i < interpreter::code_tail(cell_node(code_block));) {
            Cell* before = stack::state.top;
            interpreter::state.current_block = code_block;
            interpreter::state.current_block.data1 = uint32_t(i);
            if (uint32_t s = interpreter::eval_expression(code_block, i, false, false)) system_throw(s);
            const Cell& value = *(stack::state.top - 1);
            if (type_of(value) == TYPE_ERROR && error::id_of(value) == ErrorId::internal_no_memory)
                out.exhausted = true;
            out.notes.push_back(note_of(value));
            stack::state.top = before;
        }
    });
    if (out.code) {
        if (out.code == thrown::ERROR) out.error = int(error_in_flight().id);
        if (out.error == int(ErrorId::internal_no_memory)) out.exhausted = true;
        handled();
    }
    if (traced) interpreter::trace::finish();
    interpreter::state.current_block = current;
    stack::state.top = top;
    stack::state.arguments = arguments;
    if (stack::calls.top > frames) stack::drop_frames(frames);
    return out;
}

// Where two runs part: empty when they agree, else the first difference.
// Without `values` only the number of expressions and the end are compared.
inline std::string divergence(const Outcome& plain, const Outcome& traced, bool values = true) {
    if (plain.exhausted || traced.exhausted) return {};
    size_t n = plain.notes.size() < traced.notes.size() ? plain.notes.size() : traced.notes.size();
    for (size_t i = 0; i < n && values; ++i)
        if (plain.notes[i] != traced.notes[i])
            return "expression " + std::to_string(i + 1) + ": plain " + plain.notes[i] + ", traced " + traced.notes[i];
    if (plain.notes.size() != traced.notes.size() || plain.code != traced.code || plain.error != traced.error)
        return "the end: plain after " + std::to_string(plain.notes.size()) + " expressions (code " +
            std::to_string(plain.code) + ", error " + std::to_string(plain.error) + "), traced after " +
            std::to_string(traced.notes.size()) + " (code " + std::to_string(traced.code) + ", error " +
            std::to_string(traced.error) + ")";
    return {};
}

}  // namespace kel::fuzz
