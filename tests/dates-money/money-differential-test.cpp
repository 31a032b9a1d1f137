// money! arithmetic against a model that works digit by digit on decimal
// strings, as a pencil would: long addition, subtraction, multiplication and
// division. Random amounts of every length (edge magnitudes mixed in) go
// through the five operations; values and errors must agree.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "runtime/datatypes/money-internal.h"
#include "runtime/datatypes/money.h"
#include "tests/support.h"

namespace kel::test {
namespace {

// A magnitude as decimal digits, most significant first, no leading zeros
// ("" is zero); the amount is the magnitude in hundred-thousandths.
using Digits = std::string;

Digits trim(Digits d) {
    size_t k = d.find_first_not_of('0');
    return k == std::string::npos ? "" : d.substr(k);
}
int cmp(const Digits& a, const Digits& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}
Digits add(const Digits& a, const Digits& b) {
    Digits r;
    int carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        int s = carry + (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) + (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        r.push_back(char('0' + s % 10));
        carry = s / 10;
    }
    std::reverse(r.begin(), r.end());
    return trim(r);
}
Digits sub(const Digits& a, const Digits& b) {  // a >= b
    Digits r;
    int borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int s = (a[a.size() - 1 - i] - '0') - borrow - (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        borrow = s < 0;
        r.push_back(char('0' + (s + 10) % 10));
    }
    std::reverse(r.begin(), r.end());
    return trim(r);
}
Digits mul(const Digits& a, const Digits& b) {
    if (a.empty() || b.empty()) return "";
    std::vector<int> p(a.size() + b.size(), 0);
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) p[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    for (size_t k = p.size() - 1; k > 0; --k) {
        p[k - 1] += p[k] / 10;
        p[k] %= 10;
    }
    Digits r;
    for (int d : p) r.push_back(char('0' + d));
    return trim(r);
}
// Quotient and remainder by repeated subtraction, one digit at a time.
std::pair<Digits, Digits> divmod(const Digits& a, const Digits& b) {
    Digits q, rem;
    for (char c : a) {
        rem = trim(rem + c);
        int n = 0;
        while (cmp(rem, b) >= 0) {
            rem = sub(rem, b);
            ++n;
        }
        q.push_back(char('0' + n));
    }
    return {trim(q), rem};
}

struct Amount {
    bool negative = false;
    Digits magnitude;  // hundred-thousandths
};

// The model's answer: the amount, or the error's name.
struct Answer {
    std::string error;
    Amount value;
};

Answer fail(const char* e) { return {e, {}}; }
Answer ok(bool negative, Digits m) {
    if (m.empty()) negative = false;
    if (m.size() > 22) return fail("limit");
    return {"", {negative, m}};
}
int32_t significant(const Digits& m) { return m.empty() ? 1 : int32_t(m.size()); }

Answer model(const Amount& a, const Amount& b, int32_t op) {
    switch (op) {
    case MATH_ADD:
    case MATH_SUBTRACT: {
        bool bn = op == MATH_ADD ? b.negative : !b.negative;
        if (b.magnitude.empty()) return ok(a.negative, a.magnitude);
        if (a.negative == bn) return ok(a.negative, add(a.magnitude, b.magnitude));
        int c = cmp(a.magnitude, b.magnitude);
        if (c >= 0) return ok(a.negative, sub(a.magnitude, b.magnitude));
        return ok(bn, sub(b.magnitude, a.magnitude));
    }
    case MATH_MULTIPLY: {
        if (a.magnitude.empty() || b.magnitude.empty()) return ok(false, "");
        if (significant(a.magnitude) + significant(b.magnitude) > 28) return fail("limit");
        Digits p = mul(a.magnitude, b.magnitude);
        Digits q = p.size() > 5 ? trim(p.substr(0, p.size() - 5)) : "";
        if (q.empty()) return fail("limit");
        return ok(a.negative != b.negative, q);
    }
    case MATH_DIVIDE: {
        if (b.magnitude.empty()) return fail("zero");
        if (a.magnitude.empty()) return ok(false, "");
        if (significant(a.magnitude) + 6 - significant(b.magnitude) > 22) return fail("limit");
        Digits q = divmod(a.magnitude + "00000", b.magnitude).first;
        if (q.empty()) return fail("limit");
        return ok(a.negative != b.negative, q);
    }
    default: {
        if (b.magnitude.empty()) return fail("zero");
        return ok(a.negative, divmod(a.magnitude, b.magnitude).second);
    }
    }
}

money::Scaled scaled(const Amount& a) {
    money::Scaled v = 0;
    for (char c : a.magnitude) v = v * 10 + (c - '0');
    return a.negative ? -v : v;
}

Answer module(const Amount& a, const Amount& b, int32_t op) {
    money::Scaled r = 0;
    int e = error_of([&] { r = money::do_op(scaled(a), scaled(b), op); });
    if (e == id(ErrorId::script_type_limit)) return fail("limit");
    if (e == id(ErrorId::math_zero_divide)) return fail("zero");
    if (e >= 0) return fail("other");
    Amount v;
    v.negative = r < 0;
    money::Scaled m = v.negative ? -r : r;
    Digits d;
    while (m > 0) {
        d.push_back(char('0' + int(m % 10)));
        m /= 10;
    }
    std::reverse(d.begin(), d.end());
    return {"", v.negative || !d.empty() ? Amount{v.negative, d} : Amount{false, ""}};
}

std::string show(const Amount& a) { return (a.negative ? "-" : "") + (a.magnitude.empty() ? "0" : a.magnitude); }
std::string show(const Answer& r) { return r.error.empty() ? show(r.value) : r.error; }

TEST(MoneyArithmetic, AgreesWithDigitByDigitArithmetic) {
    boot();
    std::mt19937_64 gen(4209);
    auto random_amount = [&] {
        Amount a;
        a.negative = gen() % 2;
        switch (gen() % 8) {
        case 0:
            a.magnitude = Digits(22, '9');
            break;  // the largest
        case 1:
            a.magnitude = "1" + Digits(gen() % 22, '0');
            break;  // a power of ten
        case 2:
            a.magnitude = Digits(size_t(1 + gen() % 3), char('1' + gen() % 9));
            break;  // tiny
        default: {
            size_t n = 1 + gen() % 22;
            for (size_t i = 0; i < n; ++i) a.magnitude.push_back(char('0' + gen() % 10));
            a.magnitude = trim(a.magnitude);
        }
        }
        if (gen() % 16 == 0) a.magnitude = "";
        if (a.magnitude.empty()) a.negative = false;
        return a;
    };
    int rounds = int(test::scaled(40000, 4000));
    for (int i = 0; i < rounds; ++i) {
        Amount a = random_amount(), b = random_amount();
        for (int32_t op : {MATH_ADD, MATH_SUBTRACT, MATH_MULTIPLY, MATH_DIVIDE, MATH_REMAINDER}) {
            Answer want = model(a, b, op), got = module(a, b, op);
            ASSERT_EQ(show(got), show(want)) << show(a) << " op " << op << " " << show(b);
        }
    }
}

// The cell keeps the amount digit for digit, sign and currency apart.
TEST(MoneyArithmetic, CellsHoldTheDigitsAsBytes) {
    boot();
    money::Scaled v = -money::Scaled(1234567890123456789LL) * 1000 - 123;  // -12345678901234567.89123
    Cell c = money::make_cell(v, 155);
    uint8_t bytes[16];
    std::memcpy(bytes, &c, 16);
    const uint8_t want[11] = {0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78, 0x91, 0x23};
    EXPECT_EQ(bytes[4], 155);
    EXPECT_EQ(std::memcmp(bytes + 5, want, 11), 0);
    EXPECT_EQ(c.header & 0xFF, TYPE_MONEY);
    EXPECT_NE(c.header & money::SIGN, 0u);
    EXPECT_EQ(money::amount(c) == v, true);
    Cell back;
    money::from_bytes(back, true, 155, want);
    EXPECT_EQ(std::memcmp(&back, &c, 16), 0);
    const uint8_t bad[11] = {0x1A};
    EXPECT_FALSE(money::valid_bytes(0, bad));
    EXPECT_TRUE(money::valid_bytes(0, want));
}

}  // namespace
}  // namespace kel::test
