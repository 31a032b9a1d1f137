// When an image library cannot be opened, its codec fails as it does on
// bytes it cannot read: access/bad-media for encoding and decoding, never a
// crash; BMP, our own, goes on working; and the same bytes decode once the
// library can be opened again.
#include <gtest/gtest.h>

#include <string>

#include "runtime/platform/shared-library.h"
#include "tests/boot-library.h"
#include "tests/kel-eval.h"

namespace kel::test {
namespace {

TEST(UnloadedLibrary, ImageCodecsFailAsOnBadMedia) {
    boot_library();
    const std::string image = "make image! [2x1 #{0A141E28323C}]";
    for (const char* format : {"png", "jpeg", "gif", "tiff"}) {
        std::string as = std::string(" '") + format;
        Evaluated bytes = evaluate("save/as none " + image + as);
        ASSERT_EQ(bytes.error, -1) << format;
        std::string decode = "load/as " + bytes.text + as;
        {
            platform::RefusedLoading refused;
            EXPECT_EQ(evaluate("save/as none " + image + as).error, id(ErrorId::access_bad_media)) << format;
            EXPECT_EQ(evaluate(decode).error, id(ErrorId::access_bad_media)) << format;
            EXPECT_EQ(evaluate("(load/as save/as none " + image + " 'bmp 'bmp) = " + image).text, "true");
        }
        EXPECT_EQ(evaluate("image? " + decode).text, "true") << format;
    }
}

}  // namespace
}  // namespace kel::test
