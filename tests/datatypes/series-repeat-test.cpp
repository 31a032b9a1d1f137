// Mold indentation appended to a string and byte patterns replicated in place.
#include <string>

#include "runtime/datatypes/series-repeat.h"
#include "tests/datatypes/string-fixture.h"

namespace kel::test {
namespace {

TEST_F(Strings, MoldIndentAppendsFourSpacesPerLevel) {
    Cell out = make_text({}, 1);
    Rooted keep(out);
    EXPECT_EQ(mold_indent(out, 2, 50), 42);
    EXPECT_EQ(all_points(out), ascii("        "));
    EXPECT_EQ(mold_indent(out, 0, 50), 50);
    EXPECT_EQ(mold_indent(out, 19, 100), 24);  // more levels than one append writes
    EXPECT_EQ(all_points(out), Points(4 * 21, ' '));
}

TEST(ReplicateBytes, RepeatsThePatternCountTimes) {
    uint8_t buf[32] = {'a', 'b'};
    EXPECT_EQ(replicate_bytes(buf, 2, 5), buf + 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 10), "ababababab");
    uint8_t three[16] = {'x', 'y', 'z'};
    replicate_bytes(three, 3, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(three), 12), "xyzxyzxyzxyz");
    EXPECT_EQ(replicate_bytes(buf, 2, 0), buf);
}

}  // namespace
}  // namespace kel::test
