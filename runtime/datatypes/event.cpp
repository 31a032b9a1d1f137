#include "runtime/datatypes/event.h"

#include <array>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::event {

namespace {

constexpr const char* TYPE_NAMES[TYPE_COUNT] = {
    "down",   "up",        "mid-down", "mid-up",   "alt-down", "alt-up",   "aux-down",  "aux-up",
    "click",  "dbl-click", "wheel",    "over",     "key",      "key-down", "key-up",    "ime",
    "focus",  "unfocus",   "enter",    "zoom",     "pan",      "rotate",   "two-tap",   "press-tap",
    "select", "change",    "menu",     "close",    "move",     "resize",   "moving",    "resizing",
    "time",   "drawing",   "scroll",   "minimize", "maximize", "restore",  "fullscreen"};

constexpr const char* FIELD_NAMES[] = {"type",      "face",      "window", "offset", "key",
                                       "picked",    "flags",     "away?",  "down?",  "mid-down?",
                                       "alt-down?", "aux-down?", "ctrl?",  "shift?", "orientation"};
constexpr int32_t FIELD_COUNT = sizeof FIELD_NAMES / sizeof FIELD_NAMES[0];
enum Field {
    TYPE = 1,
    FACE,
    WINDOW,
    OFFSET,
    KEY_FIELD,
    PICKED,
    FLAGS,
    AWAY_Q,
    DOWN_Q,
    MID_DOWN_Q,
    ALT_DOWN_Q,
    AUX_DOWN_Q,
    CTRL_Q,
    SHIFT_Q,
    ORIENTATION
};

// The flag words, in the order a flags block lists them, with their bits.
struct FlagWord {
    const char* name;
    uint32_t bit;
};
constexpr FlagWord FLAG_WORDS[] = {
    {"away", FLAG_AWAY},         {"down", FLAG_DOWN},         {"mid-down", FLAG_MID_DOWN},
    {"alt-down", FLAG_ALT_DOWN}, {"aux-down", FLAG_AUX_DOWN}, {"control", FLAG_CONTROL},
    {"shift", FLAG_SHIFT},       {"alt", FLAG_ALT},           {"command", FLAG_COMMAND}};
constexpr int32_t LISTED_FLAGS = 8;  // command is never listed

// The bits of fields 8-14.
constexpr uint32_t FIELD_BITS[] = {FLAG_AWAY,     FLAG_DOWN,    FLAG_MID_DOWN, FLAG_ALT_DOWN,
                                   FLAG_AUX_DOWN, FLAG_CONTROL, FLAG_SHIFT};

constexpr const char* SPECIAL_KEYS[] = {"up",      "down",      "right", "left", "end", "home", "insert", "delete",
                                        "page-up", "page-down", nullptr, "F1",   "F2",  "F3",   "F4",     "F5",
                                        "F6",      "F7",        "F8",    "F9",   "F10", "F11",  "F12"};

// Canonical symbol ids of the names, interned at first use (interning may
// allocate, so never from compare).
template <size_t N>
struct Symbols {
    std::array<int32_t, N> ids{};
    bool made = false;
    void make(const char* const (&names)[N]) {
        if (made) return;
        for (size_t i = 0; i < N; ++i) ids[i] = symbol::resolve(symbol::make(names[i]));
        made = true;
    }
    // 1-based position of the word's symbol, 0 when none.
    int32_t find(const Cell& w) const {
        if (!word::is_any_word(type_of(w))) return 0;
        int32_t s = symbol::resolve(word::symbol_of(w));
        for (size_t i = 0; i < N; ++i)
            if (ids[i] == s) return int32_t(i) + 1;
        return 0;
    }
};

Symbols<TYPE_COUNT>& type_symbols() {
    static Symbols<TYPE_COUNT> s;
    s.make(TYPE_NAMES);
    return s;
}

Symbols<FIELD_COUNT>& field_symbols() {
    static Symbols<FIELD_COUNT> s;
    s.make(FIELD_NAMES);
    return s;
}

int32_t resolved(const char* name) { return symbol::resolve(symbol::make(name)); }

Cell word_of(const char* name) { return word::make(symbol::make(name)); }

// The type number of a word; a word outside the table raises
// script/not-event-type.
uint32_t type_number(const Cell& w) {
    int32_t n = type_symbols().find(w);
    if (n == 0) fire(ErrorId::script_not_event_type, {w});
    return uint32_t(n);
}

// The shared flags block, made at first use and held by a cell of its own
// in the root block (the single no-parent cell of make_in holds the print
// buffer; a second block there would drop it).
Cell flags_block() {
    static Cell* block = nullptr;
    if (!block) {
        Cell made = make_unset();
        block::make_at(made, LISTED_FLAGS);
        block = roots::append(made);
    }
    return *block;
}

Cell record_cell(const Cell& event, int32_t i) {
    Cell blk{TYPE_BLOCK, 0, event.data2, 0};
    return *block::ks_abs_at(blk, i);
}

// A new block of the four cells; answers its node, which the caller stores
// before anything else may allocate.
NodeId make_record(const Cell (&cells)[4]) {
    Cell* blk = block::push_only(4);
    for (const Cell& c : cells) *alloc_block_tail(*blk) = c;
    NodeId node = cell_node(*blk);
    stack::pop(1);
    return node;
}

// The value a spec entry stands for: a word or get-word bound to a context
// gives its value.
Cell spec_value(const Cell& v) {
    uint32_t t = type_of(v);
    if ((t == TYPE_WORD || t == TYPE_GET_WORD) && v.data1) return *context::get(v);
    return v;
}

uint32_t flag_bits(const Cell& blk) {
    uint32_t bits = 0;
    int32_t n = block::ks_length(blk);
    for (int32_t i = 0; i < n; ++i) {
        Cell w = *block::ks_abs_at(blk, int32_t(blk.data1) + i);
        if (type_of(w) != TYPE_WORD) continue;
        int32_t s = symbol::resolve(word::symbol_of(w));
        for (const FlagWord& f : FLAG_WORDS)
            if (resolved(f.name) == s) bits |= f.bit;
    }
    return bits;
}

void make(Cell* out, Cell*, Cell* spec_arg, uint32_t) {
    Cell spec = *spec_arg;
    Rooted keep_spec(spec);
    Cell e{TYPE_EVENT | MADE, 0, 0, 0};
    Cell record[4] = {none_value, none_value, pair::make_cell(0, 0), make_integer(0)};
    Rooted keep0(record[0]), keep1(record[1]), keep2(record[2]), keep3(record[3]);
    bool has_record = false;
    if (type_of(spec) == TYPE_BLOCK) {
        const int32_t type_s = resolved("type"), key_s = resolved("key"), flags_s = resolved("flags"),
                      face_s = resolved("face"), window_s = resolved("window"), offset_s = resolved("offset"),
                      picked_s = resolved("picked");
        type_symbols();
        int32_t n = block::ks_length(spec);
        int32_t head = int32_t(spec.data1);
        for (int32_t i = 0; i < n; ++i) {
            Cell key = *block::ks_abs_at(spec, head + i);
            if (type_of(key) != TYPE_SET_WORD || i + 1 >= n) continue;
            Cell v = spec_value(*block::ks_abs_at(spec, head + i + 1));
            ++i;
            uint32_t vt = type_of(v);
            int32_t s = symbol::resolve(word::symbol_of(key));
            if (s == type_s) {
                if (vt == TYPE_WORD || vt == TYPE_LIT_WORD) e.data1 = type_number(v);
            } else if (s == key_s) {
                if (vt == TYPE_CHAR) e.data3 |= v.data2 & KEY_MASK;
            } else if (s == flags_s) {
                if (vt == TYPE_BLOCK) e.data3 |= flag_bits(v);
            } else if (s == face_s || s == window_s) {
                if (vt == TYPE_OBJECT) record[s == face_s ? 0 : 1] = v, has_record = true;
            } else if (s == offset_s) {
                if (vt == TYPE_PAIR || vt == TYPE_POINT2D) record[2] = v, has_record = true;
            } else if (s == picked_s) {
                if (vt == TYPE_INTEGER) record[3] = v, has_record = true;
            }
        }
    }
    if (has_record) e.data2 = make_record(record);
    *out = e;
}

int64_t form(Cell, Cell buffer, bool, int64_t limit) {
    string::append_c_string(buffer, "event");
    return limit - 5;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form(value, buffer, options.part, options.limit);
}

int32_t compare(const Cell&, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_EVENT) return COMP_NOT_COMPARABLE;
    return is_equality_or_sort_op(op) ? 0 : COMP_NOT_COMPARABLE;
}

