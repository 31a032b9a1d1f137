#include "runtime/io/csv-write.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/csv-read.h"
#include "runtime/io/text-range.h"

namespace kel::csv {

namespace {

bool is_record(uint32_t t) { return t == TYPE_MAP || t == TYPE_OBJECT; }

int32_t length_of(const Cell& blk) { return block::ks_length(blk); }
Cell at(const Cell& blk, int32_t i) { return *block::ks_abs_at(blk, int32_t(blk.data1) + i); }

// The keys of a map or the words of an object, as words-of gives them.
Cell* push_keys(const Cell& record) {
    Cell* keys;
    if (type_of(record) == TYPE_MAP) {
        keys = stack::push(make_none());
        map::to_block(keys, record, map::Part::words);
    } else {
        uint32_t n = object::field_count(record);
        keys = block::push_only(int32_t(n));
        for (uint32_t i = 0; i < n; ++i) {
            Cell w = *context::word_at(record.data1, int32_t(i));
            w.header = TYPE_WORD;
            w.data1 = record.data1;
            block::append_cell(*keys, w);
        }
    }
    return keys;
}

// The value of a key in a map (case-sensitive) or an object; none when
// missing.
Cell select(const Cell& record, const Cell& key) {
    if (type_of(record) == TYPE_MAP) {
        const Cell* v = map::lookup(record, key, COMP_STRICT_EQUAL);
        return v ? *v : make_none();
    }
    return object::field_value(record, int32_t(key.data2));
}

struct Writer {
    const WriteOptions& o;
    Cell* output;  // the text
    Cell* scratch;  // each value's formed text
    uint32_t quote;

    void put(uint32_t c) { string::append_char(string::buffer(*output), c); }
    void put_text(const Cell& s) {
        int32_t n = text_range::tail_of(s);
        for (int32_t i = int32_t(s.data1); i < n; ++i) put(string::get_char_at(s, i));
    }
    void put_delimiter() {
        if (type_of(*o.delimiter) == TYPE_CHAR)
            put(o.delimiter->data2);
        else
            put_text(*o.delimiter);
    }

    // escape-value.
    void value(const Cell& v) {
        string::ks_reset(*scratch);
        actions::form(v, *scratch, false, INT32_MAX);
        int32_t n = text_range::tail_of(*scratch);
        bool quoted = false;
        for (int32_t i = 0; i < n && !quoted; ++i) {
            uint32_t c = string::get_char_at(*scratch, i);
            quoted = c == quote || bitset::has(*o.quotable, c);
        }
        if (quoted) put(quote);
        for (int32_t i = 0; i < n; ++i) {
            uint32_t c = string::get_char_at(*scratch, i);
            if (c == quote)
                put_text(*o.double_quote);
            else
                put(c);
        }
        if (quoted) put(quote);
    }

    // to-csv-line over values [from, from + n) of a block.
    void line(const Cell& blk, int32_t from, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            value(at(blk, from + i));
            if (i + 1 < n)
                put_delimiter();
            else
                put('\n');
        }
    }

    bool misaligned(Cell* out) {
        make_error(out, *o.non_aligned);
        return true;
    }

    bool map_of_columns(const Cell& data, Cell* out) {
        Cell* keys = push_keys(data);
        int32_t count = length_of(*keys);
        if (count == 0) return false;
        for (int32_t k = 0; k < count; ++k)
            if (type_of(select(data, at(*keys, k))) != TYPE_BLOCK) return false;
        int32_t length = length_of(select(data, at(*keys, 0)));
        if (o.strict)
            for (int32_t k = 0; k < count; ++k)
                if (length_of(select(data, at(*keys, k))) != length) return misaligned(out);
        line(*keys, 0, count);
        Cell* row = block::push_only(count);
        for (int32_t i = 0; i < length; ++i) {
            block::truncate_at(*row, 0);
            for (int32_t k = 0; k < count; ++k) {
                Cell column = select(data, at(*keys, k));
                block::append_cell(*row, i < length_of(column) ? at(column, i) : make_none());
            }
            line(*row, 0, count);
        }
        *out = *output;
        return true;
    }

    bool flat(const Cell& data, Cell* out) {
        if (o.size < 0) fire(ErrorId::script_invalid_arg, {make_integer(o.size)});
        if (o.size == 0) fire(ErrorId::math_zero_divide);
        int32_t n = length_of(data);
        if (n % o.size) return misaligned(out);
        for (int32_t i = 0; i < n; i += o.size) line(data, i, o.size);
        *out = *output;
        return true;
    }

    bool blocks(const Cell& data, Cell* out) {
        int32_t n = length_of(data);
        int32_t length = length_of(at(data, 0));
        for (int32_t i = 0; i < n; ++i) {
            Cell b = at(data, i);
            if (length_of(b) != length) return misaligned(out);
            line(b, 0, length);
        }
        *out = *output;
        return true;
    }

    bool records(const Cell& data, Cell* out) {
        int32_t n = length_of(data);
        Cell* columns = push_keys(at(data, 0));
        for (int32_t r = 1; r < n; ++r) {
            Cell* keys = push_keys(at(data, r));
            for (int32_t k = 0; k < length_of(*keys); ++k) {
                Cell key = at(*keys, k);
                bool found = false;
                for (int32_t c = 0; c < length_of(*columns) && !found; ++c)
                    found = block::detail::equal(at(*columns, c), key, COMP_STRICT_EQUAL);
                if (!found) block::append_cell(*columns, key);
            }
            stack::pop(1);
        }
        int32_t count = length_of(*columns);
        line(*columns, 0, count);
        Cell* row = block::push_only(count);
        Cell* empty = stack::push(make_none());  // what none and false write
        string::ks_make_at(*empty, 1);
        for (int32_t r = 0; r < n; ++r) {
            block::truncate_at(*row, 0);
            for (int32_t c = 0; c < count; ++c) {
                Cell v = select(at(data, r), at(*columns, c));
                bool blank = type_of(v) == TYPE_NONE || (type_of(v) == TYPE_LOGIC && !v.data1);
                block::append_cell(*row, blank ? *empty : v);
            }
            line(*row, 0, count);
        }
        *out = *output;
        return true;
    }

    bool run(const Cell& data, Cell* out) {
        uint32_t t = type_of(data);
        if (is_record(t)) return map_of_columns(data, out);
        if (o.skip) return flat(data, out);
        int32_t n = length_of(data);
        uint32_t first = n ? type_of(at(data, 0)) : TYPE_NONE;
        if (first != TYPE_BLOCK && !is_record(first)) {
            line(data, 0, n);
            *out = *output;
            return true;
        }
        for (int32_t i = 1; i < n; ++i)
            if (type_of(at(data, i)) != first) return false;
        return first == TYPE_BLOCK ? blocks(data, out) : records(data, out);
    }
};

}  // namespace

bool write(const Cell& data, Cell* out, const WriteOptions& o) {
    Cell* saved = stack::top();
    Cell* output = stack::push(make_none());
    string::ks_make_at(*output, 1000);
    Cell* scratch = stack::push(make_none());
    string::ks_make_at(*scratch, 64);
    Writer w{o, output, scratch, o.quote->data2};
    bool done = w.run(data, out);
    stack::pop(uint32_t(stack::top() - saved));
    return done;
}

}  // namespace kel::csv
