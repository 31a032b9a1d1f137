// bitset!: the spec walker, making, set operations, access and text.
#include "runtime/datatypes/bitset.h"

#include <cmath>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/number-text.h"
#include "runtime/text/unicode.h"

namespace kel::bitset {

namespace {

SeriesBuffer* buffer(const Cell& bs) { return memory::buffer_of(cell_node(bs)); }
uint8_t fill_of(const SeriesBuffer* b) { return (b->flags & series_flag::COMPLEMENT) ? 0xFF : 0x00; }

// Makes the stored bytes cover `bytes` bytes, filling the new ones with the
// set's fill. Answers the buffer (which may have moved).
SeriesBuffer* grow_to(const Cell& bs, uint64_t bytes) {
    SeriesBuffer* b = buffer(bs);
    if (b->used() >= bytes) return b;
    uint8_t fill = fill_of(b);
    if (b->offset + bytes > b->size) {
        uint64_t want = b->offset + bytes;
        if (want < 2 * b->size) want = 2 * b->size;
        b = memory::expand_series(b, want);
    }
    std::memset(b->tail_ptr(), fill, b->offset + bytes - b->tail);
    b->tail = b->offset + bytes;
    return b;
}

uint8_t mask_of(int64_t bit) { return uint8_t(0x80u >> (bit & 7)); }

// The bits each op changes; answers false for a test that fails.
bool apply(const Cell& bs, int op, int64_t bit) {
    SeriesBuffer* b = buffer(bs);
    uint64_t byte = uint64_t(bit) >> 3;
    bool inside = byte < b->used();
    switch (op) {
    case OP_TEST:
        if (bit < 0) return false;
        return inside ? (b->head_ptr()[byte] & mask_of(bit)) != 0 : (b->flags & series_flag::COMPLEMENT) != 0;
    case OP_SET:
        if (!inside) {
            if (b->flags & series_flag::COMPLEMENT) return true;  // already a member
            b = grow_to(bs, byte + 1);
        }
        b->head_ptr()[byte] |= mask_of(bit);
        return true;
    case OP_CLEAR:
        if (!inside) {
            if (!(b->flags & series_flag::COMPLEMENT)) return true;  // not a member
            b = grow_to(bs, byte + 1);
        }
        b->head_ptr()[byte] &= uint8_t(~mask_of(bit));
        return true;
    default:
        return true;
    }
}

[[noreturn]] void out_of_range(const Cell& v) { fire(ErrorId::script_out_of_range, {v}); }

// The bit index a char!, integer! or float! names, in 64 bits. A NaN or a
// value beyond the largest index raises; a negative one raises unless the
// walker only tests.
int64_t bit_of(const Cell& v, int op) {
    int64_t bit;
    switch (type_of(v)) {
    case TYPE_CHAR:
        bit = int64_t(v.data2);
        break;
    case TYPE_INTEGER:
        bit = int64_t(cell_integer(v));
        break;
    case TYPE_FLOAT: {
        double d = cell_double(v);
        if (std::isnan(d) || d >= double(MAX_BIT) + 1.0 || d <= -double(MAX_BIT) - 1.0) out_of_range(v);
        bit = int64_t(d);  // in range: truncation toward zero is defined
        break;
    }
    default:
        no_switch_matched();
    }
    if (bit > MAX_BIT) out_of_range(v);
    if (bit < 0 && op != OP_TEST) out_of_range(v);
    return bit;
}

bool is_bit_type(uint32_t t) { return t == TYPE_CHAR || t == TYPE_INTEGER || t == TYPE_FLOAT; }

struct Walker {
    Cell* bs;  // null when only sizing
    int op;
    int command;
    int64_t highest = -1;

    // One bit; false when a test fails.
    bool bit(int64_t b) {
        if (b > highest) highest = b;
        if (op == OP_SIZE || !bs) return true;
        return apply(*bs, op, b);
    }

