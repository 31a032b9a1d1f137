#include "runtime/evaluator/actions.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::actions {

namespace {
// The word naming the call: the innermost named frame's word, or the
// action's own name when runtime code called the action outside any call.
Cell call_word(int action) {
    Cell name = stack::current_call_word();
    if (name.data2 != words::word(words::Word::not_found).data2) return name;
    if (!*action_name(action)) return make_integer(action);  // slot 8 has no name
    return word::make_global(action_name(action));
}
}  // namespace

void fire_expect_arg(int action, uint32_t type) {
    Cell name = call_word(action);
    fire(ErrorId::script_expect_arg, {name, datatype::make(type), stack::call_arg_word(1)});
}

void fire_not_related(int action, uint32_t type) {
    fire(ErrorId::script_not_related, {call_word(action), datatype::make(type)});
}

namespace {
// make and to dispatch on the type they produce.
uint32_t target_type(const Cell& proto) {
    return type_of(proto) == TYPE_DATATYPE ? datatype::type_of_value(proto) : type_of(proto);
}
}  // namespace

namespace {
// The slot of an I/O action for a value: a port's native actor entry when
// it has one, else its type's slot.
template <int A>
typename ActionSlot<A>::type io_slot(const Cell& value) {
    return reinterpret_cast<typename ActionSlot<A>::type>(lookup_value(value, A));
}
// The slot of a series action: a port goes through io_slot (its native
// actor), every other value to its type's slot.
template <int A>
typename ActionSlot<A>::type value_slot(const Cell& value) {
    if (type_of(value) == TYPE_PORT) [[unlikely]]
        return io_slot<A>(value);
    return slot_for<A>(type_of(value));
}
}  // namespace

void make(Cell* out, Cell* proto, Cell* spec) {
    uint32_t type = target_type(*proto);
    slot_for<ACTION_MAKE>(type)(out, proto, spec, type);
}

void to(Cell* out, Cell* proto, Cell* spec) {
    uint32_t type = target_type(*proto);
    slot_for<ACTION_TO>(type)(out, proto, spec, type);
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    slot_for<ACTION_RANDOM>(type_of(*value))(out, value, options);
}

void reflect(Cell* out, Cell* value, int32_t field) { slot_for<ACTION_REFLECT>(type_of(*value))(out, value, field); }

int64_t form(Cell value, Cell buffer, bool part, int64_t limit) {
    return slot_for<ACTION_FORM>(type_of(value))(value, buffer, part, limit);
}

Cell formed(const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    Cell text = make_unset();
    string::ks_make_at(text, 16);
    Rooted keep_text(text);
    form(v, text, false, INT32_MAX);
    return text;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return slot_for<ACTION_MOLD>(type_of(value))(value, buffer, options);
}

void complement(Cell* out, Cell* value) { slot_for<ACTION_COMPLEMENT>(type_of(*value))(out, value); }

void clear(Cell* out, Cell* series) { value_slot<ACTION_CLEAR> (*series)(out, series); }

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    value_slot<ACTION_FIND> (*series)(out, series, value, options);
}

void select(Cell* out, Cell* series, Cell* value, const FindOptions& options) {
    value_slot<ACTION_SELECT> (*series)(out, series, value, options);
}

int32_t length(Cell* series) { return value_slot<ACTION_LENGTH_Q>(*series)(series); }

void pick(Cell* out, Cell* series, int32_t index, Cell* index_cell) {
    value_slot<ACTION_PICK> (*series)(out, series, index, index_cell);
}

void poke(Cell* out, Cell* series, int32_t index, Cell* value, Cell* index_cell) {
    value_slot<ACTION_POKE> (*series)(out, series, index, value, index_cell);
}

void remove(Cell* out, Cell* series, Cell* part, Cell* key) {
    value_slot<ACTION_REMOVE> (*series)(out, series, part, key);
}

void take(Cell* out, Cell* series, const TakeOptions& options) {
    value_slot<ACTION_TAKE> (*series)(out, series, options);
}

void modify(Cell* out, Cell* value, Cell* field, Cell* new_value, bool case_sensitive) {
    value_slot<ACTION_MODIFY> (*value)(out, value, field, new_value, case_sensitive);
}

void negate(Cell* out, Cell* value) { slot_for<ACTION_NEGATE>(type_of(*value))(out, value); }

void round(Cell* out, Cell* value, const RoundOptions& options) {
    slot_for<ACTION_ROUND>(type_of(*value))(out, value, options);
}

bool even(const Cell& value) { return slot_for<ACTION_EVEN_Q>(type_of(value))(value); }
bool odd(const Cell& value) { return slot_for<ACTION_ODD_Q>(type_of(value))(value); }

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    slot_for<ACTION_EVAL_PATH>(type_of(*parent))(out, parent, element, value, step);
}

