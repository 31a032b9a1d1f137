// The series and I/O actions of port!: each is forwarded to the port's
// object actor as a call of its function of the action's name. The values
// after the port, per action (a refinement is a logic! flag, followed by its
// argument, or none, when it takes one):
//
//   at, pick, skip       the index or offset
//   append, insert,      value; /part flag and count (integer!, the flag set
//   change               for a count of 0 or more); /only; /dup flag and
//                        count (the flag set only above 1)
//   copy                 /part and length; /deep; /types and kind
//   find                 value; /part and length; /only /case /same /any;
//                        /with and wild; /skip and size; /last /reverse
//                        /tail /match
//   select               as find, without /tail and /match
//   move                 target; /part and length
//   modify               field, value, /case
//   open                 /new /read /write /seek; /allow and access
//   poke                 index, value
//   put                  key, value, /case
//   remove, reverse      /part and length
//   rename               the new name
//   sort                 /case; /skip and size; /compare and comparator;
//                        /part and length; /all /reverse /stable
//   swap                 the second series
//   take                 /part and length; /deep /last
//   trim                 /head /tail /auto /lines /all; /with and str
//   the others           nothing
//
// read is open (with /seek when given), copy with the /part length, close;
// write is open /write (and /seek), insert with the /part count when it is
// an integer!, copy with the /part length, close. Both answer the copy.
#include "runtime/core/fire.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/port-internal.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::port {

