// event!: how the terminal view backend hands user input to the view engine,
// and what `make event!` makes from a spec block (type id 54, no parent).
//
// Cell: header type id 54 and at most one of two record flags; word 1 the
// event type number (1-39, see type_word; 0 while a made event has none);
// word 2 the node of the event's record block, or 0; word 3 the flags word.
//
// - A made event (`make event!`) has the flag EVENT_HOLDS_BLOCK (0x1000). Its
//   record, present only when the spec gave face, window, offset or picked,
//   holds four cells: face, window (object! or none), offset (pair! or
//   point2D!, 0x0 by default) and picked (integer!, 0 by default). The low
//   21 bits of its flags word hold the key character (0: none).
// - A backend event (`make_backend`) has EVENT_BACKEND_BLOCK (0x2000). Its
//   record holds four cells: the face (a copy of the widget's face cell),
//   the offset as a pair (the cell coordinates truncated towards zero), the
//   key code or the picked index (integer!) and the wheel delta (float!).
//   The event owns its record like any value: an actor that keeps the event
//   reads the same fields after the dispatch and after the widget is gone.
//   Flag bit 0 says the key code is a special-key code (negative: -20 up ...
//   -42 F12), which reads as a word.
//
// Both flags mark word 2 for the collector (type-classes.h).
//
// Every event equals every other event, whatever its fields; events have no
// order. form and mold write "event". The flags field reads as one block
// shared by every read for the life of the process, emptied and filled again
// each time. Reading `type` while it is 0 gives none.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/datatype.h"

namespace kel::event {

inline constexpr uint32_t MADE = type_classes::EVENT_HOLDS_BLOCK;
inline constexpr uint32_t BACKEND = type_classes::EVENT_BACKEND_BLOCK;

// Flag bits of word 3.
inline constexpr uint32_t FLAG_SPECIAL_KEY = 0x00000001;
inline constexpr uint32_t KEY_MASK = 0x001FFFFF;  // the key character of a made event
inline constexpr uint32_t FLAG_AUX_DOWN = 0x00400000;
inline constexpr uint32_t FLAG_ALT_DOWN = 0x00800000;
inline constexpr uint32_t FLAG_MID_DOWN = 0x01000000;
inline constexpr uint32_t FLAG_DOWN = 0x02000000;
inline constexpr uint32_t FLAG_AWAY = 0x04000000;
inline constexpr uint32_t FLAG_CONTROL = 0x10000000;
inline constexpr uint32_t FLAG_SHIFT = 0x20000000;
inline constexpr uint32_t FLAG_ALT = 0x40000000;
inline constexpr uint32_t FLAG_COMMAND = 0x80000000;

// Event type numbers used by the backend.
enum Type : uint32_t {
    DOWN = 1,
    UP = 2,
    MID_DOWN = 3,
    MID_UP = 4,
    ALT_DOWN = 5,
    ALT_UP = 6,
    WHEEL = 11,
    OVER = 12,
    KEY = 13,
    KEY_DOWN = 14,
    TIME = 33,
    RESIZE = 30,
};
inline constexpr uint32_t TYPE_COUNT = 39;

// The spelling of an event type number (1-39), or null.
const char* type_name(uint32_t type);
// The word of a special-key code (-20 ... -42), or null for other codes.
const char* special_key_name(int32_t code);

// What the backend's dispatcher knows of one event.
struct BackendRecord {
    Cell face;  // the face cell of the widget (none without one)
    float x = 0, y = 0;  // cell coordinates in the widget
    int32_t key_or_picked = 0;
    float wheel = 0;
};

// Writes a backend event into *out (a cell that stays put): its record block
// is made first, so *out is written after the last allocation.
void make_backend(Cell* out, uint32_t type, const BackendRecord& record, uint32_t flags);

// The value of field n (1-15) of the event, written into *out.
void read_field(Cell* out, const Cell& event, int32_t n);
// The field index (1-15) of a word; 0 for another word. With `event` given
// (the pick road) a word that is no field raises script/cannot-use.
int32_t field_index(const Cell& word, const Cell* event);

// Registers event! (id 54).
void init();

}  // namespace kel::event