void append(Cell* out, Cell* series, Cell* value, const AppendOptions& options) {
    value_slot<ACTION_APPEND> (*series)(out, series, value, options, true);
}

void insert(Cell* out, Cell* series, Cell* value, const AppendOptions& options) {
    value_slot<ACTION_INSERT> (*series)(out, series, value, options, false);
}

void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options) {
    value_slot<ACTION_CHANGE> (*series)(out, series, value, options);
}

void copy(Cell* out, Cell* series, const CopyOptions& options) {
    value_slot<ACTION_COPY> (*series)(out, series, options);
}

void move(Cell* out, Cell* origin, Cell* target, Cell* part) {
    value_slot<ACTION_MOVE> (*origin)(out, origin, target, part);
}

void put(Cell* out, Cell* series, Cell* key, Cell* value, bool case_sensitive) {
    value_slot<ACTION_PUT> (*series)(out, series, key, value, case_sensitive);
}

void reverse(Cell* out, Cell* series, Cell* part, Cell* skip) {
    value_slot<ACTION_REVERSE> (*series)(out, series, part, skip);
}

void sort(Cell* out, Cell* series, const SortOptions& options) {
    value_slot<ACTION_SORT> (*series)(out, series, options);
}

void swap(Cell* out, Cell* series1, Cell* series2) { value_slot<ACTION_SWAP> (*series1)(out, series1, series2); }

void trim(Cell* out, Cell* series, const TrimOptions& options) {
    value_slot<ACTION_TRIM> (*series)(out, series, options);
}

void read(Cell* out, Cell* source, const ReadArgs& args) { io_slot<ACTION_READ> (*source)(out, source, args); }
void write(Cell* out, Cell* destination, Cell* data, const WriteArgs& args) {
    io_slot<ACTION_WRITE> (*destination)(out, destination, data, args);
}
void open(Cell* out, Cell* spec, const OpenArgs& args) { io_slot<ACTION_OPEN> (*spec)(out, spec, args); }
void delete_(Cell* out, Cell* target) { io_slot<ACTION_DELETE> (*target)(out, target); }
void query(Cell* out, Cell* target) { io_slot<ACTION_QUERY> (*target)(out, target); }
void rename(Cell* out, Cell* from, Cell* to) { io_slot<ACTION_RENAME> (*from)(out, from, to); }
void create(Cell* out, Cell* port) { io_slot<ACTION_CREATE> (*port)(out, port); }
void close(Cell* out, Cell* port) { io_slot<ACTION_CLOSE> (*port)(out, port); }
void update(Cell* out, Cell* port) { io_slot<ACTION_UPDATE> (*port)(out, port); }

bool compare(const Cell& value1, const Cell& value2, int32_t op) {
    int32_t r = slot_for<ACTION_COMPARE>(type_of(value1))(value1, value2, op);
    switch (op) {
    case COMP_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SAME:
    case COMP_CASE_MATCH:
    case COMP_MATCH:
    case COMP_FIND:
        return r == 0;
    case COMP_NOT_EQUAL:
        return r != 0;
    default:
        break;
    }
    if (r == COMP_NOT_COMPARABLE) fire(ErrorId::script_invalid_compare, {value1, value2});
    switch (op) {
    case COMP_LESSER:
        return r < 0;
    case COMP_LESSER_EQUAL:
        return r <= 0;
    case COMP_GREATER:
        return r > 0;
    case COMP_GREATER_EQUAL:
        return r >= 0;
    default:
        internal_fault();  // the sort orders are three-way only
    }
}

int32_t compare_values(const Cell& value1, const Cell& value2, int32_t op) {
    auto fn = slot_for<ACTION_COMPARE>(type_of(value1));
    // Values of one type order by what identifies them, for every op: logic
    // by truth, natives, actions and ops by table index, functions and
    // routines by their more block. A value of another type goes to the
    // slot, which answers "not comparable": true is never 1, and a function
    // is never compared with a block's node.
    uint32_t t = type_of(value1);
    if (t == type_of(value2)) {
        auto order = [](uint32_t a, uint32_t b) { return int32_t(a > b) - int32_t(a < b); };
        switch (t) {
        case TYPE_LOGIC:
            return order(logic::get(value1), logic::get(value2));
        case TYPE_NATIVE:
        case TYPE_ACTION:
        case TYPE_OP:
            return order(value1.data1, value2.data1);
        case TYPE_FUNCTION:
        case TYPE_ROUTINE:
            return order(value1.data3, value2.data3);
        default:
            break;
        }
    }
    return fn(value1, value2, op);
}

void compare_to_logic(int32_t op) {
    Cell* frame = stack::arguments();
    bool answer = compare(frame[0], frame[1], op);
    frame[0] = logic::make_cell(answer);
}

}  // namespace kel::actions
