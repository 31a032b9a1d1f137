// Contexts: making, finding and adding words, binding, and the error paths
// of reading and writing values.
#include "runtime/datatypes/context.h"

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/symbol-table.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::context {

namespace {

NodeId the_global = 0;
OnChange on_change = nullptr;

int32_t self_symbol() {
    static int32_t id = 0;
    if (!id) id = symbol::make("self");
    return id;
}

// A cell that keeps a context (its series, table and values) reachable
// under a Rooted guard: a word bound to it.
Cell holder_of(NodeId ctx) { return Cell{TYPE_WORD, ctx, 0, NO_INDEX}; }

NodeId table_of(NodeId ctx) { return cell_of(ctx)->data1; }

// Binding reaches every word type but issue!.
bool is_word_type(uint32_t t) { return type_families::is_all_word(t) && t != TYPE_ISSUE; }

// Appends one unset value to the heap values of a context.
void append_unset_value(NodeId ctx) {
    const Cell* c = cell_of(ctx);
    if (on_stack(*c)) return;
    alloc_tail(memory::buffer_of(c->data2));
}

void mark_global() {
    if (the_global) collector::mark_context(the_global);
}

void bind_cells(NodeId series, NodeId ctx, bool self) {
    if (cycle_guard::find(series)) return;
    cycle_guard::Scope guard(series);  // popped however the walk ends
    // Binding looks words up without adding any: nothing here allocates, so
    // the buffer stays where it is for the walk.
    SeriesBuffer* b = memory::buffer_of(series);
    Cell* c = b->cells();
    Cell* end = b->cells_tail();
    for (; c < end; ++c) {
        uint32_t t = type_of(*c);
        if (is_word_type(t)) {
            if (self && t == TYPE_WORD && int32_t(c->data2) == self_symbol()) {
                c->data1 = ctx;
                c->data3 = NO_INDEX;
            } else {
                bind_word(ctx, *c);
            }
        } else if (type_families::is_any_block(t) && c->data2) {
            bind_cells(c->data2, ctx, self);
        }
    }
}

}  // namespace

NodeId global() { return the_global; }

NodeId make(uint32_t size, bool values_on_stack, bool self, NodeId prototype, uint32_t kind) {
    if (size == 0) size = 1;
    NodeId ctx = memory::alloc_unset_cells(2);
    memory::buffer_of(ctx)->tail = 2 * sizeof(Cell);
    Cell keep = holder_of(ctx);
    Rooted guard(keep);
    uint32_t header = TYPE_CONTEXT | (kind << KIND_SHIFT) | (values_on_stack ? VALUES_ON_STACK : 0) | (self ? SELF : 0);
    Cell keep_proto = holder_of(prototype);
    Rooted guard_proto(keep_proto);
    NodeId table = prototype ? hashtable::clone_word_table(table_of(prototype))
                             : hashtable::make_table(size, nullptr, hashtable::KIND_SYMBOL);
    *cell_of(ctx) = Cell{header, table, 0, 0};
    if (!values_on_stack) {
        NodeId values = memory::alloc_unset_cells(size);
        cell_of(ctx)->data2 = values;
    }
    return ctx;
}

NodeId make_from_block(const Cell& block, bool values_on_stack, bool self, uint32_t kind) {
    Cell blk = block;
    Rooted keep_block(blk);
    int32_t length = block::ks_length(blk);
    NodeId ctx = make(uint32_t(length > 0 ? length : 0), values_on_stack, self, 0, kind);
    Cell keep = holder_of(ctx);
    Rooted guard(keep);
    for (int32_t i = 0; i < length; ++i) {
        const Cell c = block::ks_abs_at(blk, int32_t(blk.data1) + i)[0];
        uint32_t t = type_of(c);
        if (t == TYPE_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD || t == TYPE_REFINEMENT)
            add_word(ctx, int32_t(c.data2));
    }
    return ctx;
}

NodeId make_around(const Cell& ctx_cell, const Cell& owner) {
    Cell c = ctx_cell;
    Cell o = owner;
    Rooted keep_cell(c);
    Rooted keep_owner(o);
    NodeId ctx = memory::alloc_unset_cells(2);
    memory::buffer_of(ctx)->tail = 2 * sizeof(Cell);
    *cell_of(ctx) = c;
    *owner_of(ctx) = o;
    return ctx;
}

NodeId clone(Cell& value, uint32_t kind) {
    NodeId old = value.data1;
    const Cell c = *cell_of(old);
    uint32_t size = word_count(old);
    NodeId ctx = make(size, on_stack(c), (c.header & SELF) != 0, old, kind);
    Cell keep = holder_of(ctx);
    Rooted guard(keep);
    if (!on_stack(c)) {
        SeriesBuffer* vb = memory::buffer_of(cell_of(ctx)->data2);
        vb->tail = vb->offset + uint64_t(size) * sizeof(Cell);
    }
    SeriesBuffer* wb = hashtable::get_ctx_words(*cell_of(ctx));
    for (Cell* w = wb->cells(); w < wb->cells_tail(); ++w) w->data1 = ctx;
    value.data1 = ctx;
    return ctx;
}

int32_t find_word(NodeId ctx, int32_t symbol, bool by_alias) {
    return hashtable::find_or_add_ctx_word(table_of(ctx), symbol, by_alias, 0, nullptr);
}

int32_t find_or_add(NodeId ctx, int32_t symbol, bool by_alias, int32_t* index) {
    return hashtable::find_or_add_ctx_word(table_of(ctx), symbol, by_alias, ctx, index);
}

int32_t add_word(NodeId ctx, int32_t symbol) {
    int32_t index = -1;
    if (find_or_add(ctx, symbol, true, &index) >= 0) return index;
    append_unset_value(ctx);
    return index;
}

void add_or_set(NodeId ctx, int32_t symbol, const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    int32_t index = add_word(ctx, symbol);
    const Cell* c = cell_of(ctx);
    if (on_stack(*c)) {
        if (c->data2) stack::state.bottom[c->data2 - 1 + uint32_t(index)] = v;
        return;
    }
    values_of(*c)[index] = v;
}

Cell* add_if_absent(NodeId ctx, int32_t symbol, const Cell& value) {
    if (find_word(ctx, symbol, true) >= 0) return nullptr;
    Cell v = value;
    Rooted keep(v);
    int32_t index = add_word(ctx, symbol);
    const Cell* c = cell_of(ctx);
    if (on_stack(*c)) return nullptr;
    Cell* slot = values_of(*c) + index;
    *slot = v;
    return slot;
}

bool collect_set_words(NodeId ctx, const Cell& block) {
    Cell blk = block;
    Rooted keep(blk);
    block::ks_head(blk);  // clamps a head past the tail
    uint32_t before = word_count(ctx);
    int32_t length = block::ks_length(blk);
    for (int32_t i = 0; i < length; ++i) {
        const Cell c = block::ks_abs_at(blk, int32_t(blk.data1) + i)[0];
        if (type_of(c) == TYPE_SET_WORD) add_word(ctx, int32_t(c.data2));
    }
    return word_count(ctx) > before;
}

int32_t bind_word(NodeId ctx, Cell& word) {
    int32_t index = find_word(ctx, int32_t(word.data2), true);
    if (index < 0) return -1;
    word.data1 = ctx;
    word.data3 = uint32_t(index);
    return index;
}

void bind(const Cell& block, NodeId ctx, bool self) {
    if (block.data2) bind_cells(block.data2, ctx, self);
}

uint32_t word_count(NodeId ctx) { return uint32_t(hashtable::get_ctx_words(*cell_of(ctx))->cell_count()); }

Cell* word_at(NodeId ctx, int32_t index) { return hashtable::get_ctx_word(*cell_of(ctx), index); }

namespace detail {

Cell* get_slow(const Cell& word, NodeId ctx) {
    if (!ctx) fire(ErrorId::script_not_defined, {word});
    if (int32_t(word.data3) < 0) {
        if (symbol::resolve(int32_t(word.data2)) == symbol::resolve(self_symbol())) return owner_of(ctx);
        fire(ErrorId::script_no_value, {word});
    }
    fire(ErrorId::script_not_in_context, {word});
}

Cell* set_slow(Cell& word, const Cell& value, NodeId ctx, bool fire_on_change) {
    if (!ctx) fire(ErrorId::script_not_defined, {word});
    Cell v = value;
    Rooted keep_value(v);
    if (int32_t(word.data3) < 0) {
        int32_t index = -1;
        if (find_or_add(ctx, int32_t(word.data2), false, &index) < 0) append_unset_value(ctx);
        word.data3 = uint32_t(index);
    }
    int32_t index = int32_t(word.data3);
    const Cell* c = cell_of(ctx);
    if (!c->data2) fire(ErrorId::script_not_defined, {word});
    if (on_stack(*c)) {
        Cell* slot = stack::state.bottom + (c->data2 - 1) + index;
        *slot = v;
        return slot;
    }
    Cell* slot = values_of(*c) + index;
    if (kind_of(*c) != KIND_OBJECT) {
        *slot = v;
        return slot;
    }
    word_at(ctx, index)->header |= WORD_CHANGED;
    const Cell owner = *owner_of(ctx);
    if (!fire_on_change || !on_change || owner.data3 == 0 ||
        (type_of(owner) != TYPE_OBJECT && type_of(owner) != TYPE_ERROR && type_of(owner) != TYPE_PORT)) {
        *slot = v;
        return slot;
    }
    // The old value waits on the argument stack while the handler runs.
    Cell* saved_top = stack::top();
    Cell* old = stack::push(*slot);
    Cell* w = stack::push(word);
    *(values_of(*cell_of(ctx)) + index) = v;
    on_change(owner, *w, *old, v);
    stack::pop(uint32_t(stack::top() - (saved_top)));
    return values_of(*cell_of(ctx)) + index;
}

}  // namespace detail

void install_on_change(OnChange handler) { on_change = handler; }

Cell add_global(int32_t symbol, bool by_alias, bool keep_spelling) {
    NodeId g = the_global;
    int32_t earlier = symbol::alias_of(symbol) > 0 ? find_word(g, symbol, true) : -1;
    int32_t index = -1;
    if (find_or_add(g, symbol, by_alias, &index) >= 0) {
        Cell w = *word_at(g, index);
        if (by_alias && keep_spelling && int32_t(w.data2) != symbol) w.data2 = uint32_t(symbol);
        return w;
    }
    Cell* w = word_at(g, index);
    if (earlier >= 0) w->data3 = uint32_t(earlier);
    Cell answer = *w;
    append_unset_value(g);
    return answer;
}

Cell* symbol_value(int32_t symbol, NodeId ctx) {
    if (!ctx || on_stack(*cell_of(ctx))) ctx = the_global;
    int32_t index = find_word(ctx, symbol, true);
    if (index < 0) fire(ErrorId::internal_bad_path, {Cell{TYPE_WORD, 0, uint32_t(symbol), NO_INDEX}});
    return values_of(*cell_of(ctx)) + uint32_t(word_at(ctx, index)->data3);
}

void init_global() {
    if (the_global) return;
    symbol_table::init();
    NodeId g = make(GLOBAL_SIZE, false, false, 0, KIND_GLOBAL);
    the_global = g;
    collector::root_steps.global_context = mark_global;
}

void init() { datatype::register_type(datatype::Record(TYPE_CONTEXT, 0, "context!")); }

}  // namespace kel::context
