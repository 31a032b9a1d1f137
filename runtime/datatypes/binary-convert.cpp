// to binary!: the bytes of strings, numbers, characters, tuples, issues,
// blocks, bitsets and images; and the Base16 reading of an issue's name.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/encoding/base-encodings.h"
#include "runtime/memory/roots.h"

namespace kel::binary {

namespace {

// A new binary! of the value's bytes (a value measure accepts).
Cell bytes_of_value(const Cell& value_cell) {
    Cell value = value_cell;
    Rooted keep(value);
    int64_t n = measure(value, -1, false);
    Cell bin = make_unset();
    make_at(bin, uint64_t(n));  // may move the value's bytes: written afterwards
    SeriesBuffer* b = buffer(bin);
    write(b->head_ptr(), value, -1, false);
    b->tail = b->offset + uint64_t(n);
    return bin;
}

// A new binary! of n bytes of a series, from byte `from` after its first.
Cell copy_of(NodeId node, uint64_t from, uint64_t n) {
    Rooted keep(node);
    Cell bin = make_unset();
    make_at(bin, n);
    SeriesBuffer* b = buffer(bin);
    if (n > 0) std::memcpy(b->head_ptr(), memory::buffer_of(node)->head_ptr() + from, n);
    b->tail = b->offset + n;
    return bin;
}

Cell big_endian(uint64_t bits, int bytes) {
    uint8_t out[8];
    for (int i = 0; i < bytes; ++i) out[i] = uint8_t(bits >> (8 * (bytes - 1 - i)));
    Cell bin = make_unset();
    make_at(bin, uint64_t(bytes));
    SeriesBuffer* b = buffer(bin);
    std::memcpy(b->head_ptr(), out, size_t(bytes));
    b->tail = b->offset + uint64_t(bytes);
    return bin;
}

}  // namespace

int64_t from_issue(const Cell& issue, Cell* result) {
    int32_t id = word::symbol_of(issue);
    uint32_t length = 0;
    const uint8_t* name = symbol::spelling(id, &length);
    if (!result) return unicode::count_chars(name, name + length);
    // The name's UTF-8 bytes are read as the decoder's text: a hexadecimal
    // name is ASCII, and any code point above 127 gives bytes above 127,
    // which the decoder refuses as it refuses the code point itself.
    NodeId node = encoding::debase(encoding::Base::base16, symbol::get(id)->data3, 0, length);
    if (node == 0) fire(ErrorId::script_invalid_data, {issue});
    *result = Cell{TYPE_BINARY, 0, node, 0};
    return int64_t(memory::buffer_of(node)->used());
}

void to(Cell* out, Cell*, Cell* spec_cell, uint32_t) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    uint32_t type = type_of(spec);
    Cell result = make_unset();
    switch (type) {
    case TYPE_INTEGER:
        result = big_endian(uint32_t(cell_integer(spec)), 4);
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT: {
        double d = cell_double(spec);
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        result = big_endian(bits, 8);
        break;
    }
    case TYPE_CHAR:
    case TYPE_TUPLE:
    case TYPE_BINARY:
        result = bytes_of_value(spec);
        break;
    case TYPE_ISSUE:
        from_issue(spec, &result);
        break;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: {
        make_at(result, 16);
        Rooted keep_result(result);
        Cell local = result;
        append(&local, &local, &spec, AppendOptions{}, true);
        break;
    }
    case TYPE_BITSET: {
        SeriesBuffer* b = memory::buffer_of(cell_node(spec));
        result = copy_of(cell_node(spec), 0, b->used());
        break;
    }
    case TYPE_IMAGE:
        if (!services().image_bytes) fire(ErrorId::internal_not_done);
        services().image_bytes(&result, spec);
        break;
    default:
        if (!series::is_string_type(type)) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_BINARY), spec});
        result = bytes_of_value(spec);
        break;
    }
    *out = result;
}

}  // namespace kel::binary
