#include "runtime/evaluator/dispatch.h"

#include <algorithm>
#include <string>
#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/roots.h"

namespace kel::actions {

namespace {

struct ActionInfo {
    const char* name;
    int refinements;
    const char* spec;  // the action! value's spec, as Kel text
};

// In action order, index 1 first. The refinement counts follow the specs.
// Arguments without a type block take any value but unset; the type's slot
// decides the rest.
constexpr const char* FIND_SPEC =
    "series value /part length /only /case /same /any /with wild [string!] /skip size [integer!] "
    "/last /reverse";
constexpr ActionInfo ACTIONS[ACTION_COUNT + 1] = {
    {"", 0, nullptr},
    {"make", 0, "type [any-type!] spec [any-type!]"},
    {"random", 3, "value /seed /secure /only"},
    {"reflect", 0, "value field [word!]"},
    {"to", 0, "type [any-type!] spec [any-type!]"},
    {"form", 1, "value [any-type!] /part limit [integer!]"},
    {"mold", 4, "value [any-type!] /only /all /flat /part limit [integer!]"},
    {"eval-path", 0, "parent element"},
    {"", 0, nullptr},
    {"compare", 0, nullptr},
    {"absolute", 0, "value"},
    {"add", 0, "value1 value2"},
    {"divide", 0, "value1 value2"},
    {"multiply", 0, "value1 value2"},
    {"negate", 0, "number"},
    {"power", 0, "number exponent"},
    {"remainder", 0, "value1 value2"},
    {"round", 7, "n /to scale /even /down /half-down /floor /ceiling /half-ceiling"},
    {"subtract", 0, "value1 value2"},
    {"even?", 0, "number"},
    {"odd?", 0, "number"},
    {"and~", 0, "value1 value2"},
    {"complement", 0, "value"},
    {"or~", 0, "value1 value2"},
    {"xor~", 0, "value1 value2"},
    {"append", 3, "series value [any-type!] /part length /only /dup count [integer!]"},
    {"at", 0, "series index"},
    {"back", 0, "series"},
    {"change", 3, "series value [any-type!] /part range /only /dup count [integer!]"},
    {"clear", 0, "series"},
    {"copy", 3, "value /part length /deep /types kind"},
    {"find", 11, nullptr},  // FIND_SPEC and /tail /match
    {"head", 0, "series"},
    {"head?", 0, "series"},
    {"index?", 0, "series"},
    {"insert", 3, "series value [any-type!] /part length /only /dup count [integer!]"},
    {"length?", 0, "series"},
    {"move", 1, "origin target /part length"},
    {"next", 0, "series"},
    {"pick", 0, "series index"},
    {"poke", 0, "series index value [any-type!]"},
    {"put", 1, "series key value [any-type!] /case"},
    {"remove", 2, "series /part length /key key-arg"},
    {"reverse", 2, "series /part length /skip size [integer!]"},
    {"select", 9, nullptr},  // FIND_SPEC
    {"sort", 7, "series /case /skip size [integer!] /compare comparator /part length /all /reverse /stable"},
    {"skip", 0, "series offset"},
    {"swap", 0, "series1 series2"},
    {"tail", 0, "series"},
    {"tail?", 0, "series"},
    {"take", 3, "series /part length /deep /last"},
    {"trim", 6, "series /head /tail /auto /lines /all /with str"},
    {"create", 0, "port"},
    {"close", 0, "port"},
    {"delete", 0, "file"},
    {"modify", 1, "target field value [any-type!] /case"},
    {"open", 5, "port /new /read /write /seek /allow access"},
    {"open?", 0, "port"},
    {"query", 0, "target"},
    {"read", 6, "source /part length /seek index /binary /lines /info /as encoding"},
    {"rename", 0, "from to"},
    {"update", 0, "port"},
    {"write", 8,
     "destination data [any-type!] /binary /lines /info /append /part length /seek index /allow access /as encoding"},
};

StackForm dispatcher[ACTION_COUNT + 1] = {};
PortActors port_actors = nullptr;

Cell* frame() { return stack::state.arguments; }
bool used(const int32_t* r, int i) { return r[i] != -1; }
Cell* argument(const int32_t* r, int i) { return r[i] == -1 ? nullptr : frame() + r[i]; }

template <int A>
typename ActionSlot<A>::type typed(const Cell& value) {
    return reinterpret_cast<typename ActionSlot<A>::type>(lookup_value(value, A));
}

template <int A>
void plain(const int32_t*) {
    typed<A>(frame()[0])();
}

// The slot of an action that no type fills yet.
void not_done(const int32_t*) { fire(ErrorId::internal_not_done); }

void make_stack(const int32_t*) { make(frame(), frame(), frame() + 1); }
void to_stack(const int32_t*) { to(frame(), frame(), frame() + 1); }

void random_stack(const int32_t* r) {
    RandomOptions o;
    o.seed = used(r, 0);
    o.secure = used(r, 1);
    o.only = used(r, 2);
    typed<ACTION_RANDOM>(frame()[0])(frame(), frame(), o);
}

void reflect_stack(const int32_t*) {
    Cell* f = frame();
    typed<ACTION_REFLECT>(f[0])(f, f, int32_t(f[1].data2));
}

// form and mold: a /part limit of 0 or less gives an empty string without
// calling the type; otherwise the text goes into a new string above the
// frame's first cell, cut to the limit when one was given.
template <class Write>
void text_result(const Cell* part, Write&& write) {
    int64_t limit = part ? int64_t(cell_integer(*part)) : INT32_MAX;
    stack::state.top = frame() + 1;
    Cell* text = stack::push(make_none());
    string::ks_make_at(*text, 16);
    if (!part || limit > 0) {
        write(*text, part != nullptr, limit);
        if (part) string::truncate_at(memory::buffer_of(cell_node(*text)), int32_t(limit));
    }
    frame()[0] = *text;
    stack::state.top = frame() + 1;
}

void form_stack(const int32_t* r) {
    Cell* part = argument(r, 0);
    text_result(part, [](const Cell& text, bool p, int64_t limit) { form(frame()[0], text, p, limit); });
}

void mold_stack(const int32_t* r) {
    MoldOptions o;
    o.only = used(r, 0);
    o.all = used(r, 1);
    o.flat = used(r, 2);
    Cell* part = argument(r, 3);
    text_result(part, [&o](const Cell& text, bool p, int64_t limit) {
        o.part = p;
        o.limit = limit;
        mold(frame()[0], text, o);
    });
}

void eval_path_stack(const int32_t*) {
    Cell* f = frame();
    PathStep step;
    auto fn = reinterpret_cast<ActionSlot<ACTION_EVAL_PATH>::type>(lookup_path(f[0], nullptr, f[1], -1));
    fn(f, f, f + 1, nullptr, step);
}

void negate_stack(const int32_t*) { negate(frame(), frame()); }

void round_stack(const int32_t* r) {
    RoundOptions o;
    o.scale = argument(r, 0);
    o.even = used(r, 1);
    o.down = used(r, 2);
    o.half_down = used(r, 3);
    o.floor = used(r, 4);
    o.ceiling = used(r, 5);
    o.half_ceiling = used(r, 6);
    typed<ACTION_ROUND>(frame()[0])(frame(), frame(), o);
}

template <int A>
void parity_stack(const int32_t*) {
    bool answer = typed<A>(frame()[0])(frame()[0]);
    frame()[0] = logic::make_cell(answer);
}

void complement_stack(const int32_t*) { typed<ACTION_COMPLEMENT>(frame()[0])(frame(), frame()); }
void clear_stack(const int32_t*) { typed<ACTION_CLEAR>(frame()[0])(frame(), frame()); }

FindOptions find_options(const int32_t* r, bool with_tail) {
    FindOptions o;
    o.part = argument(r, 0);
    o.only = used(r, 1);
    o.case_sensitive = used(r, 2);
    o.same = used(r, 3);
    o.any = used(r, 4);
    o.with = argument(r, 5);
    o.skip = argument(r, 6);
    o.last = used(r, 7);
    o.reverse = used(r, 8);
    if (with_tail) {
        o.tail = used(r, 9);
        o.match = used(r, 10);
    }
    return o;
}

void find_stack(const int32_t* r) {
    FindOptions o = find_options(r, true);
    typed<ACTION_FIND>(frame()[0])(frame(), frame(), frame() + 1, o);
}

void select_stack(const int32_t* r) {
    FindOptions o = find_options(r, false);
    typed<ACTION_SELECT>(frame()[0])(frame(), frame(), frame() + 1, o);
}

void length_stack(const int32_t*) {
    int32_t n = typed<ACTION_LENGTH_Q>(frame()[0])(frame());
    frame()[0] = n == -1 ? none_value : make_integer(n);
}

void pick_stack(const int32_t*) {
    int32_t index = get_index();
    typed<ACTION_PICK>(frame()[0])(frame(), frame(), index, frame() + 1);
}

void poke_stack(const int32_t*) {
    int32_t index = get_index();
    typed<ACTION_POKE>(frame()[0])(frame(), frame(), index, frame() + 2, frame() + 1);
}

void remove_stack(const int32_t* r) {
    typed<ACTION_REMOVE>(frame()[0])(frame(), frame(), argument(r, 0), argument(r, 1));
}

void take_stack(const int32_t* r) {
    TakeOptions o;
    o.part = argument(r, 0);
    o.deep = used(r, 1);
    o.last = used(r, 2);
    typed<ACTION_TAKE>(frame()[0])(frame(), frame(), o);
}

// The positions of two cells of one series as a count, within 32 bits.
int32_t distance(const Cell& to, const Cell& from) {
    int64_t d = int64_t(int32_t(to.data1)) - int64_t(int32_t(from.data1));
    return int32_t(std::clamp<int64_t>(d, INT32_MIN, INT32_MAX));
}

// A negative /part count: the head moves back by that many values, no
// further than the series' start; the values passed become the count.
int32_t move_head_back(Cell& value, int32_t count) {
    int64_t back = std::min(-int64_t(count), int64_t(int32_t(value.data1)));
    value.data1 -= uint32_t(back);
    return int32_t(back);
}

// A /part position on another series: the message names the argument by
// its word, "invalid part argument:".
[[noreturn]] void fire_invalid_part_position(const Cell& part) {
    Cell word = words::refinement(words::Ref::part);
    word.header = TYPE_WORD;
    fire(ErrorId::script_invalid_refine_arg, {word, part});
}

// append and insert: /part measures the value (a count, or a position of
// the value's own series); a count of 0, or a negative one at the value's
// head, does nothing, and a negative count takes the values before the
// value's position. /dup below 1 does nothing. append works at the
// target's head.
void append_insert(const int32_t* r, bool append) {
    Cell* f = frame();
    Cell* part = argument(r, 0);
    Cell* dup = argument(r, 2);
    uint32_t t = type_of(f[0]);
    if (append && series::is_series_type(t)) f[0].data1 = 0;
    if (!append && t != TYPE_PORT && series::is_series_type(t)) series::length_in_units(f[0], false);
    AppendOptions o;
    o.only = used(r, 1);
    o.dup = dup ? cell_integer(*dup) : 1;
    if (o.dup < 1) return;  // the target, unchanged, is the result
    if (part) {
        Cell& value = f[1];
        uint32_t vt = type_of(value);
        if (!(series::is_series_type(vt) || vt == TYPE_MAP) || !value.data2)
            fire(ErrorId::script_invalid_part, {*part});
        series::length_in_units(value, false);
        int32_t count;
        if (type_of(*part) == TYPE_INTEGER) {
            count = cell_integer(*part);
        } else {
            if (type_of(*part) != vt || part->data2 != value.data2 || vt == TYPE_PORT)
                fire_invalid_part_position(*part);
            count = distance(*part, value);
        }
        if (count == 0 || (count < 0 && value.data1 == 0)) return;
        if (count < 0) count = move_head_back(value, count);
        o.part = count;
    }
    if (append)
        actions::append(f, f, f + 1, o);
    else
        actions::insert(f, f, f + 1, o);
}

void append_stack(const int32_t* r) { append_insert(r, true); }
void insert_stack(const int32_t* r) { append_insert(r, false); }

// change: /part measures the target (a count, or a position of the
// target's own series); a negative count moves the target's head back.
void change_stack(const int32_t* r) {
    Cell* f = frame();
    Cell* part = argument(r, 0);
    Cell* dup = argument(r, 2);
    AppendOptions o;
    o.only = used(r, 1);
    o.dup = dup ? cell_integer(*dup) : 1;
    if (o.dup < 1) return;
    if (part) {
        uint32_t t = type_of(f[0]);
        int32_t count;
        if (type_of(*part) == TYPE_INTEGER) {
            count = cell_integer(*part);
        } else {
            if (type_of(*part) != t || part->data2 != f[0].data2 || t == TYPE_PORT || t == TYPE_IMAGE)
                fire_invalid_part_position(*part);
            count = distance(*part, f[0]);
        }
        if (count < 0 && t != TYPE_PORT && t != TYPE_IMAGE) {
            count = move_head_back(f[0], count);
        } else if (count < 0) {
            count = 0;
        }
        o.part = count;
    }
    actions::change(f, f, f + 1, o);
}

void copy_stack(const int32_t* r) {
    CopyOptions o;
    o.part = argument(r, 0);
    o.deep = used(r, 1);
    o.types = argument(r, 2);
    if (o.types && type_of(*o.types) != TYPE_DATATYPE && type_of(*o.types) != TYPE_TYPESET)
        fire(ErrorId::script_expect_arg,
             {stack::current_call_word(), datatype::make(type_of(*o.types)), stack::call_arg_word(6)});
    actions::copy(frame(), frame(), o);
}

void move_stack(const int32_t* r) { actions::move(frame(), frame(), frame() + 1, argument(r, 0)); }
void put_stack(const int32_t* r) { actions::put(frame(), frame(), frame() + 1, frame() + 2, used(r, 0)); }
void reverse_stack(const int32_t* r) { actions::reverse(frame(), frame(), argument(r, 0), argument(r, 1)); }
void swap_stack(const int32_t*) { actions::swap(frame(), frame(), frame() + 1); }

void sort_stack(const int32_t* r) {
    SortOptions o;
    o.case_sensitive = used(r, 0);
    o.skip = argument(r, 1);
    o.compare = argument(r, 2);
    o.part = argument(r, 3);
    o.all = used(r, 4);
    o.reverse = used(r, 5);
    o.stable = used(r, 6);
    actions::sort(frame(), frame(), o);
}

void trim_stack(const int32_t* r) {
    TrimOptions o;
    o.head = used(r, 0);
    o.tail = used(r, 1);
    o.automatic = used(r, 2);
    o.lines = used(r, 3);
    o.all = used(r, 4);
    o.with = argument(r, 5);
    actions::trim(frame(), frame(), o);
}

void modify_stack(const int32_t* r) {
    typed<ACTION_MODIFY>(frame()[0])(frame(), frame(), frame() + 1, frame() + 2, used(r, 0));
}

// read: /part length /seek index /binary /lines /info /as encoding.
void read_stack(const int32_t* r) {
    ReadArgs a;
    a.part = argument(r, 0);
    a.seek = argument(r, 1);
    a.binary = used(r, 2);
    a.lines = used(r, 3);
    a.info = used(r, 4);
    a.as = argument(r, 5);
    actions::read(frame(), frame(), a);
}

// write: /binary /lines /info /append /part length /seek index /allow access
// /as encoding.
void write_stack(const int32_t* r) {
    WriteArgs a;
    a.binary = used(r, 0);
    a.lines = used(r, 1);
    a.info = used(r, 2);
    a.append = used(r, 3);
    a.part = argument(r, 4);
    a.seek = argument(r, 5);
    a.allow = argument(r, 6);
    a.as = argument(r, 7);
    actions::write(frame(), frame(), frame() + 1, a);
}

// open: /new /read /write /seek /allow access.
void open_stack(const int32_t* r) {
    OpenArgs a;
    a.new_ = used(r, 0);
    a.read = used(r, 1);
    a.write = used(r, 2);
    a.seek = used(r, 3);
    a.allow = argument(r, 4);
    actions::open(frame(), frame(), a);
}

void delete_stack(const int32_t*) { actions::delete_(frame(), frame()); }
void query_stack(const int32_t*) { actions::query(frame(), frame()); }
void rename_stack(const int32_t*) { actions::rename(frame(), frame(), frame() + 1); }
void create_stack(const int32_t*) { actions::create(frame(), frame()); }
void close_stack(const int32_t*) { actions::close(frame(), frame()); }
void update_stack(const int32_t*) { actions::update(frame(), frame()); }

}  // namespace

StackForm stack_form(int action) {
    if (action < 1 || action > ACTION_COUNT) return nullptr;
    return dispatcher[action];
}

const char* action_name(int action) {
    if (action < 1 || action > ACTION_COUNT) return "";
    return ACTIONS[action].name;
}

int refinement_count(int action) {
    if (action < 1 || action > ACTION_COUNT) return 0;
    return ACTIONS[action].refinements;
}

void make_words() {
    const std::string find_spec = std::string(FIND_SPEC) + " /tail /match";
    for (int a = 1; a <= ACTION_COUNT; ++a) {
        const char* spec = a == ACTION_FIND ? find_spec.c_str() : a == ACTION_SELECT ? FIND_SPEC : ACTIONS[a].spec;
        if (spec) natives::make_word(TYPE_ACTION, a, ACTIONS[a].name, spec);
    }
}

void init_dispatcher() {
    if (dispatcher[ACTION_ADD]) return;
    for (int a = 1; a <= ACTION_COUNT; ++a) dispatcher[a] = not_done;
    dispatcher[8] = nullptr;
    dispatcher[ACTION_COMPARE] = nullptr;
    dispatcher[ACTION_OPEN_Q] = nullptr;
    dispatcher[ACTION_MAKE] = make_stack;
    dispatcher[ACTION_RANDOM] = random_stack;
    dispatcher[ACTION_REFLECT] = reflect_stack;
    dispatcher[ACTION_TO] = to_stack;
    dispatcher[ACTION_FORM] = form_stack;
    dispatcher[ACTION_MOLD] = mold_stack;
    dispatcher[ACTION_EVAL_PATH] = eval_path_stack;
    dispatcher[ACTION_ABSOLUTE] = plain<ACTION_ABSOLUTE>;
    dispatcher[ACTION_ADD] = plain<ACTION_ADD>;
    dispatcher[ACTION_DIVIDE] = plain<ACTION_DIVIDE>;
    dispatcher[ACTION_MULTIPLY] = plain<ACTION_MULTIPLY>;
    dispatcher[ACTION_NEGATE] = negate_stack;
    dispatcher[ACTION_POWER] = plain<ACTION_POWER>;
    dispatcher[ACTION_REMAINDER] = plain<ACTION_REMAINDER>;
    dispatcher[ACTION_ROUND] = round_stack;
    dispatcher[ACTION_SUBTRACT] = plain<ACTION_SUBTRACT>;
    dispatcher[ACTION_EVEN_Q] = parity_stack<ACTION_EVEN_Q>;
    dispatcher[ACTION_ODD_Q] = parity_stack<ACTION_ODD_Q>;
    dispatcher[ACTION_AND_T] = plain<ACTION_AND_T>;
    dispatcher[ACTION_COMPLEMENT] = complement_stack;
    dispatcher[ACTION_OR_T] = plain<ACTION_OR_T>;
    dispatcher[ACTION_XOR_T] = plain<ACTION_XOR_T>;
    dispatcher[ACTION_AT] = plain<ACTION_AT>;
    dispatcher[ACTION_BACK] = plain<ACTION_BACK>;
    dispatcher[ACTION_CLEAR] = clear_stack;
    dispatcher[ACTION_FIND] = find_stack;
    dispatcher[ACTION_HEAD] = plain<ACTION_HEAD>;
    dispatcher[ACTION_HEAD_Q] = plain<ACTION_HEAD_Q>;
    dispatcher[ACTION_INDEX_Q] = plain<ACTION_INDEX_Q>;
    dispatcher[ACTION_LENGTH_Q] = length_stack;
    dispatcher[ACTION_NEXT] = plain<ACTION_NEXT>;
    dispatcher[ACTION_PICK] = pick_stack;
    dispatcher[ACTION_POKE] = poke_stack;
    dispatcher[ACTION_REMOVE] = remove_stack;
    dispatcher[ACTION_SELECT] = select_stack;
    dispatcher[ACTION_SKIP] = plain<ACTION_SKIP>;
    dispatcher[ACTION_TAIL] = plain<ACTION_TAIL>;
    dispatcher[ACTION_TAIL_Q] = plain<ACTION_TAIL_Q>;
    dispatcher[ACTION_TAKE] = take_stack;
    dispatcher[ACTION_MODIFY] = modify_stack;
    dispatcher[ACTION_APPEND] = append_stack;
    dispatcher[ACTION_INSERT] = insert_stack;
    dispatcher[ACTION_CHANGE] = change_stack;
    dispatcher[ACTION_COPY] = copy_stack;
    dispatcher[ACTION_MOVE] = move_stack;
    dispatcher[ACTION_PUT] = put_stack;
    dispatcher[ACTION_REVERSE] = reverse_stack;
    dispatcher[ACTION_SORT] = sort_stack;
    dispatcher[ACTION_SWAP] = swap_stack;
    dispatcher[ACTION_TRIM] = trim_stack;
    dispatcher[ACTION_READ] = read_stack;
    dispatcher[ACTION_WRITE] = write_stack;
    dispatcher[ACTION_OPEN] = open_stack;
    dispatcher[ACTION_DELETE] = delete_stack;
    dispatcher[ACTION_QUERY] = query_stack;
    dispatcher[ACTION_RENAME] = rename_stack;
    dispatcher[ACTION_CREATE] = create_stack;
    dispatcher[ACTION_CLOSE] = close_stack;
    dispatcher[ACTION_UPDATE] = update_stack;
}

PortActors install_port_actors(PortActors actors) {
    PortActors previous = port_actors;
    port_actors = actors;
    return previous;
}

datatype::Action lookup_value(const Cell& value, int action) {
    if (type_of(value) == TYPE_PORT && action >= ACTION_APPEND && port_actors) [[unlikely]] {
        if (const datatype::Action* table = port_actors(value)) {
            datatype::Action fn = table[action - ACTION_APPEND];
            if (!fn) fire(ErrorId::access_no_port_action);
            return fn;
        }
    }
    return lookup(type_of(value), action);
}

datatype::Action lookup_path(const Cell& value, const Cell* path, const Cell& element, int32_t index) {
    datatype::Action fn = datatype::slot(type_of(value), ACTION_EVAL_PATH);
    if (fn) [[likely]]
        return fn;
    Cell type = datatype::make(type_of(value));
    if (!path) fire(ErrorId::script_bad_path_type2, {element, type});
    Cell whole = *path;
    Rooted keep(whole);
    Cell cut = *block::push_copy(whole, false, false);
    block::truncate_at(cut, index + 1 < 0 ? 0 : index + 1);
    fire(ErrorId::script_bad_path_type, {whole, type, cut});
}

int32_t get_index() {
    const Cell& c = frame()[1];
    switch (type_of(c)) {
    case TYPE_INTEGER:
        return cell_integer(c);
    case TYPE_CHAR:
        return int32_t(c.data2);
    case TYPE_LOGIC:
        return c.data1 ? 1 : 2;
    default:
        return 0;
    }
}

}  // namespace kel::actions
