// What the eval fuzz target does with one input, shared with the test
// program that replays the committed corpus (tests/boot).
//
// The environment is built once, as a script finds it (boot library and
// insulation). The callables are every global word holding a native,
// action, op, function or routine, minus those that touch the outside world,
// end the process or wait (DENIED); the spec of each gives its argument
// count and its refinements with theirs. recycle is among them, as a
// statement; no code value of the pool calls it, since a loop body that
// collects at each of the iteration budget's turns takes seconds.
//
// The input's bytes spell a program of up to MAX_CALLS statements
// `vN: try [call]`: two bytes pick a callable, one byte its refinements,
// then one byte per argument picks a value from POOL, mostly one of a type
// the argument's spec accepts (empty, huge, negative,
// NaN and infinite numbers, empty and nested series, series with moved heads
// and past their tail, none and unset, words, objects, maps, binaries,
// bitsets, pairs, tuples, errors...), a result of an earlier statement, or a
// nested call. Ops are called infix. Some statements read or set a path
// into an earlier result instead (`v1/x`, `v0/2: 5`). The program is generated as text,
// loaded and evaluated; then the global words get back the values they had
// before it, so no input changes what the next one finds. A reproducer is
// committed as the program's text (a .kel file of the corpus), which keeps
// its meaning when the callables or the pool change; the test program runs
// it as text, the fuzz target reads it as bytes like any other seed.
//
// Each program runs twice, plain and traced, and the two runs must agree
// (fuzz/eval-oracle.h).
//
// The work per input is bounded: loop bodies by the iteration budget, parse
// by its step budget, the series memory by the page limit (a huge request
// raises internal/no-memory). Language errors are expected; a crash, a hang,
// a sanitizer report or a leak is a fault, and so is a throw of any other
// kind reaching the top.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "environment/boot/boot.h"
#include "fuzz/eval-oracle.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/natives-control.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/parse/parser.h"
#include "runtime/platform/process.h"

