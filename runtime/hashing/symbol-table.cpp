// Interning of spellings and the word tables of contexts (kind 2 tables).
#include "runtime/hashing/symbol-table.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/system.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/hashtable-buckets.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

namespace kel {

namespace {

NodeId the_table = 0;
NodeId the_block = 0;

// Kind 2 tables grow 16 times further than other tables: the symbol table and
// the word tables only grow, and a resize walks every key.
inline constexpr uint64_t WORD_TABLE_GROWTH = 16;

bool is_full(NodeId table) {
    const hashtable::Record* r = hashtable::record(table);
    return r->occupied >= r->upper;
}

void grow(NodeId table) {
    uint64_t request = WORD_TABLE_GROWTH * hashtable::detail::grow_request(hashtable::record(table));
    hashtable::resize(table, uint32_t(std::min<uint64_t>(request, uint64_t(1) << 31)));
}

const uint8_t* name_bytes(const Cell& sym, uint64_t* length) {
    SeriesBuffer* b = memory::buffer_of(sym.data3);
    *length = b->used();
    return b->head_ptr();
}

// The id that stands for every case variant of the symbol at a position of
// the block: its alias, or its own id when it has none.
int32_t canonical_at(const Cell* cells, int32_t position) {
    int32_t alias = int32_t(cells[position].data1);
    return alias > 0 ? alias : position + 1;
}

// A heap copy of a spelling that may lie in a series buffer, made before a
// call that allocates (and so may move that buffer). Reused by the next call.
const uint8_t* held_copy(const uint8_t* spelling, uint32_t n) {
    static std::vector<uint8_t>* copy = new std::vector<uint8_t>();
    if (n && spelling == copy->data()) return spelling;
    copy->assign(spelling, spelling + n);
    return copy->data();
}

}  // namespace

namespace hashtable {

using namespace detail;

int32_t find_or_add_symbol(NodeId table, const uint8_t* spelling, uint32_t n, bool any_case) {
    if (is_full(table)) {
        spelling = held_copy(spelling, n);
        grow(table);
    }
    Record* r = record(table);
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    const Cell* cells = cells_of(r);
    uint32_t mask = r->buckets - 1;

    // Every case variant shares the probe sequence of the lowered name. The
    // search stops at a match or at the first empty bucket; on the way it
    // notes the first variant that differs only in ASCII case. Growth moves
    // keys in an order of its own, so the variant met first need not be the
    // one interned first: a variant stands for its class by its canonical id.
    int32_t stop = -1;
    int32_t alias = -1;
    uint32_t i = hash_name(spelling, n) & mask;
    for (uint32_t step = 0; step < r->buckets; ++step, i = (i + step) & mask) {
        if (state(flags, i) == EMPTY) {
            stop = int32_t(i);
            break;
        }
        uint64_t length;
        const uint8_t* name = name_bytes(cells[keys[i]], &length);
        if (length != n) continue;
        if (compare_names(name, spelling, n, !any_case) == 0)
            return any_case ? canonical_at(cells, keys[i]) : keys[i] + 1;
        if (alias < 0 && !any_case && compare_names(name, spelling, n, false) == 0)
            alias = canonical_at(cells, keys[i]);
    }
    if (stop < 0) internal_fault();  // cannot happen: the table grows before it fills

    // A new spelling, a case variant of `alias` when that is above 0.
    spelling = held_copy(spelling, n);
    NodeId name = memory::alloc_bytes(uint64_t(n) + 1);
    Rooted keep(name);
    {
        SeriesBuffer* b = memory::buffer_of(name);
        if (n) std::memcpy(b->data(), spelling, n);
        b->data()[n] = 0;
        b->tail = n;
    }
    Cell* cell = alloc_tail(memory::buffer_of(record(table)->block));
    *cell = Cell{TYPE_SYMBOL, uint32_t(alias), 0, name};

    r = record(table);
    int32_t position = int32_t(cell_count_of(r)) - 1;
    keys_of(r)[stop] = position;
    set_state(flags_of(r), uint32_t(stop), LIVE);
    ++r->count;
    ++r->occupied;
    return position + 1;
}

int32_t find_or_add_ctx_word(NodeId table, int32_t symbol, bool by_alias, NodeId context, int32_t* index) {
    if (context && is_full(table)) grow(table);
    Record* r = record(table);
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    const Cell* cells = cells_of(r);
    uint32_t mask = r->buckets - 1;
    int32_t canonical = symbol::resolve(symbol);
    int32_t wanted = by_alias ? canonical : symbol;

    int32_t stop = -1;
    uint32_t i = hash_int(uint32_t(canonical)) & mask;
    for (uint32_t step = 0; step < r->buckets; ++step, i = (i + step) & mask) {
        if (state(flags, i) == EMPTY) {
            stop = int32_t(i);
            break;
        }
        int32_t s = int32_t(cells[keys[i]].data2);
        if ((by_alias ? symbol::resolve(s) : s) == wanted) {
            if (index) *index = keys[i];
            return keys[i];
        }
    }
    if (!context) return -1;
    if (stop < 0) internal_fault();  // cannot happen: the table grows before it fills

    int32_t position = int32_t(cell_count_of(r));
    Cell* cell = alloc_tail(memory::buffer_of(r->block));
    *cell = Cell{TYPE_WORD, context, uint32_t(symbol), uint32_t(position)};
    r = record(table);
    keys_of(r)[stop] = position;
    set_state(flags_of(r), uint32_t(stop), LIVE);
    ++r->count;
    ++r->occupied;
    if (index) *index = position;
    return -1;
}

Cell* get_ctx_word(const Cell& context, int32_t index) { return cells_of(record(context.data1)) + index; }

SeriesBuffer* get_ctx_words(const Cell& context) { return memory::buffer_of(record(context.data1)->block); }

NodeId get_ctx_words_node(const Cell& context) { return record(context.data1)->block; }

}  // namespace hashtable

namespace symbol_table {

void init() {
    if (the_table) return;
    hashtable::init();
    roots::init_root_block();
    NodeId block = memory::alloc_cells(INITIAL_SYMBOLS);
    Cell cell{TYPE_BLOCK, 0, block, 0};
    roots::append(cell);  // allocates nothing: the root block is fixed
    the_block = block;
    the_table = hashtable::make_table(INITIAL_SYMBOLS, &cell, hashtable::KIND_SYMBOL);
    collector::root_steps.symbol_table = mark;
}

NodeId table() { return the_table; }
NodeId block() { return the_block; }

void mark() {
    if (the_table) hashtable::mark(the_table);
}

}  // namespace symbol_table

}  // namespace kel
