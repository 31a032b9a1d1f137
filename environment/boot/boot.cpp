#include "environment/boot/boot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "environment/boot/boot-image.h"
#include "environment/boot/library-image.h"
#include "environment/boot/library-steps.h"
#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/library-code.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/clipboard.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::boot {

namespace {

Times split;

// Names of the types whose modules have not registered (their datatype!
// values exist all the same, so that specs and typesets can name them).
constexpr const char* TYPE_NAMES[TYPE_EVENT + 1] = {
    "",          "datatype!", "unset!",    "none!",       "logic!",    "block!",   "paren!",   "string!",
    "file!",     "url!",      "char!",     "integer!",    "float!",    "symbol!",  "context!", "word!",
    "set-word!", "lit-word!", "get-word!", "refinement!", "issue!",    "native!",  "action!",  "op!",
    "function!", "path!",     "lit-path!", "set-path!",   "get-path!", "routine!", "bitset!",  "triple!",
    "object!",   "typeset!",  "error!",    "vector!",     "hash!",     "pair!",    "percent!", "tuple!",
    "map!",      "binary!",   "series!",   "time!",       "tag!",      "email!",   "handle!",  "date!",
    "port!",     "money!",    "ref!",      "point2D!",    "point3D!",  "image!",   "event!"};

// The global word of type t's name.
Cell type_word(uint32_t t) {
    if (const Cell* w = datatype::word(t)) return *w;
    return context::add_global(symbol::make(TYPE_NAMES[t]), false, true);
}

// Every type but symbol!, context!, triple! and series!: what any-type!
// holds until the typesets statement sets it again.
Cell any_type() {
    Cell any = typeset::make_empty();
    for (uint32_t t = 2; t <= TYPE_EVENT; ++t)
        if (t != TYPE_SYMBOL && t != TYPE_CONTEXT && t != TYPE_TRIPLE && t != TYPE_SERIES) typeset::set_bit(any, t);
    typeset::set_bit(any, TYPE_DATATYPE);
    return any;
}

Cell any_type_word() { return context::add_global(symbol::make("any-type!"), false, true); }

// Stage 8 on the source path: every datatype word but datatype! (the
// library's first statement sets it) gets its datatype; any-type! gets every
// type, so that specs made before the typesets resolve it (the typesets
// statement sets it again).
void make_type_words() {
    for (uint32_t t = 2; t <= TYPE_EVENT; ++t) {
        Cell word = type_word(t);
        context::set(word, datatype::make(t));
    }
    Cell word = any_type_word();
    context::set(word, any_type());
}

// The library's own code: functions made now carry the library flag, and
// frames opened by its statements are not marked as interpreted code.
struct LibraryCode {
    uint32_t flags = function::set_made_flags(interpreter::FLAG_SYSTEM);
    interpreter::FramesMarked frames{0};
    ~LibraryCode() { function::set_made_flags(flags); }
};

// The blocks of the library's text entries come from the boot image (its
// literals, one per text entry in manifest order) or, on the source path,
// from lexing the embedded text. Every block the library's source holds is
// library code (runtime/evaluator/library-code.h).
struct LibrarySource {
    bool image;
    int64_t literal = 0;

