// Hash tables: hashing, making, resizing, marking, and the keyed kinds 3-4.
#include "runtime/hashing/hashtable.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/print.h"
#include "runtime/core/system.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/hashtable-buckets.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/raw-array.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/heap.h"
#include "runtime/text/case-folding.h"
#include "runtime/text/unicode.h"

namespace kel::hashtable {

using namespace detail;

namespace {

uint32_t hash_seed = DEFAULT_SEED;

// Scratch for lower_ascii: 256 bytes at first, replaced by a larger block
// when a longer name comes.
uint8_t* scratch = nullptr;
size_t scratch_size = 0;

constexpr uint32_t MAX_BUCKETS = 1u << 30;
constexpr uint32_t MAX_PAYLOAD = 0xFFFF;
constexpr uint32_t MONEY_SIGN = 0x4000;  // money! header bit 14
constexpr uint32_t TUPLE_SIZE_SHIFT = 19;  // tuple! byte count in header bits 19-22

inline uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

// The MurmurHash3 x86 32-bit body, one 4-byte block at a time.
struct Murmur {
    uint32_t h;
    void block(uint32_t k) {
        k *= 0xCC9E2D51u;
        k = rotl(k, 15);
        k *= 0x1B873593u;
        h ^= k;
        h = rotl(h, 13);
        h = h * 5 + 0xE6546B64u;
    }
    void tail(const uint8_t* p, size_t n) {
        uint32_t k = 0;
        switch (n & 3) {
        case 3:
            k ^= uint32_t(p[2]) << 16;
            [[fallthrough]];
        case 2:
            k ^= uint32_t(p[1]) << 8;
            [[fallthrough]];
        case 1:
            k ^= p[0];
            k *= 0xCC9E2D51u;
            k = rotl(k, 15);
            k *= 0x1B873593u;
            h ^= k;
        }
    }
    uint32_t finish(size_t n) { return hash_int(h ^ uint32_t(n)); }
};

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A-Z lowered in each byte of a little-endian word (other bytes unchanged).
inline uint32_t lower_word(uint32_t w) {
    uint32_t low7 = w & 0x7F7F7F7Fu;
    uint32_t above_z = low7 + 0x25252525u;  // high bit set where the byte > 'Z'
    uint32_t from_a = low7 + 0x3F3F3F3Fu;  // high bit set where the byte >= 'A'
    uint32_t upper = ~w & (from_a ^ above_z) & 0x80808080u;
    return w | (upper >> 2);
}
inline uint8_t lower_byte(uint8_t b) { return (b >= 'A' && b <= 'Z') ? uint8_t(b | 0x20) : b; }

// MurmurHash3 of the bytes with A-Z lowered, without a copy: the same value
// as murmur3_x86_32(lower_ascii(p, n), n).
uint32_t murmur_lowered(const uint8_t* p, size_t n) {
    Murmur m{hash_seed};
    size_t blocks = n / 4;
    for (size_t i = 0; i < blocks; ++i) m.block(lower_word(load32(p + i * 4)));
    uint8_t rest[3] = {};
    for (size_t i = 0; i < (n & 3); ++i) rest[i] = lower_byte(p[blocks * 4 + i]);
    m.tail(rest, n);
    return m.finish(n);
}

uint32_t murmur_words(const Cell& c, int first, int count) {
    const uint32_t words[3] = {c.data1, c.data2, c.data3};
    return murmur3_x86_32(words + (first - 1), size_t(count) * 4);
}

// Hash of the key stored at a block position of a kind 1 or 2 table.
uint32_t hash_at(const Record* r, const Cell* cells, int32_t position) {
    const Cell& c = cells[position];
    if (r->kind == KIND_SYMBOL) {
        if (type_of(c) == TYPE_SYMBOL) return hash_symbol(c);
        return hash_int(uint32_t(symbol::resolve(int32_t(c.data2))));
    }
    return hash_value(c, false);
}

Cell* entry_at(uint8_t* entries, int32_t offset) { return reinterpret_cast<Cell*>(entries + offset); }
uint8_t* entries_of(const Record* r) { return memory::buffer_of(r->block)->head_ptr(); }

// Probes a keyed table for a key. Returns the bucket of the live entry, or -1
// with *slot set to the bucket a new entry goes to: the first deleted bucket
// met, else the empty bucket that ended the search (-1 when neither exists).
int32_t probe_key(const Record* r, uint32_t key, int32_t* slot) {
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    uint8_t* entries = entries_of(r);
    uint32_t mask = r->buckets - 1;
    uint32_t i = hash_int(key) & mask;
    int32_t first_deleted = -1;
    for (uint32_t step = 0; step < r->buckets;) {
        uint32_t s = state(flags, i);
        if (s == EMPTY) {
            *slot = first_deleted >= 0 ? first_deleted : int32_t(i);
            return -1;
        }
        if (s == DELETED) {
            if (first_deleted < 0) first_deleted = int32_t(i);
        } else if (entry_at(entries, keys[i])->data1 == key) {
            return int32_t(i);
        }
        ++step;
        i = (i + step) & mask;
    }
    *slot = first_deleted;
    return -1;
}

void reset_entry(Cell* entry, uint32_t cells, uint32_t key) {
    entry[0] = Cell{TYPE_UNSET, key, 0, 0};
    for (uint32_t k = 1; k < cells; ++k) entry[k] = make_unset();
}

void require_keyed(const Record* r) {
    if (r->kind != KIND_INTEGER && r->kind != KIND_NODE) no_switch_matched();
}

// Kind 2 made as a copy of a context's word table: the record, the word
// block, the keys and the flags are cloned.
void copy_word_table(NodeId table, NodeId source) {
    std::memcpy(record(table), record(source), sizeof(Record));
    NodeId n = memory::clone_series(memory::buffer_of(record(table)->block));
    record(table)->block = n;
    n = memory::clone_series(memory::buffer_of(record(table)->keys));
    record(table)->keys = n;
    n = memory::clone_series(memory::buffer_of(record(table)->flags));
    record(table)->flags = n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

namespace detail {

uint32_t buckets_for(uint64_t n) {
    uint64_t b = 4;
    while (b < n) b <<= 1;
    if (b > MAX_BUCKETS) fire(ErrorId::internal_no_memory);
    return uint32_t(b);
}

NodeId new_flags(uint32_t buckets) {
    NodeId n = memory::alloc_bytes_filled(buckets >> 2, ALL_EMPTY);
    SeriesBuffer* b = memory::buffer_of(n);
    b->tail = buckets >> 2;
    return n;
}

NodeId new_keys(uint32_t buckets) {
    NodeId n = memory::alloc_bytes_filled(uint64_t(buckets) * 4, 0);
    SeriesBuffer* b = memory::buffer_of(n);
    b->tail = uint64_t(buckets) * 4;
    return n;
}

uint32_t hash_name(const uint8_t* bytes, size_t n) { return murmur_lowered(bytes, n); }

int32_t compare_cells(const Cell& a, const Cell& b, int32_t op) {
    datatype::Action fn = datatype::slot(type_of(a), ACTION_COMPARE);
    if (!fn) return COMP_NOT_COMPARABLE;
    return reinterpret_cast<ActionSlot<ACTION_COMPARE>::type>(fn)(a, b, op);
}

}  // namespace detail

// ---------------------------------------------------------------------------
// Hashing

void set_seed(uint32_t seed) { hash_seed = seed; }
uint32_t seed() { return hash_seed; }

uint32_t murmur3_x86_32(const void* key, size_t n) {
    auto* p = static_cast<const uint8_t*>(key);
    Murmur m{hash_seed};
    size_t blocks = n / 4;
    for (size_t i = 0; i < blocks; ++i) m.block(load32(p + i * 4));
    m.tail(p + blocks * 4, n);
    return m.finish(n);
}

uint32_t hash_string(const Cell& str, bool case_sensitive) {
    SeriesBuffer* b = memory::buffer_of(cell_node(str));
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);  // any other unit ends the process (101)
    int64_t head = int32_t(str.data1);
    if (head < 0) head = 0;
    uint64_t start = b->offset + (uint64_t(head) << shift);
    uint64_t count = start < b->tail ? (b->tail - start) >> shift : 0;
    const uint8_t* p = b->data() + start;
    Murmur m{hash_seed};
    // One loop per unit width, so the width is not tested per character.
    auto mix = [&](auto read) {
        if (case_sensitive)
            for (uint64_t i = 0; i < count; ++i) m.block(read(i));
        else
            for (uint64_t i = 0; i < count; ++i) m.block(unicode::upper_char(read(i)));
    };
    switch (unit) {
    case 1:
        mix([p](uint64_t i) { return uint32_t(p[i]); });
        break;
    case 2:
        mix([p](uint64_t i) { return unicode::get_unit(p, 2, i); });
        break;
    default:
        mix([p](uint64_t i) { return unicode::get_unit(p, 4, i); });
        break;
    }
    return m.finish(size_t(count * 4));
}

uint32_t hash_symbol(const Cell& sym) {
    SeriesBuffer* b = memory::buffer_of(sym.data3);
    return murmur_lowered(b->head_ptr(), size_t(b->used()));
}

uint32_t hash_value(const Cell& c, bool case_sensitive) {
    switch (type_of(c)) {
    case TYPE_UNSET:
        return uint32_t(-2);
    case TYPE_NONE:
        return uint32_t(-1);
    case TYPE_DATATYPE:
    case TYPE_LOGIC:
    case TYPE_OBJECT:
    case TYPE_ERROR:
    case TYPE_PORT:
        return hash_int(c.data1);
    case TYPE_INTEGER:
        return hash_int(uint32_t(cell_integer(c)));
    case TYPE_CHAR:
    case TYPE_MAP:
    case TYPE_HANDLE:
    case TYPE_EVENT:
        return hash_int(c.data2);
    case TYPE_NATIVE:
    case TYPE_ACTION:
        return hash_int(c.data3);
    case TYPE_WORD:
    case TYPE_SET_WORD:
    case TYPE_LIT_WORD:
    case TYPE_GET_WORD:
    case TYPE_REFINEMENT:
    case TYPE_ISSUE:
        return hash_int(uint32_t(symbol::resolve(int32_t(c.data2))));
    case TYPE_SYMBOL:
        return hash_symbol(c);
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
        return hash_string(c, case_sensitive);
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_LIT_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH:
    case TYPE_HASH:
    case TYPE_POINT2D:
    case TYPE_IMAGE:
        return murmur_words(c, 1, 2);
    case TYPE_FLOAT:
    case TYPE_PAIR:
    case TYPE_PERCENT:
    case TYPE_TIME:
        return murmur_words(c, 2, 2);
    case TYPE_OP:
    case TYPE_FUNCTION:
    case TYPE_TRIPLE:
    case TYPE_TYPESET:
    case TYPE_DATE:
    case TYPE_POINT3D:
        return murmur_words(c, 1, 3);
    case TYPE_TUPLE: {
        uint32_t n = (c.header >> TUPLE_SIZE_SHIFT) & 0xF;
        if (n > 12) n = 12;
        const uint32_t words[3] = {c.data1, c.data2, c.data3};
        return murmur3_x86_32(words, n);
    }
    case TYPE_BINARY: {
        SeriesBuffer* b = memory::buffer_of(cell_node(c));
        int64_t head = int32_t(c.data1);
        if (head < 0) head = 0;
        uint64_t start = b->offset + uint64_t(head);
        uint64_t n = start < b->tail ? b->tail - start : 0;
        return murmur3_x86_32(b->data() + start, size_t(n));
    }
    case TYPE_MONEY: {
        // Zero amounts are equal whatever their sign, so -$0 and $0
        // must hash alike: the sign counts only for a non-zero amount.
        Cell m = c;
        uint8_t bytes[sizeof m];
        std::memcpy(bytes, &m, sizeof m);
        bool zero = true;
        for (size_t i = 5; i < sizeof m; ++i) zero = zero && bytes[i] == 0;
        m.header = (c.header & CELL_TYPE_MASK) | (zero ? 0 : (c.header & MONEY_SIGN));
        return murmur3_x86_32(&m, sizeof m);
    }
    default:
        return 0;
    }
}

const uint8_t* lower_ascii(const uint8_t* bytes, size_t n) {
    if (!scratch || n > scratch_size) {
        size_t size = n > 256 ? n : 256;
        if (scratch) heap::free(scratch);
        scratch = static_cast<uint8_t*>(heap::allocate(size));
        scratch_size = size;
    }
    for (size_t i = 0; i < n; ++i) scratch[i] = lower_byte(bytes[i]);
    return scratch;
}

int compare_names(const uint8_t* a, const uint8_t* b, size_t n, bool exact) {
    if (exact) return n ? std::memcmp(a, b, n) : 0;
    for (size_t i = 0; i < n; ++i) {
        int d = int(lower_byte(a[i])) - int(lower_byte(b[i]));
        if (d) return d;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Tables

void init() { collector::hashtable_mark = mark; }

namespace {

// A zeroed record in a new byte series.
NodeId new_record() {
    if (!collector::hashtable_mark) init();  // tables must be marked from the first one on
    NodeId table = memory::alloc_bytes(sizeof(Record));
    SeriesBuffer* b = memory::buffer_of(table);
    std::memset(b->data(), 0, b->size);
    b->tail = sizeof(Record);
    return table;
}

// A new table of any kind; `block` for kinds 0-2, `payload` for kinds 3-4.
NodeId new_table(uint32_t size, const Cell* block, Kind kind, uint32_t payload) {
    // The block cell may lie in a buffer that our allocations move.
    Cell given = block ? *block : make_none();
    NodeId table = new_record();
    Cell keep = as_cell(table);
    Rooted guard(keep);

    uint64_t s = size;
    if (kind == KIND_SYMBOL && s >= 4000) s *= 2;
    if (s < 4) s = 4;
    uint32_t buckets = buckets_for(uint64_t(double(s) / LOAD));
    Record* r = record(table);
    r->kind = kind;
    if (kind >= KIND_INTEGER) r->indexes = (payload + 1) * sizeof(Cell);
    r->buckets = buckets;
    r->upper = uint32_t(double(buckets) * LOAD);

    NodeId n = new_flags(buckets);
    record(table)->flags = n;
    n = new_keys(buckets);
    record(table)->keys = n;
    if (kind == KIND_HASH) {
        n = new_index(s);
        record(table)->indexes = n;
        n = array::make(4, 4);
        record(table)->chains = n;
    }
    if (kind == KIND_MAP) {
        n = new_keys(buckets);
        record(table)->indexes = n;
    }
    if (kind >= KIND_INTEGER || !block) {
        n = memory::alloc_cells(s);
        record(table)->block = n;
        return table;
    }
    record(table)->block = cell_node(given);
    if (kind == KIND_HASH || kind == KIND_MAP) {
        int32_t head = int32_t(cell_head(given));
        put_all(table, head < 0 ? 0 : uint32_t(head), kind == KIND_MAP ? 2 : 1);
    }
    return table;
}

}  // namespace

NodeId make_table(uint32_t size, const Cell* block, Kind kind) {
    if (kind != KIND_HASH && kind != KIND_MAP && kind != KIND_SYMBOL) no_switch_matched();
    return new_table(size, block, kind, 0);
}

NodeId make_keyed_table(uint32_t size, Kind kind, uint32_t payload) {
    if (kind != KIND_INTEGER && kind != KIND_NODE) no_switch_matched();
    if (payload > MAX_PAYLOAD) fire(ErrorId::internal_limit_hit, {make_integer(int32_t(payload))});
    return new_table(size, nullptr, kind, payload);
}

NodeId clone_word_table(NodeId source) {
    NodeId table = new_record();
    Cell keep = as_cell(table);
    Rooted guard(keep);
    Cell keep_source = as_cell(source);
    Rooted guard_source(keep_source);
    copy_word_table(table, source);
    return table;
}

namespace {

// A map table moved into fresh flags, keys and hashes of n buckets: each
// live key goes to the first free bucket of its stored hash's probe path
// (the keys of a map are distinct, so nothing is compared).
void resize_map(NodeId table, uint32_t buckets, uint32_t upper) {
    NodeId flags = new_flags(buckets);
    Rooted keep_flags(flags);
    NodeId keys = new_keys(buckets);
    Rooted keep_keys(keys);
    NodeId hashes = new_keys(buckets);
    Record* r = record(table);
    const uint8_t* old_flags = flags_of(r);
    const int32_t* old_keys = keys_of(r);
    const uint32_t* old_hashes = hashes_of(r);
    uint8_t* new_flags = memory::buffer_of(flags)->data();
    auto* new_keys = reinterpret_cast<int32_t*>(memory::buffer_of(keys)->data());
    auto* new_hashes = reinterpret_cast<uint32_t*>(memory::buffer_of(hashes)->data());
    uint32_t mask = buckets - 1;
    for (uint32_t i = 0; i < r->buckets; ++i) {
        if (state(old_flags, i) != LIVE) continue;
        uint32_t j = old_hashes[i] & mask;
        for (uint32_t step = 0; state(new_flags, j) != EMPTY;) {
            ++step;
            j = (j + step) & mask;
        }
        set_state(new_flags, j, LIVE);
        new_keys[j] = old_keys[i];
        new_hashes[j] = old_hashes[i];
    }
    r->flags = flags;
    r->keys = keys;
    r->indexes = hashes;
    r->buckets = buckets;
    r->upper = upper;
}

}  // namespace

void resize(NodeId table, uint32_t requested) {
    Record* r = record(table);
    if (r->kind != KIND_MAP && r->kind != KIND_SYMBOL) no_switch_matched();
    uint32_t buckets = buckets_for(requested);
    uint32_t upper = rounded_upper(buckets);
    // A map! never deletes a bucket (removal empties the value only): its
    // live buckets are the occupied ones.
    uint32_t live = r->kind == KIND_MAP ? r->occupied : r->count;
    if (live >= upper) return;
    uint32_t old_buckets = r->buckets;
    if (r->kind == KIND_MAP) return resize_map(table, buckets, upper);

    NodeId fresh = new_flags(buckets);
    Rooted keep(fresh);
    if (uint64_t(buckets) * 4 > memory::buffer_of(record(table)->keys)->size) {
        SeriesBuffer* kb = memory::expand_series(memory::buffer_of(record(table)->keys), uint64_t(buckets) * 4);
        kb->tail = uint64_t(buckets) * 4;
    }
    r = record(table);
    uint8_t* old_flags = flags_of(r);
    uint8_t* new_flags = memory::buffer_of(fresh)->data();
    int32_t* keys = keys_of(r);
    const Cell* cells = cells_of(r);
    uint32_t mask = buckets - 1;

    // Displacement: each key taken out of its old bucket probes the new
    // flags; landing on an old bucket whose key has not moved yet, it takes
    // that bucket and the displaced key moves next.
    for (uint32_t i = 0; i < old_buckets; ++i) {
        if (state(old_flags, i) != LIVE) continue;
        int32_t key = keys[i];
        set_state(old_flags, i, DELETED);
        for (;;) {
            uint32_t j = hash_at(r, cells, key) & mask;
            for (uint32_t step = 0; state(new_flags, j) != EMPTY;) {
                ++step;
                j = (j + step) & mask;
            }
            set_state(new_flags, j, LIVE);
            if (j < old_buckets && state(old_flags, j) == LIVE) {
                int32_t displaced = keys[j];
                keys[j] = key;
                set_state(old_flags, j, DELETED);
                key = displaced;
                continue;
            }
            keys[j] = key;
            break;
        }
    }
    r->flags = fresh;
    r->buckets = buckets;
    r->upper = upper;
    if (r->kind != KIND_MAP) r->occupied = r->count;
}

// ---------------------------------------------------------------------------
// Keyed kinds 3 and 4

void rebuild_keys(NodeId table, uint32_t requested) {
    Record* r = record(table);
    require_keyed(r);
    uint32_t buckets = buckets_for(requested);
    uint32_t entry_size = r->indexes;
    uint32_t entry_cells = entry_size / sizeof(Cell);

    uint64_t live = 0;
    {
        SeriesBuffer* eb = memory::buffer_of(r->block);
        for (uint64_t off = 0; off + entry_size <= eb->used(); off += entry_size)
            if (entry_at(eb->head_ptr(), int32_t(off))->header == TYPE_UNSET) ++live;
    }
    NodeId flags = new_flags(buckets);
    Rooted keep_flags(flags);
    NodeId keys = new_keys(buckets);
    Rooted keep_keys(keys);
    NodeId block = memory::alloc_cells(live * entry_cells);
    Rooted keep_block(block);

    r = record(table);
    SeriesBuffer* old_block = memory::buffer_of(r->block);
    SeriesBuffer* new_block = memory::buffer_of(block);
    uint8_t* f = memory::buffer_of(flags)->data();
    auto* k = reinterpret_cast<int32_t*>(memory::buffer_of(keys)->data());
    uint32_t mask = buckets - 1;
    uint32_t count = 0;
    for (uint64_t off = 0; off + entry_size <= old_block->used(); off += entry_size) {
        const Cell* entry = entry_at(old_block->head_ptr(), int32_t(off));
        if (entry->header != TYPE_UNSET) continue;
        uint32_t j = hash_int(entry->data1) & mask;
        for (uint32_t step = 0; state(f, j) != EMPTY;) {
            ++step;
            j = (j + step) & mask;
        }
        set_state(f, j, LIVE);
        k[j] = int32_t(new_block->used());
        std::memcpy(new_block->tail_ptr(), entry, entry_size);
        new_block->tail += entry_size;
        ++count;
    }
    r->flags = flags;
    r->keys = keys;
    r->block = block;
    r->buckets = buckets;
    r->upper = rounded_upper(buckets);
    r->count = count;
    r->occupied = count;
}

Cell* put_key(NodeId table, uint32_t key) {
    Record* r = record(table);
    require_keyed(r);
    if (r->occupied >= r->upper) {
        rebuild_keys(table, grow_request(r));
        r = record(table);
    }
    uint32_t entry_size = r->indexes;
    uint32_t entry_cells = entry_size / sizeof(Cell);
    int32_t slot;
    int32_t found = probe_key(r, key, &slot);
    if (found >= 0) {
        Cell* entry = entry_at(entries_of(r), keys_of(r)[found]);
        reset_entry(entry, entry_cells, key);
        return entry + 1;
    }
    if (slot < 0) internal_fault();  // cannot happen: the table grows before it fills
    if (state(flags_of(r), uint32_t(slot)) == DELETED) {
        Cell* entry = entry_at(entries_of(r), keys_of(r)[slot]);
        reset_entry(entry, entry_cells, key);
        set_state(flags_of(r), uint32_t(slot), LIVE);
        ++r->count;
        return entry + 1;
    }
    SeriesBuffer* eb = memory::buffer_of(r->block);
    uint64_t offset = eb->used();
    if (offset > uint64_t(INT32_MAX) - entry_size) fire(ErrorId::internal_no_memory);
    alloc_tail_bytes(eb, entry_size);  // may collect; everything is re-read below
    r = record(table);
    Cell* entry = entry_at(entries_of(r), int32_t(offset));
    reset_entry(entry, entry_cells, key);
    keys_of(r)[slot] = int32_t(offset);
    set_state(flags_of(r), uint32_t(slot), LIVE);
    ++r->count;
    ++r->occupied;
    return entry + 1;
}

Cell* get_key(NodeId table, uint32_t key) {
    Record* r = record(table);
    require_keyed(r);
    int32_t slot;
    int32_t found = probe_key(r, key, &slot);
    if (found < 0) return nullptr;
    return entry_at(entries_of(r), keys_of(r)[found]) + 1;
}

Cell* delete_key(NodeId table, uint32_t key) {
    Record* r = record(table);
    require_keyed(r);
    int32_t slot;
    int32_t found = probe_key(r, key, &slot);
    if (found < 0) return nullptr;
    Cell* entry = entry_at(entries_of(r), keys_of(r)[found]);
    set_state(flags_of(r), uint32_t(found), DELETED);
    --r->count;
    entry->header = 0;
    return entry + 1;
}

void sweep_keys(NodeId table) {
    Record* r = record(table);
    if (r->kind != KIND_NODE) no_switch_matched();
    uint32_t entry_cells = r->indexes / sizeof(Cell);
    uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    uint8_t* entries = entries_of(r);
    // A value whose payload word 1 names a context that was not marked.
    auto context_died = [](const Cell& c) {
        return type_classes::context_in_word1(type_of(c)) && c.data1 && !collector::is_marked(c.data1);
    };
    for (uint32_t i = 0; i < r->buckets; ++i) {
        if (state(flags, i) != LIVE) continue;
        Cell* entry = entry_at(entries, keys[i]);
        NodeId key = entry->data1;
        bool dead = key == 0 || !collector::is_marked(key);
        // The owner of an ownership entry: its context must have survived.
        if (!dead && entry_cells >= 3) dead = context_died(entry[2]);
        // Its field word: the context it is bound to (a nested object's)
        // must have survived too, or the entry names a dead field.
        if (!dead && entry_cells >= 4) dead = context_died(entry[3]);
        if (!dead) continue;
        set_state(flags, i, DELETED);
        --r->count;
        entry->header = 0;
        entry->data1 = 0;
    }
}

// ---------------------------------------------------------------------------
// Marking

void mark(NodeId table) {
    if (!table || !collector::mark_node(table)) return;
    const Record* r = record(table);
    if (r->kind == KIND_MAP && r->indexes) collector::mark_node(r->indexes);
    if (r->kind == KIND_HASH) {
        if (r->indexes) collector::mark_node(r->indexes);
        if (r->chains) {
            collector::mark_node(r->chains);
            SeriesBuffer* list = memory::buffer_of(r->chains);
            const uint8_t* p = list->head_ptr();
            for (uint64_t i = 0; i < list->used() / 4; ++i) {
                NodeId chain = load32(p + i * 4);
                if (chain) collector::mark_node(chain);
            }
        }
    }
    if (r->flags) collector::mark_node(r->flags);
    if (r->keys) collector::mark_node(r->keys);
    if (r->kind == KIND_NODE && r->flags && r->keys && r->block) {
        const uint8_t* flags = flags_of(r);
        const int32_t* keys = keys_of(r);
        uint8_t* entries = entries_of(r);
        for (uint32_t i = 0; i < r->buckets; ++i) {
            if (state(flags, i) != LIVE) continue;
            NodeId key = entry_at(entries, keys[i])->data1;
            if (!key) continue;
            if (memory::buffer_of(key)->unit() == sizeof(Cell))
                collector::mark_block(key);
            else
                collector::mark_node(key);
        }
    }
    if (r->block) collector::mark_block(r->block);
}

void mark_storage(NodeId table) {
    if (!table || !collector::mark_node(table)) return;
    const Record* r = record(table);
    for (NodeId n : {r->flags, r->keys, r->block})
        if (n) collector::mark_node(n);
}

void dump(NodeId table) {
    const Record* r = record(table);
    const uint8_t* flags = flags_of(r);
    const int32_t* keys = keys_of(r);
    for (uint32_t pass : {DELETED, LIVE}) {
        print_line({PrintItem::text(pass == DELETED ? "\n== Deleted keys ==" : "== Alive keys ==")});
        for (uint32_t i = 0; i < r->buckets; ++i) {
            if (state(flags, i) != pass) continue;
            int32_t key = keys[i];
            if (r->kind >= KIND_INTEGER) {
                const Cell* entry = entry_at(entries_of(r), key);
                print_line({PrintItem::text("bucket "), PrintItem::integer(int32_t(i)), PrintItem::text(" key "),
                            PrintItem::hex(entry->data1), PrintItem::text(" entry "), PrintItem::integer(key)});
            } else {
                print_line({PrintItem::text("bucket "), PrintItem::integer(int32_t(i)), PrintItem::text(" position "),
                            PrintItem::integer(key)});
            }
        }
    }
}

}  // namespace kel::hashtable
