// Number tokens and the text-to-number readers the conversions share.
#include "tests/lexer/lexer-fixture.h"

#include "runtime/numbers/text-to-number.h"

namespace kel::test {
namespace {

struct Loads {
    const char* text;
    const char* loaded;
};

TEST_F(Lexer, NumberTokens) {
    const Loads cases[] = {
        {"2147483647", "2147483647"},
        {"2147483648", "2147483648"},  // a float
        {"-2147483648", "-2147483648"},
        {"+2147483648", "2147483648"},
        {"-2147483649", "-2147483649"},
        {"12345678901", "12345678901"},
        {"00000000001", "1"},  // leading zeros count toward the 10 digits: a float
        {"1'000'000", "1000000"},
        {"1''0", "invalid integer!"},
        {"1'", "1"},
        {"0FFh", "255"},
        {"FFh", "255"},
        {"7FFFFFFFh", "2147483647"},
        {"FFFFFFFFh", "-1"},
        {"100000000h", "invalid integer!"},
        {"1h", "invalid integer!"},
        {"Ah", "invalid word!"},
        {"Ahx", "Ahx"},
        {"1.#INF", "inf"},
        {"-1.#INF", "-inf"},
        {"1.#nan", "NaN"},
        {"1.#INFx", "invalid float!"},
        {"1.2.3", "1.2.3"},
        {"1.2.3.4.5.6.7.8.9.10.11.12", "1.2.3.4.5.6.7.8.9.10.11.12"},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", "invalid tuple!"},
        {"256.1.1", "invalid tuple!"},
        {"1.2..3", "invalid tuple!"},
        {"10x20", "10x20"},
        {"-1x-2", "-1x-2"},
        {"1.5x2", "invalid pair!"},
        {"99999999999x1", "invalid pair!"},
        {"1x99999999999", "invalid pair!"},
        {"4294967296x1", "invalid pair!"},
        {"2147483647x-2147483648", "2147483647x-2147483648"},
        {"1:30", "time:5400"},
        {"1:30:15.5", "time:5415.5"},
        {"1:30.5", "time:90.5"},
        {"1:30,5", "invalid time!"},
        {"-1:30", "time:-5400"},
        {"1:2:", "invalid time!"},
        {"1:30e5", "invalid time!"},
        {"1.5%", "0.014999999999999999%"},
        {"1e3", "1000"},
        {"1.5e-3", "0.0015"},
        {"1'000.5", "1000.5"},
        {"(1, 2)", "point:1,2"},
        {"(1.5, 2, 3)", "point:1.5,2,3"},
        {"( -1 ,1.#INF)", "point:-1,inf"},
        {"(1e39, 0)", "point:inf,0"},
        {"(1, 2, 3, 4)", "invalid point3D!"},
        {"(1, x)", "invalid point2D!"},
        {"(1, 2", "invalid point2D!"},
        {"(1 2", "invalid point2D!"},
        {"1-Jan-2024", "date!"},
        {"$1.50", "money!"},
    };
    for (const Loads& c : cases) EXPECT_EQ(outcome(c.text), c.loaded) << "loading `" << c.text << "`";
    // Scan mode recognises the tokens whose values come with later types.
    EXPECT_EQ(scan_type("(1, 2)"), int32_t(TYPE_POINT2D));
    EXPECT_EQ(scan_type("(1, 2, 3)"), int32_t(TYPE_POINT3D));
    EXPECT_EQ(scan_type("1-Jan-2024"), int32_t(TYPE_DATE));
    EXPECT_EQ(scan_type("$1.50"), int32_t(TYPE_MONEY));
    EXPECT_EQ(scan_type("2147483648"), int32_t(TYPE_FLOAT));
    EXPECT_EQ(scan_type("-2147483648"), int32_t(TYPE_INTEGER));
}

TEST_F(Lexer, NaNHasTheQuietBitPattern) {
    Cell blk = load_text("1.#NaN");
    Cell v = memory::buffer_of(cell_node(blk))->cells()[0];
    uint64_t bits = 0;
    std::memcpy(&bits, &v.data2, 8);
    EXPECT_EQ(bits, 0x7FF8000000000000ull);
}

TEST_F(Lexer, TextToNumber) {
    struct IntCase {
        const char* text;
        int32_t value;
        int32_t error;
    } ints[] = {
        {"1'000", 1000, numbers::READ_OK},
        {"'1000", 1000, numbers::READ_OK},
        {"1x", 0, numbers::READ_INVALID},
        {"2147483648", 0, numbers::READ_OVERFLOW},
        {"-2147483648", INT32_MIN, numbers::READ_OK},
        {"", 0, numbers::READ_INVALID},
        {"-", 0, numbers::READ_INVALID},
        {"+", 0, numbers::READ_INVALID},
        {"'", 0, numbers::READ_INVALID},
        {"-21474836480", 0, numbers::READ_OVERFLOW},
        {"-2147483648x", 0, numbers::READ_INVALID},
        {"-2147483648'", INT32_MIN, numbers::READ_OK},
        {"\xC4\xB1", 0, numbers::READ_INVALID},  // U+0131 is no "1"
    };
    for (const IntCase& c : ints) {
        numbers::IntegerRead r = numbers::read_integer(c.text);
        EXPECT_EQ(r.error, c.error) << "`" << c.text << "`";
        if (r.error == numbers::READ_OK) {
            EXPECT_EQ(r.value, c.value) << "`" << c.text << "`";
        }
    }
    // A code point above 127 in 2-byte units fails instead of losing its high byte.
    const uint16_t dotless_i[] = {0x0131};
    EXPECT_EQ(numbers::read_integer(reinterpret_cast<const uint8_t*>(dotless_i), 1, 2).error, numbers::READ_INVALID);
    EXPECT_EQ(numbers::read_float("1,5").value, 1.5);
    EXPECT_EQ(numbers::read_float("1'000.5").value, 1000.5);
    EXPECT_EQ(numbers::read_float(std::string(313, '1')).error, numbers::READ_INVALID);
    EXPECT_EQ(numbers::read_float("\xC4\xB1").error, numbers::READ_INVALID);
}

}  // namespace
}  // namespace kel::test
