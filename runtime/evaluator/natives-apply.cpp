#include "runtime/evaluator/natives-apply.h"

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory/roots.h"

namespace kel::natives::apply {

namespace {

using interpreter::code_at;
using interpreter::code_tail;

enum Kind : uint8_t { NORMAL, GET, LIT };

// One argument or refinement of the callee's spec, in spec order.
struct Entry {
    bool refinement;
    Kind kind;
    Cell word;     // the spec's word (errors name it)
    Cell types;    // typeset! of an argument
};

bool cells_for_refinements(uint32_t t) { return t == TYPE_FUNCTION || t == TYPE_ROUTINE; }

// The spec's arguments and refinements up to /local, and the size of the
// local group (0 without /local).
std::vector<Entry> read_spec(const Cell& fn, int32_t* locals) {
    Cell spec_cell{TYPE_BLOCK, 0, fn.data2, 0};
    Rooted keep(spec_cell);
    std::vector<Entry> entries;
    int32_t local = symbol::resolve(int32_t(words::refinement(words::Ref::local).data2));
    *locals = 0;
    for (int32_t i = 0; i < code_tail(fn.data2); ++i) {
        Cell c = *code_at(fn.data2, i);
        uint32_t t = type_of(c);
        if (t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD) {
            Cell next = i + 1 < code_tail(fn.data2) ? *code_at(fn.data2, i + 1) : none_value;
            Entry e{false, t == TYPE_GET_WORD ? GET : t == TYPE_LIT_WORD ? LIT : NORMAL, c, make_none()};
            e.types = type_of(next) == TYPE_BLOCK && block::ks_length(next) > 0 ? typeset::from_block(next)
                                                                               : typeset::make_default();
            entries.push_back(e);
        } else if (t == TYPE_REFINEMENT) {
            if (symbol::resolve(int32_t(c.data2)) == local) {
                *locals = function::count_locals(fn.data2, i, false);
                break;
            }
            entries.push_back(Entry{true, NORMAL, c, make_none()});
        }
    }
    return entries;
}

bool truthy(const Cell& v) { return !(type_of(v) == TYPE_NONE || (type_of(v) == TYPE_LOGIC && !v.data1)); }

struct Call {
    const Cell& fn;
    const Cell& code;  // the args block
    const Cell& name;
    uint32_t mode;
    int32_t index;

    bool code_left() const { return index < code_tail(cell_node(code)); }

    // Takes the next argument onto the stack: none when the block is used
    // up, else by the argument's kind. With /safer an evaluated argument is
    // one value evaluated alone (a word gives its value, a paren its
    // result), never an expression running on into the next values.
    uint32_t take(Kind kind) {
        if (!code_left()) {
            stack::push(none_value);
            return 0;
        }
        if (kind == NORMAL) {
            if (mode & MODE_SAFER) return interpreter::eval_value(*code_at(cell_node(code), index++));
            return interpreter::eval_expression(code, index, false, false);
        }
        Cell v = *code_at(cell_node(code), index++);
        if (kind == LIT) {
            if (type_of(v) == TYPE_PAREN) return interpreter::eval(v, false);
            if (type_of(v) == TYPE_GET_WORD) v = *context::get(v);
            if (type_of(v) == TYPE_GET_PATH) return interpreter::eval_path(v, code, index, true, false);
        }
        stack::push(v);
        return 0;
    }

    // Takes a value and drops it: an inactive refinement's argument.
    uint32_t skip() {
        if (!code_left()) return 0;
        if (mode & MODE_SAFER) {
            ++index;
            return 0;
        }
        Cell* top = stack::state.top;
        uint32_t s = interpreter::eval_expression(code, index, false, false);
        stack::state.top = top;
        return s;
    }

