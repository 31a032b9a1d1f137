// money!: comparison, make and to, random, path access, pick, registration
// and the services it lends to numbers and natives.
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/money-internal.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/numbers/random.h"

namespace kel::money {

namespace {

int32_t order(Scaled a, Scaled b) { return a < b ? -1 : a > b ? 1 : 0; }

std::string code_text(uint32_t index) {
    Cell w = currency_word(index);
    if (!word::is_any_word(type_of(w))) return "";
    uint32_t length = 0;
    const uint8_t* s = symbol::spelling(word::symbol_of(w), &length);
    std::string text(reinterpret_cast<const char*>(s), length);
    for (char& c : text) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    return text;
}

// A money! against a float! it cannot hold: ordered by value, never equal.
int32_t against_far_float(Scaled m, double f) {
    if (f >= 1e17) return -1;
    if (f <= -1e17) return 1;
    if (m != 0) return m > 0 ? 1 : -1;
    return f > 0 ? -1 : 1;
}

bool equality_op(int32_t op) {
    return op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND ||
        op == COMP_MATCH || op == COMP_CASE_MATCH;
}

int32_t compare_number(const Cell& number, const Cell& value, int32_t op) {
    int32_t r = compare(value, number, op);
    return r == COMP_NOT_COMPARABLE ? r : -r;
}

void fire_bad_make(const Cell& spec) { fire_bad_make_arg(TYPE_MONEY, spec); }

Cell from_block(const Cell& spec) {
    Cell blk = spec;
    int32_t count = block::ks_length(blk);
    if (count < 1 || count > 3) fire_bad_make(spec);
    auto item = [&](int32_t i) { return block::ks_head(blk)[i]; };
    int32_t i = 0;
    uint32_t currency = 0;
    if (word::is_any_word(type_of(item(0)))) {
        int32_t index = currency_index(word::symbol_of(item(0)));
        if (index < 0 || count == 1) fire_bad_make(spec);
        currency = uint32_t(index);
        i = 1;
    }
    Cell first = item(i);
    Scaled v = 0;
    if (type_of(first) == TYPE_INTEGER)
        v = amount(from_integer(int32_t(first.data2)));
    else if (type_of(first) == TYPE_FLOAT)
        v = amount(from_float(cell_double(first), true));
    else
        fire_bad_make(spec);
    ++i;
    if (i < count) {
        Cell fraction = item(i);
        if (type_of(first) != TYPE_INTEGER || type_of(fraction) != TYPE_INTEGER) fire_bad_make(spec);
        int32_t f = int32_t(fraction.data2);
        if (f < 0 || f > LARGEST_FRACTION) fire_bad_make(spec);
        v += v < 0 ? -Scaled(f) : Scaled(f);
        ++i;
    }
    if (i != count) fire_bad_make(spec);
    return make_cell(v, currency);
}

void make_money(Cell* out, const Cell& currency, const Cell& value) {
    int32_t index = word::is_any_word(type_of(currency)) ? currency_index(word::symbol_of(currency)) : -1;
    if (index < 0) fire(ErrorId::script_bad_denom, {currency});
    Cell m;
    if (type_of(value) == TYPE_INTEGER)
        m = from_integer(int32_t(value.data2));
    else if (type_of(value) == TYPE_FLOAT)
        m = from_float(cell_double(value), true);
    else if (type_of(value) == TYPE_MONEY)
        m = value;
    else
        fire(ErrorId::script_invalid_arg, {value});
    m.data1 = (m.data1 & ~0xFFu) | uint32_t(index);
    *out = m;
}

// The field of a path element or pick index: 1 code, 2 amount, else 0.
int32_t field_of(const Cell& element) {
    if (type_of(element) == TYPE_INTEGER) {
        int32_t n = int32_t(element.data2);
        return n == 1 || n == 2 ? n : 0;
    }
    return scalar_path::field_of(element, {words::Sym::code, words::Sym::amount});
}

Cell field_value(const Cell& m, int32_t field) {
    if (field == 1) return currency_word(currency_of(m));
    Cell copy = m;
    copy.data1 &= ~0xFFu;
    return copy;
}

}  // namespace

int32_t compare(const Cell& a, const Cell& b, int32_t op) {
    bool strict = op == COMP_STRICT_EQUAL || op == COMP_SAME || op == COMP_FIND;
    uint32_t t2 = type_of(b);
    if (t2 != TYPE_MONEY && strict) return 1;
    Scaled x = amount(a);
    switch (t2) {
    case TYPE_MONEY: {
        uint32_t ca = currency_of(a), cb = currency_of(b);
        if (op == COMP_SORT || op == COMP_CASE_SORT) {
            if (ca != cb) {
                if (ca == 0 || cb == 0) return ca == 0 ? -1 : 1;
                int c = code_text(ca).compare(code_text(cb));
                if (c != 0) return c < 0 ? -1 : 1;
            }
            return order(x, amount(b));
        }
        if (!equality_op(op)) {
            if (ca && cb && ca != cb) fire(ErrorId::script_wrong_denom, {a, b});
            return order(x, amount(b));
        }
        bool same;
        if (op == COMP_STRICT_EQUAL || op == COMP_SAME)
            same = ca == cb;
        else if (op == COMP_FIND)
            same = cb == 0 || ca == cb;
        else
            same = ca == 0 || cb == 0 || ca == cb;
        return same ? (order(x, amount(b)) == 0 ? 0 : 1) : 1;
    }
    case TYPE_INTEGER:
        return order(x, amount(from_integer(int32_t(b.data2))));
    case TYPE_FLOAT: {
        double f = cell_double(b);
        double m = f < 0 ? -f : f;
        if ((m > 0 && m < 1e-5) || m >= 1e17) {
            if (equality_op(op)) return 1;
            return against_far_float(x, f);
        }
        return order(x, amount(from_float(f, true)));
    }
    default:
        return COMP_NOT_COMPARABLE;
    }
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    if (word::is_any_word(type_of(*spec))) {
        int32_t index = currency_index(word::symbol_of(*spec));
        if (index < 0) fire_bad_make(*spec);
        *out = make_cell(0, uint32_t(index));
        return;
    }
    if (type_of(*spec) == TYPE_BLOCK) {
        *out = from_block(*spec);
        return;
    }
    to(out, proto, spec, type);
}

void to(Cell* out, Cell*, Cell* spec, uint32_t) {
    uint32_t t = type_of(*spec);
    switch (t) {
    case TYPE_MONEY:
        *out = *spec;
        return;
    case TYPE_INTEGER:
        *out = from_integer(int32_t(spec->data2));
        return;
    case TYPE_FLOAT:
        *out = from_float(cell_double(*spec), true);
        return;
    default:
        break;
    }
    if (type_classes::holds_code_points(t) && t != TYPE_SYMBOL) {
        Cell s = *spec;
        int32_t count = string::ks_length(s);
        Cell m;
        if (from_string(m, string::ks_head(s), size_t(count), string::buffer(s)->unit())) {
            *out = m;
            return;
        }
    }
    fire_bad_to_arg(TYPE_MONEY, *spec);
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    Cell m = *value;
    if (options.seed) {
        random::seed(int32_t(m.data1 ^ m.data2 ^ m.data3 ^ (m.header & SIGN)));
        *out = unset_value;
        return;
    }
    auto next = [] { return random::source().next(false); };
    Scaled v = amount(m);
    Scaled mag = v < 0 ? -v : v;
    int32_t digits[DIGITS];
    for (int32_t k = DIGITS - 1; k >= 0; --k) {
        digits[k] = int32_t(mag % 10);
        mag /= 10;
    }
    int32_t k = DIGITS - significant_digits(v);
    for (; k < DIGITS; ++k) {
        int32_t d = digits[k];
        for (;;) {
            int32_t r = next() % (d + 1);
            if (r < d) {
                digits[k] = r;
                for (int32_t j = k + 1; j < DIGITS; ++j) digits[j] = next() % 10;
                k = DIGITS;
                break;
            }
            if (next() % 1000 == next() % 1000) break;
        }
    }
    Scaled r = 0;
    for (int32_t j = 0; j < DIGITS; ++j) r = r * 10 + digits[j];
    Cell result = make_cell(v < 0 ? -r : r, currency_of(m));
    if (m.header & SIGN) result.header |= SIGN;
    *out = result;
}

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : none_value;
    int32_t field = field_of(*element);
    if (field == 0) fire(ErrorId::script_invalid_path, {path, *element});
    if (value) fire(ErrorId::script_bad_path_set, {path, *element});
    *out = field_value(*parent, field);
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    int32_t field = index_cell && word::is_any_word(type_of(*index_cell)) ? field_of(*index_cell)
        : index == 1 || index == 2                                        ? index
                                                                          : 0;
    if (field == 0) fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    *out = field_value(*value, field);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_MONEY, 0, "money!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(to)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_EVAL_PATH>(eval_path)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_ABSOLUTE>(absolute)
                                .own<ACTION_ADD>(add)
                                .own<ACTION_DIVIDE>(divide)
                                .own<ACTION_MULTIPLY>(multiply)
                                .own<ACTION_NEGATE>(negate)
                                .own<ACTION_REMAINDER>(remainder)
                                .own<ACTION_ROUND>(round)
                                .own<ACTION_SUBTRACT>(subtract)
                                .own<ACTION_EVEN_Q>(even)
                                .own<ACTION_ODD_Q>(odd)
                                .own<ACTION_PICK>(pick));
    number_services::Services& row = number_services::row(TYPE_MONEY);
    row.math_with_number = math_with_number;
    row.compare_number = compare_number;
    row.to_integer = to_integer;
    row.to_float = to_float;
    natives::services().money_sign = sign;
    natives::services().make_money = make_money;
}

}  // namespace kel::money