namespace kel::fuzz {

inline constexpr int MAX_CALLS = 12;
inline constexpr int RESULTS = 4;  // v0 .. v3
inline constexpr int MAX_NESTING = 2;  // calls as arguments of calls
inline constexpr int64_t EVAL_ITERATIONS = 20000;
inline constexpr int64_t EVAL_PARSE_STEPS = 20000;
inline constexpr uint64_t EVAL_PAGE_LIMIT = uint64_t(128) << 20;

// Words whose call reaches files, devices, the network, other processes, the
// environment or the console, waits or ends the process. recycle may run
// (a collection between any two calls finds what a call left unreachable);
// the collector switch it turns is put back after each input. The view's
// words are denied too: windows and the event loop reach the terminal, the
// requesters wait for the user, and a change to the global event functions
// would outlast the input.
inline const char* const DENIED[] = {
    "browse",
    "open",
    "create",
    "close",
    "delete",
    "modify",
    "query",
    "read",
    "rename",
    "update",
    "write",
    "call",
    "wait",
    "set-env",
    "quit",
    "quit-return",
    "halt",
    "q",
    "input",
    "ask",
    "input-stdin",
    "read-stdin",
    "write-stdout",
    "set-current-dir",
    "change-dir",
    "create-dir",
    "make-dir",
    "save",
    "do-file",
    "routine",
    "open?",
    "stats",
    "list-dir",
    "ls",
    "ll",
    "dir",
    "cd",
    "about",
    "view",
    "unview",
    "show",
    "do-events",
    "stop-events",
    "insert-event-func",
    "remove-event-func",
    "set-focus",
    "alert",
    "request-file",
    "request-dir",
    "request-color",
    "request-font",
};

// Kel expressions for argument values, each evaluated afresh where used.
inline const char* const POOL[] = {
    "0",
    "1",
    "-1",
    "2",
    "3",
    "7",
    "255",
    "256",
    "65536",
    "1000000",
    "2147483647",
    "-2147483648",
    "9223372036854775807",
    "-9223372036854775808",
    "0.0",
    "-0.0",
    "0.5",
    "-2.5",
    "1e308",
    "-1e308",
    "1e-320",
    "1.#NaN",
    "1.#INF",
    "-1.#INF",
    "50%",
    "(to percent! -1e300)",
    "#\"a\"",
    "#\"^@\"",
    "#\"é\"",
    "#\"^(1F600)\"",
    "#\"^(10FFFF)\"",
    "\"\"",
    "\"abc\"",
    "\"a b c\"",
    "\"é€😀\"",
    "\"ABCabc123\"",
    "\"1 + 2\"",
    "\"[a b]\"",
    "(append/dup copy \"\" \"xy\" 300)",
    "(next \"abc\")",
    "(tail \"abc\")",
    "(s: skip t: copy \"abcd\" 3 clear t s)",
    "#{}",
    "#{00FF7F80}",
    "#{C3A9F09F9880}",
    "(next #{0102})",
    "(s: skip t: copy #{01020304} 3 clear t s)",
    "[]",
    "[a b c]",
    "[1 2 3]",
    "[[] [[]]]",
    "[1 \"a\" b/c (d) #{00} 'e f: :g /h]",
    "[x: 1 y: 2]",
    "[a 1 b 2]",
    "(next [1 2 3])",
    "(tail [1 2])",
    "(s: skip t: copy [1 2 3 4] 3 clear t s)",
    "(append/dup copy [] [a 1] 200)",
    "(quote (1 + 2))",
    "(quote a/b/c)",
    "(quote a/b:)",
    "(quote :a/b)",
    "'a",
    "'append",
    "(quote a:)",
    "(quote :a)",
    "/part",
    "#abc",
    "%foo.txt",
    "%/no-such-dir/x.kel",
    "%\"\"",
    "http://example.invalid/a?b",
    "a@b",
    "<a href>",
    "@ref",
    "none",
    "true",
    "false",
    "()",
    "1x2",
    "0x0",
    "-2147483648x2147483647",
    "1.2.3",
    "0.0.0.0",
    "255.255.255.255.255.255.255.255.255.255.255.255",
    "12:30",
    "-0:00:01",
    "24:00:00.5",
    "(object [a: 1 b: \"x\"])",
    "(make object! [])",
    "(make map! [a 1 \"b\" 2])",
    "(make map! [])",
    "(make hash! [a 1 b 2])",
    "(make vector! [integer! 32 [1 2 3]])",
    "(make vector! [float! 64 2])",
    "(make bitset! \"abc\")",
    "(make bitset! 0)",
    "(complement make bitset! \"\")",
    "(make bitset! [1 - 300])",
    "(try [1 / 0])",
    "(make error! \"x\")",
    "integer!",
    "block!",
    "any-type!",
    "series!",
    "(make typeset! [])",
    ":append",
    ":+",
    ":print",
    "(func [a] [a])",
    "(does [1])",
    "(context [c: 3])",
    "string!",
    "binary!",
    "map!",
    "object!",
    "error!",
    "bitset!",
    "pair!",
    "tuple!",
    "time!",
    "char!",
    "float!",
    "percent!",
    "word!",
    "path!",
    "file!",
    "url!",
    "tag!",
    "hash!",
    "vector!",
    "typeset!",
    "logic!",
    "none!",
    "function!",
    "paren!",
    "issue!",
    "refinement!",
    "set-word!",
    "lit-word!",
    "email!",
    "ref!",
    "point2D!",
    "point3D!",
    "datatype!",
    "(as-point3D 1 2 3)",
    "(make point2D! [1.5 -2])",
    "(quote #(none))",
    "(reduce [1 none \"x\"])",
    "(make vector! [char! 8 3])",
    // Code for the loops, conditionals and function makers, some of it
    // changing the series a call works on.
    "[v0]",
    "[1 + 2]",
    "[break]",
    "[continue]",
    "[throw 1]",
    "[return 1]",
    "[exit]",
    "[clear v0]",
    "[take v0]",
    "[append v0 v1]",
    "[insert v0 v0]",
    "[remove v1]",
    "[v0: none]",
    "[clear v1 true]",
    "[a: 1]",
    "(func [a b] [clear v0 a < b])",
    "(func [a b] [true])",
    "(func [x] [append v0 x])",
    "[[1 2] [3 4]]",
    // Code that ends in an operator, parens made from blocks, and blocks
    // that hold themselves.
    "[1 +]",
    "[2.5 *]",
    "[v0 =]",
    "(to paren! [1 + 2])",
    "(to paren! [1 +])",
    "(to paren! [v0])",
    "(reduce [1 '+ to paren! [2]])",
    "(s: copy [1 2] s/1: s s)",
    "(s: copy [a] append/only s s s)",
    "(s: copy [1 2] append/only s to paren! s s)",
};
inline constexpr size_t POOL_SIZE = sizeof POOL / sizeof POOL[0];
static_assert(POOL_SIZE <= 0xE0, "argument bytes from 0xE0 pick results and nested calls");

// The datatypes an argument accepts (a typeset! cell, which refers to no
// series).
using Accepted = std::vector<Cell>;

struct Callable {
    std::string name;
    bool infix = false;
    Accepted args;
    std::vector<std::pair<std::string, Accepted>> refinements;
};

struct EvalDrive {
    std::vector<Callable> callables;
    std::vector<uint32_t> pool_types;  // the datatype of each pool value
    Cell* globals = nullptr;  // root cell: a block of the global values after start-up
};
inline EvalDrive& eval_drive() {
    static EvalDrive d;
    return d;
}

inline std::string word_text(const Cell& w) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(int32_t(w.data2), &n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

// The types of the argument whose word is at `at`: its type block when one
// follows, else every type but unset!.
inline Cell accepted_at(const Cell* at, const Cell* end) {
    Cell types = typeset::make_default();
    if (at + 1 < end && type_of(at[1]) == TYPE_BLOCK) {
        Cell block = at[1];
        Cell* top = stack::state.top;
        if (protect(catch_level::ERRORS, [&] { types = typeset::from_block(block); })) handled();
        stack::state.top = top;
    }
    return types;
}

// One callable from its word and spec block.
inline Callable callable_of(const Cell& word, const Cell& fn, const Cell& spec) {
    Callable c;
    c.name = word_text(word);
    c.infix = type_of(fn) == TYPE_OP;
    // The spec stays reachable through the listing block; its buffer is
    // read again after each type block is made into a typeset.
    for (int32_t i = int32_t(spec.data1);; ++i) {
        SeriesBuffer* b = memory::buffer_of(cell_node(spec));
        if (uint64_t(i) >= b->cell_count()) break;
        const Cell* at = b->cells() + i;
        const Cell* end = b->cells() + b->cell_count();
        uint32_t t = type_of(*at);
        if (t == TYPE_WORD || t == TYPE_LIT_WORD || t == TYPE_GET_WORD) {
            Cell types = accepted_at(at, end);
            if (c.refinements.empty())
                c.args.push_back(types);
            else
                c.refinements.back().second.push_back(types);
        } else if (t == TYPE_REFINEMENT) {
            std::string r = word_text(*at);
            if (r == "local" || r == "extern") break;
            c.refinements.push_back({r, {}});
        }
    }
    if (c.infix) c.args.resize(2, typeset::make_default());
    return c;
}

inline bool denied(const std::string& name) {
    if (name.empty() || name[0] == '_') return true;
    for (const char* d : DENIED)
        if (name == d) return true;
    return false;
}

// A copy of the global values as they are now, pushed as a block.
inline Cell* push_globals() {
    NodeId g = context::global();
    uint32_t count = context::word_count(g);
    Cell* copy = stack::push(make_none());
    *copy = Cell{TYPE_BLOCK, 0, memory::alloc_cells(count), 0};
    SeriesBuffer* saved = memory::buffer_of(cell_node(*copy));
    std::memcpy(saved->cells(), context::values_of(*context::cell_of(g)), count * sizeof(Cell));
    saved->tail = saved->offset + count * sizeof(Cell);
    return copy;
}

// Puts the global values of the copy back; words added since are unset.
inline void put_globals(const Cell& copy) {
    NodeId g = context::global();
    uint32_t now = context::word_count(g);
    SeriesBuffer* saved = memory::buffer_of(cell_node(copy));
    uint32_t count = uint32_t(saved->cell_count());
    Cell* values = context::values_of(*context::cell_of(g));
    std::memcpy(values, saved->cells(), count * sizeof(Cell));
    for (uint32_t i = count; i < now; i++) values[i] = Cell{TYPE_UNSET, 0, 0, 0};
}

// Puts the global values back as start-up left them.
inline void restore_globals() { put_globals(*eval_drive().globals); }

// Builds the environment and the list of callables; runs once.
inline void start_eval_drive() {
    EvalDrive& d = eval_drive();
    if (d.globals) return;
    boot::build();
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    const char* lister =
        "_fz: copy [] foreach w words-of system/words [if any-function? get/any w "
        "[append _fz w append/only _fz spec-of get w]] _fz";
    if (eval_text(lister) != 0) {
        std::fprintf(stderr, "eval drive: listing the callables failed\n");
        std::abort();
    }
    Cell list = stack::state.top[-1];
    Rooted keep(list);
    SeriesBuffer* b = memory::buffer_of(cell_node(list));
    for (uint64_t i = 0; i + 1 < b->cell_count(); i += 2) {
        b = memory::buffer_of(cell_node(list));
        Cell word = b->cells()[i];
        Cell spec = b->cells()[i + 1];
        if (type_of(spec) != TYPE_BLOCK) continue;
        std::string name = word_text(word);
        if (denied(name)) continue;
        Cell fn = *context::get(word);
        d.callables.push_back(callable_of(word, fn, spec));
    }
    // The datatype of each pool value.
    for (const char* v : POOL) {
        uint32_t type = TYPE_UNSET;
        if (eval_text(std::string("type? ") + v) == 0 && type_of(stack::state.top[-1]) == TYPE_DATATYPE)
            type = stack::state.top[-1].data1;
        handled();
        d.pool_types.push_back(type);
    }
    stack::state.top = top;
    stack::state.arguments = arguments;
    handled();
    // The global values as start-up left them.
    Cell* copy = push_globals();
    d.globals = roots::append(*copy);
    stack::state.top = top;
}

// Reads the input's bytes; zeros once they are used up.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool done() const { return at >= size; }
    uint8_t next() { return at < size ? data[at++] : 0; }
};

inline void append_call(std::string& out, ByteReader& in, int depth, int made);

// A byte below 0xA0 picks among the pool values of an accepted type (any
// pool value when none is), 0xA0-0xDF any pool value, 0xE0-0xEF the result
// of an earlier statement, 0xF0 and above a nested call.
inline void append_argument(std::string& out, ByteReader& in, int depth, int made, const Cell& accepted) {
    uint8_t b = in.next();
    out += ' ';
    if (b >= 0xF0 && depth < MAX_NESTING) {
        out += '(';
        append_call(out, in, depth + 1, made);
        out += ')';
    } else if (b >= 0xE0 && made > 0) {
        out += 'v';
        out += char('0' + (b % made));
    } else if (b < 0xA0) {
        const std::vector<uint32_t>& types = eval_drive().pool_types;
        size_t fitting = 0;
        for (uint32_t t : types) fitting += typeset::has(accepted, t);
        size_t pick = fitting ? b % fitting : SIZE_MAX;
        size_t chosen = b % POOL_SIZE;
        for (size_t i = 0; i < POOL_SIZE && pick != SIZE_MAX; i++)
            if (typeset::has(accepted, types[i]) && pick-- == 0) chosen = i;
        out += POOL[chosen];
    } else {
        out += POOL[b % POOL_SIZE];
    }
}

inline void append_call(std::string& out, ByteReader& in, int depth, int made) {
    const std::vector<Callable>& all = eval_drive().callables;
    uint32_t pick = (uint32_t(in.next()) << 8) | in.next();
    const Callable& c = all[pick % all.size()];
    if (c.infix) {
        append_argument(out, in, depth, made, c.args[0]);
        out += ' ';
        out += c.name;
        append_argument(out, in, depth, made, c.args[1]);
        return;
    }
    uint8_t refs = c.refinements.empty() ? 0 : in.next();
    out += c.name;
    std::vector<int> used;
    for (size_t r = 0; r < c.refinements.size() && r < 8; r++) {
        if (!(refs & (1u << r))) continue;
        out += '/';
        out += c.refinements[r].first;
        used.push_back(int(r));
    }
    for (const Cell& types : c.args) append_argument(out, in, depth, made, types);
    for (int r : used)
        for (const Cell& types : c.refinements[size_t(r)].second) append_argument(out, in, depth, made, types);
}

// Path selectors for reading and setting parts of earlier results.
inline const char* const SELECTORS[] = {
    "1",     "2",      "0",     "-1",     "2147483647", "-2147483648", "x",  "y",    "z",
    "a",     "b",      "hour",  "minute", "second",     "5",           "13", "size", "(v1)",
    "(1.5)", "(none)", "\"b\"", "#\"a\"", "(1x2)",      "type",        "id", "arg1", "c",
};
inline constexpr size_t SELECTOR_COUNT = sizeof SELECTORS / sizeof SELECTORS[0];

// The program the bytes spell. A statement's first byte from 0xF8 (once a
// result exists) reads or sets a path into an earlier result; any other
// starts a call.
inline std::string eval_program_of(const uint8_t* data, size_t size) {
    std::string out;
    ByteReader in{data, size};
    for (int made = 0; made < MAX_CALLS && !in.done(); made++) {
        int results = made < RESULTS ? made : RESULTS;
        out += 'v';
        out += char('0' + made % RESULTS);
        out += ": try [";
        if (in.data[in.at] >= 0xF8 && results > 0) {
            uint8_t how = in.next();
            uint8_t sel = in.next();
            out += 'v';
            out += char('0' + how % results);
            for (int depth = 0; depth <= (sel >> 7); depth++) {
                out += '/';
                out += SELECTORS[(sel + depth * 7) % SELECTOR_COUNT];
            }
            if (how & 4) {
                out += ':';
                append_argument(out, in, MAX_NESTING, results, typeset::make_default());
            }
        } else {
            append_call(out, in, 0, results);
        }
        out += "]\n";
    }
    return out;
}

// Runs one program twice, plain and under a tracer that does nothing (the
// oracle of fuzz/eval-oracle.h), each run from the globals, budgets and
// random seed the other had. Answers false when something other than a
// language error reached the top of either run, or when the two runs part.
// Without `oracle` only the plain run is made (a test about what the
// callables survive, not about the evaluator's shortcuts).
// The committed reproducers are program text (fuzz/corpus/eval/*.kel), so
// they keep their meaning when the callables or the pool change.
inline bool run_eval_text(const std::string& text, bool oracle = true) {
    start_eval_drive();
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    // Each run loads the text afresh (a run may change its code's literals)
    // and starts from the global values the program found.
    Cell found = *push_globals();
    stack::state.top = top;
    Rooted keep_found(found);
    int64_t old_steps = parser::set_step_budget(EVAL_PARSE_STEPS);
    int64_t old_iterations = natives::control::set_iteration_budget(EVAL_ITERATIONS);
    uint64_t old_limit = memory::set_page_limit(EVAL_PAGE_LIMIT);
    bool collecting = memory::collector_enabled();
    Outcome runs[2];
    for (bool traced : {false, true}) {
        if (traced && !oracle) break;
        Cell* code = stack::push(make_none());
        Outcome& run = runs[traced];
        if (protect(catch_level::ERRORS, [&] {
                lexer::scan(code, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()),
                            lexer::Options{});
            })) {
            handled();
            run.code = thrown::ERROR;
            run.error = int(error_in_flight().id);
            run.exhausted = error_in_flight().id == ErrorId::internal_no_memory;
            stack::state.top = code;
            continue;
        }
        natives::control::set_iteration_budget(EVAL_ITERATIONS);
        runs[traced] = run_block(*code, int32_t(code->data1), traced);
        memory::set_collector_enabled(collecting);
        put_globals(found);
        stack::state.top = code;
    }
    restore_globals();
    memory::set_page_limit(old_limit);
    natives::control::set_iteration_budget(old_iterations);
    parser::set_step_budget(old_steps);
    stack::state.top = top;
    stack::state.arguments = arguments;
    for (const Outcome& run : runs)
        if (run.code != 0 && run.code != thrown::ERROR) return false;
    if (!oracle || !compared(text)) return true;
    std::string parted = divergence(runs[0], runs[1]);
    if (parted.empty()) return true;
    std::fprintf(stderr, "plain and traced runs differ at %s\n", parted.c_str());
    return false;
}

// Kel code runs on a stack as large as the executable's, so that deep
// recursion meets the language's own depth limits (under the sanitizers too).
// A test may give a smaller one, to show that a walk is bounded.
inline bool drive_eval_text(const std::string& text, size_t stack_size = platform::KEL_STACK_SIZE, bool oracle = true) {
    struct Job {
        const std::string* text;
        bool oracle;
        bool clean;
    } job{&text, oracle, false};
    platform::run_on_stack(
        [](void* p) {
            auto* j = static_cast<Job*>(p);
            j->clean = run_eval_text(*j->text, j->oracle);
        },
        &job, stack_size);
    return job.clean;
}

// Runs the program the input's bytes spell.
inline bool drive_eval(const uint8_t* data, size_t size) {
    start_eval_drive();
    std::string text = eval_program_of(data, size);
    if (std::getenv("KEL_FUZZ_SHOW")) std::fprintf(stderr, "%s", text.c_str());
    return drive_eval_text(text);
}

}  // namespace kel::fuzz
