// vector! arithmetic: element-wise with a scalar (in place) or with another
// vector of the same element type (a new vector). Integer and char elements
// compute on 32 bits without undefined behaviour: add, subtract and multiply
// wrap (uint32_t), divide truncates, remainder takes the dividend's sign; a
// zero divisor is math/zero-divide and the smallest integer by -1
// math/overflow, raised before any element changes.
#include <climits>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/vector-internal.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/float32.h"

namespace kel::vector {

namespace {

bool is_floating(uint32_t type) { return type == TYPE_FLOAT || type == TYPE_PERCENT; }

// An integer or char element (char elements unsigned) as a 64-bit value.
int64_t integral(const uint8_t* at, uint32_t type, uint32_t width) {
    return type == TYPE_CHAR ? int64_t(get_char(at, width)) : int64_t(get_integer(at, width));
}

// The checks of a division before anything changes.
void check_divisor(int64_t x, int64_t y, int32_t op, bool is_signed) {
    if (op != MATH_DIVIDE && op != MATH_REMAINDER) return;
    if (y == 0) fire(ErrorId::math_zero_divide);
    if (is_signed && x == INT32_MIN && y == -1) fire(ErrorId::math_overflow);
}

// x op y on 32 bits; x and y are int32 or uint32 values held in int64.
uint32_t integral_op(int64_t x, int64_t y, int32_t op, bool is_signed) {
    uint32_t a = uint32_t(x), b = uint32_t(y);
    switch (op) {
    case MATH_ADD:
        return a + b;
    case MATH_SUBTRACT:
        return a - b;
    case MATH_MULTIPLY:
        return a * b;
    case MATH_DIVIDE:
        check_divisor(x, y, op, is_signed);
        return uint32_t(x / y);
    case MATH_REMAINDER:
        check_divisor(x, y, op, is_signed);
        return uint32_t(x % y);
    case MATH_OR:
        return a | b;
    case MATH_AND:
        return a & b;
    default:
        return a ^ b;
    }
}

void store_integral(uint8_t* at, uint32_t bits, uint32_t width) {
    Cell c = make_integer(int32_t(bits));
    set_value(at, c, width);
}

void store_float(uint8_t* at, double d, uint32_t width) { set_value(at, float_::make_cell(d), width); }

// vector op vector: a new vector of the first's element type, the wider
// width and the shorter length; neither operand changes.
void vector_op(Cell* out, const Cell& a_in, const Cell& b_in, int32_t op) {
    Cell a = a_in, b = b_in;
    Rooted keep_a(a), keep_b(b);
    uint32_t type = element_type(a);
    if (element_type(b) != type) fire(ErrorId::script_not_same_type);
    if (is_floating(type) && op >= MATH_OR) float_::do_math(0, 0, op);  // its script/cannot-use
    int64_t ha = detail::head_of(a), hb = detail::head_of(b);
    int64_t n = std::min(detail::total(a) - ha, detail::total(b) - hb);
    uint32_t w = std::max(width(a), width(b));
    Cell* result = stack::push(make_none());
    make_at(*result, n, type, w);
    buffer(*result)->tail += uint64_t(n) * w;
    // The result is allocated: the operands' buffers are read from here on.
    uint32_t wa = width(a), wb = width(b);
    for (int64_t i = 0; i < n; ++i) {
        const uint8_t* pa = detail::at(a, ha + i);
        const uint8_t* pb = detail::at(b, hb + i);
        uint8_t* pr = detail::at(*result, i);
        if (is_floating(type)) {
            store_float(pr, float_::do_math(get_float(pa, wa), get_float(pb, wb), op), w);
        } else {
            bool is_signed = type == TYPE_INTEGER;
            store_integral(pr, integral_op(integral(pa, type, wa), integral(pb, type, wb), op, is_signed), w);
        }
    }
    *out = *result;
    stack::pop(1);
}

bool identity(int32_t op, double scalar) {
    return ((op == MATH_ADD || op == MATH_SUBTRACT) && scalar == 0) ||
        ((op == MATH_MULTIPLY || op == MATH_DIVIDE) && scalar == 1);
}

void math_slot(int32_t op) {
    Cell* f = stack::arguments();
    if (type_of(f[1]) == TYPE_VECTOR) {
        Cell result = make_none();
        vector_op(&result, f[0], f[1], op);
        f[0] = result;
        return;
    }
    do_math_scalar(op, f[0], f[1]);
}

// The number services row: integer!, char! and float! hand an operation
// with a vector over with the vector first; the result is the vector.
void math_with_number(int32_t op, bool) {
    Cell* f = stack::arguments();
    do_math_scalar(op, f[0], f[1]);
}

}  // namespace

namespace {

// The elements [head, total) of width W replaced by element op scalar. The
// op is chosen outside the loop, so each loop is a plain pass the compiler
// can vectorise; elements are loaded and stored with std::memcpy.
template <class T, class Op>
void each_element(uint8_t* p, int64_t n, Op op) {
    for (int64_t i = 0; i < n; ++i, p += sizeof(T)) {
        T x;
        std::memcpy(&x, p, sizeof(T));
        x = op(x);
        std::memcpy(p, &x, sizeof(T));
    }
}

// Integer or char elements stored as the unsigned type U of their width
// (signed ones are read through the signed type S for divide and remainder).
template <class U, class S>
void integral_pass(uint8_t* p, int64_t n, int32_t op, int64_t s, bool is_signed) {
    uint32_t b = uint32_t(s);
    switch (op) {
    case MATH_ADD:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) + b); });
    case MATH_SUBTRACT:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) - b); });
    case MATH_MULTIPLY:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) * b); });
    case MATH_OR:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) | b); });
    case MATH_AND:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) & b); });
    case MATH_XOR:
        return each_element<U>(p, n, [b](U x) { return U(uint32_t(x) ^ b); });
    default:
        break;
    }
    // Divide and remainder: the divisor was checked (never 0, and no
    // element is the smallest integer when it is -1).
    if (is_signed) {
        each_element<U>(p, n, [s, op](U x) {
            S v;
            std::memcpy(&v, &x, sizeof v);
            int64_t r = op == MATH_DIVIDE ? int64_t(v) / s : int64_t(v) % s;
            return U(uint32_t(r));
        });
    } else {
        each_element<U>(p, n, [s, op](U x) {
            int64_t r = op == MATH_DIVIDE ? int64_t(x) / s : int64_t(x) % s;
            return U(uint32_t(r));
        });
    }
}

