// Number text in fixed forms: hex digits and decimal text read with the
// count of unread bytes.
#include <gtest/gtest.h>

#include "runtime/numbers/number-text.h"

namespace kel::test {
namespace {

TEST(NumberText, HexFormatters) {
    EXPECT_STREQ(numbers::format_hex_byte(0x0F), "0F");
    EXPECT_STREQ(numbers::format_hex_byte(0xA5), "A5");
    EXPECT_STREQ(numbers::format_hex_int(-1, false), "FFFFFFFF");
    EXPECT_STREQ(numbers::format_hex_int(255, false), "000000FF");
    EXPECT_STREQ(numbers::format_hex_int(255, true), "FF");
    EXPECT_STREQ(numbers::format_hex_int(0, true), "00");
    EXPECT_STREQ(numbers::format_hex_int(0x1000, true), "1000");
}

TEST(NumberText, ParseFloatReportsTheUnreadBytes) {
    int32_t unread = -1;
    EXPECT_EQ(numbers::parse_float("1.5e3xyz", 8, &unread), 1500.0);
    EXPECT_EQ(unread, 3);
    EXPECT_EQ(numbers::parse_float("0.1", 3, &unread), 0.1);
    EXPECT_EQ(unread, 0);
}

}  // namespace
}  // namespace kel::test
