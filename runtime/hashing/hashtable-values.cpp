// Tables of hash! (kind 0) and map! (kind 1) values.
//
// The block stays the authority for order and content: a table stores only
// cell positions into it. Kind 0 groups equal values (comparison op 0, same
// type) in one bucket; the second equal value turns the bucket into a chain,
// an int32 array of positions kept in the table's chain list, and the bucket's
// key becomes minus the chain's 1-based number in that list. An index array
// gives, for every block position, the 1-based bucket that holds it (-1 for
// none) and, when that bucket is a chain, the position's place in the chain,
// so that a position leaves its group in constant time: the chain's last
// member takes its place. A chain that empties takes the last chain of the
// list into its number, so the list never holds holes. Chain members are
// thus in no particular order; the first stands for the group in
// comparisons (every member equals it).
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/evaluator/actions.h"
#include "runtime/hashing/hashtable-buckets.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/raw-array.h"
#include "runtime/memory/roots.h"

namespace kel::hashtable {

using namespace detail;

namespace {

// Above this many cells, shifting positions one by one costs more than a
// rebuild: shift_positions gives up and the caller rebuilds.
constexpr int32_t MAX_SHIFT = 30000;

bool is_plain_word(uint32_t type) { return type == TYPE_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD; }

void default_normalizer(NodeId table, uint32_t position) {
    Cell& key = cells_of(record(table))[position];
    if (is_plain_word(type_of(key))) set_type(key, TYPE_SET_WORD);
}

KeyNormalizer normalizer = default_normalizer;

// Index array --------------------------------------------------------------

// One entry per block position (-1 in both words where none).
struct IndexEntry {
    int32_t bucket;  // 1-based number of the bucket that holds the position
    int32_t member;  // its place in the bucket's chain; -1 in a plain bucket
};
static_assert(sizeof(IndexEntry) == 8);

IndexEntry* index_of(const Record* r) { return reinterpret_cast<IndexEntry*>(memory::buffer_of(r->indexes)->data()); }
uint32_t index_length(const Record* r) {
    uint64_t n = memory::buffer_of(r->indexes)->size / sizeof(IndexEntry);
    return n > INT32_MAX ? INT32_MAX : uint32_t(n);
}
int32_t index_at(const Record* r, uint32_t position) {
    return position < index_length(r) ? index_of(r)[position].bucket : -1;
}
// Makes room for `positions` entries: the array grows to twice the size
// needed, the new entries empty.
void reserve_index(NodeId table, uint64_t positions) {
    SeriesBuffer* b = memory::buffer_of(record(table)->indexes);
    if (positions * sizeof(IndexEntry) <= b->size) return;
    uint64_t need = positions * sizeof(IndexEntry);
    b = memory::expand_series_filled(b, memory::growth_size(b->size, sizeof(IndexEntry), need, 2 * need), 0xFF);
    b->tail = b->size;
}
}  // namespace

NodeId detail::new_index(uint64_t positions) {
    NodeId n = memory::alloc_series(positions, sizeof(IndexEntry), 0);
    SeriesBuffer* b = memory::buffer_of(n);
    std::memset(b->data(), 0xFF, b->size);
    b->tail = b->size;
    return n;
}

namespace {

void set_index(NodeId table, uint32_t position, int32_t bucket_number, int32_t member) {
    reserve_index(table, uint64_t(position) + 1);
    index_of(record(table))[position] = IndexEntry{bucket_number, member};
}
void fill_index(const Record* r) {
    SeriesBuffer* b = memory::buffer_of(r->indexes);
    std::memset(b->data(), 0xFF, b->size);
}

// Chains -------------------------------------------------------------------

int32_t chain_count(const Record* r) { return array::length(r->chains); }
NodeId chain_at(const Record* r, int32_t number) {
    return NodeId(reinterpret_cast<int32_t*>(array::data(r->chains))[number - 1]);
}
// The position a bucket's group starts with: the key itself, or the first
// member of its chain.
int32_t first_member(const Record* r, int32_t key) {
    if (key >= 0) return key;
    return reinterpret_cast<int32_t*>(array::data(chain_at(r, -key)))[0];
}
int32_t* members(NodeId chain, int32_t* n) {
    *n = array::length(chain);
    return reinterpret_cast<int32_t*>(array::data(chain));
}

void clear_table(const Record* r) {
    SeriesBuffer* f = memory::buffer_of(r->flags);
    std::memset(f->data(), ALL_EMPTY, f->size);
}

// Puts the cell at a block position (kinds 0 and 1). With `absent` (kind 1
// only) the caller has found no equal key: the probe looks for a free bucket
// without comparing keys.
void put_position(NodeId table, uint32_t position, int* status, bool absent = false) {
    *status = 0;
    Record* r = record(table);
    if (r->kind != KIND_HASH && r->kind != KIND_MAP) no_switch_matched();
    if (r->occupied >= r->upper) {
        if (r->kind == KIND_HASH) {
            // Rebuilt from the block, this cell included; rebuilding for
            // buckets +- 1 values gives twice the buckets.
            rebuild(table, grow_request(r));
            *status = PUT_REBUILT;
            return;
        }
        resize(table, r->buckets + 1);
        r = record(table);
    }
    const Cell* cells = cells_of(r);
    const Cell& v = cells[position];
    uint32_t type = type_of(v);
    uint8_t* flags = flags_of(r);
    int32_t* keys = keys_of(r);
    uint32_t mask = r->buckets - 1;
    uint32_t h = hash_value(v, false);
    uint32_t i = h & mask;
    int32_t first_deleted = -1;
    int32_t target = -1;
    for (uint32_t step = 0; step < r->buckets;) {
        uint32_t s = state(flags, i);
        if (s == EMPTY) {
            target = first_deleted >= 0 ? first_deleted : int32_t(i);
            break;
        }
        if (s == DELETED) {
            if (first_deleted < 0) first_deleted = int32_t(i);
        } else if (r->kind == KIND_MAP) {
            if (absent || hashes_of(r)[i] != h) {
                ++step;
                i = (i + step) & mask;
                continue;
            }
            const Cell& key = cells[keys[i]];
            if (type_of(key) == type && compare_cells(key, v, COMP_STRICT_EQUAL) == 0) return;
        } else {
            int32_t key = keys[i];
            const Cell& first = cells[first_member(r, key)];
            if (type_of(first) == type && compare_cells(first, v, COMP_EQUAL) == 0) {
                // v joins this bucket's group (once: a position already here stays).
                if (key == int32_t(position) || index_at(r, position) == int32_t(i) + 1) return;
                int32_t member = 1;
                if (key >= 0) {
                    NodeId chain = array::make(4, 4);
                    Rooted keep(chain);
                    array::append_int(chain, key);
                    array::append_int(chain, int32_t(position));
                    array::append_int(record(table)->chains, int32_t(chain));
                    r = record(table);
                    keys_of(r)[i] = -chain_count(r);
                    set_index(table, uint32_t(key), int32_t(i) + 1, 0);
                } else {
                    NodeId chain = chain_at(r, -key);
                    member = array::length(chain);
                    array::append_int(chain, int32_t(position));
                }
                set_index(table, position, int32_t(i) + 1, member);
                return;
            }
        }
        ++step;
        i = (i + step) & mask;
    }
    if (target < 0) target = first_deleted;
    if (target < 0) internal_fault();  // cannot happen: the table grows before it fills
    if (state(flags, uint32_t(target)) == EMPTY) ++r->occupied;
    keys[target] = int32_t(position);
    if (r->kind == KIND_MAP) hashes_of(r)[target] = h;
    set_state(flags, uint32_t(target), LIVE);
    ++r->count;
    if (r->kind == KIND_HASH) set_index(table, position, target + 1, -1);
}

// Drops an emptied chain from the chain list: the last chain takes its
// number (its bucket's key follows), and the list shrinks by one.
void drop_chain(const Record* r, int32_t number) {
    int32_t last = chain_count(r);
    auto* list = reinterpret_cast<int32_t*>(array::data(r->chains));
    if (number != last) {
        NodeId moved = NodeId(list[last - 1]);
        list[number - 1] = int32_t(moved);
        int32_t first = reinterpret_cast<int32_t*>(array::data(moved))[0];
        keys_of(r)[index_of(r)[first].bucket - 1] = -number;
    }
    array::clear_at(r->chains, last);
}

// Removes a position from a hash! table in constant time; a bucket left
// without positions is deleted.
void delete_position(NodeId table, uint32_t position) {
    Record* r = record(table);
    int32_t number = index_at(r, position);
    if (number <= 0) return;
    uint32_t bucket = uint32_t(number - 1);
    IndexEntry* index = index_of(r);
    int32_t member = index[position].member;
    index[position] = IndexEntry{-1, -1};
    if (bucket >= r->buckets || state(flags_of(r), bucket) != LIVE) return;
    // A plain bucket (no place in a chain) holds the position alone: its key
    // need not be read.
    int32_t key = member < 0 ? int32_t(position) : keys_of(r)[bucket];
    if (key < 0) {
        SeriesBuffer* chain = memory::buffer_of(chain_at(r, -key));
        auto* m = reinterpret_cast<int32_t*>(chain->head_ptr());
        int64_t n = int64_t(chain->used() / sizeof(int32_t));
        if (member < 0 || member >= n || m[member] != int32_t(position)) internal_fault();  // index out of step
        int32_t moved = m[n - 1];
        m[member] = moved;
        index[moved].member = member;
        chain->tail -= sizeof(int32_t);
        if (n > 1) return;
        drop_chain(r, -key);
    } else if (key != int32_t(position)) {
        return;
    }
    set_state(flags_of(r), bucket, DELETED);
    --r->count;
}

uint32_t block_position(const Record* r, const Cell* cell, bool* inside) {
    SeriesBuffer* b = memory::buffer_of(r->block);
    const Cell* first = b->cells();
    *inside = cell >= first && cell < b->cells_tail();
    return *inside ? uint32_t(cell - first) : 0;
}

// Calls fn(stored position) for the groups that hold the positions
// [lo, hi), found through the index array: a plain bucket's key, or every
// member of a chain (each chain once, however many of its members lie there).
template <class Fn>
void for_each_group_position(const Record* r, uint32_t lo, uint32_t hi, Fn fn) {
    const IndexEntry* index = index_of(r);
    int32_t* keys = keys_of(r);
    hi = std::min(hi, index_length(r));
    std::vector<uint8_t> chain_done(size_t(chain_count(r)) + 1, 0);
    for (uint32_t q = lo; q < hi; ++q) {
        int32_t number = index[q].bucket;
        if (number <= 0) continue;
        int32_t& key = keys[number - 1];
        if (key >= 0) {
            fn(key);
            continue;
        }
        if (chain_done[size_t(-key)]) continue;
        chain_done[size_t(-key)] = 1;
        int32_t n;
        int32_t* m = members(chain_at(r, -key), &n);
        for (int32_t k = 0; k < n; ++k) fn(m[k]);
    }
}

// Applies a position map to the keys and chains of the positions [lo, hi)
// and permutes their index entries the same way.
template <class Map>
void remap_positions(NodeId table, uint32_t lo, uint32_t hi, Map map) {
    reserve_index(table, hi);
    const Record* r = record(table);
    for_each_group_position(r, lo, hi, [&](int32_t& p) {
        if (uint32_t(p) >= lo && uint32_t(p) < hi) p = int32_t(map(uint32_t(p)));
    });
    IndexEntry* index = index_of(r);
    std::vector<IndexEntry> saved(index + lo, index + hi);
    for (uint32_t q = lo; q < hi; ++q) index[map(q)] = saved[q - lo];
}

// Builds the table again for `count` values from its block, leaving out the
// positions [skip, skip + skipped).
void refill(NodeId table, uint32_t count, int64_t skip, int64_t skipped) {
    Record* r = record(table);
    if (r->kind != KIND_HASH) no_switch_matched();
    uint32_t buckets = buckets_for(uint64_t(double(count) * 1.5));
    NodeId flags = new_flags(buckets);
    Rooted keep_flags(flags);
    NodeId keys = new_keys(buckets);
    r = record(table);
    r->flags = flags;
    r->keys = keys;
    r->buckets = buckets;
    r->upper = uint32_t(double(buckets) * LOAD);
    r->count = 0;
    r->occupied = 0;
    r->stamp = 0;
    array::clear(r->chains);
    fill_index(r);
    // With `count` the number of positions put back (as delete_range passes
    // it) the buckets hold half as many again, so no put below reaches the
    // bound that rebuilds: a rebuild would put the skipped positions too.
    for (uint32_t p = 0; p < cell_count_of(record(table)); ++p) {
        if (p >= skip && p < skip + skipped) continue;
        int status;
        put_position(table, p, &status);
        if (status == PUT_REBUILT) return;  // a nested rebuild has put everything
    }
}

}  // namespace

void set_key_normalizer(KeyNormalizer fn) { normalizer = fn ? fn : default_normalizer; }

Cell* put_status(NodeId table, Cell* value, int* status) {
    bool inside;
    uint32_t position = block_position(record(table), value, &inside);
    *status = 0;
    if (!inside) return value;
    put_position(table, position, status);
    return cells_of(record(table)) + position;
}

Cell* put_absent(NodeId table, Cell* value) {
    if (record(table)->kind != KIND_MAP) no_switch_matched();
    bool inside;
    uint32_t position = block_position(record(table), value, &inside);
    if (!inside) return value;
    int status;
    put_position(table, position, &status, true);
    return cells_of(record(table)) + position;
}

Cell* put(NodeId table, Cell* value) {
    int status;
    return put_status(table, value, &status);
}

void put_all(NodeId table, uint32_t start, uint32_t step) {
    if (step < 1) step = 1;
    if (record(table)->kind != KIND_MAP) {
        for (uint64_t p = start; p < cell_count_of(record(table)); p += step) {
            int status;
            put_position(table, uint32_t(p), &status);
            if (status == PUT_REBUILT) return;
        }
        return;
    }
    uint32_t p = start;
    while (p < cell_count_of(record(table))) {
        Record* r = record(table);
        uint32_t length = cell_count_of(r);
        Cell key = cells_of(r)[p];
        Cell* found = find(table, key, 0, 1, COMP_STRICT_EQUAL, false, false);
        r = record(table);
        Cell* cells = cells_of(r);
        if (found && found != cells + p) {
            // A repeated key: its new value replaces the earlier one and the
            // repeated pair leaves the block.
            if (p + 1 >= length) break;  // a key without a value
            Cell* old_value = found + 1;
            if (old_value->header == 0) ++r->count;  // the earlier pair had been removed
            *old_value = cells[p + 1];
            SeriesBuffer* b = memory::buffer_of(r->block);
            std::memmove(cells + p, cells + p + 2, (length - p - 2) * sizeof(Cell));
            b->tail -= 2 * sizeof(Cell);
            continue;
        }
        if (!found) {
            int status;
            put_position(table, p, &status);
            normalizer(table, p);  // may allocate (a copied text key) and move the block
        }
        p += step;
    }
}

Cell* find(NodeId table, const Cell& value, int32_t from, int32_t skip, int op, bool last, bool reverse) {
    const Record* r = record(table);
    if (r->kind != KIND_HASH && r->kind != KIND_MAP) no_switch_matched();
    if (r->kind == KIND_HASH && skip < 1) fire(ErrorId::script_out_of_range, {make_integer(skip)});
    Cell v = value;
    if (r->kind == KIND_MAP && is_plain_word(type_of(v))) set_type(v, TYPE_SET_WORD);
    Cell* cells = cells_of(r);
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    uint32_t mask = r->buckets - 1;
    uint32_t h = hash_value(v, false);
    uint32_t i = h & mask;
    uint32_t type = type_of(v);
    for (uint32_t step = 0; step < r->buckets; ++step, i = (i + step) & mask) {
        uint32_t s = state(flags, i);
        if (s == EMPTY) return nullptr;
        if (s == DELETED) continue;
        int32_t key = keys[i];
        if (r->kind == KIND_MAP) {
            if (hashes_of(r)[i] == h && type_of(cells[key]) == type && compare_cells(cells[key], v, op) == 0)
                return cells + key;
            continue;
        }
        if (compare_cells(cells[first_member(r, key)], v, COMP_EQUAL) != 0) continue;
        int32_t n = 1;
        const int32_t* m = &key;
        if (key < 0) m = members(chain_at(r, -key), &n);
        int64_t best = -1;
        for (int32_t k = 0; k < n; ++k) {
            int64_t l = m[k];
            if (compare_cells(cells[l], v, op) != 0) continue;
            // Forward, the distance counts on from `from`; with last or
            // reverse it counts back from the cell before `from`.
            int64_t distance = reverse || last ? int64_t(from) - l - 1 : l - int64_t(from);
            int64_t rest = distance % skip;
            if (rest < 0) rest += skip;
            if (rest != 0) continue;
            if (reverse) {
                if (l < from && l > best) best = l;
            } else if (last) {
                if (l >= from && l > best) best = l;
            } else if (l >= from && (best < 0 || l < best)) {
                best = l;
            }
        }
        if (best >= 0) return cells + best;
    }
    return nullptr;
}

Cell* find_next(NodeId table, const Cell& value, int32_t* bucket, int32_t* end, int32_t* step) {
    const Record* r = record(table);
    if (r->kind != KIND_HASH && r->kind != KIND_MAP) no_switch_matched();
    uint32_t mask = r->buckets - 1;
    uint32_t k;
    uint32_t i;
    if (*bucket < 0) {
        i = hash_value(value, false) & mask;
        *end = int32_t(i);
        k = 0;
    } else {
        if (*step < 0 || uint32_t(*step) + 1 >= r->buckets) return nullptr;
        k = uint32_t(*step) + 1;
        i = (uint32_t(*bucket) + k) & mask;
    }
    Cell* cells = cells_of(r);
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    uint32_t type = type_of(value);
    for (; k < r->buckets; ++k, i = (i + k) & mask) {
        uint32_t s = state(flags, i);
        if (s == EMPTY) break;
        if (s == DELETED) continue;
        int32_t first = r->kind == KIND_HASH ? first_member(r, keys[i]) : keys[i];
        if (type_of(cells[first]) == type && compare_cells(cells[first], value, COMP_EQUAL) == 0) {
            *bucket = int32_t(i);
            *step = int32_t(k);
            return cells + first;
        }
    }
    *bucket = int32_t(i);
    *step = int32_t(r->buckets);
    return nullptr;
}

void delete_at(NodeId table, const Cell* cell) {
    Record* r = record(table);
    bool inside;
    uint32_t position = block_position(r, cell, &inside);
    if (!inside) return;
    if (r->kind == KIND_HASH) {
        delete_position(table, position);
        return;
    }
    if (r->kind != KIND_MAP) no_switch_matched();
    if (position + 1 >= cell_count_of(r)) return;
    Cell& v = cells_of(r)[position + 1];
    if (v.header == 0) return;  // removed already: the count dropped then
    v.header = 0;
    --r->count;
}

void delete_range(NodeId table, int32_t position, int32_t count) {
    Record* r = record(table);
    if (r->kind != KIND_HASH) return;
    int64_t length = cell_count_of(r);
    if (position < 0) position = 0;
    if (position >= length || count <= 0) return;
    int64_t n = std::min<int64_t>(count, length - position);
    if (position == 0 && n == length) {
        r->count = 0;
        r->occupied = 0;
        clear_table(r);
        fill_index(r);
        array::clear(r->chains);
        return;
    }
    // Each removal costs constant time but reaches a bucket at random: when
    // more goes than stays, building the table again for what stays is the
    // cheaper way.
    if (n > length - n) {
        refill(table, uint32_t(length - n), position, n);
        return;
    }
    for (int64_t p = position; p < position + n; ++p) delete_position(table, uint32_t(p));
}

int shift_positions(NodeId table, int32_t offset, int32_t start, int32_t count, bool index) {
    if (count > MAX_SHIFT) return 1;
    if (record(table)->kind != KIND_HASH || count <= 0 || start < 0) return 0;
    if (index) reserve_index(table, uint64_t(std::max<int64_t>(int64_t(start) + count + offset, 0)) + 1);
    const Record* r = record(table);
    for_each_group_position(r, uint32_t(start), uint32_t(start) + uint32_t(count), [&](int32_t& p) {
        if (p >= start) p += offset;
    });
    if (!index) return 0;
    // The index entries travel with their cells; the places they leave are
    // emptied.
    IndexEntry* idx = index_of(r);
    int64_t length = index_length(r);
    int64_t end = std::min<int64_t>(int64_t(start) + count, length);
    if (end <= start) return 0;
    std::vector<IndexEntry> saved(idx + start, idx + end);
    for (int64_t q = start; q < end; ++q) idx[q] = IndexEntry{-1, -1};
    for (int64_t q = start; q < end; ++q) {
        int64_t to = q + offset;
        if (to >= 0 && to < length) idx[to] = saved[size_t(q - start)];
    }
    return 0;
}

void move_positions(NodeId table, int32_t destination, int32_t start, int32_t count) {
    Record* r = record(table);
    if (r->kind != KIND_HASH || count <= 0 || start < 0 || destination < 0) return;
    if (destination >= start && int64_t(destination) <= int64_t(start) + count) return;
    uint32_t lo, hi;
    int64_t moved, between;
    uint32_t c = uint32_t(start), e = uint32_t(start) + uint32_t(count);
    if (uint32_t(destination) > e) {  // forward: the moved cells end at the destination
        lo = c;
        hi = uint32_t(destination);
        moved = int64_t(destination) - count - start;
        between = -int64_t(count);
    } else {  // backward: the moved cells start at the destination
        lo = uint32_t(destination);
        hi = e;
        moved = int64_t(destination) - start;
        between = count;
    }
    if (count > MAX_SHIFT || int64_t(hi - lo) - count > MAX_SHIFT) {
        rebuild(table, cell_count_of(r));
        return;
    }
    remap_positions(table, lo, hi,
                    [=](uint32_t q) { return uint32_t(int64_t(q) + ((q >= c && q < e) ? moved : between)); });
}

void rebuild(NodeId table, uint32_t count) { refill(table, count, 0, 0); }

NodeId copy(NodeId table, NodeId block) {
    NodeId t = memory::clone_series(memory::buffer_of(table));
    Cell keep = as_cell(t);
    Rooted guard(keep);
    NodeId n = memory::clone_series(memory::buffer_of(record(t)->flags));
    record(t)->flags = n;
    n = memory::clone_series(memory::buffer_of(record(t)->keys));
    record(t)->keys = n;
    record(t)->block = block;
    if (record(t)->kind == KIND_MAP) {
        n = memory::clone_series(memory::buffer_of(record(t)->indexes));
        record(t)->indexes = n;
    }
    if (record(t)->kind != KIND_HASH) return t;
    n = memory::clone_series(memory::buffer_of(record(t)->indexes));
    record(t)->indexes = n;
    n = memory::clone_series(memory::buffer_of(record(t)->chains));
    record(t)->chains = n;
    int32_t chains = chain_count(record(t));
    for (int32_t k = 1; k <= chains; ++k) {
        NodeId chain = chain_at(record(t), k);
        if (!chain) continue;
        n = memory::clone_series(memory::buffer_of(chain));
        reinterpret_cast<int32_t*>(array::data(record(t)->chains))[k - 1] = int32_t(n);
    }
    return t;
}

void reset(NodeId table) {
    Record* r = record(table);
    r->count = 0;
    r->occupied = 0;
    SeriesBuffer* b = memory::buffer_of(r->block);
    b->tail = b->offset;
    clear_table(r);
    if (r->kind == KIND_HASH) {
        fill_index(r);
        array::clear(r->chains);
    }
}

}  // namespace kel::hashtable