    void block(Cell* out, const library::Piece& piece) {
        int64_t start = now_ns();
        if (image) {
            *out = *roots::get_root(literal++);
        } else {
            lexer::scan(out, piece.text, piece.size, lexer::Options{});
        }
        interpreter::mark_library_code(*out);
        (image ? split.decode : split.lex) += now_ns() - start;
    }
};

void evaluate_library(bool image) {
    LibraryCode library_code;
    LibrarySource source{image};
    for (int i = 0; i < library::piece_count; ++i) {
        const library::Piece& piece = library::pieces[i];
        Cell* saved = stack::top();
        Cell* data = nullptr;
        if (piece.text) {
            data = stack::push(make_none());
            source.block(data, piece);
        }
        int64_t start = now_ns();
        if (piece.step[0]) {
            library::run_step(piece.step, data);
        } else {
            // A break or return at a statement's top level has no target: it
            // is raised as an error where it happens.
            (void)interpreter::eval(*data, false);
        }
        split.eval += now_ns() - start;
        stack::pop(uint32_t(stack::top() - saved));
    }
}

// The insulation snapshot: a context of its own holding, for every global
// word that is a function, native, action, op or routine just before launch,
// that value. Library function bodies are rebound to it.
Cell* snapshot_holder = nullptr;

NodeId take_snapshot() {
    NodeId global = context::global();
    uint32_t n = context::word_count(global);
    NodeId snap = context::make(n, false, false, 0, context::KIND_GLOBAL);
    Cell holder{TYPE_WORD, snap, 0, context::NO_INDEX};
    snapshot_holder = roots::append(holder);
    for (uint32_t i = 0; i < n; ++i) {
        Cell value = context::values_of(*context::cell_of(global))[i];
        if (!type_families::is_any_function(type_of(value))) continue;
        int32_t symbol = int32_t(context::word_at(global, int32_t(i))->data2);
        int32_t index = context::add_word(snap, symbol);
        context::values_of(*context::cell_of(snap))[index] = value;
    }
    return snap;
}

bool global_marked(const Cell& block) {
    if (block::ks_length(block) <= 0) return false;
    const Cell& first = *block::ks_abs_at(block, int32_t(block.data1));
    if (type_of(first) != TYPE_ISSUE) return false;
    uint32_t n = 0;
    const uint8_t* s = symbol::spelling(int32_t(first.data2), &n);
    return n == 6 && std::memcmp(s, "global", 6) == 0;
}

struct Rebinder {
    NodeId global = context::global();
    NodeId snap;
    // Nodes visited, indexed by node id (ids are dense: a bit per node is
    // smaller and faster than hashing each one).
    std::vector<bool> seen;
    std::vector<bool> seen_values;

    static bool first_visit(std::vector<bool>& visited, NodeId node) {
        if (node >= visited.size()) visited.resize(std::max<size_t>(size_t(node) + 1, visited.size() * 2));
        if (visited[node]) return false;
        visited[node] = true;
        return true;
    }

    void word(Cell& w) {
        if (w.data1 != global) return;
        int32_t index = context::find_word(snap, int32_t(w.data2), true);
        if (index < 0) return;
        w.data1 = snap;
        w.data3 = uint32_t(index);
    }

    // Words and get-words of the block and of every block, paren and path in
    // it, and the first word of each path; a block marked #global keeps its
    // binding (its words are looked up when it runs).
    void block(NodeId node) {
        if (!first_visit(seen, node)) return;
        int32_t n = int32_t(memory::buffer_of(node)->cell_count());
        for (int32_t i = 0; i < n; ++i) {
            Cell* c = memory::buffer_of(node)->cells() + i;
            switch (type_of(*c)) {
            case TYPE_WORD:
            case TYPE_GET_WORD:
                word(*c);
                break;
            case TYPE_PATH:
            case TYPE_GET_PATH:
            case TYPE_SET_PATH:
            case TYPE_LIT_PATH: {
                NodeId p = cell_node(*c);
                if (memory::buffer_of(p)->cell_count() > 0) {
                    Cell* head = memory::buffer_of(p)->cells();
                    if (type_of(*head) == TYPE_WORD || type_of(*head) == TYPE_GET_WORD) word(*head);
                }
                block(p);
                break;
            }
            case TYPE_BLOCK:
            case TYPE_PAREN:
                if (!global_marked(*c)) block(cell_node(*c));
                break;
            default:
                break;
            }
        }
    }

