// The Kel library as it is embedded in the executable: the entries of
// environment/library/boot-order in order. The build generates the table
// (tools/embed-library.cmake); nothing else writes it.
//
// An entry is Kel source to evaluate (`step` empty, `name` and `text` set),
// a start-up step done in C++ at that place (`step` set, no text), or a C++
// step given the values of a file as data (both set). `text` is UTF-8,
// `size` bytes long, followed by a NUL that `size` does not count.
#pragma once
#include <cstdint>

namespace kel::library {

struct Piece {
    const char* step;
    const char* name;
    const unsigned char* text;
    int64_t size;
};

extern const Piece pieces[];
extern const int piece_count;

}  // namespace kel::library
