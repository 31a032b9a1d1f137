// make and to of float! and percent!, and random doubles.
#include <cmath>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float-internal.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/value-from-text.h"
#include "runtime/numbers/random.h"
#include "runtime/numbers/text-to-number.h"

namespace kel::float_ {

namespace {

double from_text(uint32_t target, const Cell& spec) {
    if (target == TYPE_PERCENT) {
        // "50%" is read as the value the lexer reads.
        Cell value = none_value;
        value_from_text::load(&value, spec);
        switch (type_of(value)) {
        case TYPE_FLOAT:
        case TYPE_PERCENT:
            return cell_double(value);
        case TYPE_INTEGER:
            return double(int32_t(value.data2));
        default:
            fire_bad_to_arg(target, spec);
        }
    }
    Cell text = spec;  // the head is clamped in the copy
    int32_t length = string::ks_length(text);
    const uint8_t* head = string::ks_head(text);
    numbers::FloatRead read = numbers::read_float(head, size_t(length), string::buffer(text)->unit());
    if (read.error != numbers::READ_OK) fire_bad_to_arg(target, spec);
    return read.value;
}

// Up to 8 bytes from the head, big-endian, as the low end of the pattern.
double from_binary(const Cell& spec) {
    uint64_t bits = integer::head_bytes(spec, 8);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// [mantissa exponent]: mantissa x 10 ^ exponent, the exponent truncated
// (in double: no conversion to a machine integer is needed).
double from_block(uint32_t target, const Cell& spec) {
    Cell blk = spec;
    if (block::ks_length(blk) != 2) fire_bad_to_arg(target, spec);
    const Cell* items = block::ks_head(blk);
    double parts[2];
    for (int i = 0; i < 2; ++i) {
        uint32_t t = type_of(items[i]);
        if (t == TYPE_INTEGER)
            parts[i] = double(int32_t(items[i].data2));
        else if (t == TYPE_FLOAT)
            parts[i] = cell_double(items[i]);
        else
            fire_bad_to_arg(target, spec);
    }
    return parts[0] * std::pow(10.0, std::trunc(parts[1]));
}

}  // namespace

void make(Cell* out, Cell*, Cell* spec, uint32_t type) {
    uint32_t from = type_of(*spec);
    double d;
    switch (from) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        d = double(int32_t(spec->data2));
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        d = cell_double(*spec);
        break;
    case TYPE_MONEY:
        d = number_services::to_float(*spec);
        break;
    case TYPE_BINARY:
        d = from_binary(*spec);
        break;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH:
        d = from_block(type, *spec);
        break;
    default:
        if (!type_classes::holds_code_points(from)) fire_bad_to_arg(type, *spec);
        d = from_text(type, *spec);
    }
    *out = make_cell(d, type);
}

double random_scaled(double limit, bool secure) {
    random::Source& source = random::source();
    if (!source.next) fire(ErrorId::internal_not_done);
    if (!secure) return limit * (double(source.next(false)) / 2147483647.0);
    double s1 = source.next(true), s2 = source.next(true);
    return limit * (s2 + s1 / 2147483647.0) / 2147483648.0;
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    if (options.seed) {
        random::seed(int32_t(value->data2 ^ value->data3));
        *out = unset_value;
        return;
    }
    *out = make_cell(random_scaled(get(*value), options.secure), type_of(*value));
}

}  // namespace kel::float_
