// The column the output leaves the cursor in, which the prompt starts from.
#include "runtime/platform/output-column.h"
#include "tests/console/console-fixture.h"

namespace kel::test {
namespace {

TEST(OutputColumn, CountsCellsSinceTheLastLineEnd) {
    struct Case {
        std::vector<std::string> chunks;
        int64_t column;
    };
    const Case cases[] = {
        {{"abc"}, 3},
        {{"abc\nde"}, 2},
        {{"abc\r"}, 0},
        {{"\xE4\xB8\xAD", "x"}, 3},
        {{"a\xCC\x81"}, 1},  // a combining mark takes no cell
        {{"\x1b[1;32mok\x1b[0m"}, 2},
        {{"\x1b", "[3", "1m", "ab"}, 2},  // a sequence split between writes
        {{"\xE4", "\xB8", "\xAD"}, 2},  // so is a character
        {{"\x1b]2;title\x07", "> "}, 2},
        {{"\x1b]2;title\x1b\\", "x"}, 1},
        {{"ab\tc"}, 9},
        {{"abc\b"}, 2},
    };
    for (const Case& c : cases) {
        console::ColumnTracker t;
        for (const std::string& s : c.chunks) t.feed(reinterpret_cast<const uint8_t*>(s.data()), s.size());
        EXPECT_EQ(t.column(), c.column) << testing::PrintToString(c.chunks);
    }
}

}  // namespace
}  // namespace kel::test
