// What the lexer fuzz target does with one input, shared with the lexer test
// program, which replays the committed corpus through it.
//
// The input is loaded, scanned and prescanned, then loaded once more with a
// C++ callback that refuses some events and moves the position (forward, and
// back once per scan). A plain load must give what a load with a callback
// that accepts everything gives. Syntax errors (and the few errors of
// literals whose datatypes decide, listed in run_mode) are expected;
// anything else that escapes (another language error, a crash, a hang, a
// sanitizer report) is a fault.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::fuzz {

struct DriveState {
    uint64_t seed = 0;
    uint32_t events = 0;
    bool moved_back = false;
};
inline thread_local DriveState drive;

// Refuses about one event in five (chosen by the input's bytes) and moves
// the input index on every seventh event.
inline Cell refusing_callback(const Cell&, std::span<Cell> args) {
    drive.events++;
    drive.seed = drive.seed * 6364136223846793005ull + 1442695040888963407ull;
    if (drive.events % 7 == 0 && type_of(args[1]) != TYPE_NONE) {
        if (!drive.moved_back && (drive.seed >> 60) == 0) {
            drive.moved_back = true;
            args[1].data1 -= 3;
        } else {
            args[1].data1 += uint32_t((drive.seed >> 33) % 3);
        }
    }
    bool ok = ((drive.seed >> 40) % 5) != 0;
    return Cell{TYPE_LOGIC, ok ? 1u : 0u, 0, 0};
}

// Runs one mode; answers false when something other than a syntax error
// escaped.
inline bool run_mode(const uint8_t* data, size_t size, const lexer::Options& o, const Cell* source) {
    Cell* top = stack::top();
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell out = make_none();
        Rooted keep(out);
        if (source && type_of(*source) == TYPE_BINARY)
            lexer::scan_binary(&out, *source, -1, o);
        else
            lexer::scan(&out, data, int64_t(size), o);
    });
    if (code == 0) return true;
    handled();
    stack::pop(uint32_t(stack::top() - top));  // the error value fire pushed
    if (code != thrown::ERROR) return false;
    // Syntax errors, the values whose datatypes come later (maps, points,
    // dates, money), and file! and url! literals whose escapes decode to no
    // UTF-8 (the url! module's decoder raises access/invalid-utf8).
    return (error_in_flight().id >= ErrorId::syntax_invalid && error_in_flight().id <= ErrorId::syntax_bad_char) ||
        error_in_flight().id == ErrorId::internal_not_done || error_in_flight().id == ErrorId::access_invalid_utf8;
}

// Whether two loaded values are the same: equal cells, and series of equal
// content (their nodes differ). Allocates nothing.
inline bool same_value(const Cell& a, const Cell& b) {
    if (a.header != b.header) return false;
    switch (type_of(a)) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_LIT_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH:
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
    case TYPE_BINARY:
    case TYPE_MAP:
    case TYPE_HASH: {
        if (a.data1 != b.data1) return false;
        SeriesBuffer* x = memory::buffer_of(cell_node(a));
        SeriesBuffer* y = memory::buffer_of(cell_node(b));
        if (x->unit() != y->unit() || x->used() != y->used()) return false;
        if (x->unit() != sizeof(Cell))
            return x->used() == 0 || std::memcmp(x->head_ptr(), y->head_ptr(), x->used()) == 0;
        for (uint64_t i = 0; i < x->cell_count(); i++)
            if (!same_value(x->cells()[i], y->cells()[i])) return false;
        return true;
    }
    default:
        return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
    }
}

inline Cell accepting_callback(const Cell&, std::span<Cell>) { return Cell{TYPE_LOGIC, 1, 0, 0}; }

// What a load of the input gave: its value, or its error and arguments.
struct Loaded {
    Cell cells[4] = {};  // the value, or the error's arguments
    int error = -1;
    int argc = 0;
};

inline void load_into(Loaded& r, const uint8_t* data, size_t size, const lexer::Options& o) {
    Cell* top = stack::top();
    uint32_t code = protect(catch_level::ERRORS, [&] { lexer::scan(&r.cells[0], data, int64_t(size), o); });
    if (code == 0) return;
    handled();
    stack::pop(uint32_t(stack::top() - top));
    r.error = int(error_in_flight().id);
    r.argc = error_in_flight().argc;
    for (int i = 0; i < r.argc && i < 3; i++) r.cells[1 + i] = error_in_flight().args[i];
}

// A load without a callback takes quicker paths for the common tokens; with
// a callback that accepts every event each token goes through its scanner
// and loader. Both give the same values, new-line markers and errors.
inline bool loads_as_traced(const uint8_t* data, size_t size) {
    Loaded plain, traced;
    Rooted p0(plain.cells[0]), p1(plain.cells[1]), p2(plain.cells[2]), p3(plain.cells[3]);
    Rooted t0(traced.cells[0]), t1(traced.cells[1]), t2(traced.cells[2]), t3(traced.cells[3]);
    load_into(plain, data, size, lexer::Options{});
    lexer::CallbackRunner previous = lexer::install_callback_runner(accepting_callback);
    Cell any = make_integer(1);
    lexer::Options o;
    o.callback = &any;
    load_into(traced, data, size, o);
    lexer::install_callback_runner(previous);
    if (plain.error != traced.error || plain.argc != traced.argc) return false;
    for (int i = 0; i < 4; i++)
        if (!same_value(plain.cells[i], traced.cells[i])) return false;
    return true;
}

// One input through every mode. Answers false on an unexpected error.
inline bool drive_input(const uint8_t* data, size_t size) {
    lexer::Options load, scan, prescan;
    scan.scan = true;
    prescan.prescan = true;
    bool ok = run_mode(data, size, load, nullptr) && run_mode(data, size, scan, nullptr) &&
        run_mode(data, size, prescan, nullptr) && loads_as_traced(data, size);
    // With the callback, on a binary! source (its buffer may move).
    NodeId node = memory::alloc_bytes(size);
    SeriesBuffer* b = memory::buffer_of(node);
    if (size) std::memcpy(b->data() + b->offset, data, size);
    b->tail = b->offset + size;
    Cell bin{TYPE_BINARY, 0, node, 0};
    Rooted keep(bin);
    drive = DriveState{};
    for (size_t i = 0; i < size && i < 8; i++) drive.seed = drive.seed * 31 + data[i];
    lexer::CallbackRunner previous = lexer::install_callback_runner(refusing_callback);
    Cell any = make_integer(1);
    lexer::Options traced;
    traced.callback = &any;
    ok = run_mode(data, size, traced, &bin) && ok;
    lexer::Options traced_one = traced;
    traced_one.one = true;
    ok = run_mode(data, size, traced_one, &bin) && ok;
    lexer::install_callback_runner(previous);
    return ok;
}

}  // namespace kel::fuzz
