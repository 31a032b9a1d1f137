// money! arithmetic on the amount as a 128-bit integer of hundred-
// thousandths. The results and errors are those of digit-by-digit decimal
// arithmetic on 22 digits: sums and differences are exact; products and
// quotients truncate toward zero to 5 fraction digits; a result of 10^17 or
// more, or a non-zero product or quotient that truncates to zero, is
// script/type-limit. Two guards come before the work, as the digit
// algorithms have them: a product of operands with more than 28 significant
// digits together, and a quotient with ka + 6 - kb > 22 (ka, kb the
// significant digits of dividend and divisor), are refused at once. The
// remainder has no such guard: it never exceeds the divisor.
#include <bit>

#include "runtime/core/fire.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/money-internal.h"
#include "runtime/datatypes/money.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::money {

namespace {

[[noreturn]] void fire_limit() { fire(ErrorId::script_type_limit, {datatype::make(TYPE_MONEY)}); }

Scaled magnitude(Scaled v) { return v < 0 ? -v : v; }

// A non-negative number below 2^96 divided by SCALE, in 64-bit steps.
Scaled divide_by_scale(Scaled p) {
    uint64_t high = uint64_t(p >> 32), low = uint64_t(p) & 0xFFFFFFFFu;
    uint64_t q1 = high / uint64_t(SCALE), r1 = high % uint64_t(SCALE);
    uint64_t q2 = (r1 << 32 | low) / uint64_t(SCALE);
    return Scaled(q1) << 32 | Scaled(q2);
}

Scaled checked(Scaled r) {
    if (magnitude(r) >= LIMIT) fire_limit();
    return r;
}

// The operand's amount: integer!, float! and percent! convert (floats not
// strictly); another type is script/invalid-type.
Scaled amount_of(const Cell& v) {
    switch (type_of(v)) {
    case TYPE_MONEY:
        return amount(v);
    case TYPE_INTEGER:
        return Scaled(int32_t(v.data2)) * SCALE;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
        return amount(from_float(cell_double(v), false));
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(v))});
    }
}

void math_slot(int32_t op) {
    Cell* frame = stack::arguments();
    Cell a = frame[0], b = frame[1];
    do_math(frame, a, b, op);
}

}  // namespace

namespace {

// Decimal digits of a 64-bit number (1 for 0), from its bit width.
int32_t digits64(uint64_t v) {
    static constexpr uint64_t powers[20] = {1ULL,
                                            10ULL,
                                            100ULL,
                                            1000ULL,
                                            10000ULL,
                                            100000ULL,
                                            1000000ULL,
                                            10000000ULL,
                                            100000000ULL,
                                            1000000000ULL,
                                            10000000000ULL,
                                            100000000000ULL,
                                            1000000000000ULL,
                                            10000000000000ULL,
                                            100000000000000ULL,
                                            1000000000000000ULL,
                                            10000000000000000ULL,
                                            100000000000000000ULL,
                                            1000000000000000000ULL,
                                            10000000000000000000ULL};
    int32_t t = int32_t((std::bit_width(v) * 1233) >> 12);
    return t + (v >= powers[t] ? 1 : 0);
}

}  // namespace

int32_t significant_digits(Scaled m) {
    m = magnitude(m);
    constexpr Scaled TEN_19 = Scaled(10000000000000000000ULL);
    if (m >= TEN_19) return 19 + digits64(uint64_t(m / TEN_19));
    int32_t n = digits64(uint64_t(m));
    return n < 1 ? 1 : n;
}

Scaled do_op(Scaled a, Scaled b, int32_t op) {
    switch (op) {
    case MATH_ADD:
        return checked(a + b);
    case MATH_SUBTRACT:
        return checked(a - b);
    case MATH_MULTIPLY: {
        if (a == 0 || b == 0) return 0;
        // Operands of at most 14 digits each never trip the guard.
        constexpr Scaled TEN_14 = 100000000000000LL;
        bool small = magnitude(a) < TEN_14 && magnitude(b) < TEN_14;
        if (!small && significant_digits(a) + significant_digits(b) > 28) fire_limit();
        bool negative = (a < 0) != (b < 0);
        Scaled q = divide_by_scale(magnitude(a) * magnitude(b));
        if (negative) q = -q;
        checked(q);
        if (q == 0) fire_limit();
        return q;
    }
    case MATH_DIVIDE: {
        if (b == 0) fire(ErrorId::math_zero_divide);
        if (a == 0) return 0;
        if (significant_digits(a) + 6 - significant_digits(b) > 22) fire_limit();
        Scaled q = checked(a * SCALE / b);
        if (q == 0) fire_limit();
        return q;
    }
    case MATH_REMAINDER:
        if (b == 0) fire(ErrorId::math_zero_divide);
        return a % b;
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(TYPE_MONEY)});
    }
}

