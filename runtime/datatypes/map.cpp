// map! registration, keys (validity and normal form), making maps over a
// block, and the services other modules call (lookup, set, extend, the
// foreach step).
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/map-internal.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::map {

namespace {

bool is_word_kind(uint32_t t) {
    return t == TYPE_WORD || t == TYPE_SET_WORD || t == TYPE_GET_WORD || t == TYPE_LIT_WORD;
}

bool is_copied_key(uint32_t t) {
    switch (t) {
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
    case TYPE_BINARY:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void fire_invalid_key(const Cell* path, uint32_t type) {
    fire(ErrorId::script_invalid_path, {path ? *path : none_value, datatype::make(type)});
}

// The normal form of a key: a set-word! for every word kind (the whole
// header replaced), a copy of the text from its index for the string family
// and binary!, the key itself otherwise. May allocate.
Cell normal_form(const Cell& key, const Cell* path) {
    uint32_t t = type_of(key);
    if (!valid_key(t)) fire_invalid_key(path, t);
    if (is_word_kind(t)) {
        Cell w = key;
        w.header = TYPE_SET_WORD;
        return w;
    }
    if (!is_copied_key(t)) return key;
    Cell* copy = stack::push(key);
    series::copy(copy, copy, CopyOptions{});
    Cell result = *copy;
    stack::pop(1);
    return result;
}

// A block! cell over the map's key/value block, for the block helpers.
Cell block_cell(const Cell& m) { return Cell{TYPE_BLOCK, 0, block_of(m), 0}; }

int32_t cell_count(const Cell& m) { return int32_t(buffer(m)->cell_count()); }

// The key cell found for the key, or null.
Cell* find_key(const Cell& m, const Cell& key, int32_t op) {
    return hashtable::find(table_of(m), key, 0, 0, op, false, false);
}

// The position of the key cell of `key` (absent: -1).
int32_t key_position(const Cell& m, const Cell& key, int32_t op) {
    Cell* found = find_key(m, key, op);
    return found ? int32_t(found - buffer(m)->cells()) : -1;
}

// Stores the value of the pair whose key lies at `position`, reviving a
// removed pair.
void store(const Cell& m, int32_t position, const Cell& value) {
    Cell& slot = buffer(m)->cells()[position + 1];
    if (removed(slot)) ++hashtable::record(table_of(m))->count;
    slot = value;
}

// Appends the normal form of the key (already made, and looked up without
// success) and an unset value and enters the key in the table; answers the
// key's position.
int32_t add_pair(const Cell& m, const Cell& normal) {
    Cell blk = block_cell(m);
    Cell* k = alloc_block_tail(blk);
    *k = normal;
    Cell* v = alloc_block_tail(blk);
    *v = make_unset();
    int32_t position = cell_count(m) - 2;
    hashtable::put_absent(table_of(m), buffer(m)->cells() + position);
    return position;
}

// A block of pairs holds an even number of cells from its head.
void check_even(const Cell& blk) {
    Cell b = blk;
    if (block::ks_length(b) % 2 != 0) fire(ErrorId::script_invalid_arg, {blk});
}

}  // namespace

bool valid_key(uint32_t type) {
    switch (type) {
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
    case TYPE_BINARY:
    case TYPE_CHAR:
    case TYPE_INTEGER:
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_MONEY:
    case TYPE_PAIR:
    case TYPE_TUPLE:
    case TYPE_TIME:
    case TYPE_DATE:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
    case TYPE_ISSUE:
    case TYPE_REFINEMENT:
    case TYPE_WORD:
    case TYPE_SET_WORD:
    case TYPE_GET_WORD:
    case TYPE_LIT_WORD:
        return true;
    default:
        return false;
    }
}

void normalize_key(NodeId table, uint32_t position) {
    NodeId node = hashtable::record(table)->block;
    Cell key = memory::buffer_of(node)->cells()[position];
    Cell normal = normal_form(key, nullptr);
    // The copy may have moved the block: write through the node.
    memory::buffer_of(node)->cells()[position] = normal;
}

Cell* make_at(Cell& cell, const Cell* block, int32_t size) {
    Cell blk = make_none();
    Rooted keep(blk);
    if (block) {
        blk = Cell{TYPE_BLOCK, 0, cell_node(*block), 0};
        if (buffer(blk)->cell_count() % 2 != 0) fire(ErrorId::script_invalid_arg, {*block});
    } else {
        int64_t cells = int64_t(size < 1 ? 1 : size) * 2;
        if (cells > INT32_MAX) fire(ErrorId::script_out_of_range, {make_integer(size)});
        block::make_at(blk, int32_t(cells));
        blk.header = TYPE_BLOCK;
    }
    int32_t pairs = int32_t(buffer(blk)->cell_count() / 2);
    NodeId table = hashtable::make_table(uint32_t(pairs > size ? pairs : size), &blk, hashtable::KIND_MAP);
    cell = Cell{TYPE_MAP, 0, cell_node(blk), table};
    return &cell;
}

Cell* push_new(const Cell* block, int32_t size) {
    Cell* m = stack::push(make_none());
    return make_at(*m, block, size);
}

Cell* push(const Cell& m) { return stack::push(m); }

int32_t key_count(const Cell& m) { return int32_t(hashtable::record(table_of(m))->count); }

const Cell* lookup(const Cell& m, const Cell& key, int32_t op) {
    Cell* found = find_key(m, key, op);
    if (!found || removed(found[1])) return nullptr;
    return found + 1;
}

void set(const Cell& m_in, const Cell& key_in, const Cell& value_in, bool case_sensitive, const Cell* path) {
    Cell m = m_in, key = key_in, value = value_in;
    Rooted keep_m(m), keep_key(key), keep_value(value);
    int32_t position = key_position(m, key, case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL);
    if (position < 0) {
        Cell normal = normal_form(key, path);
        Rooted keep_normal(normal);
        position = add_pair(m, normal);
    }
    store(m, position, value);
}

void extend(const Cell& m_in, const Cell& block_in, bool case_sensitive) {
    Cell m = m_in, blk = block_in;
    Rooted keep_m(m), keep_blk(blk);
    check_even(blk);
    int32_t pairs = block::ks_length(blk) / 2;
    if (pairs == 0) return;
    // One growth for every pair the block could add.
    {
        SeriesBuffer* b = buffer(m);
        uint64_t need = (b->cell_count() + uint64_t(pairs) * 2) * sizeof(Cell);
        if (need > uint64_t(INT32_MAX) * sizeof(Cell)) fire(ErrorId::script_too_long);
        memory::grow_series(b, b->offset + need, 0);
    }
    int32_t op = case_sensitive ? COMP_STRICT_EQUAL : COMP_EQUAL;
    int32_t head = int32_t(blk.data1) < 0 ? 0 : int32_t(blk.data1);
    for (int32_t i = 0; i < pairs; ++i) {
        SeriesBuffer* src = block::buffer(blk);
        int32_t at = head + 2 * i;
        if (uint64_t(at) + 1 >= src->cell_count()) break;  // the block shrank (it cannot here, but stay inside)
        Cell key = src->cells()[at];
        Cell value = src->cells()[at + 1];
        Rooted keep_key(key), keep_value(value);
        int32_t position = key_position(m, key, op);
        if (position < 0) {
            Cell normal = normal_form(key, nullptr);
            Rooted keep_normal(normal);
            position = add_pair(m, normal);
        }
        store(m, position, value);
    }
}

Cell item(const Cell& m, int32_t i) {
    SeriesBuffer* b = buffer(m);
    const Cell* c = b->cells();
    int64_t n = int64_t(b->cell_count());
    int64_t live = 0;
    for (int64_t p = 0; p + 1 < n; p += 2) {
        if (removed(c[p + 1])) continue;
        if (live == i || live + 1 == i) {
            Cell v = c[p + (i - live)];
            if (live == i && type_of(v) == TYPE_SET_WORD) v.header = TYPE_WORD;
            return v;
        }
        live += 2;
    }
    return none_value;
}

bool set_loop_words(const Cell& words_in, Cell& cursor, int32_t count) {
    Cell words = words_in;
    Rooted keep_words(words);
    Cell m = cursor;
    Rooted keep_m(m);
    if (count != 2) fire(ErrorId::script_invalid_arg, {words});
    int32_t head = int32_t(words.data1) < 0 ? 0 : int32_t(words.data1);
    int64_t index = int32_t(cursor.data1) < 0 ? 0 : int32_t(cursor.data1);
    bool any = false;
    for (int32_t w = 0; w < count; ++w) {
        SeriesBuffer* wb = block::buffer(words);
        if (uint64_t(head + w) >= wb->cell_count()) break;
        Cell word = wb->cells()[head + w];
        if (!is_word_kind(type_of(word))) fire(ErrorId::script_invalid_arg, {word});
        int64_t n = cell_count(m);
        if (index % 2 == 0)
            while (index + 1 < n && removed(buffer(m)->cells()[index + 1])) index += 2;
        Cell value = none_value;
        if (index < n) {
            value = buffer(m)->cells()[index];
            if (index % 2 == 0 && type_of(value) == TYPE_SET_WORD) value.header = TYPE_WORD;
            ++index;
            any = true;
        }
        // Setting may run an object's change handler: nothing is held across it.
        context::set(word, value);
    }
    cursor.data1 = uint32_t(index);
    return any;
}

void to_block(Cell* out, const Cell& m_in, Part part) {
    Cell m = m_in;
    Rooted keep_m(m);
    int32_t live = key_count(m);
    Cell result = make_none();
    Rooted keep_result(result);
    block::make_at(result, part == Part::body ? live * 2 : live);
    result.header = TYPE_BLOCK;
    for (int64_t i = 0; i + 1 < int64_t(cell_count(m)); i += 2) {
        Cell key = buffer(m)->cells()[i];
        Cell value = buffer(m)->cells()[i + 1];
        if (removed(value)) continue;
        if (part == Part::values) {
            block::append_cell(result, value);
        } else if (part == Part::words) {
            if (type_of(key) == TYPE_SET_WORD) set_type(key, TYPE_WORD);
            key.header &= ~CELL_NEW_LINE;
            block::append_cell(result, key);
        } else {
            key.header |= CELL_NEW_LINE;
            block::append_cell(result, key);
            block::append_cell(result, value);
        }
    }
    *out = result;
}

namespace {
void body_of(Cell* out, const Cell& m) { to_block(out, m, Part::body); }
}  // namespace

void init() {
    datatype::Record r(TYPE_MAP, 0, "map!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_REFLECT>(reflect)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_CLEAR>(clear)
        .own<ACTION_COPY>(copy)
        .own<ACTION_FIND>(find)
        .own<ACTION_LENGTH_Q>(length)
        .own<ACTION_PUT>(put)
        .own<ACTION_REMOVE>(remove)
        .own<ACTION_SELECT>(select);
    datatype::register_type(r);
    hashtable::set_key_normalizer(normalize_key);
    block::services().map_body = body_of;
}

}  // namespace kel::map