template <class F>
void floating_pass(uint8_t* p, int64_t n, int32_t op, double s) {
    auto narrow = [](double d) {
        if constexpr (sizeof(F) == 4)
            return numbers::to_float32(d);
        else
            return d;
    };
    switch (op) {
    case MATH_ADD:
        return each_element<F>(p, n, [&](F x) { return narrow(double(x) + s); });
    case MATH_SUBTRACT:
        return each_element<F>(p, n, [&](F x) { return narrow(double(x) - s); });
    case MATH_MULTIPLY:
        return each_element<F>(p, n, [&](F x) { return narrow(double(x) * s); });
    case MATH_DIVIDE:
        return each_element<F>(p, n, [&](F x) { return narrow(double(x) / s); });
    default:
        return each_element<F>(p, n, [&](F x) { return narrow(float_::do_math(double(x), s, op)); });
    }
}

// A scalar the elements cannot take (a time!, a pair!, a char! for floating
// elements ...): refused as arithmetic refuses any other operand type.
[[noreturn]] void refuse_scalar(const Cell& scalar) {
    fire(ErrorId::script_invalid_type, {datatype::make(type_of(scalar))});
}

}  // namespace

void do_math_scalar(int32_t op, const Cell& v, const Cell& scalar) {
    uint32_t type = element_type(v);
    uint32_t st = type_of(scalar);
    int64_t head = detail::head_of(v), total = detail::total(v);
    uint32_t w = width(v);
    if (is_floating(type)) {
        double s;
        if (st == TYPE_INTEGER)
            s = double(cell_integer(scalar));
        else if (st == TYPE_FLOAT || st == TYPE_PERCENT)
            s = cell_double(scalar);
        else
            refuse_scalar(scalar);
        if (op >= MATH_OR) float_::do_math(0, 0, op);  // its script/cannot-use
        if (identity(op, s)) return;
        if (w == 4)
            floating_pass<float>(detail::at(v, head), total - head, op, s);
        else
            floating_pass<double>(detail::at(v, head), total - head, op, s);
        return;
    }
    int64_t s;
    if (st == TYPE_INTEGER) {
        s = cell_integer(scalar);
    } else if (st == TYPE_CHAR) {
        s = int64_t(scalar.data2);
    } else if (st == TYPE_FLOAT || st == TYPE_PERCENT) {
        numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(scalar));
        if (!c.ok) fire(ErrorId::math_overflow);
        s = c.value;
    } else {
        refuse_scalar(scalar);
    }
    if (identity(op, double(s))) return;
    bool is_signed = type == TYPE_INTEGER;
    // Every refusal comes before the first element changes.
    if (op == MATH_DIVIDE || op == MATH_REMAINDER) {
        check_divisor(0, s, op, is_signed);
        if (is_signed && s == -1 && w == 4)
            for (int64_t i = head; i < total; ++i) check_divisor(get_integer(detail::at(v, i), w), s, op, true);
    }
    uint8_t* p = detail::at(v, head);
    switch (w) {
    case 1:
        integral_pass<uint8_t, int8_t>(p, total - head, op, s, is_signed);
        break;
    case 2:
        integral_pass<uint16_t, int16_t>(p, total - head, op, s, is_signed);
        break;
    default:
        integral_pass<uint32_t, int32_t>(p, total - head, op, s, is_signed);
        break;
    }
}

void add() { math_slot(MATH_ADD); }
void subtract() { math_slot(MATH_SUBTRACT); }
void multiply() { math_slot(MATH_MULTIPLY); }
void divide() { math_slot(MATH_DIVIDE); }
void remainder() { math_slot(MATH_REMAINDER); }
void and_t() { math_slot(MATH_AND); }
void or_t() { math_slot(MATH_OR); }
void xor_t() { math_slot(MATH_XOR); }

void math_init() { number_services::row(TYPE_VECTOR).math_with_number = math_with_number; }

}  // namespace kel::vector
