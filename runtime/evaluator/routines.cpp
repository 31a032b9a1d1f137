#include "runtime/evaluator/routines.h"
#include "runtime/datatypes/routine.h"

#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::routines {

namespace {

Routine table[TABLE_SIZE + 1] = {};
int32_t next_index = 1;

bool is_symbol(const Cell& w, words::Sym s) { return words::is(int32_t(w.data2), s); }

}  // namespace

namespace {

// The given spec blocks: a root cell holding the pairs, and for each text
// the positions of its blocks in them, in order, the next unused first.
Cell* given = nullptr;
std::unordered_map<std::string, std::deque<uint32_t>> given_at;

}  // namespace

void give_spec_blocks(const Cell& pairs) {
    if (!given) given = roots::append(make_none());
    *given = pairs;
    given_at.clear();
    uint32_t n = uint32_t(block::buffer(pairs)->cell_count());
    for (uint32_t i = 0; i + 1 < n; i += 2) {
        const Cell text = block::buffer(pairs)->cells()[i];
        if (type_of(text) != TYPE_STRING || type_of(block::buffer(pairs)->cells()[i + 1]) != TYPE_BLOCK) continue;
        std::string key(size_t(binary::measure(text, -1, false)), '\0');
        binary::write(reinterpret_cast<uint8_t*>(key.data()), text, -1, false);
        given_at[key].push_back(i + 1);
    }
}

void spec_block(Cell* out, const char* text) {
    auto it = given_at.find(text);
    if (it != given_at.end() && !it->second.empty()) {
        *out = block::buffer(*given)->cells()[it->second.front()];
        it->second.pop_front();
        return;
    }
    lexer::scan(out, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
}

int32_t add(Routine fn) {
    if (next_index > TABLE_SIZE) internal_fault();
    table[next_index] = fn;
    return next_index++;
}

Cell* push(const Entry& e) {
    int32_t index = 0;
    for (int32_t i = 1; i < next_index && !index; ++i)
        if (table[i] == e.fn) index = i;
    if (!index) index = add(e.fn);
    Cell* spec = stack::push(make_none());
    spec_block(spec, e.spec);
    Cell* r = routine::push(*spec, nullptr, index, e.result_type, false);
    *spec = *r;
    stack::pop(uint32_t(stack::top() - spec - 1));
    return spec;
}

void make_words(std::span<const Entry> entries) {
    for (const Entry& e : entries) {
        Cell* saved = stack::top();
        Cell* r = push(e);
        Cell word = context::add_global(symbol::make(e.word), false, true);
        context::set(word, *r);
        stack::pop(uint32_t(stack::top() - saved));
    }
}

void exec(const Cell& r) {
    SeriesBuffer* more = memory::buffer_of(r.data3);
    int32_t index = cell_integer(more->cells()[2]);
    int32_t result_type = cell_integer(more->cells()[4]);
    if (index < 1 || index >= next_index || !table[index]) fire(ErrorId::internal_not_done);
    // The type word of each argument, taken from the spec when the routine
    // was made: the spec block itself is shared with reflection and may
    // have been edited since.
    Cell types[MAX_ARGS];
    const Cell type_words = more->cells()[5];
    int32_t count = block::ks_length(type_words);
    if (count > MAX_ARGS) internal_fault();
    for (int32_t i = 0; i < count; ++i) {
        types[i] = *block::ks_abs_at(type_words, i);
        if (type_of(types[i]) != TYPE_WORD) fire(ErrorId::script_invalid_type_spec, {types[i]});
    }
    Cell* frame = stack::state.arguments;
    Arg args[MAX_ARGS];
    for (int32_t i = 0; i < count; ++i) {
        const Cell& type_word = types[i];
        Cell& value = frame[i];
        if (!is_symbol(type_word, words::Sym::any_type_t)) {
            Cell allowed = *context::get(type_word);
            bool ok = type_of(allowed) == TYPE_TYPESET
                ? typeset::has(allowed, type_of(value))
                : type_of(allowed) == TYPE_DATATYPE && datatype::type_of_value(allowed) == type_of(value);
            if (!ok)
                fire(ErrorId::script_expect_arg,
                     {stack::current_call_word(), datatype::make(type_of(value)), stack::call_arg_word(i + 1)});
        }
        if (is_symbol(type_word, words::Sym::logic_t))
            args[i].integer = value.data1 ? 1 : 0;
        else if (is_symbol(type_word, words::Sym::integer_t))
            args[i].integer = cell_integer(value);
        else if (is_symbol(type_word, words::Sym::float_t))
            args[i].number = cell_double(value);
        else
            args[i].cell = &value;
    }
    Result result = table[index](args, count);
    frame = stack::state.arguments;
    switch (result_type) {
    case TYPE_LOGIC:
        frame[0] = logic::make_cell(result.integer != 0);
        break;
    case TYPE_INTEGER:
        frame[0] = make_integer(result.integer);
        break;
    case TYPE_FLOAT:
        frame[0] = float_::make_cell(result.number);
        break;
    default:
        break;
    }
    stack::state.top = frame + 1;
}

}  // namespace kel::routines