void eval_path_slot(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : none_value;
    if (!value) {
        int32_t n = field_index(*element, nullptr);
        if (n == 0) fire(ErrorId::script_invalid_path, {path, *element});
        Cell e = *parent;
        read_field(out, e, n);
        return;
    }
    if (field_index(*element, nullptr) != TYPE) fire(ErrorId::script_bad_path_set, {path, *element});
    Cell set = *value;
    if (type_of(set) != TYPE_WORD) fire(ErrorId::script_bad_path_set, {path, set});
    parent->data1 = type_number(set);
    *out = set;
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    int32_t n = index;
    if (index_cell && word::is_any_word(type_of(*index_cell))) n = field_index(*index_cell, value);
    if (n < 1 || n > FIELD_COUNT) fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    Cell e = *value;
    read_field(out, e, n);
}

}  // namespace

const char* type_name(uint32_t type) { return type >= 1 && type <= TYPE_COUNT ? TYPE_NAMES[type - 1] : nullptr; }

const char* special_key_name(int32_t code) {
    if (code > -20 || code < -42) return nullptr;
    return SPECIAL_KEYS[-20 - code];
}

int32_t field_index(const Cell& w, const Cell* event) {
    int32_t n = field_symbols().find(w);
    if (n == 0 && event) fire(ErrorId::script_cannot_use, {w, *event});
    return n;
}