    // A library function's body; an object's fields, nested objects included;
    // the values of a block held by a word or a field (the view engine's list
    // of global event functions holds functions no word names).
    void value(const Cell& v) {
        if (type_of(v) == TYPE_FUNCTION && (v.header & interpreter::FLAG_SYSTEM)) {
            const Cell& body = memory::buffer_of(v.data3)->cells()[0];
            if (type_of(body) == TYPE_BLOCK) block(cell_node(body));
        } else if (type_of(v) == TYPE_OBJECT) {
            NodeId ctx = v.data1;
            if (!first_visit(seen, ctx)) return;
            uint32_t n = context::word_count(ctx);
            for (uint32_t i = 0; i < n; ++i) value(context::values_of(*context::cell_of(ctx))[i]);
        } else if (type_of(v) == TYPE_BLOCK) {
            NodeId node = cell_node(v);
            if (!first_visit(seen_values, node)) return;
            int32_t n = int32_t(memory::buffer_of(node)->cell_count());
            for (int32_t i = 0; i < n; ++i) value(memory::buffer_of(node)->cells()[i]);
        }
    }
};

void insulate() {
    Rebinder rebinder;
    rebinder.snap = take_snapshot();
    NodeId global = context::global();
    uint32_t n = context::word_count(global);
    for (uint32_t i = 0; i < n; ++i) rebinder.value(context::values_of(*context::cell_of(global))[i]);
}

// A script file runs as user code: do-file's body (and so the script's code
// it evaluates) is interpreted, not library code, once the insulation has
// rebound the body. Both copies of the value, the global word's and the
// snapshot's, lose the library flag.
void make_do_file_interpreted() {
    for (NodeId ctx : {context::global(), snapshot_holder->data1}) {
        int32_t index = context::find_word(ctx, symbol::make("do-file"), true);
        if (index < 0) continue;
        Cell& v = context::values_of(*context::cell_of(ctx))[index];
        if (type_of(v) == TYPE_FUNCTION) v.header &= ~interpreter::FLAG_SYSTEM;
    }
}

// Calls the library function with the arguments, its frame named `name`;
// the arguments leave the stack again.
Cell call_library(const Cell& fn_cell, const char* name, std::initializer_list<Cell> args) {
    Cell fn = fn_cell;
    Rooted keep(fn);
    Cell* first = stack::top();
    for (const Cell& arg : args) stack::push(arg);
    Cell result = interpreter::call_function(fn, first, int32_t(args.size()), word::make(symbol::make(name)));
    stack::pop(uint32_t(stack::top() - first));
    return result;
}

// `do` of a file! or url!: the library's do-file as the snapshot holds it,
// with no trace callback. Called from library code too, the script still
// runs as user code.
void do_file(Cell* out, const Cell& file, const Cell& args) {
    interpreter::FramesMarked interpreted(stack::FRAME_INTERP);
    *out = call_library(insulated("do-file"), "do-file", {file, make_none(), args});
}

// `stats/show`: the library's show-memory-stats as the snapshot holds it,
// with the block of figures the native collected.
void show_memory_stats(const Cell& stats) {
    Cell fn = insulated("show-memory-stats");
    if (type_of(fn) != TYPE_FUNCTION) fire(ErrorId::internal_not_done);
    (void)call_library(fn, "show-memory-stats", {stats});
}

// The clipboard's reading of a local path: the library's to-kel-file as the
// snapshot holds it.
void to_kel_file(Cell* out, const Cell& path) { *out = call_library(insulated("to-kel-file"), "to-kel-file", {path}); }

// Library objects as the library made them, so that a script that sets the
// global words `preprocessor` or `url-parser` does not change what do/expand
// or a URL's port runs.
Cell* preprocessor_holder = nullptr;
Cell* url_parser_holder = nullptr;

// The function in the field of the held object.
Cell held_function(const Cell* holder, const char* field) {
    if (!holder || type_of(*holder) != TYPE_OBJECT) fire(ErrorId::internal_not_done);
    return object::field_value(*holder, symbol::make(field));
}

// do/expand: the preprocessor's `expand` with the block, no job and /clean
// off; the block is expanded in place.
void expand(const Cell& block) {
    (void)call_library(held_function(preprocessor_holder, "expand"), "expand", {block, make_none()});
}

// The URL parser's parse-url without /throw-error: the component object, or
// none for a URL it refuses.
void parse_url(Cell* out, const Cell& url) {
    *out = call_library(held_function(url_parser_holder, "parse-url"), "parse-url", {url});
}

[[noreturn]] void launch() {
    Cell console = *context::get(word::make(symbol::make("cli-console-ctx")));
    Rooted keep(console);
    if (type_of(console) != TYPE_OBJECT) system_quit(exit_status::NORMAL, 0);
    Cell name = word::make(symbol::make("launch"));
    Cell fn = object::field_value(console, int32_t(name.data2));
    Rooted keep_fn(fn);
    (void)interpreter::call_function(fn, nullptr, 0, name);
    system_quit(exit_status::NORMAL, 0);
}

}  // namespace

