// The lexer: UTF-8 text to values.
//
// A scan runs the table-driven state machine (lexer-tables.h) over the bytes
// of its input and hands each token to its handler pair, which checks it and,
// in load mode, builds its value on the lexer's value stack. Closing a block,
// paren, map or path turns its values into one series value.
//
// Modes: load (values are built), scan (tokens are checked, values are not
// built; the answer is the type of the last token) and prescan (only the
// structural tokens are looked at). In scan and prescan modes a syntax error
// only marks the type as error! and stops; in load mode it raises a syntax
// error (`invalid`, `missing`, `malconstruct`, `bad-char`) through `fire`.
//
// Positions are byte offsets from the start of the input. A scan's input may
// be the bytes of a binary! (re-read through its node after every handler
// and event, since loaders allocate and callbacks run code) or a buffer that
// never moves (the scratch area, a heap block, a caller's bytes).
//
// A tracing callback receives the events below; its answer may refuse what
// the event announces (see `event`). Callbacks run through the callback
// runner (`install_callback_runner`), by default the callback seam's
// `call_function` (runtime/evaluator/callbacks.h), which raises
// internal/not-done until the evaluator installs its runner.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"

namespace kel::lexer {

// Event bits, and the event mask of a callback.
namespace event {
inline constexpr uint32_t PRESCAN = 1;  // a token's end and kind are known
inline constexpr uint32_t SCAN = 2;  // a token was checked; false: it is not built
inline constexpr uint32_t LOAD = 4;  // a value was built; false: it is dropped
inline constexpr uint32_t OPEN = 8;  // a series opens; false: it is not opened
inline constexpr uint32_t CLOSE = 16;  // it closes; false: it is not closed
inline constexpr uint32_t ERROR = 32;  // a syntax error is about to be raised; false: skip the token
inline constexpr uint32_t ALL = 63;
}  // namespace event

// Figures of the lexer's memory.
inline constexpr int32_t VALUE_STACK_CELLS = 1000;  // first size of the value stack
inline constexpr int64_t SCRATCH_BYTES = 100000;  // scratch area for string input

struct Options {
    bool one = false;  // stop after the first complete value
    bool prescan = false;  // structural scanners only, no values
    bool scan = false;  // check tokens, build no values, answer the type
    bool wrap = false;  // with `one`, answer a block all the same
    const Cell* callback = nullptr;  // tracing function or routine (none: no tracing)
    const Cell* into = nullptr;  // block to append to instead of a new one
};

// What a scan answers besides its value.
struct Result {
    int32_t type = 0;  // type of the last token: 0 none, TYPE_ERROR on a quiet error
    int64_t consumed = 0;  // bytes (characters for a string! source) used
    int32_t values = 0;  // values built at the outermost level
};

// Scans `length` bytes at `utf8`, which must not move during the scan (not
// a series buffer). `source` is the value given to a callback as its input
// (none when null).
Result scan(Cell* out, const uint8_t* utf8, int64_t length, const Options& options, const Cell* source = nullptr);
// Scans `length` bytes of a binary! from its head (the buffer may move).
Result scan_binary(Cell* out, const Cell& binary, int64_t length, const Options& options);
// Scans a string from its head, `length` characters (-1: to its tail),
// converted to UTF-8 in the scratch area (or a heap block when it does not
// fit). `consumed` counts characters.
Result scan_string(Cell* out, const Cell& str, int32_t length, const Options& options);
// The number of scans (of any of the three forms) run in this process:
// start-up from the boot image runs none.
uint64_t runs();

// The callback runner: calls the callback with its five arguments (event
// word, input, type, line, token) in a function frame named
// `<lexer-callback>` and answers its value. It writes the input argument as
// the callback left it back into args[1]: a moved index moves the scan.
// Answers the runner it replaces; null puts the default back (the callback
// seam, which hands nothing back).
using CallbackRunner = Cell (*)(const Cell& callback, std::span<Cell> args);
CallbackRunner install_callback_runner(CallbackRunner runner);

// The event mask of a callback: the event words of the block that opens a
// function!'s body, else all events.
uint32_t event_mask_of(const Cell& callback);
// The word of an event bit (prescan ... error).
Cell event_word(uint32_t event);

// The type a callback is given for a structural token (one whose type is
// minus its handler pair number): the value at that position, counted from
// 1, of this fixed table, which the boot library also builds the block
// `system/lexer/exit-states` from. An entry is a word (word non-null) or a
// datatype. Positions past the table give none.
struct ExitState {
    const char* word;  // a word!, or null for the datatype below
    uint32_t type;
};
inline constexpr int32_t EXIT_STATE_COUNT = 34;
extern const ExitState exit_states[EXIT_STATE_COUNT];
Cell exit_state(int32_t position);

// Allocates the value stack and the scratch area, installs the collector's
// root step and fills the seams of the conversions that load from text.
void init();

}  // namespace kel::lexer

namespace kel::lexer {

// The refinements of `transcode`.
struct TranscodeOptions {
    bool next = false;  // /next: the value and the rest of the input
    bool one = false;  // /one: the first value alone
    bool prescan = false;  // /prescan: the type found, structure only
    bool scan = false;  // /scan: the type of the first token
    const Cell* part = nullptr;  // /part: an integer! length or a position in the source
    const Cell* into = nullptr;  // /into: a block to append to
    const Cell* trace = nullptr;  // /trace: the tracing callback
};

// The `transcode` native's front end over a string! or binary! source (from
// its index). A binary! that starts with the UTF-8 byte order mark is read
// without it. Results: with /prescan or /scan, none for an empty input or no
// token, else the datatype found (error! for a syntax error); with /next
// (unless /one is given without /scan) a block of the value (or the
// datatype) and the source advanced past what was read; with /one the value
// alone (an empty block when there is none); otherwise a block of all values,
// or the /into block. `part` of another series type raises
// script/not-same-type; a negative length counts as 0.
void transcode(Cell* out, const Cell& source, const TranscodeOptions& options);

}  // namespace kel::lexer
