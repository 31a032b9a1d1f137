// Input decoding: the bytes of standard input become backend actions —
// character and special keys, mouse buttons, pointer motion, the wheel and
// the answers to cursor-position requests.
//
// Bytes are read once per frame into a queue and the queue is decoded once
// per frame. An item's bytes leave the queue before its action is
// dispatched, and the queue is read again after every dispatch, so an
// action whose handler runs a nested loop (which clears the queue and
// decodes new input itself) leaves the outer decoding with nothing stale.
//
// Sequences: CSI keys (the arrows, Home, End, Insert, Delete, Page Up and
// Down, F1-F12, Shift-Tab; modifier parameters are ignored), SS3 keys (ESC
// O), SGR mouse reports (ESC [ < b ; x ; y M/m), legacy mouse reports (ESC
// [ M and three bytes) and cursor-position answers (ESC [ row ; col R).
// ESC ESC is the key 27; ESC before any other byte is dropped and the byte
// decodes as itself; a lone ESC at the end of the queue waits one frame,
// then is the key 27. DCS and OSC strings are skipped up to ESC \ (an OSC
// also up to BEL); one longer than 4,096 bytes is dropped. CSI parameters
// stop at 9,999. A byte that cannot start or continue UTF-8 gives U+FFFD
// and decoding goes on after it.
#pragma once
#include <cstdint>
#include <string>

namespace kel::gui {

// Where decoded actions go (the event dispatch of the view; tests record).
class Dispatch {
public:
    virtual ~Dispatch() = default;
    // A character key (its code point) or, with `special`, a special-key code
    // (-20 up ... -42 F12; 10 Shift-Tab).
    virtual void key(int32_t code, bool special) = 0;
    // A button pressed or released: event type 1-6 (down, up, mid-down,
    // mid-up, alt-down, alt-up), cell coordinates in the window, modifier
    // flags of event!.
    virtual void button(uint32_t type, float x, float y, uint32_t flags) = 0;
    // Pointer motion; flags carry down, mid-down or alt-down while dragging.
    virtual void over(float x, float y, uint32_t flags) = 0;
    virtual void wheel(float x, float y, float delta, uint32_t flags) = 0;
    // The terminal's new size.
    virtual void resize(int32_t columns, int32_t rows) = 0;
    // A cursor-position answer (0-based), already stored as the origin.
    virtual void cursor_report(int32_t row, int32_t column) = 0;
};

// Reads what standard input has ready into the queue (without blocking),
// only while the terminal is active. With process false the bytes are
// dropped. Answers the bytes read; at the end of input (a read of 0 bytes
// after poll reported input, a hang-up or an error), 0 and input_ended() is
// true from then on.
int64_t read_console(bool process);
// Waits until input is ready or `ms` have passed, only while the terminal
// is active; a signal ends it early.
void wait_input(int32_t ms);
// Decodes the queue, sending actions to `to` (null: they are dropped, the
// cursor-position answers still counted).
void decode_input(Dispatch* to);
// Empties the queue.
void clear_input();
// The end of input was read: no loop level goes on, nothing more is read.
bool input_ended();

// The queue as it stands (tests), and appending to it (tests, the reader).
const std::string& input_queue();
void queue_input(const std::string& bytes);
// The button state back to released and the ended flag off (a new outermost
// loop, tests).
void reset_input_state();

}  // namespace kel::gui