namespace {

Cell flag(bool on) { return logic::make_cell(on); }
Cell maybe(const Cell* value) { return value ? *value : make_none(); }
Cell integer(int32_t n) { return make_integer(n); }

// The pick and poke index as the caller gave it, else its number.
Cell index_value(int32_t index, const Cell* index_cell) { return index_cell ? *index_cell : make_integer(index); }

void append_like(int action, Cell* out, Cell* port, Cell* value, const AppendOptions& o) {
    forward(out, action, *port,
            {*value, flag(o.part >= 0), integer(o.part), flag(o.only), flag(o.dup > 1), integer(o.dup)});
}

template <int A>
void nothing_more(Cell* out, Cell* port) {
    forward(out, A, *port, {});
}

// Plain actions take their values from the argument frame and leave the
// result in its first cell.
template <int A>
void plain_none() {
    Cell* frame = stack::state.arguments;
    Cell port = frame[0];
    Rooted keep(port);
    forward(frame, A, port, {});
}
template <int A>
void plain_offset() {
    Cell* frame = stack::state.arguments;
    Cell port = frame[0];
    Rooted keep(port);
    forward(frame, A, port, {frame[1]});
}

void append_slot(Cell* out, Cell* port, Cell* value, const AppendOptions& o, bool append) {
    append_like(append ? ACTION_APPEND : ACTION_INSERT, out, port, value, o);
}
void change_slot(Cell* out, Cell* port, Cell* value, const AppendOptions& o) {
    append_like(ACTION_CHANGE, out, port, value, o);
}
void clear_slot(Cell* out, Cell* port) { forward(out, ACTION_CLEAR, *port, {}); }
void copy_slot(Cell* out, Cell* port, const CopyOptions& o) {
    forward(out, ACTION_COPY, *port, {flag(o.part), maybe(o.part), flag(o.deep), flag(o.types), maybe(o.types)});
}
void find_slot(Cell* out, Cell* port, Cell* value, const FindOptions& o) {
    forward(out, ACTION_FIND, *port,
            {*value, flag(o.part), maybe(o.part), flag(o.only), flag(o.case_sensitive), flag(o.same), flag(o.any),
             flag(o.with), maybe(o.with), flag(o.skip), maybe(o.skip), flag(o.last), flag(o.reverse), flag(o.tail),
             flag(o.match)});
}
void select_slot(Cell* out, Cell* port, Cell* value, const FindOptions& o) {
    forward(out, ACTION_SELECT, *port,
            {*value, flag(o.part), maybe(o.part), flag(o.only), flag(o.case_sensitive), flag(o.same), flag(o.any),
             flag(o.with), maybe(o.with), flag(o.skip), maybe(o.skip), flag(o.last), flag(o.reverse)});
}
// length? answers a count: an integer! result is the count, anything else
// none.
int32_t length_slot(Cell* port) {
    Cell result = make_none();
    Rooted keep(result);
    forward(&result, ACTION_LENGTH_Q, *port, {});
    return type_of(result) == TYPE_INTEGER ? int32_t(result.data2) : -1;
}
void move_slot(Cell* out, Cell* port, Cell* target, Cell* part) {
    forward(out, ACTION_MOVE, *port, {*target, flag(part), maybe(part)});
}
void pick_slot(Cell* out, Cell* port, int32_t index, Cell* index_cell) {
    forward(out, ACTION_PICK, *port, {index_value(index, index_cell)});
}
void poke_slot(Cell* out, Cell* port, int32_t index, Cell* value, Cell* index_cell) {
    forward(out, ACTION_POKE, *port, {index_value(index, index_cell), *value});
}
void put_slot(Cell* out, Cell* port, Cell* key, Cell* value, bool case_sensitive) {
    forward(out, ACTION_PUT, *port, {*key, *value, flag(case_sensitive)});
}
void remove_slot(Cell* out, Cell* port, Cell* part, Cell*) {
    forward(out, ACTION_REMOVE, *port, {flag(part), maybe(part)});
}
void reverse_slot(Cell* out, Cell* port, Cell* part, Cell*) {
    forward(out, ACTION_REVERSE, *port, {flag(part), maybe(part)});
}
void sort_slot(Cell* out, Cell* port, const SortOptions& o) {
    forward(out, ACTION_SORT, *port,
            {flag(o.case_sensitive), flag(o.skip), maybe(o.skip), flag(o.compare), maybe(o.compare), flag(o.part),
             maybe(o.part), flag(o.all), flag(o.reverse), flag(o.stable)});
}
void swap_slot(Cell* out, Cell* port, Cell* other) { forward(out, ACTION_SWAP, *port, {*other}); }
void take_slot(Cell* out, Cell* port, const TakeOptions& o) {
    forward(out, ACTION_TAKE, *port, {flag(o.part), maybe(o.part), flag(o.deep), flag(o.last)});
}
void trim_slot(Cell* out, Cell* port, const TrimOptions& o) {
    forward(out, ACTION_TRIM, *port,
            {flag(o.head), flag(o.tail), flag(o.automatic), flag(o.lines), flag(o.all), flag(o.with), maybe(o.with)});
}
void modify_slot(Cell* out, Cell* port, Cell* field, Cell* value, bool case_sensitive) {
    forward(out, ACTION_MODIFY, *port, {*field, *value, flag(case_sensitive)});
}
void open_slot(Cell* out, Cell* port, const OpenArgs& a) {
    forward(out, ACTION_OPEN, *port,
            {flag(a.new_), flag(a.read), flag(a.write), flag(a.seek), flag(a.allow), maybe(a.allow)});
}
void rename_slot(Cell* out, Cell* port, Cell* to) { forward(out, ACTION_RENAME, *port, {*to}); }

// read and write: open the port, insert the value (write only), copy it with
// the /part length, close it; the copy is the answer.
void exchange(Cell* out, Cell* port_cell, const OpenArgs& open, Cell* insert_value, const Cell* part) {
    Cell port = *port_cell;
    Rooted keep(port);
    Cell scratch = make_none(), result = make_none();
    Rooted keep_scratch(scratch), keep_result(result);
    actions::open(&scratch, &port, open);
    if (insert_value) {
        Cell value = *insert_value;
        Rooted keep_value(value);
        AppendOptions insert;
        if (part && type_of(*part) == TYPE_INTEGER) insert.part = int32_t(part->data2);
        actions::insert(&scratch, &port, &value, insert);
    }
    CopyOptions copy;
    copy.part = part;
    actions::copy(&result, &port, copy);
    actions::close(&scratch, &port);
    *out = result;
}

void read_slot(Cell* out, Cell* port, const ReadArgs& args) {
    OpenArgs open;
    open.seek = args.seek != nullptr;
    exchange(out, port, open, nullptr, args.part);
}

void write_slot(Cell* out, Cell* port, Cell* data, const WriteArgs& args) {
    OpenArgs open;
    open.write = true;
    open.seek = args.seek != nullptr;
    exchange(out, port, open, data, args.part);
}

}  // namespace

