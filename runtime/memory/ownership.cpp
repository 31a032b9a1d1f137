#include "runtime/memory/ownership.h"

#include "runtime/core/type-classes.h"

#include "runtime/datatypes/series.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

namespace kel {

namespace ownership {

namespace {

NodeId owners = 0;
DeepChange deep_change = nullptr;

using type_classes::Owned;

// How ownership treats the value: recorded, walked, or ignored.
Owned kind_of(const Cell& v) { return type_classes::of(type_of(v)).owned; }

// The context! cell of an object value (cell 0 of its context series).
Cell& context_cell(const Cell& object) { return memory::buffer_of(object.data1)->cells()[0]; }

bool owns_series(const Cell& object) { return context_cell(object).header & OWNER_FLAG; }

// Calls fn(field word, field value) for every field of an object, re-reading
// the buffers at each step since fn may allocate.
template <class Fn>
void for_each_field(const Cell& object, Fn&& fn) {
    uint32_t i = 0;
    for (;;) {
        const Cell& ctx = context_cell(object);
        NodeId words = hashtable::record(ctx.data1)->block;
        SeriesBuffer* wb = memory::buffer_of(words);
        SeriesBuffer* vb = memory::buffer_of(ctx.data2);
        if (i >= wb->cell_count() || i >= vb->cell_count()) return;
        Cell word = wb->cells()[i];
        Cell value = vb->cells()[i];
        Rooted keep_word(word);
        Rooted keep_value(value);
        fn(word, value);
        ++i;
    }
}

template <class Fn>
void for_each_cell(const Cell& block, Fn&& fn) {
    for (uint32_t i = cell_head(block);; ++i) {
        SeriesBuffer* b = memory::buffer_of(cell_node(block));
        if (i >= b->cell_count()) return;
        Cell c = b->cells()[i];
        Rooted keep(c);
        fn(c);
    }
}

// The arguments are rooted locals of `set` (they stay put while the table
// grows). The owned flag alone does not prove an entry: the collector drops
// the entry of a series whose owner died and leaves the flag, so a flagged
// series without an entry is recorded again for its new owner.
void record(const Cell& value, const Cell& owner, const Cell& word) {
    NodeId node = cell_node(value);
    if (!node) return;
    if ((memory::buffer_of(node)->flags & OWNED_FLAG) && hashtable::get_key(owners, node)) return;
    Cell* payload = hashtable::put_key(owners, node);  // may allocate
    payload[0] = value;
    payload[1] = owner;
    payload[2] = word;
    memory::buffer_of(node)->flags |= OWNED_FLAG;
}

void forget(NodeId node) {
    if (!node) return;
    memory::buffer_of(node)->flags &= ~OWNED_FLAG;
    if (Cell* payload = hashtable::get_key(owners, node)) {
        payload[0] = payload[1] = payload[2] = make_unset();
        hashtable::delete_key(owners, node);
    }
}

}  // namespace

DeepChange install_deep_change(DeepChange dispatch) {
    DeepChange previous = deep_change;
    deep_change = dispatch;
    return previous;
}

void init() {
    if (owners) return;
    owners = hashtable::make_keyed_table(INITIAL_ENTRIES, hashtable::KIND_NODE, 3);
    // The table itself lives as long as the runtime; its entries are weak:
    // only the table's own series are marked, and entries whose series or
    // owner died are swept after marking.
    collector::root_steps.ownership_table = [] { hashtable::mark_storage(owners); };
    collector::root_steps.ownership_sweep = [] { hashtable::sweep_keys(owners); };
    // The series actions reach the owners through these; change notices
    // need the action words of the runtime word table and arrive with it.
    series::services().get_owner = get_owner;
    series::services().set_owner = [](const Cell& value, const Cell* owner, const Cell* word) {
        if (owner)
            bind(value, *owner, *word);
        else
            unbind(value);
    };
}

NodeId table() { return owners; }

namespace {

// The walks below take only cells that stay put while they allocate: the
// rooted copies made by `set` and `unbind`, and the rooted cells of
// for_each_cell and for_each_field.
void set_walk(const Cell& v, const Cell& owner, const Cell& word) {
    switch (kind_of(v)) {
    case Owned::series:
        record(v, owner, word);
        break;
    case Owned::walked: {
        record(v, owner, word);
        if (cycle_guard::find(cell_node(v))) return;
        cycle_guard::Scope walking(cell_node(v));
        for_each_cell(v, [&](const Cell& c) { set_walk(c, owner, word); });
        break;
    }
    case Owned::fields: {
        if (owns_series(v) || cycle_guard::find(v.data1)) return;
        cycle_guard::Scope walking(v.data1);
        for_each_field(v, [&](const Cell& field, const Cell& value) {
            if (type_of(value) == TYPE_OBJECT && value.data1 == owner.data1) return;
            set_walk(value, owner, field);
        });
        break;
    }
    case Owned::no:
        break;
    }
}

void unbind_walk(const Cell& v) {
    switch (kind_of(v)) {
    case Owned::series:
        forget(cell_node(v));
        break;
    case Owned::walked: {
        forget(cell_node(v));
        if (cycle_guard::find(cell_node(v))) return;
        cycle_guard::Scope walking(cell_node(v));
        for_each_cell(v, [](const Cell& c) { unbind_walk(c); });
        break;
    }
    case Owned::fields: {
        if (owns_series(v) || cycle_guard::find(v.data1)) return;
        cycle_guard::Scope walking(v.data1);
        for_each_field(v, [](const Cell&, const Cell& value) { unbind_walk(value); });
        break;
    }
    case Owned::no:
        break;
    }
}

}  // namespace

// The caller's cells may lie in series buffers that move while the tables
// grow: the walks run on rooted copies.
void set(const Cell& value, const Cell& owner, const Cell& word) {
    Cell v = value, who = owner, field = word;
    Rooted a(v), b(who), c(field);
    set_walk(v, who, field);
}

void bind(const Cell& value, const Cell& owner, const Cell& word) {
    Cell who = owner;
    Rooted keep(who);
    set(value, who, word);
    context_cell(who).header |= OWNER_FLAG;
}

void unbind(const Cell& value) {
    Cell v = value;
    Rooted keep(v);
    unbind_walk(v);
}

void unbind_range(const Cell& block, int32_t index, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        SeriesBuffer* b = memory::buffer_of(cell_node(block));
        uint64_t at = uint64_t(index) + uint64_t(i);
        if (index < 0 || at >= b->cell_count()) return;
        Cell c = b->cells()[at];
        Rooted keep(c);
        unbind_walk(c);
    }
}

Cell* get_owner(NodeId node) {
    Cell* payload = owners ? hashtable::get_key(owners, node) : nullptr;
    return payload ? payload + 1 : nullptr;
}

bool check(const Cell& value, const Cell& action, const Cell* new_value, int32_t index, int32_t part) {
    NodeId key = type_of(value) == TYPE_OBJECT ? value.data1 : cell_node(value);
    Cell* owner = key ? get_owner(key) : nullptr;
    if (!owner || owner->data3 == 0 || !deep_change) return false;
    Cell who = owner[0], word = owner[1], v = value, act = action, arrived = new_value ? *new_value : make_unset();
    Rooted a(who), b(word), c(v), d(act), e(arrived);
    deep_change(who, word, v, act, new_value ? &arrived : nullptr, index, part);
    return true;
}

}  // namespace ownership

}  // namespace kel