    bool value(const Cell& spec) {
        uint32_t t = type_of(spec);
        if (is_bit_type(t)) return bit(bit_of(spec, op));
        switch (t) {
        case TYPE_STRING:
        case TYPE_FILE:
        case TYPE_URL:
        case TYPE_TAG:
        case TYPE_EMAIL:
        case TYPE_REF:
            return string(spec);
        case TYPE_BLOCK:
            return block(spec);
        case TYPE_BINARY:
            fire(ErrorId::internal_not_done);
        default:
            if (command == COMMAND_MAKE) fire(ErrorId::script_bad_make_arg, {datatype::make(TYPE_BITSET), spec});
            if (command == COMMAND_TO) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_BITSET), spec});
            fire(ErrorId::script_invalid_arg, {spec});
        }
    }

    bool string(const Cell& s) {
        Cell text = s;
        Rooted keep(text);
        int64_t head = int32_t(text.data1) < 0 ? 0 : int32_t(text.data1);
        for (int64_t i = head;; ++i) {
            SeriesBuffer* b = memory::buffer_of(cell_node(text));
            uint32_t unit = b->unit();
            if (uint64_t(i) >= b->used() / unit) break;
            uint32_t cp = unicode::get_unit(b->head_ptr(), unit, uint64_t(i));
            if (!bit(int64_t(cp))) return false;
        }
        return true;
    }

    // Nested blocks are walked by recursion bounded by the cycle guard: a
    // block met again inside itself is internal/no-cycle, and nesting past
    // the guard's capacity internal/too-deep, both before the machine stack
    // runs out.
    bool block(const Cell& blk_cell) {
        Cell blk = blk_cell;
        Rooted keep(blk);
        if (cycle_guard::find(cell_node(blk))) fire(ErrorId::internal_no_cycle);
        cycle_guard::Scope guard(cell_node(blk));
        int32_t minus = symbol::resolve(symbol::make("-"));
        auto at = [&](int32_t i) { return block::ks_abs_at(blk, int32_t(blk.data1) + i)[0]; };
        int32_t length = block::ks_length(blk);
        for (int32_t i = 0; i < length; ++i) {
            Cell v = at(i);
            uint32_t t = type_of(v);
            bool range = (t == TYPE_CHAR || t == TYPE_INTEGER) && i + 1 < length && type_of(at(i + 1)) == TYPE_WORD &&
                symbol::resolve(int32_t(at(i + 1).data2)) == minus;
            if (!range) {
                if (!value(v)) return false;
                continue;
            }
            if (i + 2 >= length) fire(ErrorId::script_past_end);
            Cell upper = at(i + 2);
            if (type_of(upper) != t) fire(ErrorId::script_invalid_arg, {upper});
            int64_t lo = bit_of(v, op);
            int64_t hi = bit_of(upper, op);
            if (hi < lo) fire(ErrorId::script_past_end);
            for (int64_t b = lo; b <= hi; ++b)
                if (!bit(b)) return false;
            i += 2;
        }
        return true;
    }
};

// Bytes that hold bit `highest`: ((highest + 8) rounded down to a multiple
// of 8) / 8, at least 1, in 64 bits.
uint64_t bytes_for(int64_t highest) {
    if (highest < 0) return 1;
    return uint64_t(highest + 8) / 8;
}

// A new bitset of n bytes of the fill, complemented or not.
Cell make_bytes(uint64_t n, bool complement_flag) {
    NodeId node = memory::alloc_bytes_filled(n == 0 ? 1 : n, complement_flag ? 0xFF : 0x00);
    SeriesBuffer* b = memory::buffer_of(node);
    b->tail = b->offset + n;
    if (complement_flag) b->flags |= series_flag::COMPLEMENT;
    return Cell{TYPE_BITSET, 0, node, 0};
}

Cell copy_of(const Cell& bs) {
    Cell source = bs;
    Rooted keep(source);
    uint64_t n = byte_count(source);
    Cell result = make_bytes(n, complemented(source));
    std::memcpy(buffer(result)->head_ptr(), buffer(source)->head_ptr(), n);
    return result;
}

// The size a number names, in bits (make bitset! 9).
uint64_t size_of(const Cell& v) {
    if (type_of(v) == TYPE_INTEGER) {
        if (cell_integer(v) < 0) out_of_range(v);
        return uint64_t(cell_integer(v));
    }
    double d = cell_double(v);
    if (std::isnan(d) || d < 0 || d >= double(MAX_BIT) + 1.0) out_of_range(v);
    return uint64_t(d);
}

