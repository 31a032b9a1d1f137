// integer! make and to.
#include "runtime/core/fire.h"
#include "runtime/datatypes/integer-internal.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/number-text.h"
#include "runtime/numbers/text-to-number.h"

namespace kel::integer {

namespace {

// A double that must become an integer! by truncation: outside the 32-bit
// range, NaN included, is script/type-limit.
int32_t from_double(double d) {
    numbers::Int32Conversion n = numbers::trunc_to_int32(d);
    if (!n.ok) fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
    return n.value;
}

int32_t from_text(const Cell& spec) {
    Cell text = spec;  // the head is clamped in the copy, not in the caller's cell
    int32_t length = string::ks_length(text);
    const uint8_t* head = string::ks_head(text);
    uint32_t unit = string::buffer(text)->unit();
    numbers::IntegerRead read = numbers::read_integer(head, size_t(length), unit);
    if (read.error != numbers::READ_OK) fire_bad_to_arg(TYPE_INTEGER, spec);
    return read.value;
}

}  // namespace

// Every byte of the spelling is looked at whole: a character beyond ASCII is
// never taken for the digit its low bits spell.
int32_t from_hex_issue(const Cell& issue) {
    uint32_t length = 0;
    const uint8_t* spelling = symbol::spelling(int32_t(issue.data2), &length);
    if (length == 0 || length > 8) fire(ErrorId::script_invalid_data, {issue});
    uint32_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        int digit = numbers::hex_digit_value(spelling[i]);
        if (digit < 0) fire(ErrorId::script_invalid_data, {issue});
        value = value << 4 | uint32_t(digit);
    }
    return int32_t(value);  // eight digits wrap into the sign bit
}

uint64_t head_bytes(const Cell& binary, int32_t count) {
    Cell bin = binary;  // the head is clamped in the copy
    int32_t length = string::ks_length(bin);
    const uint8_t* head = string::ks_head(bin);
    uint64_t value = 0;
    for (int32_t i = 0; i < length && i < count; ++i) value = value << 8 | head[i];
    return value;
}

int32_t from_binary(const Cell& binary) { return int32_t(uint32_t(head_bytes(binary, 4))); }

void to(Cell* out, Cell*, Cell* spec, uint32_t) {
    int32_t n;
    switch (type_of(*spec)) {
    case TYPE_INTEGER:
        n = get(*spec);
        break;
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
        n = from_text(*spec);
        break;
    case TYPE_CHAR:
        n = get(*spec);
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        n = from_double(cell_double(*spec));
        break;
    // Seconds to the nearest whole second, halves up.
    case TYPE_TIME:
        n = from_double(cell_double(*spec) + 0.5);
        break;
    case TYPE_ISSUE:
        n = from_hex_issue(*spec);
        break;
    case TYPE_BINARY:
        n = from_binary(*spec);
        break;
    case TYPE_DATE:
    case TYPE_MONEY:
        n = number_services::to_integer(*spec);
        break;
    default:
        fire_bad_to_arg(TYPE_INTEGER, *spec);
    }
    *out = make_integer(n);
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    if (type_of(*spec) == TYPE_LOGIC) {
        *out = make_integer(spec->data1 != 0 ? 1 : 0);
        return;
    }
    to(out, proto, spec, type);
}

}  // namespace kel::integer
