#include "runtime/evaluator/native-checks.h"

#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/lexer.h"

namespace kel::natives {

namespace {

// One argument: the types it takes (a typeset! cell, which holds no node)
// and the symbol of its word.
struct Arg {
    Cell types;
    int32_t symbol;
};

// A native's checks: the mandatory arguments, then the arguments of each
// refinement in spec order.
struct Checks {
    bool built = false;
    std::vector<Arg> mandatory;
    std::vector<std::vector<Arg>> refinements;
};

Checks checks[TABLE_SIZE + 1];

bool is_arg_word(uint32_t t) { return t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD; }

// Reads the spec text: words with their type blocks, refinements, and
// /local ending the arguments; doc strings and a return: block are skipped.
Checks build(const char* text) {
    Checks out;
    Cell* saved = stack::top();
    Cell* spec = stack::push(make_none());
    lexer::scan(spec, reinterpret_cast<const uint8_t*>(text), int64_t(std::strlen(text)), lexer::Options{});
    int32_t local = symbol::resolve(int32_t(words::refinement(words::Ref::local).data2));
    int32_t length = block::ks_length(*spec);
    std::vector<Arg>* group = &out.mandatory;
    for (int32_t i = 0; i < length; ++i) {
        const Cell c = block::ks_abs_at(*spec, int32_t(spec->data1) + i)[0];
        uint32_t t = type_of(c);
        if (t == TYPE_REFINEMENT) {
            if (symbol::resolve(int32_t(c.data2)) == local) break;
            out.refinements.emplace_back();
            group = &out.refinements.back();
        } else if (t == TYPE_SET_WORD) {
            // return: [types]
            if (i + 1 < length && type_of(block::ks_abs_at(*spec, int32_t(spec->data1) + i + 1)[0]) == TYPE_BLOCK) ++i;
        } else if (is_arg_word(t)) {
            Cell types = typeset::make_default();
            if (i + 1 < length) {
                const Cell next = block::ks_abs_at(*spec, int32_t(spec->data1) + i + 1)[0];
                if (type_of(next) == TYPE_BLOCK) {
                    if (block::ks_length(next) > 0) types = typeset::from_block(next);
                    ++i;
                }
            }
            group->push_back(Arg{types, int32_t(c.data2)});
        }
    }
    stack::pop(uint32_t(stack::top() - saved));
    out.built = true;
    return out;
}

void check(const Arg& arg, const Cell& value, const char* native_word) {
    uint32_t t = type_of(value);
    if (typeset::has(arg.types, t)) return;
    fire(ErrorId::script_expect_arg, {word::make_global(native_word), datatype::make(t), word::make(arg.symbol)});
}

}  // namespace

void check_arguments(int32_t index, const int32_t* refinements) {
    const Entry& e = describe(index);
    if (!e.fn) return;
    Checks& c = checks[index];
    if (!c.built) c = build(e.spec ? e.spec : "");
    const Cell* a = stack::state.arguments;
    for (size_t k = 0; k < c.mandatory.size(); ++k) check(c.mandatory[k], a[k], e.word);
    for (size_t r = 0; r < c.refinements.size(); ++r) {
        if (refinements[r] < 0) continue;
        const std::vector<Arg>& group = c.refinements[r];
        for (size_t j = 0; j < group.size(); ++j) check(group[j], a[size_t(refinements[r]) + j], e.word);
    }
}

}  // namespace kel::natives
