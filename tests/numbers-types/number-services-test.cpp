// The seams through which integer! and float! hand mixed operations to the
// types that register after them: refused operations are refused by the number
// dispatcher, accepted ones reach the type's row with its value first, and
// an empty row is internal/not-done.
#include <iterator>

#include "runtime/datatypes/number-services.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

// What the last service call saw.
struct Seen {
    int32_t op = -1;
    bool number_left = false;
    Cell first{}, second{};
};
Seen seen;

void record_math(int32_t op, bool number_left) {
    seen.op = op;
    seen.number_left = number_left;
    seen.first = stack::state.arguments[0];
    seen.second = stack::state.arguments[1];
    stack::state.arguments[0] = make_integer(99);
}

int32_t record_compare(const Cell& number, const Cell&, int32_t op) {
    seen.op = op;
    seen.first = number;
    return 0;
}

int32_t seven(const Cell&) { return 7; }
double half(const Cell&) { return 0.5; }

const uint32_t SERVED[] = {TYPE_PAIR, TYPE_POINT2D, TYPE_POINT3D, TYPE_TUPLE, TYPE_DATE, TYPE_MONEY, TYPE_VECTOR};

// The rows of the served types are replaced by recording stand-ins for each
// test and put back afterwards (pair!, the points and tuple! fill theirs at
// start-up).
struct ServicesTest : NumbersTest {
    number_services::Services saved[std::size(SERVED)];

    void SetUp() override {
        seen = Seen{};
        for (size_t i = 0; i < std::size(SERVED); ++i) saved[i] = number_services::row(SERVED[i]);
        for (uint32_t t : SERVED) number_services::row(t) = number_services::Services{};
        for (uint32_t t : SERVED) number_services::row(t).math_with_number = record_math;
        number_services::row(TYPE_MONEY).compare_number = record_compare;
        number_services::row(TYPE_MONEY).to_integer = seven;
        number_services::row(TYPE_MONEY).to_float = half;
        number_services::row(TYPE_DATE).to_integer = seven;
    }
    void TearDown() override {
        for (size_t i = 0; i < std::size(SERVED); ++i) number_services::row(SERVED[i]) = saved[i];
    }
};

TEST_F(ServicesTest, EmptyRowsAreNotDone) {
    for (uint32_t t : SERVED) number_services::row(t) = number_services::Services{};
    EXPECT_EQ(multiply(I(3), other(TYPE_PAIR)), "internal/not-done");
    EXPECT_EQ(add(F(3), other(TYPE_TUPLE)), "internal/not-done");
    EXPECT_EQ(add(I(1), other(TYPE_DATE)), "internal/not-done");
    EXPECT_EQ(to(TYPE_INTEGER, other(TYPE_MONEY)), "internal/not-done");
    EXPECT_EQ(to(TYPE_FLOAT, other(TYPE_MONEY)), "internal/not-done");
    EXPECT_EQ(error_of([] { actions::compare(I(1), other(TYPE_MONEY), COMP_EQUAL); }), id(ErrorId::internal_not_done));
}

TEST_F(ServicesTest, IntegerHandsOverWithTheOperandsExchanged) {
    struct Row {
        uint32_t type;
        int32_t op;
        const char* result;
    } rows[] = {
        {TYPE_PAIR, MATH_MULTIPLY, "integer! 99"},
        // n - p reaches the pair as a subtraction with the number on the
        // left, so the pair computes n - x and n - y itself.
        {TYPE_PAIR, MATH_SUBTRACT, "integer! 99"},
        {TYPE_PAIR, MATH_DIVIDE, "script/not-related"},
        {TYPE_POINT2D, MATH_ADD, "integer! 99"},
        {TYPE_POINT3D, MATH_DIVIDE, "script/not-related"},
        {TYPE_TUPLE, MATH_ADD, "integer! 99"},
        {TYPE_TUPLE, MATH_SUBTRACT, "script/not-related"},
        {TYPE_TUPLE, MATH_DIVIDE, "script/not-related"},
        {TYPE_DATE, MATH_ADD, "integer! 99"},
        {TYPE_DATE, MATH_SUBTRACT, "script/not-related"},
        {TYPE_DATE, MATH_MULTIPLY, "script/not-related"},
        {TYPE_MONEY, MATH_DIVIDE, "integer! 99"},
        {TYPE_VECTOR, MATH_REMAINDER, "integer! 99"},
    };
    for (const Row& r : rows) {
        seen = Seen{};
        std::string got = outcome([&](Cell& result) {
            Frame frame{I(10), other(r.type)};
            integer::do_math_op(r.op);
            result = frame[0];
        });
        EXPECT_EQ(got, r.result) << r.type << " " << r.op;
        if (got != "integer! 99") {
            EXPECT_EQ(seen.op, -1) << "a refused operation never reaches the type";
            continue;
        }
        EXPECT_EQ(seen.op, r.op);
        EXPECT_TRUE(seen.number_left);
        EXPECT_EQ(type_of(seen.first), r.type);
        EXPECT_EQ(describe(seen.second), "integer! 10");
    }
}

TEST_F(ServicesTest, FloatHandsOverKeepingTheNumbersType) {
    EXPECT_EQ(multiply(P(0.5), other(TYPE_PAIR)), "integer! 99");
    EXPECT_EQ(seen.op, MATH_MULTIPLY);
    EXPECT_TRUE(seen.number_left);
    EXPECT_EQ(type_of(seen.first), TYPE_PAIR);
    EXPECT_EQ(describe(seen.second), "percent! 50%");
    seen = Seen{};
    EXPECT_EQ(subtract(F(2), other(TYPE_POINT3D)), "script/not-related");
    EXPECT_EQ(seen.op, -1);
    EXPECT_EQ(add(T(2), other(TYPE_PAIR)), "script/invalid-type");
    EXPECT_EQ(subtract(F(2), other(TYPE_TUPLE)), "integer! 99");
    EXPECT_EQ(seen.op, MATH_SUBTRACT);
    EXPECT_EQ(divide(T(2), other(TYPE_MONEY)), "integer! 99");
    EXPECT_EQ(add(F(2), other(TYPE_VECTOR)), "integer! 99");
    EXPECT_EQ(add(F(2), other(TYPE_DATE)), "script/invalid-type");
}

TEST_F(ServicesTest, ConversionsAndComparisonsOfMoney) {
    EXPECT_EQ(to(TYPE_INTEGER, other(TYPE_MONEY)), "integer! 7");
    EXPECT_EQ(to(TYPE_INTEGER, other(TYPE_DATE)), "integer! 7");
    EXPECT_EQ(to(TYPE_FLOAT, other(TYPE_MONEY)), "float! 0.5");
    EXPECT_EQ(to(TYPE_PERCENT, other(TYPE_MONEY)), "percent! 50%");
    EXPECT_TRUE(actions::compare(I(3), other(TYPE_MONEY), COMP_LESSER_EQUAL));
    EXPECT_EQ(seen.op, COMP_LESSER_EQUAL);
    EXPECT_EQ(describe(seen.first), "integer! 3");
    EXPECT_TRUE(actions::compare(F(1.5), other(TYPE_MONEY), COMP_EQUAL));
    EXPECT_EQ(describe(seen.first), "float! 1.5");
    // Strict equality and find need the same type: no service call.
    seen = Seen{};
    EXPECT_FALSE(actions::compare(F(1.5), other(TYPE_MONEY), COMP_STRICT_EQUAL));
    EXPECT_FALSE(actions::compare(I(1), other(TYPE_MONEY), COMP_FIND));
    EXPECT_EQ(seen.op, -1);
}

}  // namespace
}  // namespace kel