Cell from_binary(const Cell& bin, bool invert) {
    Cell source = bin;
    Rooted keep(source);
    int64_t head = int32_t(source.data1) < 0 ? 0 : int32_t(source.data1);
    int64_t used = int64_t(memory::buffer_of(cell_node(source))->used());
    uint64_t n = head < used ? uint64_t(used - head) : 0;
    Cell result = make_bytes(n, invert);
    const uint8_t* from = memory::buffer_of(cell_node(source))->head_ptr() + head;
    uint8_t* to = buffer(result)->head_ptr();
    for (uint64_t i = 0; i < n; ++i) to[i] = invert ? uint8_t(~from[i]) : from[i];
    return result;
}

void maker(Cell* out, Cell* spec_cell, int command) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    bool negated = false;
    if (type_of(spec) == TYPE_BLOCK && block::ks_length(spec) > 0) {
        Cell first = block::ks_abs_at(spec, int32_t(spec.data1))[0];
        if (type_of(first) == TYPE_WORD &&
            symbol::resolve(int32_t(first.data2)) == symbol::resolve(symbol::make("not"))) {
            negated = true;
            spec.data1 += 1;  // over the `not`, in this copy of the spec only
            if (block::ks_length(spec) > 0) {
                Cell second = block::ks_abs_at(spec, int32_t(spec.data1))[0];
                if (type_of(second) == TYPE_BINARY) spec = second;
            }
        }
    }
    switch (type_of(spec)) {
    case TYPE_BITSET:
        *out = copy_of(spec);
        return;
    case TYPE_INTEGER:
    case TYPE_FLOAT: {
        if (command == COMMAND_TO) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_BITSET), spec});
        uint64_t bits = size_of(spec);
        *out = make_bytes((bits + 7) / 8, false);
        return;
    }
    case TYPE_BINARY:
        *out = from_binary(spec, negated);
        return;
    default:
        break;
    }
    Walker sizing{nullptr, OP_SIZE, command};
    sizing.value(spec);
    Cell result = make_bytes(bytes_for(sizing.highest), negated);
    Rooted keep_result(result);
    Walker setting{&result, negated ? OP_CLEAR : OP_SET, command};
    setting.value(spec);
    *out = result;
}

int64_t write(const Cell& bs, const Cell& out, bool part, int64_t limit) {
    bool comp = complemented(bs);
    string::append_c_string(out, comp ? "make bitset! [not #{" : "make bitset! #{");
    limit -= comp ? 20 : 15;
    for (uint64_t i = 0; i < byte_count(bs); ++i) {
        if (part && limit <= 0) return limit;
        uint8_t byte = buffer(bs)->head_ptr()[i];
        string::append_c_string(out, numbers::format_hex_byte(comp ? uint8_t(~byte) : byte));
        limit -= 2;
    }
    string::append_c_string(out, comp ? "}]" : "}");
    return limit - (comp ? 2 : 1);
}

void and_op() { do_bitwise(MATH_AND); }
void or_op() { do_bitwise(MATH_OR); }
void xor_op() { do_bitwise(MATH_XOR); }

bool is_cleared_by(const Cell& v) {
    switch (type_of(v)) {
    case TYPE_NONE:
        return true;
    case TYPE_LOGIC:
        return v.data1 == 0;
    case TYPE_INTEGER:
        return cell_integer(v) == 0;
    case TYPE_FLOAT:
        return cell_double(v) == 0.0;
    default:
        return false;
    }
}

// One change of the set, reported to the owner of its series: before it
// with the action's word and, when the owner was told, after it with the
// word's past form. `named` is the value that names the bits (null for
// clear); index and part carry nothing for a set.
template <class Fn>
void reported(const Cell& bs, series::Change before, series::Change after, const Cell* named, Fn change) {
    Cell set = bs;
    Rooted keep(set);
    Cell value = named ? *named : make_none();
    Rooted keep_value(value);
    const Cell* v = named ? &value : nullptr;
    bool told = series::check(set, before, v, 0, 0) != 0;
    change(set, value);
    if (told) series::check(set, after, v, 0, 0);
}

void append_slot(Cell* out, Cell* bs, Cell* value, const AppendOptions&, bool) {
    Cell v = *value;
    append(out, bs, v);
}
void copy_slot(Cell* out, Cell* bs, const CopyOptions&) { copy(out, *bs); }

}  // namespace

// The path slot below reads and sets bits through pick and poke, defined
// with the other slots.
static void pick(Cell* out, Cell* bs, int32_t index, Cell* index_cell);
static void poke(Cell* out, Cell* bs, int32_t index, Cell* value, Cell* index_cell);

