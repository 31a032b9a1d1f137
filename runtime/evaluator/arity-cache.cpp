// The arity cache (arity-cache.h): building it from the spec, and the
// steps of a call that read it.
#include "runtime/evaluator/arity-cache.h"

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::interpreter {

NodeId build_arity_cache(const Cell& fn) {
    Cell callee = fn;
    Rooted keep(callee);
    SeriesBuffer* spec = memory::buffer_of(callee.data2);
    std::vector<Cell> cells(spec->cells(), spec->cells_tail());
    int32_t local = symbol::resolve(int32_t(words::refinement(words::Ref::local).data2));
    bool ordinals = !takes_refinement_cells(type_of(callee));
    std::vector<Cell> entries;
    int32_t locals = 0, refinements = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        uint32_t t = type_of(c);
        if (locals) {
            if (t == TYPE_SET_WORD) break;
            if (t == TYPE_WORD) ++locals;
            continue;
        }
        if (t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD) {
            bool typed =
                i + 1 < cells.size() && type_of(cells[i + 1]) == TYPE_BLOCK && block::ks_length(cells[i + 1]) > 0;
            Cell ts = typed ? typeset::from_block(cells[i + 1]) : typeset::make_default();
            uint32_t kind = t == TYPE_GET_WORD ? ARG_GET : t == TYPE_LIT_WORD ? ARG_LIT : ARG_NORMAL;
            ts.header = TYPE_TYPESET | (kind << ARG_KIND_SHIFT);
            entries.push_back(ts);
        } else if (t == TYPE_REFINEMENT) {
            if (symbol::resolve(int32_t(c.data2)) == local) {
                locals = 1;
                continue;
            }
            Cell r = c;
            r.header = TYPE_REFINEMENT;
            ++refinements;
            if (ordinals) r.data3 = uint32_t(refinements);
            entries.push_back(r);
        } else if (t == TYPE_SET_WORD && !words::is(int32_t(c.data2), words::Sym::return_)) {
            fire(ErrorId::script_bad_func_def, {c});
        }
    }
    if (refinements > MAX_REFINEMENTS) internal_fault();
    entries.push_back(make_integer(locals));
    entries.push_back(make_integer(refinements));
    Cell* cache = stack::push(make_none());
    block::make_at(*cache, int32_t(entries.size()));
    cache->header = TYPE_BLOCK;
    for (const Cell& e : entries) block::append_cell(*cache, e);
    NodeId node = cell_node(*cache);
    more_of(callee)[1] = *cache;
    stack::pop(1);
    return node;
}

Cell spec_word(const Cell& fn, int32_t k) {
    SeriesBuffer* spec = memory::buffer_of(fn.data2);
    for (const Cell* c = spec->cells(); c < spec->cells_tail(); ++c) {
        uint32_t t = type_of(*c);
        if (t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD || t == TYPE_REFINEMENT) {
            if (k-- == 0) return Cell{TYPE_WORD, 0, c->data2, context::NO_INDEX};
        }
    }
    return make_none();
}

Cell call_name(const Cell& name) {
    return word::is_any_word(type_of(name)) ? Cell{TYPE_WORD, name.data1, name.data2, name.data3}
                                            : words::word(words::Word::anon);
}

int32_t find_refinement(NodeId cache, int32_t symbol) {
    int32_t s = symbol::resolve(symbol);
    SeriesBuffer* b = memory::buffer_of(cache);
    int32_t n = int32_t(b->cell_count());
    for (int32_t k = 0; k < n; ++k) {
        const Cell& e = b->cells()[k];
        if (type_of(e) == TYPE_REFINEMENT && symbol::resolve(int32_t(e.data2)) == s) return k;
    }
    return -1;
}

int32_t set_refinement(const Cell& fn, NodeId cache, const Cell& element, bool truth, int32_t* refinements,
                       const Cell& name, const Cell& culprit) {
    int32_t r = find_refinement(cache, int32_t(element.data2));
    if (r < 0) fire(ErrorId::script_no_refine, {call_name(name), element});
    Cell* frame = stack::state.arguments;
    if (takes_refinement_cells(type_of(fn))) {
        if (type_of(frame[r]) != TYPE_LOGIC || frame[r].data1) fire(ErrorId::script_dup_refine, {culprit});
        frame[r] = logic::make_cell(truth);
    } else if (truth) {
        int32_t& slot = refinements[code_at(cache, r)->data3 - 1];
        if (slot != -1) fire(ErrorId::script_dup_refine, {culprit});
        slot = int32_t(stack::state.top - frame);
    }
    return r;
}

void place_refinement_argument(const Cell& fn, int32_t place, int32_t arg, bool truth) {
    if (takes_refinement_cells(type_of(fn))) {
        stack::state.arguments[place + arg] = truth ? *(stack::state.top - 1) : none_value;
        stack::pop(1);
    } else if (!truth) {
        stack::pop(1);
    }
}

}  // namespace kel::interpreter
