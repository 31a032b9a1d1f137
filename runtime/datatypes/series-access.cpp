// series! access: pick, poke, clear, random, reflect and modify.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/random.h"

namespace kel::series {

namespace {

// The position that pick and poke address: index counts from 1 at the head,
// -1 is the unit before the head; index 0 has no position.
int64_t pick_position(const Cell& s, int32_t index) {
    int64_t head = head_index(s);
    return index > 0 ? head + index - 1 : head + index;
}

Cell make_char(uint32_t cp) { return Cell{TYPE_CHAR, 0, cp, 0}; }

// The unit at position p (inside the series) as a value: the cell of a block,
// the byte of a binary! as an integer!, the code point of a string as a
// char!, a vector element through the vector module (pushed and popped).
Cell unit_value(const Cell& s, int64_t p) {
    uint32_t type = type_of(s);
    SeriesBuffer* b = buffer(s);
    uint32_t unit = b->unit();
    uint8_t* at = b->head_ptr() + (uint64_t(p) << shift_of(unit));
    if (is_block_type(type)) return *reinterpret_cast<Cell*>(at);
    if (type == TYPE_BINARY) return make_integer(*at);
    if (type == TYPE_VECTOR) {
        if (!services().vector_push_value) fire(ErrorId::internal_not_done);
        Cell v = *services().vector_push_value(at, s.data3, unit);
        stack::pop(1);
        return v;
    }
    return make_char(string::get_char(at, unit));
}

void exchange_units(uint8_t* a, uint8_t* b, uint32_t unit) {
    if (a == b) return;
    uint8_t scratch[16];
    std::memcpy(scratch, a, unit);
    std::memcpy(a, b, unit);
    std::memcpy(b, scratch, unit);
}

}  // namespace

void pick(Cell* out, Cell* s, int32_t index, Cell*) {
    int64_t p = pick_position(*s, index);
    if (index == 0 || p < 0 || p >= total_units(buffer(*s)))
        *out = none_value;
    else
        *out = unit_value(*s, p);
}

void poke(Cell* out, Cell* s, int32_t index, Cell* value_cell, Cell*) {
    // The value may lie in the series itself; work on a copy, kept for the
    // collector while the owner's handlers run.
    Cell value = *value_cell;
    Rooted keep(value);
    int64_t p = pick_position(*s, index);
    auto in_range = [&] { return index != 0 && p >= 0 && p < total_units(buffer(*s)); };
    if (!in_range()) fire(ErrorId::script_out_of_range, {make_integer(index)});
    bool told = check(*s, Change::poke, nullptr, int32_t(p), 1) != 0;
    if (!in_range()) fire(ErrorId::script_out_of_range, {make_integer(index)});

    uint32_t type = type_of(*s);
    SeriesBuffer* b = buffer(*s);
    uint32_t unit = b->unit();
    uint8_t* at = b->head_ptr() + (uint64_t(p) << shift_of(unit));
    if (is_block_type(type)) {
        auto* cell = reinterpret_cast<Cell*>(at);
        // The table of a hash! groups positions by value: the old value's
        // entry goes before the cell changes, or equal values elsewhere in
        // the block would no longer be found.
        bool hashed = type == TYPE_HASH && s->data3;
        if (hashed) hashtable::delete_at(s->data3, cell);
        *cell = value;
        if (hashed) hashtable::put(s->data3, cell);
    } else if (type == TYPE_VECTOR) {
        if (type_of(value) != s->data3) fire(ErrorId::script_invalid_arg, {value});
        if (!services().vector_set_value) fire(ErrorId::internal_not_done);
        services().vector_set_value(*s, value, at);
    } else if (type == TYPE_BINARY) {
        binary::set_value(at, value);
    } else {
        if (type_of(value) != TYPE_CHAR) fire(ErrorId::script_invalid_arg, {value});
        string::poke_char(b, at, value.data2);
    }
    if (told) check(*s, Change::poked, &value, int32_t(p), 1);
    *out = value;
}

void clear(Cell* out, Cell* s) {
    int64_t units = total_units(buffer(*s));
    int64_t head = head_inside(*s, units);
    if (head >= units) {
        *out = *s;
        return;
    }
    bool told = check(*s, Change::clear, nullptr, int32_t(head), 0) != 0;
    SeriesBuffer* b = buffer(*s);
    int64_t count = total_units(b) - head;
    if (count > 0) {
        if (type_of(*s) == TYPE_HASH && s->data3) hashtable::delete_range(s->data3, int32_t(head), int32_t(count));
        b = buffer(*s);
        b->tail = b->offset + (uint64_t(head) << shift_of(b->unit()));
    }
    if (told) check(*s, Change::cleared, nullptr, int32_t(head), 0);
    *out = *s;
}

void random(Cell* out, Cell* s, const RandomOptions& options) {
    if (options.seed) {
        kel::random::Source& source = kel::random::source();
        if (!source.seed) fire(ErrorId::internal_not_done);
        SeriesBuffer* b = buffer(*s);
        int64_t units = total_units(b);
        int64_t head = head_inside(*s, units);
        uint32_t shift = shift_of(b->unit());
        uint32_t h =
            hashtable::murmur3_x86_32(b->head_ptr() + (uint64_t(head) << shift), uint64_t(units - head) << shift);
        source.seed(int32_t(h));
        *out = unset_value;
        return;
    }
    bool told = check(*s, Change::random, nullptr, head_index(*s), 0) != 0;
    int64_t units = total_units(buffer(*s));
    int64_t head = head_inside(*s, units);
    int64_t n = units - head;
    if (options.only) {
        if (n < 1) {
            *out = none_value;
            return;
        }
        int32_t k = kel::random::uniform(int32_t(n), options.secure);
        *out = unit_value(*s, head + k - 1);
        return;
    }
    // One draw per position, the last one (n = 1) included, so that the same
    // seed leads to the same draws after a shuffle as the generator's own
    // uniform integers do.
    for (int64_t i = head; n > 0; ++i, --n) {
        int32_t k = kel::random::uniform(int32_t(n), options.secure);
        SeriesBuffer* b = buffer(*s);
        uint32_t unit = b->unit();
        uint32_t shift = shift_of(unit);
        exchange_units(b->head_ptr() + (uint64_t(i) << shift), b->head_ptr() + (uint64_t(i + k - 1) << shift), unit);
    }
    // The table of a hash! knows its cells by position: after a shuffle it
    // must be built again, or finds would answer the wrong cells.
    if (type_of(*s) == TYPE_HASH && s->data3 && units - head > 1)
        hashtable::rebuild(s->data3, uint32_t(total_units(buffer(*s))));
    if (told) check(*s, Change::randomized, nullptr, head_index(*s), 0);
    *out = *s;
}

void reflect(Cell* out, Cell* s, int32_t field) {
    Services& sv = services();
    if (sv.owned_symbol == 0 || symbol::resolve(field) != sv.owned_symbol) fire(ErrorId::internal_not_done);
    Cell* owner = sv.get_owner ? sv.get_owner(cell_node(*s)) : nullptr;
    *out = owner ? *owner : none_value;
}

void modify(Cell* out, Cell* s, Cell* field, Cell* value, bool) {
    Services& sv = services();
    Cell v = *value;
    bool is_word = type_families::is_all_word(type_of(*field));
    if (sv.owned_symbol != 0 && is_word && symbol::resolve(int32_t(field->data2)) == sv.owned_symbol && sv.set_owner) {
        if (type_of(v) == TYPE_NONE) {
            sv.set_owner(*s, nullptr, nullptr);
        } else if (type_of(v) == TYPE_BLOCK) {
            // [object word]: that field of the object owns the series.
            SeriesBuffer* b = buffer(v);
            int64_t head = head_inside(v, total_units(b));
            if (total_units(b) - head >= 2) {
                Cell owner = reinterpret_cast<Cell*>(b->head_ptr())[head];
                Cell word = reinterpret_cast<Cell*>(b->head_ptr())[head + 1];
                sv.set_owner(*s, &owner, &word);
            }
        }
    }
    *out = v;
}

}  // namespace kel::series
