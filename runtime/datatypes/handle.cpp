#include "runtime/datatypes/handle.h"

#include <cstring>

#include "runtime/datatypes/string.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"

namespace kel::handle {

namespace {

const char* const class_names[] = {nullptr, "fd", "monitor", "window", "font", "rich-text"};
constexpr uint32_t CLASS_COUNT = sizeof class_names / sizeof class_names[0];

void append(const Cell& buffer, const char* text) { string::append_c_string(buffer, text); }

}  // namespace

const char* class_name(uint32_t klass) { return klass < CLASS_COUNT ? class_names[klass] : nullptr; }

Cell* make_at(Cell& cell, int32_t value, uint32_t klass) {
    cell = make_cell(value, klass);
    return &cell;
}

Cell* box(int32_t value, uint32_t klass) { return make_at(*stack::arguments(), value, klass); }

Cell* push(int32_t value, uint32_t klass) { return stack::push(make_cell(value, klass)); }

Cell* push_null() { return push(0, CLASS_NULL); }

Cell* make_in(const Cell& block, int32_t value, uint32_t klass) {
    Cell* c = alloc_block_tail(block);
    *c = make_cell(value, klass);
    return c;
}

// The value as 8 upper-case hex digits and "h" (a negative value padded with
// F); the budget loses 9.
static int64_t form(Cell value, Cell buffer, bool, int64_t limit) {
    static const char digits[] = "0123456789ABCDEF";
    uint32_t v = uint32_t(value_of(value));
    char text[10];
    for (int i = 0; i < 8; ++i) text[i] = digits[(v >> (28 - 4 * i)) & 0xF];
    text[8] = 'h';
    text[9] = 0;
    append(buffer, text);
    return limit - 9;
}

// "handle!"; with /all "#[handle! ", the form, a space and the class name
// when it has one, and "]". The budget loses the characters written.
static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    if (!options.all) {
        append(buffer, "handle!");
        return options.limit - 7;
    }
    append(buffer, "#[handle! ");
    int64_t limit = form(value, buffer, options.part, options.limit - 10);
    if (const char* name = class_name(class_of(value))) {
        append(buffer, " ");
        append(buffer, name);
        limit -= 1 + int64_t(std::strlen(name));
    }
    append(buffer, "]");
    return limit - 1;
}

// 1 against another type; otherwise the values as signed 32-bit integers.
static int32_t compare(const Cell& value1, const Cell& value2, int32_t) {
    if (type_of(value2) != TYPE_HANDLE) return 1;
    int32_t a = value_of(value1), b = value_of(value2);
    return a < b ? -1 : a > b ? 1 : 0;
}

void init() {
    datatype::register_type(datatype::Record(TYPE_HANDLE, TYPE_INTEGER, "handle!")
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare));
}

}  // namespace kel::handle