    void check(const Entry& e, const Cell& value) {
        if (!typeset::has(e.types, type_of(value)))
            fire(ErrorId::script_expect_arg, {name, datatype::make(type_of(value)), Cell{TYPE_WORD, 0, e.word.data2, context::NO_INDEX}});
    }
};

int32_t find_refinement(const std::vector<Entry>& entries, const Cell& element) {
    int32_t s = symbol::resolve(int32_t(element.data2));
    for (size_t k = 0; k < entries.size(); ++k)
        if (entries[k].refinement && symbol::resolve(int32_t(entries[k].word.data2)) == s) return int32_t(k);
    return -1;
}

}  // namespace

uint32_t call(const Cell& fn_cell, const Cell& args, const Cell& name, const Cell* path, uint32_t mode) {
    Cell fn = fn_cell;
    uint32_t t = type_of(fn);
    bool cells = cells_for_refinements(t);
    int32_t locals = 0;
    std::vector<Entry> entries = read_spec(fn, &locals);
    Cell* slot = stack::push(fn);
    NodeId fn_context = t == TYPE_FUNCTION ? fn.data1 : 0;
    stack::OpenFrame frame(name, (fn_context ? stack::KIND_FUNCTION : stack::KIND_NATIVE) | interpreter::state.interp_frame,
                           fn_context);
    Call c{fn, args, name, mode, int32_t(args.data1)};
    int32_t refinements[interpreter::MAX_REFINEMENTS];
    for (int32_t& r : refinements) r = -1;
    int32_t ordinal = 0;  // refinements met so far
    bool positional = (mode & MODE_ALL) && !path;
    bool active = true;
    // First pass: the arguments in spec order, and with /all the refinements.
    for (const Entry& e : entries) {
        Cell* frame_start = stack::state.arguments;
        if (e.refinement) {
            if (ordinal >= interpreter::MAX_REFINEMENTS) internal_fault();
            ++ordinal;
            bool truth = false;
            if (positional && c.code_left()) {
                if (uint32_t s = c.take(NORMAL)) return s;
                Cell v = *(stack::state.top - 1);
                stack::pop(1);
                if (type_of(v) != TYPE_LOGIC)
                    fire(ErrorId::script_expect_arg,
                         {name, datatype::make(type_of(v)), Cell{TYPE_WORD, 0, e.word.data2, context::NO_INDEX}});
                truth = v.data1 != 0;
            }
            if (cells) stack::push(logic::make_cell(truth));
            else if (truth) refinements[ordinal - 1] = int32_t(stack::state.top - frame_start);
            active = truth || (positional && !c.code_left());
            continue;
        }
        if (active) {
            // The none that completes a block ended early is not checked.
            bool given = c.code_left();
            if (uint32_t s = c.take(e.kind)) return s;
            if (given) c.check(e, *(stack::state.top - 1));
        } else {
            if (positional) {
                if (uint32_t s = c.skip()) return s;
            }
            if (cells) stack::push(none_value);
        }
    }
    // Second pass: refinements from the path, or inline in the block.
    Cell p = path ? *path : none_value;
    Rooted keep_path(p);
    int32_t at = path ? int32_t(p.data1) + 1 : 0;
    for (;;) {
        Cell element;
        bool truth = true;
        if (path) {
            if (at >= code_tail(cell_node(p))) break;
            element = *code_at(cell_node(p), at++);
            if (type_of(element) == TYPE_GET_WORD) truth = truthy(*context::get(element));
            else if (type_of(element) != TYPE_WORD) fire(ErrorId::script_bad_refine, {element});
        } else {
            if (!(mode & MODE_INLINE) || !c.code_left()) break;
            element = *code_at(cell_node(args), c.index);
            if (type_of(element) != TYPE_REFINEMENT) {
                if (ordinal == 0) break;
                fire(ErrorId::script_bad_refine, {element});
            }
            ++c.index;
            if (uint32_t s = c.take(NORMAL)) return s;
            truth = truthy(*(stack::state.top - 1));
            stack::pop(1);
        }
        int32_t r = find_refinement(entries, element);
        if (r < 0) fire(ErrorId::script_no_refine, {name, element});
        // The refinement's place among the entries is its frame cell for a
        // function; a native counts its refinements.
        int32_t place = r, nth = 0;
        for (int32_t k = 0; k <= r; ++k)
            if (entries[size_t(k)].refinement) ++nth;
        Cell* f = stack::state.arguments;
        if (cells) {
            if (type_of(f[place]) != TYPE_LOGIC || f[place].data1) fire(ErrorId::script_dup_refine, {path ? p : element});
            f[place] = logic::make_cell(truth);
        } else if (truth) {
            if (refinements[nth - 1] != -1) fire(ErrorId::script_dup_refine, {path ? p : element});
            refinements[nth - 1] = int32_t(stack::state.top - f);
        }
        int32_t arg = 0;
        for (size_t k = size_t(r) + 1; k < entries.size() && !entries[k].refinement; ++k) {
            ++arg;
            if (!truth) {
                if (uint32_t s = c.skip()) return s;
                continue;
            }
            bool given = c.code_left();
            if (uint32_t s = c.take(entries[k].kind)) return s;
            if (given) c.check(entries[k], *(stack::state.top - 1));
            if (cells) {
                Cell* g = stack::state.arguments;
                g[place + arg] = *(stack::state.top - 1);
                stack::pop(1);
            }
        }
    }
    if (locals > 0) function::push_locals(locals);
    if (uint32_t s = interpreter::run_callee(fn, refinements)) return s;
    frame.keep();
    *slot = *(stack::state.top - 1);
    stack::state.top = slot + 1;
    return 0;
}

}  // namespace kel::natives::apply
