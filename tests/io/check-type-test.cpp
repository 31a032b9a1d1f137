// The platform services' type check.
#include <gtest/gtest.h>

#include "runtime/platform/check-type.h"
#include "tests/support.h"

namespace kel::test {
namespace {

TEST(CheckType, PassesTheTypeAndRaisesWithTheValueOtherwise) {
    boot();
    EXPECT_EQ(error_of([] { platform::check_type(make_integer(7), TYPE_INTEGER); }), -1);
    Cell arg = make_none();
    EXPECT_EQ(error_of([] { platform::check_type(make_integer(7), TYPE_STRING); }, &arg),
              id(ErrorId::script_invalid_arg));
    EXPECT_EQ(type_of(arg), TYPE_INTEGER);
    EXPECT_EQ(int32_t(arg.data2), 7);
}

}  // namespace
}  // namespace kel::test