void do_math(Cell* out, const Cell& a, const Cell& b, int32_t op) {
    bool money_a = type_of(a) == TYPE_MONEY, money_b = type_of(b) == TYPE_MONEY;
    if ((op == MATH_MULTIPLY && money_a && money_b) ||
        ((op == MATH_DIVIDE || op == MATH_REMAINDER) && !money_a && money_b))
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(a))});
    Scaled x = amount_of(a), y = amount_of(b);
    uint32_t cx = money_a ? currency_of(a) : 0, cy = money_b ? currency_of(b) : 0;
    if (cx && cy && cx != cy) fire(ErrorId::script_wrong_denom, {a, b});
    Scaled r = do_op(x, y, op);
    if (op == MATH_DIVIDE && money_a && money_b) {
        *out = float_::make_cell(to_float(make_cell(r, 0)));
        return;
    }
    *out = make_cell(r, cy ? cy : cx);
}

void math_with_number(int32_t op, bool number_left) {
    Cell* frame = stack::arguments();
    Cell money = frame[0], number = frame[1];
    if (number_left)
        do_math(frame, number, money, op);
    else
        do_math(frame, money, number, op);
}

void add() { math_slot(MATH_ADD); }
void subtract() { math_slot(MATH_SUBTRACT); }
void multiply() { math_slot(MATH_MULTIPLY); }
void divide() { math_slot(MATH_DIVIDE); }
void remainder() { math_slot(MATH_REMAINDER); }

void absolute() { stack::arguments()->header &= ~SIGN; }

void negate(Cell* out, Cell* value) {
    Cell v = *value;
    v.header ^= SIGN;
    *out = v;
}

void round(Cell* out, Cell* value, const RoundOptions& o) {
    Scaled v = amount(*value);
    Scaled scale = SCALE;
    if (o.scale) {
        switch (type_of(*o.scale)) {
        case TYPE_MONEY:
            scale = amount(*o.scale);
            break;
        case TYPE_INTEGER:
            scale = amount(from_integer(int32_t(o.scale->data2)));
            break;
        case TYPE_FLOAT:
            scale = amount(from_float(cell_double(*o.scale), true));
            break;
        default:
            actions::fire_not_related(ACTION_ROUND, type_of(*o.scale));
        }
    }
    scale = magnitude(scale);
    if (v == 0 || scale == 0) {
        *out = *value;
        return;
    }
    bool negative = v < 0;
    Scaled m = magnitude(v);
    Scaled r = m % scale;
    Scaled d = scale - r;
    // A tie lies exactly halfway between two multiples of the scale; its
    // lower multiple is even when (m - r) / scale is.
    bool tie = r == d;
    bool lower_even = ((m - r) / scale) % 2 == 0;
    enum { DOWN, UP } way = r < d ? DOWN : UP;
    auto ceiling = [negative] { return negative ? DOWN : UP; };
    if (o.down)
        way = DOWN;
    else if (o.floor)
        way = negative ? UP : DOWN;
    else if (o.ceiling)
        way = ceiling();
    else if (o.even)
        way = tie ? (lower_even ? DOWN : UP) : way;
    else if (o.half_down)
        way = tie ? DOWN : way;
    else if (o.half_ceiling)
        way = tie ? ceiling() : way;
    Scaled result = way == DOWN ? m - r : checked(m + d);
    *out = make_cell(negative ? -result : result, currency_of(*value));
}

bool even(const Cell& value) { return (magnitude(amount(value)) / SCALE) % 2 == 0; }
bool odd(const Cell& value) { return !even(value); }

}  // namespace kel::money
