// form and mold: the 30- and 32-byte line rules, four spaces per level,
// /flat, /only, and a /part budget that stops the text without leaving the
// level raised for the molds after it.
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

// n bytes 00, 01, 02 ... and their digits.
std::string counting(int n) {
    std::string out;
    char two[3];
    for (int i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02X", i & 0xFF);
        out += two;
    }
    return out;
}
std::string digits(int from, int to) { return counting(to).substr(size_t(2 * from)); }

struct BinaryText : Binaries {
    Cell& counted(int n) { return bin(counting(n)); }
    std::string mold(const Cell& value, const MoldOptions& o, int64_t* left = nullptr) {
        Cell& out = target();
        int64_t rest = binary::mold(value, out, o);
        if (left) *left = rest;
        return utf8(out);
    }
};

MoldOptions with(bool only, bool flat, int32_t indent) {
    MoldOptions o;
    o.only = only;
    o.flat = flat;
    o.indent = indent;
    return o;
}

TEST_F(BinaryText, LineRules) {
    const std::string in = "\n    ";
    struct Row {
        int bytes;
        MoldOptions o;
        std::string text;
    };
    const Row rows[] = {
        {0, {}, "#{}"},
        {1, {}, "#{00}"},
        {30, {}, "#{" + digits(0, 30) + "}"},
        {31, {}, "#{" + in + digits(0, 31) + "\n}"},
        {32, {}, "#{" + in + digits(0, 32) + in + "}"},
        {40, {}, "#{" + in + digits(0, 32) + in + digits(32, 40) + "\n}"},
        {64, {}, "#{" + in + digits(0, 32) + in + digits(32, 64) + in + "}"},
        {65, {}, "#{" + in + digits(0, 32) + in + digits(32, 64) + in + digits(64, 65) + "\n}"},
        {40, with(false, true, 0), "#{" + digits(0, 40) + "}"},
        {31, with(true, false, 0), in + digits(0, 31) + "\n"},
        {30, with(true, false, 0), digits(0, 30)},
        {31, with(false, false, 1), "#{\n        " + digits(0, 31) + "\n    }"},
        {64, with(false, false, 2),
         "#{\n            " + digits(0, 32) + "\n            " + digits(32, 64) + "\n            }"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bytes);
        Cell& b = counted(r.bytes);
        EXPECT_EQ(mold(b, r.o), r.text);
    }
    // From the index; form is mold at level 0.
    Cell& b = counted(40);
    EXPECT_EQ(mold(at(b, 10), {}), "#{" + digits(10, 40) + "}");
    Cell& out = target();
    EXPECT_EQ(binary::form(b, out, false, 1000), 1000 - 2 - 4 - 64 - 4 - 16 - 1);
    EXPECT_EQ(utf8(out), mold(b, {}));
}

// Upper-case digits, whatever the byte.
TEST_F(BinaryText, UpperCaseDigits) {
    Cell& b = bin("ABCDEF09 fa");
    EXPECT_EQ(mold(b, {}), "#{ABCDEF09FA}");
}

// A /part budget stops the text after the byte that uses it up: no closing
// brace, the budget answered. The next mold, at any level, is indented for
// its own level only.
TEST_F(BinaryText, PartBudgetThenAnotherMold) {
    MoldOptions o;
    o.part = true;
    o.limit = 12;
    o.indent = 1;
    int64_t left = 0;
    // "#{" (10 left), line feed and two levels (2 left), one byte (0 left).
    EXPECT_EQ(mold(counted(40), o, &left), "#{\n        00");
    EXPECT_EQ(left, 0);
    o.limit = 3;
    EXPECT_EQ(mold(counted(5), o, &left), "#{00");
    EXPECT_EQ(left, -1);

    EXPECT_EQ(mold(counted(31), {}), "#{\n    " + digits(0, 31) + "\n}");
    EXPECT_EQ(mold(counted(31), with(false, false, 1)), "#{\n        " + digits(0, 31) + "\n    }");
    // A budget that lasts: the whole text, the rest answered.
    o.limit = 1000;
    o.indent = 0;
    EXPECT_EQ(mold(counted(31), o, &left), "#{\n    " + digits(0, 31) + "\n}");
    EXPECT_EQ(left, 1000 - 2 - 4 - 62 - 1);
}

// Molding into a string whose unit is wider than one byte.
TEST_F(BinaryText, IntoAWideString) {
    Cell& out = text(U"\u20AC");
    binary::mold(counted(3), out, {});
    EXPECT_EQ(utf8(out), "\u20AC#{000102}");
}

}  // namespace
}  // namespace kel::test
