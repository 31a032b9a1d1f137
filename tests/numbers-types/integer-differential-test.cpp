// integer! add, subtract, multiply, divide and remainder through the action
// slots, against a model in 64-bit and 128-bit integers: the integer! when
// the exact result fits 32 bits (and a division is exact), else the float!
// nearest the exact result, else the error.
#include <random>

#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

// The answer a slot gave.
struct Answer {
    uint32_t type;  // 0 for an error
    int32_t integer;
    double number;
    int error;
};

Answer run(int action, int32_t a, int32_t b) {
    Answer answer{0, 0, 0, -1};
    Frame frame{I(a), I(b)};
    answer.error = error_of([&] {
        switch (action) {
        case ACTION_ADD:
            actions::slot_for<ACTION_ADD>(TYPE_INTEGER)();
            break;
        case ACTION_SUBTRACT:
            actions::slot_for<ACTION_SUBTRACT>(TYPE_INTEGER)();
            break;
        case ACTION_MULTIPLY:
            actions::slot_for<ACTION_MULTIPLY>(TYPE_INTEGER)();
            break;
        case ACTION_DIVIDE:
            actions::slot_for<ACTION_DIVIDE>(TYPE_INTEGER)();
            break;
        default:
            actions::slot_for<ACTION_REMAINDER>(TYPE_INTEGER)();
            break;
        }
    });
    if (answer.error < 0) {
        answer.type = type_of(frame[0]);
        answer.integer = cell_integer(frame[0]);
        answer.number = cell_double(frame[0]);
    }
    return answer;
}

bool fits(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// r is the double nearest a / b (ties to the even significand), checked in
// 128-bit integers: with |r| = M x 2^E, |M x 2^E - a/b| is at most half a
// unit of M, which is |2 M b - a 2^(1-E)| <= |b|.
bool nearest_quotient(double r, int64_t a, int64_t b) {
    if ((r < 0) != ((a < 0) != (b < 0))) return false;
    __int128 ua = a < 0 ? -__int128(a) : a, ub = b < 0 ? -__int128(b) : b;
    int e = 0;
    double fraction = std::frexp(std::fabs(r), &e);
    __int128 m = __int128(std::ldexp(fraction, 53));
    int shift = 1 - (e - 53);  // 1 - E; |r| lies in [2^-31, 2^31], so 22..85
    if (shift < 0 || shift > 100) return false;
    __int128 scaled = ua << shift, twice = 2 * m * ub;
    __int128 diff = twice > scaled ? twice - scaled : scaled - twice;
    // At a power of two the neighbour below is half as far.
    if (m == (__int128(1) << 52) && twice > scaled) return 2 * diff <= ub;
    if (diff < ub) return true;
    return diff == ub && (m & 1) == 0;
}

// Checks the answer against the model; an empty string when they agree.
std::string check(int action, int32_t a, int32_t b, const Answer& got) {
    int64_t A = a, B = b;
    auto expect_error = [&](ErrorId e) -> std::string {
        return got.error == int(e) ? "" : "expected " + error_text(int(e));
    };
    auto expect_integer = [&](int64_t v) -> std::string {
        return got.error < 0 && got.type == TYPE_INTEGER && got.integer == v ? ""
                                                                             : "expected integer " + std::to_string(v);
    };
    auto expect_float = [&](double v) -> std::string {
        return got.error < 0 && got.type == TYPE_FLOAT && got.number == v ? "" : "expected float";
    };
    switch (action) {
    case ACTION_ADD:
    case ACTION_SUBTRACT:
    case ACTION_MULTIPLY: {
        int64_t exact = action == ACTION_ADD ? A + B : action == ACTION_SUBTRACT ? A - B : A * B;
        // An int64 converts to long double exactly, and long double to
        // double rounds once.
        return fits(exact) ? expect_integer(exact) : expect_float(double(static_cast<long double>(exact)));
    }
    case ACTION_DIVIDE:
        if (B == 0) return expect_error(ErrorId::math_zero_divide);
        if (A == INT32_MIN && B == -1) return expect_error(ErrorId::math_overflow);
        if (A % B == 0) return expect_integer(A / B);
        if (got.error >= 0 || got.type != TYPE_FLOAT) return "expected a float";
        return nearest_quotient(got.number, A, B) ? "" : "not the nearest quotient";
    default:
        if (B == 0) return expect_error(ErrorId::math_zero_divide);
        if (A == INT32_MIN && B == -1) return expect_error(ErrorId::math_overflow);
        return expect_integer(A % B);  // the sign of the dividend
    }
}

TEST(IntegerDifferential, RandomPairsWithTheExtremesMixedIn) {
    start_runtime();
    std::mt19937_64 rng(20240611);
    const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -46341,        -3,       -2, -1, 0, 1, 2, 3,
                                46340,     46341,         65536,  INT32_MAX - 1, INT32_MAX};
    auto operand = [&]() -> int32_t {
        switch (rng() % 4) {
        case 0:
            return extremes[rng() % std::size(extremes)];
        case 1:
            return int32_t(int64_t(rng() % 2001) - 1000);  // small: exact divisions happen
        default:
            return int32_t(uint32_t(rng()));
        }
    };
    const int actions_under_test[] = {ACTION_ADD, ACTION_SUBTRACT, ACTION_MULTIPLY, ACTION_DIVIDE, ACTION_REMAINDER};
    size_t rounds = scaled(200000, 10000);
    int failures = 0;
    for (size_t i = 0; i < rounds && failures < 10; ++i) {
        int32_t a = operand(), b = operand();
        for (int action : actions_under_test) {
            std::string problem = check(action, a, b, run(action, a, b));
            if (!problem.empty()) {
                ADD_FAILURE() << "action " << action << " on " << a << ", " << b << ": " << problem;
                ++failures;
            }
        }
    }
    // Every extreme against every extreme as well.
    for (int32_t a : extremes)
        for (int32_t b : extremes)
            for (int action : actions_under_test)
                EXPECT_EQ(check(action, a, b, run(action, a, b)), "") << action << " " << a << " " << b;
}

}  // namespace
}  // namespace kel
