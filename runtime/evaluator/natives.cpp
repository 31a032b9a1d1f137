#include "runtime/evaluator/natives.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/native-checks.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/natives-control.h"
#include "runtime/evaluator/natives-convert.h"
#include "runtime/evaluator/natives-data.h"
#include "runtime/evaluator/natives-do.h"
#include "runtime/evaluator/natives-iteration.h"
#include "runtime/evaluator/natives-logic.h"
#include "runtime/evaluator/natives-math.h"
#include "runtime/evaluator/natives-print.h"
#include "runtime/evaluator/natives-sets.h"
#include "runtime/evaluator/natives-system.h"
#include "runtime/evaluator/natives-words.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::natives {

namespace detail {
Entry table[TABLE_SIZE + 1] = {};
}  // namespace detail

namespace {

const Entry empty_entry{};
Services installed_services;

}  // namespace

using detail::table;

Services& services() { return installed_services; }

void init() {
    if (table[IF].fn) return;
    control::register_natives(table);
    logic_natives::register_natives(table);
    sets::register_natives(table);
    math::register_natives(table);
    convert::register_natives(table);
    system_natives::register_natives(table);
    iteration::register_natives(table);
    do_native::register_natives(table);
    print::register_natives(table);
    word_natives::register_natives(table);
    data::register_natives(table);
}

Native entry(int32_t index) {
    if (index < 1 || index > TABLE_SIZE) return nullptr;
    return table[index].fn;
}

const Entry& describe(int32_t index) {
    if (index < 1 || index > TABLE_SIZE) return empty_entry;
    return table[index];
}

void make_word(uint32_t type, int32_t index, const char* word, const char* spec_text) {
    Cell* saved = stack::top();
    // [spec-block index], the spec that make native! and make action! take.
    Cell* pair = stack::push(make_none());
    block::make_at(*pair, 2);
    pair->header = TYPE_BLOCK;
    Cell* spec = stack::push(make_none());
    const char* text = spec_text ? spec_text : "";
    lexer::scan(spec, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    block::append_cell(*pair, *spec);
    block::append_cell(*pair, make_integer(index));
    Cell proto = datatype::make(type);
    Cell* out = stack::push(make_none());
    native::make(out, &proto, pair, type);
    register_value(*out);
    Cell w = context::add_global(symbol::make(word), false, true);
    context::set(w, *out);
    stack::pop(uint32_t(stack::top() - saved));
}

namespace {
// Root cells holding the registered values, made on first use.
Cell* native_values[TABLE_SIZE + 1];
Cell* action_values[native::ACTION_TABLE_COUNT + 1];

Cell** registry_slot(uint32_t type, int32_t index) {
    if (type == TYPE_NATIVE && index >= 1 && index <= TABLE_SIZE) return &native_values[index];
    if (type == TYPE_ACTION && index >= 1 && index <= native::ACTION_TABLE_COUNT) return &action_values[index];
    return nullptr;
}
}  // namespace

const Cell* registered(uint32_t type, int32_t index) {
    Cell** slot = registry_slot(type, index);
    return slot ? *slot : nullptr;
}

void register_value(const Cell& value) {
    Cell** slot = registry_slot(type_of(value), int32_t(value.data1));
    if (slot && !*slot) *slot = roots::append(value);
}

void make_words() {
    for (int32_t i = 1; i <= TABLE_SIZE; ++i) {
        const Entry& e = table[i];
        if (e.fn && e.word) make_word(TYPE_NATIVE, i, e.word, e.spec);
    }
}

uint32_t call(int32_t index, bool check, const int32_t* refinements) {
    Native fn = entry(index);
    if (!fn) [[unlikely]]
        fire(ErrorId::internal_not_done);
    if (check) check_arguments(index, refinements);
    return fn(check, refinements);
}

}  // namespace kel::natives
