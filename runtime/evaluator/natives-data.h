// The natives that run a data engine over a series: parse (the parse
// engine), checksum (CRCs, digests, HMAC), compress and decompress (the
// compression framing) and transcode (the lexer). Each prepares the input
// bytes or range, picks the method, calls the engine and shapes the result.
// checksum of a file! reads it whole as bytes through the file layer.
//
// parse answers the status of a break, continue, return or exit that Kel code
// in its rules sent (the interpreter passes it on); errors and throws pass
// through. Bytes go to the engines in place (a binary!'s buffer, which does
// not move while an engine that allocates no series memory runs, or the
// UTF-8 form of a string in heap memory); only results become new series.
#pragma once
#include <cstdint>

#include "runtime/evaluator/natives.h"

namespace kel::natives::data {

// compress and decompress hold their output to the longest binary!: output
// that would pass it raises script/too-long once it does, before more memory
// is taken. Test hook: a smaller cap in bytes (0 puts back the longest
// binary!); answers the cap it replaces.
uint64_t set_output_cap(uint64_t bytes);

// Stores the natives at their indexes of the table, with their specs.
void register_natives(Entry* table);

}  // namespace kel::natives::data