void make_backend(Cell* out, uint32_t type, const BackendRecord& r, uint32_t flags) {
    // Truncation towards zero, kept inside the pair's range.
    auto coordinate = [](float v) -> int32_t {
        if (!(v == v)) return 0;
        if (v >= 2147483520.0f) return INT32_MAX;
        if (v <= -2147483648.0f) return INT32_MIN;
        return int32_t(v);
    };
    Cell record[4] = {r.face, pair::make_cell(coordinate(r.x), coordinate(r.y)), make_integer(r.key_or_picked),
                      float_::make_cell(double(r.wheel))};
    Rooted keep(record[0]);
    NodeId node = make_record(record);
    *out = Cell{TYPE_EVENT | BACKEND, type, node, flags};
}

void read_field(Cell* out, const Cell& e, int32_t n) {
    bool made = e.header & MADE;
    bool backend = e.header & BACKEND;
    if (made && n >= FACE && n <= PICKED && n != KEY_FIELD) {
        static const Cell defaults[4] = {none_value, none_value, pair::make_cell(0, 0), make_integer(0)};
        // Record cells: face, window, offset, picked.
        int32_t i = n == PICKED ? 3 : n - FACE;
        *out = e.data2 ? record_cell(e, i) : defaults[i];
        return;
    }
    switch (n) {
    case TYPE: {
        const char* name = type_name(e.data1);
        *out = name ? word_of(name) : none_value;
        return;
    }
    case FACE:
        *out = backend && e.data2 ? record_cell(e, 0) : none_value;
        return;
    case WINDOW:
    case ORIENTATION:
        *out = none_value;
        return;
    case OFFSET:
        *out = backend && e.data2 ? record_cell(e, 1) : pair::make_cell(0, 0);
        return;
    case KEY_FIELD: {
        if (made) {
            uint32_t key = e.data3 & KEY_MASK;
            *out = key ? char_::make_cell(key) : none_value;
            return;
        }
        int32_t code = backend && e.data2 ? int32_t(record_cell(e, 2).data2) : 0;
        if (e.data3 & FLAG_SPECIAL_KEY) {
            const char* name = special_key_name(code);
            *out = name ? word_of(name) : none_value;
        } else {
            *out = code >= 0 && code <= 0x10FFFF ? char_::make_cell(uint32_t(code)) : none_value;
        }
        return;
    }
    case PICKED:
        if (!backend || !e.data2)
            *out = make_integer(0);
        else
            *out = record_cell(e, e.data1 == WHEEL ? 3 : 2);
        return;
    case FLAGS: {
        Cell blk = flags_block();
        block::ks_clear(blk);
        for (int32_t i = 0; i < LISTED_FLAGS; ++i) {
            if (!(e.data3 & FLAG_WORDS[i].bit)) continue;
            Cell w = word_of(FLAG_WORDS[i].name);
            *alloc_block_tail(blk) = w;
        }
        *out = blk;
        return;
    }
    default:
        *out = logic::make_cell((e.data3 & FIELD_BITS[n - AWAY_Q]) != 0);
        return;
    }
}

void init() {
    datatype::register_type(datatype::Record(TYPE_EVENT, 0, "event!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_EVAL_PATH>(eval_path_slot)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_PICK>(pick));
}

}  // namespace kel::event