int64_t now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

Times& times() { return split; }

Image embedded_image() { return Image{kel_boot_image, size_t(kel_boot_image_size)}; }

Cell insulated(const char* word) {
    if (!snapshot_holder) return make_none();
    NodeId snap = snapshot_holder->data1;
    int32_t index = context::find_word(snap, symbol::make(word), true);
    if (index < 0) return make_none();
    return context::values_of(*context::cell_of(snap))[index];
}

void build() { build(embedded_image()); }

void build(const Image& image) {
    static bool built = false;
    if (built) return;
    built = true;
    uint64_t scans = lexer::runs();
    if (image.size > 0) {
        int64_t start = now_ns();
        kelbin::boot_load(image.data, image.size, false);
        split.decode += now_ns() - start;
    } else {
        // What the image's set records replace, spec texts lexed: timed as
        // the source path's lexing.
        int64_t start = now_ns();
        make_type_words();
        natives::make_words();
        actions::make_words();
        split.lex += now_ns() - start;
    }
    if (image.size > 0) {
        // The literal after the library's blocks: the routines' spec blocks.
        int64_t texts = 0;
        for (int i = 0; i < library::piece_count; ++i) texts += library::pieces[i].text != nullptr;
        routines::give_spec_blocks(*roots::get_root(texts));
    }
    evaluate_library(image.size > 0);
    insulate();
    make_do_file_interpreted();
    natives::services().do_file = do_file;
    natives::services().show_memory_stats = show_memory_stats;
    clipboard::services().to_kel_file = to_kel_file;
    preprocessor_holder = roots::append(*context::get(word::make(symbol::make("preprocessor"))));
    natives::services().expand = expand;
    url_parser_holder = roots::append(*context::get(word::make(symbol::make("url-parser"))));
    url::services().parse_url = parse_url;
    split.scans = lexer::runs() - scans;
}

std::vector<uint8_t> make_image() {
    make_type_words();
    natives::make_words();
    actions::make_words();
    kelbin::ImageWriter image;
    auto set = [&](Cell word, const Cell& value) {
        set_type(word, TYPE_SET_WORD);
        image.set(word, value);
    };
    for (uint32_t t = 2; t <= TYPE_EVENT; ++t) set(type_word(t), datatype::make(t));
    set(any_type_word(), any_type());
    for (int a = 1; a <= native::ACTION_TABLE_COUNT; ++a)
        if (const Cell* v = natives::registered(TYPE_ACTION, a))
            set(context::add_global(symbol::make(actions::action_name(a)), false, true), *v);
    for (int n = 1; n <= natives::TABLE_SIZE; ++n)
        if (const Cell* v = natives::registered(TYPE_NATIVE, n))
            set(context::add_global(symbol::make(natives::describe(n).word), false, true), *v);
    for (int i = 0; i < library::piece_count; ++i) {
        const library::Piece& piece = library::pieces[i];
        if (!piece.text) continue;
        Cell* saved = stack::top();
        Cell* block = stack::push(make_none());
        lexer::scan(block, piece.text, piece.size, lexer::Options{});
        image.value(*block);
        stack::pop(uint32_t(stack::top() - saved));
    }
    // The last literal: the routines' spec texts and their blocks.
    Cell* saved = stack::top();
    Cell* pairs = block::push_only(1);
    for (const char* text : library::routine_spec_texts()) {
        Cell* s = library::push_utf8(text);
        block::append_cell(*pairs, *s);
        Cell* spec = stack::push(make_none());
        lexer::scan(spec, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
        block::append_cell(*pairs, *spec);
    }
    image.value(*pairs);
    stack::pop(uint32_t(stack::top() - saved));
    return image.finish();
}

void run() {
    build();
    memory::begin_stress();
    if (std::getenv("KEL_BOOT_TIMES"))
        std::fprintf(stderr,
                     "runtime start %.3f ms, image decode %.3f ms, library evaluation %.3f ms, library lex %.3f ms, "
                     "texts lexed %llu\n",
                     double(split.runtime) / 1e6, double(split.decode) / 1e6, double(split.eval) / 1e6,
                     double(split.lex) / 1e6, static_cast<unsigned long long>(split.scans));
    launch();
}

}  // namespace kel::boot
