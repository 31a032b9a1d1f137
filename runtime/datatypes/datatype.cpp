#include "runtime/datatypes/datatype.h"

#include <cstring>

#include "runtime/core/print.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel::datatype {

Action action_table[TYPE_TOTAL][ACTION_COUNT + 1];

namespace {

struct NameEntry {
    const char* name = nullptr;  // with the trailing "!"
    uint32_t length = 0;  // without it
    const Cell* word = nullptr;  // a root-block cell, once made
};

NameEntry names[TYPE_TOTAL];
uint32_t highest_id = 0;
WordMaker word_maker = nullptr;

// A broken record is a fault of the build, not of a script: the process ends
// with "assertion failed" rather than a status that reads as success.
[[noreturn]] void refuse_record(uint32_t id, int32_t found) {
    print_line(
        {PrintItem::text("*** Datatype Error: invalid actions count for type: "), PrintItem::integer(int32_t(id))});
    print_line({PrintItem::text("*** Found: "), PrintItem::integer(found)});
    print_line({PrintItem::text("*** Expected: "), PrintItem::integer(ACTION_COUNT)});
    system_quit(exit_status::ASSERTION_FAILED, caller_location());
}

[[noreturn]] void refuse_id(uintptr_t id) {
    print_line({PrintItem::text("*** Datatype Error: invalid type id: "), PrintItem::integer(int32_t(id))});
    system_quit(exit_status::ASSERTION_FAILED, caller_location());
}

void make_word(uint32_t id) {
    Cell word = word_maker(names[id].name);
    names[id].word = roots::append(word);
}

}  // namespace

void register_record(uint32_t count, const RecordWord* record) {
    if (count != RECORD_COUNT) refuse_record(count > 0 ? uint32_t(record[0]) : 0, int32_t(count) - 3);
    RecordWord id = record[0];
    RecordWord parent = record[1];
    if (id == 0 || id >= TYPE_TOTAL) refuse_id(id);
    if (parent >= TYPE_TOTAL) refuse_id(parent);
    if (id > highest_id) highest_id = uint32_t(id);

    const char* name = reinterpret_cast<const char*>(record[2]);
    size_t length = name ? std::strlen(name) : 0;
    names[id].name = name;
    names[id].length = length > 0 ? uint32_t(length - 1) : 0;
    if (word_maker) make_word(uint32_t(id));

    // The parent's row is read as it stands now; its own inherited slots were
    // resolved when it registered. Without a parent there is nothing to
    // inherit and the slot stays empty.
    for (int a = 1; a <= ACTION_COUNT; ++a) {
        RecordWord s = record[2 + a];
        if (s == INHERIT)
            action_table[id][a] = parent ? action_table[parent][a] : nullptr;
        else
            action_table[id][a] = reinterpret_cast<Action>(s);
    }
}

uint32_t highest() { return highest_id; }

const char* name(uint32_t type) { return type < TYPE_TOTAL ? names[type].name : nullptr; }

uint32_t name_length(uint32_t type) { return type < TYPE_TOTAL ? names[type].length : 0; }

const Cell* word(uint32_t type) { return type < TYPE_TOTAL ? names[type].word : nullptr; }

void make_words(WordMaker make_global) {
    word_maker = make_global;
    for (uint32_t id = 1; id <= highest_id; ++id)
        if (names[id].name) make_word(id);
}

Cell* make_in(const Cell& block, uint32_t type) {
    Cell* c = alloc_block_tail(block);
    *c = make(type);
    return c;
}

Cell* push(uint32_t type) {
    Cell* c = stack::reserve_cell();
    *c = make(type);
    return c;
}

int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    uint32_t type = type_of_value(value);
    uint32_t n = name_length(type);
    if (const char* text = name(type)) string::append_c_string_part(buffer, text, int32_t(n));
    return limit - n;
}

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    uint32_t type = type_of_value(value);
    const char* text = name(type);
    if (!text) return options.limit;
    uint32_t n = name_length(type) + 1;
    if (options.all) string::append_c_string(buffer, "#(");
    string::append_c_string(buffer, text);
    if (options.all) {
        string::append_c_string(buffer, ")");
        n += 3;
    }
    return options.limit - n;
}

int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_SAME:
    case COMP_FIND:
        return type_of(value2) == TYPE_DATATYPE && value2.data1 == value1.data1 ? 0 : 1;
    default:
        return COMP_NOT_COMPARABLE;
    }
}

void init() {
    register_type(Record(TYPE_DATATYPE, 0, "datatype!")
                      .own<ACTION_FORM>(form)
                      .own<ACTION_MOLD>(mold)
                      .own<ACTION_COMPARE>(compare));
}

}  // namespace kel::datatype
