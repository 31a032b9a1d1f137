#include "runtime/evaluator/natives-apply.h"

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
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/callee-frame.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory/roots.h"

namespace kel::natives::apply {

namespace {

using interpreter::code_at;
using interpreter::code_tail;

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
    uint32_t take(uint32_t kind) {
        if (!code_left()) {
            stack::push(none_value);
            return 0;
        }
        if (kind == interpreter::ARG_NORMAL) {
            if (mode & MODE_SAFER) return interpreter::eval_value(*code_at(cell_node(code), index++));
            return interpreter::eval_expression(code, index, false, false);
        }
        Cell v = *code_at(cell_node(code), index++);
        if (kind == interpreter::ARG_LIT) {
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

    // The value given for the k-th argument or refinement of the spec is of
    // a type its entry allows.
    void check(const Cell& entry, const Cell& value, int32_t k) {
        if (!typeset::has(entry, type_of(value)))
            fire(ErrorId::script_expect_arg, {name, datatype::make(type_of(value)), interpreter::spec_word(fn, k)});
    }
};

}  // namespace

uint32_t call(const Cell& fn_cell, const Cell& args, const Cell& name, const Cell* path, uint32_t mode) {
    Cell fn = fn_cell;
    bool cells = interpreter::takes_refinement_cells(type_of(fn));
    // The cache stays reachable through the callee's more block (the callee
    // is the call's result slot); each entry is copied out through the node
    // (a typeset! holds its bits in the cell), so no address into it is
    // held while arguments run code.
    NodeId cache = interpreter::arity_cache(fn);
    int32_t entries = code_tail(cache) - 2;
    int32_t locals = interpreter::cache_locals(cache);
    interpreter::CalleeFrame frame(fn, name, interpreter::Opener::CODE);
    Call c{fn, args, name, mode, int32_t(args.data1)};
    interpreter::Refinements refinements;
    bool positional = (mode & MODE_ALL) && !path;
    bool active = true;
    // First pass: the arguments in spec order, and with /all the refinements.
    for (int32_t k = 0; k < entries; ++k) {
        Cell entry = *code_at(cache, k);
        Cell* frame_start = stack::state.arguments;
        if (type_of(entry) == TYPE_REFINEMENT) {
            bool truth = false;
            if (positional && c.code_left()) {
                if (uint32_t s = c.take(interpreter::ARG_NORMAL)) return s;
                Cell v = *(stack::state.top - 1);
                stack::pop(1);
                if (type_of(v) != TYPE_LOGIC)
                    fire(ErrorId::script_expect_arg, {name, datatype::make(type_of(v)), interpreter::spec_word(fn, k)});
                truth = v.data1 != 0;
            }
            if (cells)
                stack::push(logic::make_cell(truth));
            else if (truth)
                refinements[entry.data3 - 1] = int32_t(stack::state.top - frame_start);
            active = truth || (positional && !c.code_left());
            continue;
        }
        if (active) {
            // The none that completes a block ended early is not checked.
            bool given = c.code_left();
            if (uint32_t s = c.take(interpreter::arg_kind(entry))) return s;
            if (given) c.check(entry, *(stack::state.top - 1), k);
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
    bool any_refinement = interpreter::cache_refinements(cache) > 0;
    for (;;) {
        Cell element;
        bool truth = true;
        if (path) {
            if (at >= code_tail(cell_node(p))) break;
            element = *code_at(cell_node(p), at++);
            if (type_of(element) == TYPE_GET_WORD)
                truth = !logic::is_false(*context::get(element));
            else if (type_of(element) != TYPE_WORD)
                fire(ErrorId::script_bad_refine, {element});
        } else {
            if (!(mode & MODE_INLINE) || !c.code_left()) break;
            element = *code_at(cell_node(args), c.index);
            if (type_of(element) != TYPE_REFINEMENT) {
                if (!any_refinement) break;
                fire(ErrorId::script_bad_refine, {element});
            }
            ++c.index;
            if (uint32_t s = c.take(interpreter::ARG_NORMAL)) return s;
            truth = !logic::is_false(*(stack::state.top - 1));
            stack::pop(1);
        }
        int32_t place = interpreter::set_refinement(fn, cache, element, truth, refinements, name, path ? p : element);
        int32_t arg = 0;
        for (int32_t k = place + 1; k < entries; ++k) {
            Cell entry = *code_at(cache, k);
            if (type_of(entry) != TYPE_TYPESET) break;
            ++arg;
            if (!truth) {
                if (uint32_t s = c.skip()) return s;
                continue;
            }
            bool given = c.code_left();
            if (uint32_t s = c.take(interpreter::arg_kind(entry))) return s;
            if (given) c.check(entry, *(stack::state.top - 1), k);
            interpreter::place_refinement_argument(fn, place, arg, true);
        }
    }
    if (locals > 0) function::push_locals(locals);
    if (uint32_t s = interpreter::run_callee(fn, refinements)) return s;
    frame.finish();
    return 0;
}

}  // namespace kel::natives::apply
