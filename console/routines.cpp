#include "console/routines.h"

#include <algorithm>
#include <string>
#include <vector>

#include "console/console-input.h"
#include "runtime/core/interrupt.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/routine.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/input-reader.h"
#include "runtime/text/unicode.h"

namespace kel::console {

namespace {

Cell* held_line = nullptr;  // root cells: the string and the history of
Cell* held_history = nullptr;  // the coming edit

// The code points of a string from its index to its tail (`whole`: from the
// start of its series).
std::u32string text_of(const Cell& str, bool whole) {
    std::u32string out;
    int32_t from = whole ? 0 : std::max(0, int32_t(str.data1));
    int32_t length = string::ks_abs_length(str);
    for (int32_t i = from; i < length; ++i) out.push_back(char32_t(string::get_char_at(str, i)));
    return out;
}

std::string utf8_of(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        uint8_t bytes[4];
        uint32_t cp = c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : uint32_t(c);
        int32_t n = unicode::encode_utf8_char(cp, bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return out;
}

void append_text(const Cell& str, std::u32string_view text) {
    SeriesBuffer* b = string::buffer(str);
    for (char32_t c : text) b = string::append_char(b, uint32_t(c));
}

bool is_text(const Cell& c) {
    uint32_t t = type_of(c);
    return t == TYPE_STRING || t == TYPE_FILE || t == TYPE_URL || t == TYPE_TAG || t == TYPE_EMAIL || t == TYPE_REF;
}

int32_t block_length(const Cell& blk) {
    Cell head = blk;
    head.data1 = 0;
    return block::ks_length(head);
}

// The history block as the editor walks it: entries by absolute position.
class BlockHistory final : public History {
public:
    explicit BlockHistory(const Cell* block) : block_(block) {}
    int32_t count() override { return block_ ? block_length(*block_) : 0; }
    std::u32string entry(int32_t index) override {
        const Cell* e = block::ks_abs_at(*block_, index);
        return is_text(*e) ? text_of(*e, true) : std::u32string{};
    }

private:
    const Cell* block_;
};

Cell* global_slot(const char* name) {
    int32_t i = context::find_word(context::global(), symbol::make(name), true);
    return i < 0 ? nullptr : &context::values_of(*context::cell_of(context::global()))[i];
}

// How the last `_read-input` ended, for `_read-end`.
const char* read_end = "line";

// The field `size` of `system/console`, or null when there is none.
Cell* console_size_slot() {
    Cell* system = global_slot("system");
    if (!system || type_of(*system) != TYPE_OBJECT) return nullptr;
    NodeId ctx = system->data1;
    int32_t i = context::find_word(ctx, symbol::make("console"), true);
    if (i < 0) return nullptr;
    Cell console = context::values_of(*context::cell_of(ctx))[i];
    if (type_of(console) != TYPE_OBJECT) return nullptr;
    int32_t s = context::find_word(console.data1, symbol::make("size"), true);
    return s < 0 ? nullptr : &context::values_of(*context::cell_of(console.data1))[s];
}

void store_console_size(terminal::Size size) {
    if (Cell* slot = console_size_slot()) *slot = pair::make_cell(size.columns, size.rows);
}

// A window that answers with its size makes `system/console/size` follow
// it: results printed after the edit fit the window as it is now.
void follow_window() {
    if (!terminal::output_is_terminal()) return;
    terminal::Size size = terminal::window_size();
    if (size.known) store_console_size(size);
}

routines::Result none_result() { return routines::Result{0}; }

routines::Result set_buffer_history(const routines::Arg* args, int32_t) {
    *held_line = *args[0].cell;
    *held_history = *args[1].cell;
    return none_result();
}

routines::Result read_input(const routines::Arg* args, int32_t) {
    std::u32string prompt = text_of(*args[0].cell, false);
    bool hidden = args[1].integer != 0;
    bool has_history = type_of(*held_history) == TYPE_BLOCK;
    BlockHistory history(has_history ? held_history : nullptr);
    follow_window();
    LineRead r = read_line(prompt, history, hidden);
    follow_window();
    read_end = r.ended ? "ended" : r.exit == EditExit::QUIT ? "left" : "line";
    if (r.ended) return none_result();
    if (!is_text(*held_line)) return none_result();
    append_text(*held_line, r.text);
    if (r.add_to_history && has_history) {
        Cell line = *held_line;
        line.data1 = 0;
        held_history->data1 = 0;
        block::insert_cell(*held_history, line, false, false);
    }
    return none_result();
}

routines::Result terminate_console(const routines::Arg*, int32_t) { return none_result(); }

routines::Result input_stdin(const routines::Arg*, int32_t) {
    std::u32string line;
    standard_input().read_line(line);
    Cell str = make_none();
    Rooted keep(str);
    string::ks_make_at(str, 256);
    append_text(str, line);
    stack::state.arguments[0] = str;
    return none_result();
}

// Only the console loop asks, after each line it reads: from then on a
// console on a terminal keeps its session on Control-C.
routines::Result read_end_routine(const routines::Arg*, int32_t) {
    if (terminal::input_mode() != terminal::InputMode::REDIRECTED) interrupt::keep_session();
    stack::state.arguments[0] = word::make_global(read_end);
    return none_result();
}

// Whether the console reads a terminal through its line editor: `help`
// shows an image in a window only then, since without a terminal nothing
// could close that window.
routines::Result terminal_routine(const routines::Arg*, int32_t) {
    stack::state.arguments[0] = logic::make_cell(terminal::input_mode() == terminal::InputMode::EDITOR);
    return none_result();
}

routines::Result warn(const routines::Arg* args, int32_t) {
    std::string text = utf8_of(text_of(*args[0].cell, false)) + "\n";
    terminal::write_error(text);
    return none_result();
}

routines::Result init_console_routine(const routines::Arg* args, int32_t) {
    store_console_size(init_console(utf8_of(text_of(*args[0].cell, false))));
    return none_result();
}

// The editor's completer: `complete-input` of the global `kel-complete-ctx`,
// looked up at every TAB, called with a new string of the line (its index at
// the cursor) and true. Its answer, a block of strings and file! values (the
// new line, its index the new cursor, then the candidates), is read into the
// texts at once. Anything else counts as no candidate: no such object or no
// function in the field, an error or any other throw out of the call (a halt
// included), an answer of another shape.
void complete_with_kel(std::u32string_view line, size_t cursor, Completions& out) {
    out.texts.clear();
    out.cursor = 0;
    Cell* top = stack::state.top;
    uint32_t code = protect(catch_level::ERRORS, [&] {
        Cell* ctx = global_slot("kel-complete-ctx");
        if (!ctx || type_of(*ctx) != TYPE_OBJECT) return;
        Cell name = word::make(symbol::make("complete-input"));
        Cell fn = object::field_value(*ctx, int32_t(name.data2));
        uint32_t t = type_of(fn);
        if (t != TYPE_FUNCTION && t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_ROUTINE) return;
        Rooted keep(fn);
        Cell* args = stack::push(make_none());
        string::ks_make_at(*args, int32_t(line.size() + 1));
        append_text(*args, line);
        args->data1 = uint32_t(std::min(cursor, line.size()));
        stack::push(true_value);
        Cell answer = interpreter::call_function(fn, args, 2, name);
        // Read before anything allocates: the collector may move the block.
        if (type_of(answer) != TYPE_BLOCK) return;
        int32_t from = std::max(0, int32_t(answer.data1));
        int32_t to = block_length(answer);
        for (int32_t i = from; i < to; ++i) {
            const Cell& c = *block::ks_abs_at(answer, i);
            if (type_of(c) != TYPE_STRING && type_of(c) != TYPE_FILE) {
                out.texts.clear();
                return;
            }
            out.texts.push_back(text_of(c, i == from));
            if (i == from) out.cursor = size_t(std::clamp(int32_t(c.data1), 0, string::ks_abs_length(c)));
        }
    });
    if (code != 0) {
        handled();
        out.texts.clear();
        out.cursor = 0;
    }
    stack::state.top = top;
}

int32_t init_index = 0;

const routines::Entry entries[] = {
    {"_set-buffer-history", "\"Internal Use Only\" line [string!] hist [block!]", -1, set_buffer_history},
    {"_read-input", "\"Internal Use Only\" prompt [string!] hidden? [logic!]", -1, read_input},
    {"_terminate-console", "", -1, terminate_console},
    {"input-stdin", "\"Temporary function, internal use only\"", -1, input_stdin},
    {"_read-end", "\"Internal Use Only\"", -1, read_end_routine},
    {"_warn", "\"Internal Use Only\" text [string!]", -1, warn},
    {"_terminal?", "\"Internal Use Only\"", -1, terminal_routine},
};

}  // namespace

std::span<const routines::Entry> console_routines() { return entries; }

void install_routines() {
    if (!held_line) {
        held_line = roots::append(make_none());
        held_history = roots::append(make_none());
    }
    routines::make_words(entries);
    line_editor().completer = complete_with_kel;
}

Cell* push_init_routine() {
    if (!init_index) init_index = routines::add(init_console_routine);
    Cell* block = stack::push(make_none());
    routines::spec_block(block, INIT_ROUTINE_SPEC);
    Cell* r = routine::push(*block, nullptr, init_index, -1, false);
    *block = *r;
    stack::state.top = block + 1;
    return block;
}

}  // namespace kel::console
