// Routine calls: routine! values whose code is a C++ function of the routine
// table. The interpreter fetches and type-checks the arguments like any
// call's; `exec` then checks each against its spec type block, converts it
// (logic! to 0 or 1, integer! to its 32-bit value, float! to its double,
// anything else to the address of its argument cell), calls the function
// with the arguments in declaration order and converts its result by the
// routine's result type id: none (-1 or 0) leaves the frame's first cell as
// the function set it, 4 makes a logic! (true for any value but 0), 11 an
// integer!, 12 a float!.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"

namespace kel::routines {

union Arg {
    int32_t integer;
    double number;
    Cell* cell;
};
union Result {
    int32_t integer;
    double number;
};
using Routine = Result (*)(const Arg* args, int32_t count);

inline constexpr int32_t TABLE_SIZE = 256;
inline constexpr int32_t MAX_ARGS = 16;

// Adds a function to the routine table and answers its index (1-based).
int32_t add(Routine fn);

// A routine of the runtime itself: its global word, its spec block's contents
// as Kel text (doc string, arguments and their type blocks), its result type
// id (-1: none, the function leaves its result in the frame's first cell)
// and its function.
struct Entry {
    const char* word;
    const char* spec;
    int32_t result_type;
    Routine fn;
};

// The file layer's routines (runtime/evaluator/routines-files.cpp):
// exists?, create-dir, get-current-dir, set-current-dir, write-stdout and
// read-stdin.
std::span<const Entry> file_routines();

// Pushes the routine! value made from the entry (its spec lexed from the
// text; a function already in the table keeps its index) and answers its
// cell on the argument stack. Needs the lexer and the type words.
Cell* push(const Entry& entry);
// The spec block of a routine's spec text, in out: the next unused block
// given for that text by `give_spec_blocks`, else the text lexed.
void spec_block(Cell* out, const char* text);
// Spec blocks made ahead (the boot image's): a block of pairs, a spec text
// (string!) and its block, a text given once per routine that uses it.
// Start-up then lexes no routine spec that the pairs hold.
void give_spec_blocks(const Cell& pairs);
// Sets the global word of each entry to a routine! made by `push`.
void make_words(std::span<const Entry> entries);

// Runs the routine whose frame is open with its arguments fetched.
void exec(const Cell& routine);

}  // namespace kel::routines