namespace {

// bs/n reads bit n, bs/n: value sets or clears it.
void eval_path_slot(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep&) {
    uint32_t t = type_of(*element);
    if (t != TYPE_INTEGER && t != TYPE_CHAR) fire(ErrorId::script_invalid_type, {datatype::make(t)});
    if (value)
        poke(out, parent, 0, value, element);
    else
        pick(out, parent, 0, element);
}

}  // namespace

bool complemented(const Cell& bs) { return (buffer(bs)->flags & series_flag::COMPLEMENT) != 0; }
uint64_t byte_count(const Cell& bs) { return buffer(bs)->used(); }
bool has(const Cell& bs, int64_t bit) { return apply(bs, OP_TEST, bit); }

int64_t process(const Cell& spec, Cell* bs, int op, bool nested, int command) {
    Walker w{bs, op, command};
    bool ok = w.value(spec);
    if (op == OP_TEST) return ok ? 1 : 0;
    if (nested || (op != OP_SIZE && op != OP_SET)) return 0;
    uint64_t bytes = bytes_for(w.highest);
    if (op == OP_SET && bs && !complemented(*bs)) grow_to(*bs, bytes);
    return int64_t(bytes);
}

// make and to (one maker; to refuses a size).
static void make(Cell* out, Cell*, Cell* spec, uint32_t) { maker(out, spec, COMMAND_MAKE); }
static void to(Cell* out, Cell*, Cell* spec, uint32_t) { maker(out, spec, COMMAND_TO); }

static int64_t form(Cell value, Cell buffer, bool part, int64_t limit) { return write(value, buffer, part, limit); }
static int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return write(value, buffer, options.part, options.limit);
}