void forward(Cell* out, int action, const Cell& port, std::initializer_list<Cell> values) {
    Cell actor = actor_of(port);
    Rooted keep_actor(actor);
    if (type_of(actor) != TYPE_OBJECT) fire(ErrorId::access_invalid_port);
    Cell name = word::make_global(actions::action_name(action));
    Rooted keep_name(name);
    Cell fn = object::field_value(actor, int32_t(name.data2));
    Rooted keep_fn(fn);
    if (type_of(fn) != TYPE_FUNCTION) fire(ErrorId::access_no_port_action, {name});
    // The arguments stay put on the argument stack for the call.
    Cell* saved = stack::top();
    Cell* args = stack::push(port);
    for (const Cell& v : values) stack::push(v);
    Cell result = interpreter::call_port_actor(fn, args, int32_t(values.size() + 1), name);
    stack::pop(uint32_t(stack::top() - saved));
    *out = result;
}

void add_forwarders(datatype::Record& r) {
    r.own<ACTION_APPEND>(append_slot)
        .own<ACTION_INSERT>(append_slot)
        .own<ACTION_CHANGE>(change_slot)
        .own<ACTION_AT>(plain_offset<ACTION_AT>)
        .own<ACTION_SKIP>(plain_offset<ACTION_SKIP>)
        .own<ACTION_BACK>(plain_none<ACTION_BACK>)
        .own<ACTION_HEAD>(plain_none<ACTION_HEAD>)
        .own<ACTION_HEAD_Q>(plain_none<ACTION_HEAD_Q>)
        .own<ACTION_INDEX_Q>(plain_none<ACTION_INDEX_Q>)
        .own<ACTION_NEXT>(plain_none<ACTION_NEXT>)
        .own<ACTION_TAIL>(plain_none<ACTION_TAIL>)
        .own<ACTION_TAIL_Q>(plain_none<ACTION_TAIL_Q>)
        .own<ACTION_CLEAR>(clear_slot)
        .own<ACTION_COPY>(copy_slot)
        .own<ACTION_FIND>(find_slot)
        .own<ACTION_SELECT>(select_slot)
        .own<ACTION_LENGTH_Q>(length_slot)
        .own<ACTION_MOVE>(move_slot)
        .own<ACTION_PICK>(pick_slot)
        .own<ACTION_POKE>(poke_slot)
        .own<ACTION_PUT>(put_slot)
        .own<ACTION_REMOVE>(remove_slot)
        .own<ACTION_REVERSE>(reverse_slot)
        .own<ACTION_SORT>(sort_slot)
        .own<ACTION_SWAP>(swap_slot)
        .own<ACTION_TAKE>(take_slot)
        .own<ACTION_TRIM>(trim_slot)
        .own<ACTION_CREATE>(nothing_more<ACTION_CREATE>)
        .own<ACTION_CLOSE>(nothing_more<ACTION_CLOSE>)
        .own<ACTION_DELETE>(nothing_more<ACTION_DELETE>)
        .own<ACTION_QUERY>(nothing_more<ACTION_QUERY>)
        .own<ACTION_UPDATE>(nothing_more<ACTION_UPDATE>)
        .own<ACTION_MODIFY>(modify_slot)
        .own<ACTION_OPEN>(open_slot)
        .own<ACTION_RENAME>(rename_slot)
        .own<ACTION_READ>(read_slot)
        .own<ACTION_WRITE>(write_slot);
}

}  // namespace kel::port