static int32_t compare(const Cell& value1, const Cell& value2, int32_t op) {
    if (type_of(value2) != TYPE_BITSET) return COMP_NOT_COMPARABLE;
    if (op == COMP_SAME) return cell_node(value1) == cell_node(value2) ? 0 : 1;
    uint64_t n1 = byte_count(value1);
    uint64_t n2 = byte_count(value2);
    if (n1 != n2) return n1 < n2 ? -1 : 1;
    if (n1 == 0) return 0;
    bool c1 = complemented(value1);
    bool c2 = complemented(value2);
    if (c1 != c2) return c1 ? 1 : -1;
    const uint8_t* a = buffer(value1)->head_ptr();
    const uint8_t* b = buffer(value2)->head_ptr();
    for (uint64_t i = n1; i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

static void complement(Cell* out, Cell* value) {
    Cell result = copy_of(*value);
    SeriesBuffer* b = buffer(result);
    b->flags ^= series_flag::COMPLEMENT;
    for (uint8_t* p = b->head_ptr(); p < b->tail_ptr(); ++p) *p = uint8_t(~*p);
    *out = result;
}

// negate answers the complement.
static void negate(Cell* out, Cell* bs) { complement(out, bs); }

static void clear(Cell* out, Cell* bs) {
    Cell set = *bs;
    reported(set, series::Change::clear, series::Change::cleared, nullptr, [](Cell& s, const Cell&) {
        SeriesBuffer* b = buffer(s);
        b->flags &= ~series_flag::COMPLEMENT;
        std::memset(b->head_ptr(), 0, b->used());
    });
    *out = set;
}

static void find(Cell* out, Cell* bs, Cell* value, const FindOptions&) {
    *out = process(*value, bs, OP_TEST, false, COMMAND_OTHER) ? Cell{TYPE_LOGIC, 1, 0, 0} : make_none();
}

static int32_t length(Cell* bs) {
    uint64_t bits = byte_count(*bs) * 8;
    if (bits > uint64_t(INT32_MAX)) fire(ErrorId::script_out_of_range, {*bs});
    return int32_t(bits);
}

static void pick(Cell* out, Cell* bs, int32_t index, Cell* index_cell) {
    Cell element = index_cell ? *index_cell : make_integer(index);
    *out = Cell{TYPE_LOGIC, process(element, bs, OP_TEST, false, COMMAND_OTHER) ? 1u : 0u, 0, 0};
}

static void poke(Cell* out, Cell* bs, int32_t index, Cell* value, Cell* index_cell) {
    Cell element = index_cell ? *index_cell : make_integer(index);
    Cell v = *value;
    Rooted keep(v);
    int op = is_cleared_by(v) ? OP_CLEAR : OP_SET;
    reported(*bs, series::Change::poke, series::Change::poked, &element,
             [op](Cell& s, const Cell& bits) { process(bits, &s, op, false, COMMAND_OTHER); });
    *out = v;
}

static void remove(Cell* out, Cell* bs, Cell*, Cell* key) {
    if (!key) fire(ErrorId::script_missing_arg);
    Cell set = *bs;
    reported(set, series::Change::remove, series::Change::removed, key,
             [](Cell& s, const Cell& bits) { process(bits, &s, OP_CLEAR, false, COMMAND_OTHER); });
    *out = set;
}

void append(Cell* out, Cell* bs, const Cell& value) {
    Cell set = *bs;
    reported(set, series::Change::insert, series::Change::inserted, &value,
             [](Cell& s, const Cell& bits) { process(bits, &s, OP_SET, false, COMMAND_OTHER); });
    *out = set;
}

void copy(Cell* out, const Cell& bs) { *out = copy_of(bs); }

void do_bitwise(int32_t op) {
    Cell* args = stack::arguments();
    if (op == 8) return;  // unique: the left bitset itself
    if (type_of(args[1]) != TYPE_BITSET) fire(ErrorId::script_invalid_type, {datatype::make(type_of(args[1]))});
    const Cell left = args[0];
    const Cell right = args[1];
    uint64_t nl = byte_count(left);
    uint64_t nr = byte_count(right);
    bool cl = complemented(left);
    bool cr = complemented(right);
    auto combine = [op](bool a, bool b) -> bool {
        switch (op) {
        case MATH_OR:
        case 9:
            return a || b;
        case MATH_AND:
        case 10:
            return a && b;
        case MATH_XOR:
        case 12:
            return a != b;
        case 11:
            return a && !b;
        default:
            no_switch_matched();
        }
    };
    uint64_t n = nl > nr ? nl : nr;
    // and~ stops at the shorter operand when that one is plain: its fill of
    // zeros makes the rest of the result zero.
    if (op == MATH_AND && ((nl < nr && !cl) || (nr < nl && !cr))) n = nl < nr ? nl : nr;
    Cell result = make_bytes(n, false);
    SeriesBuffer* rb = buffer(result);
    const uint8_t* a = buffer(left)->head_ptr();
    const uint8_t* b = buffer(right)->head_ptr();
    uint8_t* r = rb->head_ptr();
    for (uint64_t i = 0; i < n; ++i) {
        uint8_t x = i < nl ? a[i] : (cl ? 0xFF : 0x00);
        uint8_t y = i < nr ? b[i] : (cr ? 0xFF : 0x00);
        switch (op) {
        case MATH_OR:
        case 9:
            r[i] = x | y;
            break;
        case MATH_AND:
        case 10:
            r[i] = x & y;
            break;
        case MATH_XOR:
        case 12:
            r[i] = x ^ y;
            break;
        case 11:
            r[i] = x & uint8_t(~y);
            break;
        default:
            no_switch_matched();
        }
    }
    if (combine(cl, cr)) rb->flags |= series_flag::COMPLEMENT;
    args[0] = result;
}

void init() {
    datatype::register_type(datatype::Record(TYPE_BITSET, 0, "bitset!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_REFLECT>(series::reflect)
                                .own<ACTION_TO>(to)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_AND_T>(and_op)
                                .own<ACTION_COMPLEMENT>(complement)
                                .own<ACTION_OR_T>(or_op)
                                .own<ACTION_XOR_T>(xor_op)
                                .own<ACTION_CLEAR>(clear)
                                .own<ACTION_FIND>(find)
                                .own<ACTION_LENGTH_Q>(length)
                                .own<ACTION_PICK>(pick)
                                .own<ACTION_POKE>(poke)
                                .own<ACTION_REMOVE>(remove)
                                .own<ACTION_NEGATE>(negate)
                                .own<ACTION_APPEND>(append_slot)
                                .own<ACTION_INSERT>(append_slot)
                                .own<ACTION_COPY>(copy_slot)
                                .own<ACTION_EVAL_PATH>(eval_path_slot)
                                .own<ACTION_MODIFY>(series::modify));
}

}  // namespace kel::bitset
